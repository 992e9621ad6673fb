// A push button. A click (mouse, or the space key while it has the focus)
// runs OnClick through the handler boundary. It is neither the window's
// default nor its cancel button. A caption's "&x" marks an accelerator and
// "&&" shows one "&".
#pragma once

#include <string>

#include "framework/controls/control.h"
#include "framework/core/events.h"

class TButton : public TControl {
 public:
  explicit TButton(TComponent* owner);
  std::string_view ClassName() const override { return "TButton"; }

  const std::string& Caption() const { return caption_; }
  void SetCaption(const std::string& caption);
  void SetOnClick(TNotifyEvent handler) { onClick_ = std::move(handler); }
  // Runs OnClick; an exception passes on to the caller.
  void Click();
  TButtonPeer& ButtonPeer() const { return *peer_; }

  static void Register();

 private:
  TButtonPeer* peer_;
  std::string caption_;
  TNotifyEvent onClick_;
};
