// The seam between the framework and the dialogs the user answers: message
// boxes, message dialogs and the folder picker. The windowed program installs
// its back end's dialogs (framework/ui); tests install TRecordingDialogs, which
// records what would have been shown and answers without a window. Without
// either, a message is written to the standard error stream.
// Dialogs are modal and belong to the user-interface thread.
#pragma once

#include <optional>
#include <string>
#include <vector>

enum class TDialogKind {
  MessageBox,     // the application's message box, placed over its owner
  MessageDialog,  // the message dialog, centred on the screen
};

enum class TDialogIcon { None, Error, Warning, Information, Question };

enum class TDialogButton { None, OK, Cancel, Abort, Retry, Ignore, Yes, No, Close, Help, All, NoToAll, YesToAll };

struct TDialogRequest {
  TDialogKind kind = TDialogKind::MessageBox;
  std::string caption;
  std::string text;  // shown as it stands, line breaks included
  TDialogIcon icon = TDialogIcon::None;
  std::vector<TDialogButton> buttons;
  TDialogButton defaultButton = TDialogButton::None;  // Enter
  TDialogButton cancelButton = TDialogButton::None;   // Escape and the close box
};

struct TFolderPickerRequest {
  std::string title;        // empty: the picker's own title
  std::string startFolder;  // empty: the top of the folder tree (the desktop)
  bool fileSystemDirsOnly = true;
  bool showPath = false;
  bool enableOkAtStart = false;
};

class TDialogs {
 public:
  virtual ~TDialogs() = default;
  // Shows a modal dialog and returns the button that closed it.
  virtual TDialogButton ShowDialog(const TDialogRequest& request) = 0;
  // Shows the modal folder picker over the active window: the chosen
  // directory's absolute path, or nothing when the user cancelled.
  virtual std::optional<std::string> PickFolder(const TFolderPickerRequest& request) = 0;
  // Ends a mouse capture before the exception display opens its box.
  virtual void CancelMouseCapture() {}
};

// The installed dialogs (never null).
TDialogs& Dialogs();
// Installs `dialogs` (null: the standard-error fallback); returns the previous.
TDialogs* SetDialogs(TDialogs* dialogs);

// Installs dialogs for one scope and puts the previous back afterwards.
class TDialogsScope {
 public:
  explicit TDialogsScope(TDialogs& dialogs) : previous_(SetDialogs(&dialogs)) {}
  ~TDialogsScope() { SetDialogs(previous_); }
  TDialogsScope(const TDialogsScope&) = delete;
  TDialogsScope& operator=(const TDialogsScope&) = delete;

 private:
  TDialogs* previous_;
};
