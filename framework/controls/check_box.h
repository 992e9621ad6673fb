// A check box with a caption; checked or unchecked only. Its mark and
// caption sit at its top left, 4 pixels apart.
#pragma once

#include <string>

#include "framework/controls/control.h"

// Between the check mark and the caption, in design pixels.
inline constexpr int kCheckBoxCaptionSpacing = 4;

class TCheckBox : public TControl {
 public:
  explicit TCheckBox(TComponent* owner);
  std::string_view ClassName() const override { return "TCheckBox"; }

  const std::string& Caption() const { return caption_; }
  void SetCaption(const std::string& caption);
  bool Checked() const { return peer_->Checked(); }
  void SetChecked(bool checked) { peer_->SetChecked(checked); }
  TCheckBoxPeer& CheckBoxPeer() const { return *peer_; }

  static void Register();

 private:
  TCheckBoxPeer* peer_;
  std::string caption_;
};
