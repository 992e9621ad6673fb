// The merge window: it shows the active database's counters, binds the old
// database to the directory the user picks, and runs the merge with START.
// Its layout and bindings are the stored description form2.fwd; its code is
// the three handlers.
#pragma once

#include "framework/controls/form.h"

class TBatchMove;
class TBrowseEdit;
class TButton;
class TCheckBox;
class TDBProgressFill;
class TDBText;
class TLabel;
class TSimplePanel;
class TStaticText;

class TForm2 : public TForm {
 public:
  explicit TForm2(TComponent* owner);
  std::string_view ClassName() const override { return "TForm2"; }
  // Registers the class (and the classes its description uses).
  static void Register();

  TSimplePanel* SimplePanel1 = nullptr;
  TSimplePanel* SimplePanel2 = nullptr;
  TSimplePanel* SimplePanel3 = nullptr;
  TButton* ButtonSTART = nullptr;
  TSimplePanel* SimplePanel4 = nullptr;
  TLabel* Label1 = nullptr;
  TLabel* LblDMactive = nullptr;
  TLabel* Label5 = nullptr;
  TLabel* Label7 = nullptr;
  TLabel* Label2 = nullptr;
  TLabel* Label6 = nullptr;
  TLabel* Label4 = nullptr;
  TBatchMove* BatchMovePat = nullptr;
  TBatchMove* BatchMoveSes = nullptr;
  TBatchMove* BatchMoveDat = nullptr;
  TDBProgressFill* DBProgressFill1 = nullptr;
  TDBProgressFill* DBProgressFill2 = nullptr;
  TDBProgressFill* DBProgressFill3 = nullptr;
  TButton* ButtonCANCEL = nullptr;
  TButton* ButtonQUIT = nullptr;
  TBrowseEdit* DirectoryDlg = nullptr;
  TDBText* DBText2 = nullptr;
  TDBText* DBText3 = nullptr;
  TDBText* DBText4 = nullptr;
  TStaticText* StaticText1 = nullptr;
  TCheckBox* CheckBox1 = nullptr;

  void ButtonSTARTClick(TComponent* sender);
  void DirectoryDlgDlgChange(TComponent* sender);
  void ButtonCANCELClick(TComponent* sender);
};

extern TForm2* Form2;
