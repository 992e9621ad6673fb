// The message loop of the windowed program on Windows: GetMessage,
// TranslateMessage, DispatchMessage. The Tab key (with Shift: backward)
// moves the focus through the window's controls in their tab order before
// the control sees the key.
#pragma once

#include "framework/core/message_loop.h"
#include "framework/ui/win32/win32_api.h"

class TWin32MessageLoop : public TMessageLoop {
 public:
  void Run() override;
  void PostQuit() override;
  void ProcessMessages() override;

  // Handles `message` as the loop does: false for the quit message.
  static bool Dispatch(const MSG& message);
};
