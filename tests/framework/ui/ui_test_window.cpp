#include "tests/framework/ui/ui_test_window.h"

#include "descriptions/merge_window.h"
#include "framework/core/class_registry.h"
#include "framework/core/embedded_resources.h"
#include "framework/core/exceptions.h"
#include "resources/mergetool_ico.h"

TTestWindow::TTestWindow(TComponent* owner) : TForm(owner) {
  RegisterEmbeddedResource(resources::mergetool_ico_source, resources::mergetool_ico);
  ReadDescription(descriptions::merge_window, descriptions::merge_window_source);
}

void TTestWindow::Note(const std::string& event) {
  events.push_back(event);
  if (!failWith.empty()) {
    std::string text = failWith;
    failWith.clear();
    throw Exception(text);
  }
}

void TTestWindow::ButtonSTARTClick(TComponent*) { Note("START"); }
void TTestWindow::ButtonCANCELClick(TComponent*) {
  Note("CANCEL");
  Close();
}
void TTestWindow::DirectoryDlgDlgChange(TComponent*) { Note("change " + DirectoryDlg->Path()); }

void TTestWindow::Register() {
  RegisterComponentClass<TTestWindow, TForm>("TTestWindow")
      .Field("SimplePanel1", &TTestWindow::SimplePanel1)
      .Field("SimplePanel2", &TTestWindow::SimplePanel2)
      .Field("SimplePanel3", &TTestWindow::SimplePanel3)
      .Field("SimplePanel4", &TTestWindow::SimplePanel4)
      .Field("Label1", &TTestWindow::Label1)
      .Field("LblDMactive", &TTestWindow::LblDMactive)
      .Field("Label4", &TTestWindow::Label4)
      .Field("DBText2", &TTestWindow::DBText2)
      .Field("DirectoryDlg", &TTestWindow::DirectoryDlg)
      .Field("ButtonSTART", &TTestWindow::ButtonSTART)
      .Field("ButtonCANCEL", &TTestWindow::ButtonCANCEL)
      .Field("ButtonQUIT", &TTestWindow::ButtonQUIT)
      .Field("DBProgressFill1", &TTestWindow::DBProgressFill1)
      .Field("StaticText1", &TTestWindow::StaticText1)
      .Field("CheckBox1", &TTestWindow::CheckBox1)
      .Method("ButtonSTARTClick", &TTestWindow::ButtonSTARTClick)
      .Method("ButtonCANCELClick", &TTestWindow::ButtonCANCELClick)
      .Method("DirectoryDlgDlgChange", &TTestWindow::DirectoryDlgDlgChange);
}
