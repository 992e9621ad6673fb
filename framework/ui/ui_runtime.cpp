#include "framework/ui/ui_runtime.h"

#include <QApplication>

#include "framework/core/application.h"
#include "framework/ui/browse_edit.h"
#include "framework/ui/button.h"
#include "framework/ui/check_box.h"
#include "framework/ui/control.h"
#include "framework/ui/db_progress_fill.h"
#include "framework/ui/db_text.h"
#include "framework/ui/font.h"
#include "framework/ui/form.h"
#include "framework/ui/label.h"
#include "framework/ui/qt_dialogs.h"
#include "framework/ui/qt_message_loop.h"
#include "framework/ui/simple_panel.h"
#include "framework/ui/static_text.h"

void RegisterUiClasses() {
  TForm::Register();
  TControl::Register();
  TSimplePanel::Register();
  TCustomLabel::Register();
  TLabel::Register();
  TStaticText::Register();
  TCheckBox::Register();
  TButton::Register();
  TBrowseEdit::Register();
  TDBText::Register();
  TDBProgressFill::Register();
}

TUiRuntime::TUiRuntime(int& argc, char** argv)
    : app_(std::make_unique<QApplication>(argc, argv)),
      dialogs_(std::make_unique<TQtDialogs>()),
      loop_(std::make_unique<TQtMessageLoop>()) {
  // The main window's close ends the loop through Application.Terminate; a
  // message box closing before the main window is shown must not.
  QApplication::setQuitOnLastWindowClosed(false);
  QApplication::setFont(DefaultFont());
  RegisterUiClasses();
  previousDialogs_ = SetDialogs(dialogs_.get());
  previousLoop_ = Application.SetMessageLoop(loop_.get());
}

TUiRuntime::~TUiRuntime() {
  Application.Shutdown();
  Application.SetMessageLoop(previousLoop_);
  SetDialogs(previousDialogs_);
}
