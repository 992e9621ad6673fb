// The dialog seam (dialogs.h) for the windowed program: Qt message boxes and
// the Qt folder picker (not the platform's native one), all modal for the
// whole application. A message box sits over the active window (or the main
// window); the message dialog is centred on the screen; the folder picker is
// centred over the active window.
#pragma once

#include "framework/core/dialogs.h"

class QMessageBox;
class QWidget;

class TQtDialogs : public TDialogs {
 public:
  TDialogButton ShowDialog(const TDialogRequest& request) override;
  std::optional<std::string> PickFolder(const TFolderPickerRequest& request) override;
  void CancelMouseCapture() override;

  // The window a dialog belongs to: the active window, else the main window.
  static QWidget* OwnerWindow();
  // The message box a request gives, not yet shown.
  static QMessageBox* CreateMessageBox(const TDialogRequest& request);
};
