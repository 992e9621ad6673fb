#include "framework/core/dialogs.h"

#include <iostream>

namespace {

class StandardErrorDialogs : public TDialogs {
 public:
  TDialogButton ShowDialog(const TDialogRequest& request) override {
    std::cerr << request.caption << ": " << request.text << std::endl;
    return request.defaultButton;
  }
  std::optional<std::string> PickFolder(const TFolderPickerRequest&) override { return std::nullopt; }
};

StandardErrorDialogs fallback;
TDialogs* installed = nullptr;

}  // namespace

TDialogs& Dialogs() { return installed != nullptr ? *installed : fallback; }

TDialogs* SetDialogs(TDialogs* dialogs) {
  TDialogs* previous = installed;
  installed = dialogs;
  return previous;
}
