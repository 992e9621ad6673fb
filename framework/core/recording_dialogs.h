// Dialogs that answer without a window: each request is recorded, and the
// answer is taken from what the test queued (or the default button, and a
// cancelled folder picker, when nothing is queued). A test may also run code
// "while the dialog is open" through OnShow.
#pragma once

#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "framework/core/dialogs.h"

class TRecordingDialogs : public TDialogs {
 public:
  TDialogButton ShowDialog(const TDialogRequest& request) override;
  std::optional<std::string> PickFolder(const TFolderPickerRequest& request) override;
  void CancelMouseCapture() override { ++mouseCaptureCancels; }

  // The texts of the dialogs shown, in order.
  std::vector<std::string> Texts() const;

  std::vector<TDialogRequest> shown;
  std::vector<TFolderPickerRequest> folderRequests;
  std::deque<TDialogButton> answers;
  std::deque<std::optional<std::string>> folderAnswers;
  std::function<void(const TDialogRequest&)> onShow;
  std::function<void(const TFolderPickerRequest&)> onPickFolder;
  int mouseCaptureCancels = 0;
};
