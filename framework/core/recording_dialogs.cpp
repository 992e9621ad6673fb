#include "framework/core/recording_dialogs.h"

TDialogButton TRecordingDialogs::ShowDialog(const TDialogRequest& request) {
  shown.push_back(request);
  if (onShow) onShow(request);
  if (answers.empty()) return request.defaultButton;
  TDialogButton answer = answers.front();
  answers.pop_front();
  return answer;
}

std::optional<std::string> TRecordingDialogs::PickFolder(const TFolderPickerRequest& request) {
  folderRequests.push_back(request);
  if (onPickFolder) onPickFolder(request);
  if (folderAnswers.empty()) return std::nullopt;
  std::optional<std::string> answer = folderAnswers.front();
  folderAnswers.pop_front();
  return answer;
}

std::vector<std::string> TRecordingDialogs::Texts() const {
  std::vector<std::string> texts;
  for (const TDialogRequest& request : shown) texts.push_back(request.text);
  return texts;
}
