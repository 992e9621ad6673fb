// A push button. A click (mouse, or the space key while it has the focus)
// runs OnClick through the handler boundary. It is neither the window's
// default nor its cancel button.
#pragma once

#include <string>

#include "framework/core/events.h"
#include "framework/ui/control.h"

class QPushButton;

class TButton : public TControl {
 public:
  explicit TButton(TComponent* owner);
  std::string_view ClassName() const override { return "TButton"; }

  const std::string& Caption() const { return caption_; }
  void SetCaption(const std::string& caption);
  void SetOnClick(TNotifyEvent handler) { onClick_ = std::move(handler); }
  // Runs OnClick; an exception passes on to the caller.
  void Click();
  QPushButton* ButtonWidget() const { return button_; }

  static void Register();

 private:
  QPushButton* button_;
  std::string caption_;
  TNotifyEvent onClick_;
};
