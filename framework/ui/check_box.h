// A check box with a caption; checked or unchecked only. Its mark and
// caption sit at its top left, 4 pixels apart.
#pragma once

#include <string>

#include "framework/ui/control.h"

class QCheckBox;

class TCheckBox : public TControl {
 public:
  explicit TCheckBox(TComponent* owner);
  std::string_view ClassName() const override { return "TCheckBox"; }

  const std::string& Caption() const { return caption_; }
  void SetCaption(const std::string& caption);
  bool Checked() const;
  void SetChecked(bool checked);
  QCheckBox* CheckBoxWidget() const { return box_; }

  static void Register();

 private:
  QCheckBox* box_;
  std::string caption_;
};
