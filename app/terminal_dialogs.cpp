#include "app/terminal_dialogs.h"

#include <iostream>

TDialogButton TTerminalDialogs::ShowDialog(const TDialogRequest& request) {
  if (request.icon == TDialogIcon::Error) ++errorsShown;
  std::string text = request.text;
  for (std::size_t at = text.find("\r\n"); at != std::string::npos; at = text.find("\r\n", at)) text.erase(at, 1);
  std::cerr << text << '\n';
  return request.defaultButton != TDialogButton::None ? request.defaultButton
                                                      : (request.buttons.empty() ? TDialogButton::OK : request.buttons.front());
}

std::optional<std::string> TTerminalDialogs::PickFolder(const TFolderPickerRequest&) { return std::nullopt; }
