#include "framework/ui/win32/win32_message_loop.h"

#include "framework/controls/form.h"
#include "framework/core/handler_boundary.h"
#include "framework/ui/win32/win32_form_peer.h"

namespace {

// The Tab key of a control in one of the program's windows.
bool MovedFocus(const MSG& message) {
  if (message.message != WM_KEYDOWN || message.wParam != VK_TAB) return false;
  if ((GetKeyState(VK_CONTROL) & 0x8000) != 0 || (GetKeyState(VK_MENU) & 0x8000) != 0) return false;
  TForm* form = Win32FormPeer::FormOf(message.hwnd);
  if (form == nullptr) return false;
  const bool forward = (GetKeyState(VK_SHIFT) & 0x8000) == 0;
  CallHandler(form, [form, forward] { form->SelectNext(forward); });
  return true;
}

}  // namespace

bool TWin32MessageLoop::Dispatch(const MSG& message) {
  if (message.message == WM_QUIT) return false;
  if (!MovedFocus(message)) {
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
  return true;
}

void TWin32MessageLoop::Run() {
  MSG message;
  while (GetMessageW(&message, nullptr, 0, 0) > 0) Dispatch(message);
}

void TWin32MessageLoop::PostQuit() { PostQuitMessage(0); }

void TWin32MessageLoop::ProcessMessages() {
  MSG message;
  while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
    if (!Dispatch(message)) {
      // The quit belongs to Run.
      PostQuitMessage(static_cast<int>(message.wParam));
      return;
    }
  }
}
