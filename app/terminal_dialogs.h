// Dialogs for the command line: messages go to the standard error stream, and
// the errors shown are counted, so that the program can end with a failure
// status when one appeared (a view of a module that did not open, say).
#pragma once

#include <string>
#include <vector>

#include "framework/core/dialogs.h"

class TTerminalDialogs : public TDialogs {
 public:
  TDialogButton ShowDialog(const TDialogRequest& request) override;
  // There is no folder picker on a terminal.
  std::optional<std::string> PickFolder(const TFolderPickerRequest& request) override;

  int errorsShown = 0;
};
