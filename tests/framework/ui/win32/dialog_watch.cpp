#include "tests/framework/ui/win32/dialog_watch.h"

namespace {

DialogWatch* current = nullptr;
constexpr UINT kOpened = WM_APP + 1;

HWND NewReceiver(WNDPROC procedure) {
  WNDCLASSW wc{};
  wc.lpfnWndProc = procedure;
  wc.hInstance = GetModuleHandleW(nullptr);
  wc.lpszClassName = L"PxTestDialogWatch";
  RegisterClassW(&wc);
  return CreateWindowExW(0, wc.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, wc.hInstance, nullptr);
}

}  // namespace

DialogWatch::DialogWatch(std::function<void(HWND)> onOpen)
    : onOpen_(std::move(onOpen)),
      hook_(SetWindowsHookExW(WH_CBT, Hook, nullptr, GetCurrentThreadId())),
      receiver_(NewReceiver(Receive)) {
  current = this;
}

DialogWatch::~DialogWatch() {
  UnhookWindowsHookEx(hook_);
  DestroyWindow(receiver_);
  current = nullptr;
}

LRESULT CALLBACK DialogWatch::Hook(int code, WPARAM wParam, LPARAM lParam) {
  if (code == HCBT_ACTIVATE && current != nullptr) {
    HWND window = reinterpret_cast<HWND>(wParam);
    wchar_t className[64] = L"";
    GetClassNameW(window, className, 64);
    // Dialogs of the platform have the dialog class; the program's own
    // windows do not. Each dialog once, however often it is activated.
    if (lstrcmpW(className, L"#32770") == 0 && window != current->last_) {
      current->last_ = window;
      PostMessageW(current->receiver_, kOpened, reinterpret_cast<WPARAM>(window), 0);
    }
  }
  return CallNextHookEx(nullptr, code, wParam, lParam);
}

LRESULT CALLBACK DialogWatch::Receive(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == kOpened && current != nullptr) {
    ++current->opened_;
    if (current->onOpen_) current->onOpen_(reinterpret_cast<HWND>(wParam));
    return 0;
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

void PostButton(HWND dialog, int id) { PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), 0); }
