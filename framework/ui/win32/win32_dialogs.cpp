#include "framework/ui/win32/win32_dialogs.h"

#include <commctrl.h>
#include <shlobj.h>
#include <uxtheme.h>

#include <algorithm>
#include <vector>

#include "framework/controls/form.h"
#include "framework/core/application.h"
#include "framework/ui/win32/win32_form_peer.h"

namespace {

using TaskDialogProc = HRESULT(WINAPI*)(const TASKDIALOGCONFIG*, int*, int*, BOOL*);

bool Has(const TDialogRequest& request, TDialogButton button) {
  return std::find(request.buttons.begin(), request.buttons.end(), button) != request.buttons.end();
}

UINT MessageBoxStyle(const TDialogRequest& request) {
  UINT style = MB_OK;
  if (Has(request, TDialogButton::Abort) && Has(request, TDialogButton::Retry)) {
    style = MB_ABORTRETRYIGNORE;
  } else if (Has(request, TDialogButton::Yes) && Has(request, TDialogButton::No)) {
    style = Has(request, TDialogButton::Cancel) ? MB_YESNOCANCEL : MB_YESNO;
  } else if (Has(request, TDialogButton::Retry)) {
    style = MB_RETRYCANCEL;
  } else if (Has(request, TDialogButton::OK) && Has(request, TDialogButton::Cancel)) {
    style = MB_OKCANCEL;
  }
  switch (request.icon) {
    case TDialogIcon::Error: style |= MB_ICONERROR; break;
    case TDialogIcon::Warning: style |= MB_ICONWARNING; break;
    case TDialogIcon::Information: style |= MB_ICONINFORMATION; break;
    case TDialogIcon::Question: style |= MB_ICONQUESTION; break;
    case TDialogIcon::None: break;
  }
  // The default is the first button unless the request names a later one.
  const std::vector<TDialogButton>& buttons = request.buttons;
  auto it = std::find(buttons.begin(), buttons.end(), request.defaultButton);
  const auto index = it == buttons.end() ? 0 : it - buttons.begin();
  if (index == 1) style |= MB_DEFBUTTON2;
  if (index == 2) style |= MB_DEFBUTTON3;
  return style;
}

TDialogButton ButtonOfId(int id) {
  switch (id) {
    case IDOK: return TDialogButton::OK;
    case IDCANCEL: return TDialogButton::Cancel;
    case IDABORT: return TDialogButton::Abort;
    case IDRETRY: return TDialogButton::Retry;
    case IDIGNORE: return TDialogButton::Ignore;
    case IDYES: return TDialogButton::Yes;
    case IDNO: return TDialogButton::No;
    case IDCLOSE: return TDialogButton::Close;
    default: return TDialogButton::None;
  }
}

TaskDialogProc TaskDialogEntry() {
  // Only the common controls of version 6 have it; the program's manifest asks for them.
  static const auto entry = reinterpret_cast<TaskDialogProc>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"comctl32.dll"), "TaskDialogIndirect")));
  return entry;
}

// Disables the thread's enabled, visible top-level windows for as long as it lives.
class DisabledWindows {
 public:
  DisabledWindows() {
    EnumThreadWindows(
        GetCurrentThreadId(),
        [](HWND window, LPARAM self) -> BOOL {
          if (IsWindowVisible(window) && IsWindowEnabled(window)) {
            reinterpret_cast<DisabledWindows*>(self)->windows_.push_back(window);
          }
          return TRUE;
        },
        reinterpret_cast<LPARAM>(this));
    for (HWND window : windows_) EnableWindow(window, FALSE);
  }
  ~DisabledWindows() {
    for (HWND window : windows_) EnableWindow(window, TRUE);
  }
  DisabledWindows(const DisabledWindows&) = delete;
  DisabledWindows& operator=(const DisabledWindows&) = delete;

 private:
  std::vector<HWND> windows_;
};

TDialogButton ShowMessageBox(const TDialogRequest& request) {
  HWND owner = TWin32Dialogs::OwnerWindow();
  HWND focus = GetFocus();
  int id;
  {
    DisabledWindows disabled;
    id = MessageBoxW(owner, Widen(request.text).c_str(), Widen(request.caption).c_str(), MessageBoxStyle(request));
  }
  if (owner != nullptr && IsWindow(owner)) SetActiveWindow(owner);
  if (focus != nullptr && IsWindow(focus)) SetFocus(focus);
  return id == 0 ? request.cancelButton : ButtonOfId(id);
}

