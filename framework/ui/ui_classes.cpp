#include "framework/controls/browse_edit.h"
#include "framework/controls/button.h"
#include "framework/controls/check_box.h"
#include "framework/controls/control.h"
#include "framework/controls/form.h"
#include "framework/controls/label.h"
#include "framework/controls/simple_panel.h"
#include "framework/controls/static_text.h"
#include "framework/dbcontrols/db_progress_fill.h"
#include "framework/dbcontrols/db_text.h"
#include "framework/ui/ui_runtime.h"

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
