// The framework's message dialog: a modal dialog with an icon for its kind,
// the word-wrapped text and the given buttons, centred on the screen, shown
// through the dialog seam (dialogs.h).
#pragma once

#include <set>
#include <string>

#include "framework/core/dialogs.h"

enum class TMsgDlgType { mtWarning, mtError, mtInformation, mtConfirmation, mtCustom };
enum class TMsgDlgBtn { mbYes, mbNo, mbOK, mbCancel, mbAbort, mbRetry, mbIgnore, mbAll, mbNoToAll, mbYesToAll, mbHelp };
using TMsgDlgButtons = std::set<TMsgDlgBtn>;

// The caption is the kind's ("Error" for mtError; the application title for
// mtCustom). OK or Yes is the default button; Cancel, else No, else OK the
// cancel button. Returns the button that closed the dialog.
TDialogButton MessageDlg(const std::string& text, TMsgDlgType type, const TMsgDlgButtons& buttons, int helpContext);

// The request MessageDlg hands to the seam.
TDialogRequest MessageDialogRequest(const std::string& text, TMsgDlgType type, const TMsgDlgButtons& buttons);
