// The runtime on Windows: the program is aware of the screen's resolution
// (it scales the design itself), the common controls are initialised, the
// application object takes its title from the program file's name, the
// initialisation hooks put the user-interface thread into COM's
// single-threaded apartment (the shell's folder picker needs it), and the
// Win32 widget set, dialogs and message loop take the seams.
#include "framework/ui/win32/win32_api.h"

#include <commctrl.h>
#include <objbase.h>

#include "framework/controls/widget_set.h"
#include "framework/core/application.h"
#include "framework/ui/ui_runtime.h"
#include "framework/ui/win32/win32_dialogs.h"
#include "framework/ui/win32/win32_message_loop.h"
#include "framework/ui/win32/win32_widget_set.h"

namespace {

// Per monitor where the system knows it (Windows 10 1703 and later), else
// for the system's resolution; before any window exists.
void BecomeDpiAware() {
  using SetContextProc = BOOL(WINAPI*)(HANDLE);
  auto setContext = reinterpret_cast<SetContextProc>(reinterpret_cast<void*>(
      GetProcAddress(GetModuleHandleW(L"user32.dll"), "SetProcessDpiAwarenessContext")));
  const HANDLE perMonitorV2 = reinterpret_cast<HANDLE>(static_cast<LONG_PTR>(-4));
  if (setContext == nullptr || !setContext(perMonitorV2)) SetProcessDPIAware();
}

std::string ProgramFile() {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (length < path.size()) {
      path.resize(length);
      return Narrow(path);
    }
    path.resize(path.size() * 2);
  }
}

}  // namespace

struct TUiRuntime::State {
  TWin32WidgetSet widgets;
  TWin32Dialogs dialogs;
  TWin32MessageLoop loop;
  TWidgetSet* previousWidgets = nullptr;
  TDialogs* previousDialogs = nullptr;
  TMessageLoop* previousLoop = nullptr;
};

TUiRuntime::TUiRuntime(int&, char**) : state_(std::make_unique<State>()) {
  BecomeDpiAware();
  INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_STANDARD_CLASSES};
  InitCommonControlsEx(&controls);
  Application.SetExeName(ProgramFile());
  Application.AddInitProc([] { CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED); });
  Application.AddExitProc([] { CoUninitialize(); });
  RegisterUiClasses();
  state_->previousWidgets = SetWidgetSet(&state_->widgets);
  state_->previousDialogs = SetDialogs(&state_->dialogs);
  state_->previousLoop = Application.SetMessageLoop(&state_->loop);
}

TUiRuntime::~TUiRuntime() {
  Application.Shutdown();
  Application.SetMessageLoop(state_->previousLoop);
  SetDialogs(state_->previousDialogs);
  SetWidgetSet(state_->previousWidgets);
}
