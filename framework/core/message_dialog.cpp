#include "framework/core/message_dialog.h"

#include <algorithm>

#include "framework/core/application.h"

namespace {

TDialogButton ButtonOf(TMsgDlgBtn button) {
  switch (button) {
    case TMsgDlgBtn::mbYes: return TDialogButton::Yes;
    case TMsgDlgBtn::mbNo: return TDialogButton::No;
    case TMsgDlgBtn::mbOK: return TDialogButton::OK;
    case TMsgDlgBtn::mbCancel: return TDialogButton::Cancel;
    case TMsgDlgBtn::mbAbort: return TDialogButton::Abort;
    case TMsgDlgBtn::mbRetry: return TDialogButton::Retry;
    case TMsgDlgBtn::mbIgnore: return TDialogButton::Ignore;
    case TMsgDlgBtn::mbAll: return TDialogButton::All;
    case TMsgDlgBtn::mbNoToAll: return TDialogButton::NoToAll;
    case TMsgDlgBtn::mbYesToAll: return TDialogButton::YesToAll;
    case TMsgDlgBtn::mbHelp: return TDialogButton::Help;
  }
  return TDialogButton::None;
}

}  // namespace

TDialogRequest MessageDialogRequest(const std::string& text, TMsgDlgType type, const TMsgDlgButtons& buttons) {
  TDialogRequest request;
  request.kind = TDialogKind::MessageDialog;
  request.text = text;
  switch (type) {
    case TMsgDlgType::mtWarning:
      request.caption = "Warning";
      request.icon = TDialogIcon::Warning;
      break;
    case TMsgDlgType::mtError:
      request.caption = "Error";
      request.icon = TDialogIcon::Error;
      break;
    case TMsgDlgType::mtInformation:
      request.caption = "Information";
      request.icon = TDialogIcon::Information;
      break;
    case TMsgDlgType::mtConfirmation:
      request.caption = "Confirm";
      request.icon = TDialogIcon::Question;
      break;
    case TMsgDlgType::mtCustom:
      request.caption = Application.Title();
      break;
  }
  for (TMsgDlgBtn button : buttons) request.buttons.push_back(ButtonOf(button));
  auto has = [&](TDialogButton b) {
    return std::find(request.buttons.begin(), request.buttons.end(), b) != request.buttons.end();
  };
  if (has(TDialogButton::OK)) {
    request.defaultButton = TDialogButton::OK;
  } else if (has(TDialogButton::Yes)) {
    request.defaultButton = TDialogButton::Yes;
  }
  if (has(TDialogButton::Cancel)) {
    request.cancelButton = TDialogButton::Cancel;
  } else if (has(TDialogButton::No)) {
    request.cancelButton = TDialogButton::No;
  } else if (has(TDialogButton::OK)) {
    request.cancelButton = TDialogButton::OK;
  }
  return request;
}

TDialogButton MessageDlg(const std::string& text, TMsgDlgType type, const TMsgDlgButtons& buttons, int) {
  return Dialogs().ShowDialog(MessageDialogRequest(text, type, buttons));
}