TDialogButton ShowTaskDialog(const TDialogRequest& request) {
  const std::wstring caption = Widen(request.caption), text = Widen(request.text);
  TASKDIALOGCONFIG config{};
  config.cbSize = sizeof(config);
  config.dwFlags = TDF_ALLOW_DIALOG_CANCELLATION;
  config.pszWindowTitle = caption.c_str();
  config.pszContent = text.c_str();
  switch (request.icon) {
    case TDialogIcon::Error: config.pszMainIcon = TD_ERROR_ICON; break;
    case TDialogIcon::Warning: config.pszMainIcon = TD_WARNING_ICON; break;
    case TDialogIcon::Information:
    case TDialogIcon::Question: config.pszMainIcon = TD_INFORMATION_ICON; break;
    case TDialogIcon::None: break;
  }
  const std::pair<TDialogButton, TASKDIALOG_COMMON_BUTTON_FLAGS> common[] = {
      {TDialogButton::OK, TDCBF_OK_BUTTON},       {TDialogButton::Yes, TDCBF_YES_BUTTON},
      {TDialogButton::No, TDCBF_NO_BUTTON},       {TDialogButton::Cancel, TDCBF_CANCEL_BUTTON},
      {TDialogButton::Retry, TDCBF_RETRY_BUTTON}, {TDialogButton::Close, TDCBF_CLOSE_BUTTON}};
  for (const auto& [button, flag] : common) {
    if (Has(request, button)) config.dwCommonButtons |= flag;
  }
  int id = 0;
  DisabledWindows disabled;
  if (FAILED(TaskDialogEntry()(&config, &id, nullptr, nullptr))) return request.cancelButton;
  // Escape and the close box give IDCANCEL, also where there is no Cancel button.
  return id == IDCANCEL && !Has(request, TDialogButton::Cancel) ? request.cancelButton : ButtonOfId(id);
}

// What the folder picker is told when it opens and when the selection moves.
struct PickerState {
  const TFolderPickerRequest* request;
  HWND owner;
  std::wstring start;
};

int CALLBACK PickerCallback(HWND dialog, UINT message, LPARAM lParam, LPARAM data) {
  auto* state = reinterpret_cast<PickerState*>(data);
  if (message == BFFM_INITIALIZED) {
    RECT over, own;
    if (state->owner != nullptr && GetWindowRect(state->owner, &over)) {
      GetWindowRect(dialog, &own);
      const int width = own.right - own.left, height = own.bottom - own.top;
      SetWindowPos(dialog, nullptr, over.left + (over.right - over.left - width) / 2,
                   over.top + (over.bottom - over.top - height) / 2, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    }
    SendMessageW(dialog, BFFM_ENABLEOK, 0, state->request->enableOkAtStart ? TRUE : FALSE);
    // A folder chosen before is selected, which enables OK.
    if (!state->start.empty()) {
      SendMessageW(dialog, BFFM_SETSELECTIONW, TRUE, reinterpret_cast<LPARAM>(state->start.c_str()));
    }
  } else if (message == BFFM_SELCHANGED) {
    wchar_t path[MAX_PATH] = L"";
    const bool fileSystem =
        lParam != 0 && SHGetPathFromIDListW(reinterpret_cast<PCIDLIST_ABSOLUTE>(lParam), path) != FALSE;
    SendMessageW(dialog, BFFM_ENABLEOK, 0, fileSystem || !state->request->fileSystemDirsOnly ? TRUE : FALSE);
    if (state->request->showPath) SendMessageW(dialog, BFFM_SETSTATUSTEXTW, 0, reinterpret_cast<LPARAM>(path));
  }
  return 0;
}

}  // namespace

HWND TWin32Dialogs::OwnerWindow() {
  if (HWND active = GetActiveWindow()) return active;
  if (auto* main = dynamic_cast<TForm*>(Application.MainForm())) {
    return GetLastActivePopup(Win32FormPeer::WindowOf(*main));
  }
  return nullptr;
}

bool TWin32Dialogs::TaskDialogsAvailable() { return TaskDialogEntry() != nullptr && IsAppThemed(); }

TDialogButton TWin32Dialogs::ShowDialog(const TDialogRequest& request) {
  if (request.kind == TDialogKind::MessageDialog) {
    if (TaskDialogsAvailable()) return ShowTaskDialog(request);
    // Without an owner the box is centred on the screen.
    const int id = MessageBoxW(nullptr, Widen(request.text).c_str(), Widen(request.caption).c_str(),
                               MessageBoxStyle(request) | MB_TASKMODAL);
    return id == 0 ? request.cancelButton : ButtonOfId(id);
  }
  return ShowMessageBox(request);
}

std::optional<std::string> TWin32Dialogs::PickFolder(const TFolderPickerRequest& request) {
  PickerState state{&request, OwnerWindow(), Widen(request.startFolder)};
  const std::wstring title = Widen(request.title);
  wchar_t displayName[MAX_PATH] = L"";
  BROWSEINFOW info{};
  info.hwndOwner = state.owner;
  info.pidlRoot = nullptr;  // the desktop, the top of the shell's tree
  info.pszDisplayName = displayName;
  info.lpszTitle = title.empty() ? nullptr : title.c_str();
  info.ulFlags = BIF_NEWDIALOGSTYLE | (request.fileSystemDirsOnly ? BIF_RETURNONLYFSDIRS : 0) |
                 (request.showPath ? BIF_STATUSTEXT : 0);
  info.lpfn = PickerCallback;
  info.lParam = reinterpret_cast<LPARAM>(&state);
  const UINT previousMode = SetErrorMode(SEM_FAILCRITICALERRORS);
  PIDLIST_ABSOLUTE chosen = SHBrowseForFolderW(&info);
  SetErrorMode(previousMode);
  if (chosen == nullptr) return std::nullopt;
  wchar_t path[MAX_PATH] = L"";
  const bool fileSystem = SHGetPathFromIDListW(chosen, path) != FALSE;
  CoTaskMemFree(chosen);
  if (!fileSystem) return std::nullopt;
  return Narrow(path);
}

void TWin32Dialogs::CancelMouseCapture() {
  if (HWND capture = GetCapture()) SendMessageW(capture, WM_CANCELMODE, 0, 0);
}
