// A static text of several lines, of fixed size unless AutoSize is set, with
// no border. Lines in the caption are separated by "\r\n" (or "\n").
#pragma once

#include <string>

#include "framework/controls/control.h"

class TStaticText : public TControl {
 public:
  explicit TStaticText(TComponent* owner);
  std::string_view ClassName() const override { return "TStaticText"; }

  const std::string& Caption() const { return caption_; }
  void SetCaption(const std::string& caption);
  void SetAutoSize(bool autoSize);
  // The caption's lines as drawn, separated by "\n".
  std::string ShownText() const;
  TTextPeer& TextPeer() const { return *peer_; }

  static void Register();

 protected:
  void Loaded() override;
  void FontOrParentChanged() override { Refresh(); }

 private:
  void Refresh();
  TTextPeer* peer_;
  std::string caption_;
  bool autoSize_ = false;
};
