#include "app/form2.h"

#include "app/merge_procedure.h"
#include "app/old_database.h"
#include "database/dm_ra5.h"
#include "database/dm_ra5old.h"
#include "descriptions/form2.h"
#include "framework/controls/browse_edit.h"
#include "framework/controls/button.h"
#include "framework/controls/check_box.h"
#include "framework/controls/label.h"
#include "framework/controls/simple_panel.h"
#include "framework/controls/static_text.h"
#include "framework/core/application.h"
#include "framework/core/class_registry.h"
#include "framework/core/embedded_resources.h"
#include "framework/core/message_dialog.h"
#include "framework/dbcontrols/db_progress_fill.h"
#include "framework/dbcontrols/db_text.h"
#include "resources/mergetool_ico.h"
#include "tableaccess/batch_move.h"
#include "tableaccess/registered_classes.h"

TForm2* Form2 = nullptr;

TForm2::TForm2(TComponent* owner) : TForm(owner) {
  Register();
  ReadDescription(descriptions::form2, descriptions::form2_source);
}

void TForm2::Register() {
  static const bool registered = [] {
    RegisterTableAccessClasses();
    RegisterEmbeddedResource(resources::mergetool_ico_source, resources::mergetool_ico);
    RegisterComponentClass<TForm2, TForm>("TForm2")
        .Field("SimplePanel1", &TForm2::SimplePanel1)
        .Field("SimplePanel2", &TForm2::SimplePanel2)
        .Field("SimplePanel3", &TForm2::SimplePanel3)
        .Field("ButtonSTART", &TForm2::ButtonSTART)
        .Field("SimplePanel4", &TForm2::SimplePanel4)
        .Field("Label1", &TForm2::Label1)
        .Field("LblDMactive", &TForm2::LblDMactive)
        .Field("Label5", &TForm2::Label5)
        .Field("Label7", &TForm2::Label7)
        .Field("Label2", &TForm2::Label2)
        .Field("Label6", &TForm2::Label6)
        .Field("Label4", &TForm2::Label4)
        .Field("BatchMovePat", &TForm2::BatchMovePat)
        .Field("BatchMoveSes", &TForm2::BatchMoveSes)
        .Field("BatchMoveDat", &TForm2::BatchMoveDat)
        .Field("DBProgressFill1", &TForm2::DBProgressFill1)
        .Field("DBProgressFill2", &TForm2::DBProgressFill2)
        .Field("DBProgressFill3", &TForm2::DBProgressFill3)
        .Field("ButtonCANCEL", &TForm2::ButtonCANCEL)
        .Field("ButtonQUIT", &TForm2::ButtonQUIT)
        .Field("DirectoryDlg", &TForm2::DirectoryDlg)
        .Field("DBText2", &TForm2::DBText2)
        .Field("DBText3", &TForm2::DBText3)
        .Field("DBText4", &TForm2::DBText4)
        .Field("StaticText1", &TForm2::StaticText1)
        .Field("CheckBox1", &TForm2::CheckBox1)
        .Method("ButtonSTARTClick", &TForm2::ButtonSTARTClick)
        .Method("DirectoryDlgDlgChange", &TForm2::DirectoryDlgDlgChange)
        .Method("ButtonCANCELClick", &TForm2::ButtonCANCELClick);
    return true;
  }();
  (void)registered;
}

void TForm2::DirectoryDlgDlgChange(TComponent*) {
  // Outside the guarded section: the active database's own directory, and
  // views open on another directory, refuse the new name, and that error
  // reaches the exception display.
  CheckNotActiveDatabase(*dmRA5, DirectoryDlg->Path());
  BindOldDatabase(*dmRA5old, DirectoryDlg->Path());
  try {
    // Opening makes the progress bars read each view's first key as a whole
    // number; a view without records or with another key fails here too.
    OpenOldDatabase(*dmRA5old);
    ButtonSTART->SetVisible(CheckBox1->Checked());
  } catch (...) {
    MessageDlg(kOldDataMessage, TMsgDlgType::mtError, {TMsgDlgBtn::mbOK}, 0);
    CloseOldDatabase(*dmRA5old);
    ButtonCANCEL->SetVisible(true);
  }
}

void TForm2::ButtonSTARTClick(TComponent*) {
  ButtonCANCEL->SetVisible(false);
  ButtonSTART->SetVisible(false);
  const MergeReport report =
      RunMerge(MergeTablesOf(*dmRA5, *dmRA5old, BatchMovePat, BatchMoveSes, BatchMoveDat));
  // Records the appends turned away would otherwise vanish without a word.
  if (report.anyRejected()) MessageDlg(RejectedRecordsMessage(report), TMsgDlgType::mtWarning, {TMsgDlgBtn::mbOK}, 0);
  ButtonQUIT->SetVisible(true);
}

void TForm2::ButtonCANCELClick(TComponent*) { Close(); }
