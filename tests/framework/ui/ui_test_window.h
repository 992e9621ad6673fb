// A window class for the component set's tests, built from merge_window.fwd,
// with members for its controls and the handlers that the description names.
#pragma once

#include <string>
#include <vector>

#include "framework/controls/browse_edit.h"
#include "framework/controls/button.h"
#include "framework/controls/check_box.h"
#include "framework/controls/form.h"
#include "framework/controls/label.h"
#include "framework/controls/simple_panel.h"
#include "framework/controls/static_text.h"
#include "framework/dbcontrols/db_progress_fill.h"
#include "framework/dbcontrols/db_text.h"

class TTestWindow : public TForm {
 public:
  explicit TTestWindow(TComponent* owner);
  std::string_view ClassName() const override { return "TTestWindow"; }

  void ButtonSTARTClick(TComponent* sender);
  void ButtonCANCELClick(TComponent* sender);
  void DirectoryDlgDlgChange(TComponent* sender);

  TSimplePanel* SimplePanel1 = nullptr;
  TSimplePanel* SimplePanel2 = nullptr;
  TSimplePanel* SimplePanel3 = nullptr;
  TSimplePanel* SimplePanel4 = nullptr;
  TLabel* Label1 = nullptr;
  TLabel* LblDMactive = nullptr;
  TLabel* Label4 = nullptr;
  TDBText* DBText2 = nullptr;
  TBrowseEdit* DirectoryDlg = nullptr;
  TButton* ButtonSTART = nullptr;
  TButton* ButtonCANCEL = nullptr;
  TButton* ButtonQUIT = nullptr;
  TDBProgressFill* DBProgressFill1 = nullptr;
  TStaticText* StaticText1 = nullptr;
  TCheckBox* CheckBox1 = nullptr;

  // What the handlers saw, in order: "START", "CANCEL", "change <path>".
  std::vector<std::string> events;
  // Makes the next handler call throw an Exception with this text.
  std::string failWith;

  static void Register();

 private:
  void Note(const std::string& event);
};
