// The dialog seam (dialogs.h) on the Windows API. The message box sits over
// its owner, the active window of the thread or else the main window's last
// active pop-up; all other windows of the thread are disabled while it is
// open, and afterwards the owner is activated and the focus goes back where
// it was. The message dialog is centred on the screen: a task dialog where
// the themed common controls are there and switched on, else a message box
// without owner. The folder picker is the shell's, owned by and centred over
// the active window, its tree starting at the desktop, with the system's
// error boxes for unready drives suppressed while it is open.
#pragma once

#include "framework/core/dialogs.h"
#include "framework/ui/win32/win32_api.h"

class TWin32Dialogs : public TDialogs {
 public:
  TDialogButton ShowDialog(const TDialogRequest& request) override;
  std::optional<std::string> PickFolder(const TFolderPickerRequest& request) override;
  void CancelMouseCapture() override;

  // The window a dialog belongs to: the thread's active window, else the
  // main window's last active pop-up; null without either.
  static HWND OwnerWindow();
  // Whether the message dialog is shown as a task dialog here.
  static bool TaskDialogsAvailable();
};
