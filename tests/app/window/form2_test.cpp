// The merge window on real databases: its start state, the directory
// handler with its message and states, START running the merge, and the
// texts and layout it is built from.
#include "app/form2.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "app/old_database.h"
#include "database/dm_ra5.h"
#include "database/dm_ra5old.h"
#include "engine/io/platform.h"
#include "framework/core/application.h"
#include "framework/controls/browse_edit.h"
#include "framework/controls/button.h"
#include "framework/controls/check_box.h"
#include "framework/controls/label.h"
#include "framework/controls/static_text.h"
#include "framework/core/recording_dialogs.h"
#include "framework/dbcontrols/db_progress_fill.h"
#include "framework/dbcontrols/db_text.h"
#include "tableaccess/batch_move.h"
#include "tableaccess/integer_field.h"
#include "tableaccess/session.h"
#include "tableaccess/string_field.h"
#include "tableaccess/table.h"
#include "tests/support/png_file.h"
#include "tests/support/pxlib_reader.h"
#include "tests/support/test_support.h"
#include "tests/support/tool_run.h"
#include "tests/support/ui_test_platform.h"

namespace fs = std::filesystem;

namespace {

class Form2Test : public ::testing::Test {
 protected:
  void SetUp() override {
    const std::string config = (dir_.path() / "pxengine.conf").string();
    std::ofstream(config) << "[aliases]\nwinvelda5 = " << active().string() << "\n";
    px::setEnvironmentVariable("PXENGINE_CONFIG", config.c_str());
    ASSERT_EQ(Sample(active(), "--patients 20 --seed 5 --first-key 1000"), 0);
    ASSERT_EQ(Sample(old(), "--patients 10 --seed 6"), 0);
  }
  void TearDown() override {
    delete dmRA5;
    dmRA5 = nullptr;
    delete dmRA5old;
    dmRA5old = nullptr;
    delete Form2;
    Form2 = nullptr;
    EndDefaultSession();
    px::setEnvironmentVariable("PXENGINE_CONFIG", std::nullopt);
  }
  int Sample(const fs::path& dir, const std::string& args) {
    return px::test::runTool("makesample", dir.string() + " " + args).exitCode;
  }
  // Start-up's order: the window, then the old module, then the active one.
  void Start() {
    Form2 = new TForm2(nullptr);
    dmRA5old = new TdmRA5old(nullptr);
    dmRA5 = new TdmRA5(nullptr);
  }
  // A click on the folder button, answered with `path`.
  void Choose(const std::string& path) {
    dialogs_.folderAnswers.push_back(path);
    Form2->DirectoryDlg->EditPeer().ClickButton();
  }
  bool Visible(TButton* button) const { return button->Visible(); }
  fs::path active() const { return dir_.path() / "aktiv"; }
  fs::path old() const { return dir_.path() / "alt"; }

  px::test::TempDir dir_;
  TRecordingDialogs dialogs_;
  TDialogsScope scope_{dialogs_};
};

TEST_F(Form2Test, StartsWaitingWithTheCountersShown) {
  Start();
  EXPECT_TRUE(dialogs_.shown.empty());
  EXPECT_FALSE(Visible(Form2->ButtonSTART));
  EXPECT_TRUE(Visible(Form2->ButtonCANCEL));
  EXPECT_FALSE(Visible(Form2->ButtonQUIT));
  EXPECT_EQ(Form2->DBText2->ShownText(), dmRA5->dIndexLastPatient->AsString());
  EXPECT_FALSE(Form2->DBText2->ShownText().empty());
  EXPECT_EQ(Form2->DBText4->ShownText(), dmRA5->dIndexLastData->AsString());
  EXPECT_FALSE(dmRA5old->dPatient->Active());
  EXPECT_EQ(Form2->DBProgressFill1->Percent(), 0);
}

TEST_F(Form2Test, ChosenDirectoryWithConsentOpensTheOldViewsAndShowsStart) {
  Start();
  Form2->CheckBox1->SetChecked(true);
  Choose(old().string());
  EXPECT_TRUE(dialogs_.shown.empty());
  EXPECT_TRUE(dmRA5old->dPatient->Active());
  EXPECT_EQ(dmRA5old->dData->DatabaseName(), old().string() + "\\");
  EXPECT_TRUE(Visible(Form2->ButtonSTART));
  EXPECT_EQ(Form2->DirectoryDlg->Path(), old().string());
}

TEST_F(Form2Test, WithoutConsentStartStaysHiddenUntilTheSameDirectoryIsChosenAgain) {
  Start();
  Choose(old().string());
  EXPECT_TRUE(dmRA5old->dPatient->Active());
  EXPECT_FALSE(Visible(Form2->ButtonSTART));
  Form2->CheckBox1->SetChecked(true);
  EXPECT_FALSE(Visible(Form2->ButtonSTART));  // ticking alone shows nothing
  Choose(old().string());
  EXPECT_TRUE(Visible(Form2->ButtonSTART));
  EXPECT_TRUE(dialogs_.shown.empty());
}

TEST_F(Form2Test, DirectoryWithoutDataTableGivesTheMessageAndClosesTheViews) {
  Start();
  Form2->CheckBox1->SetChecked(true);
  fs::remove(old() / "data.DB");
  Form2->ButtonCANCEL->SetVisible(false);
  Choose(old().string());
  ASSERT_EQ(dialogs_.shown.size(), 1u);
  // The framework's message dialog, centred on the screen, not the exception
  // display's box over the window.
  const TDialogRequest& shown = dialogs_.shown[0];
  EXPECT_EQ(shown.kind, TDialogKind::MessageDialog);
  EXPECT_EQ(shown.caption, "Error");
  EXPECT_EQ(shown.text, kOldDataMessage);
  EXPECT_EQ(shown.icon, TDialogIcon::Error);
  EXPECT_EQ(shown.buttons, std::vector<TDialogButton>{TDialogButton::OK});
  EXPECT_EQ(shown.defaultButton, TDialogButton::OK);
  EXPECT_EQ(shown.cancelButton, TDialogButton::OK);
  for (TTable* view : {dmRA5old->dPatient, dmRA5old->dSession, dmRA5old->dData}) EXPECT_FALSE(view->Active());
  EXPECT_FALSE(Visible(Form2->ButtonSTART));
  EXPECT_TRUE(Visible(Form2->ButtonCANCEL));
}

TEST_F(Form2Test, OldPatientsAllMarkedXGiveTheMessage) {
  // An old database whose patients are all marked "x": the filtered view
  // admits none and its progress bar cannot read a first key.
  fs::remove_all(old());
  ASSERT_EQ(Sample(old(), "--patients 3 --hidden-patients 1 --seed 6"), 0);
  const px::test::ToolRun dump = px::test::runTool("pxdump", (old() / "patient.db").string() + " --csv");
  ASSERT_EQ(dump.exitCode, 0) << dump.out;
  std::istringstream lines(dump.out);
  std::string line;
  int records = 0, marked = 0;
  for (std::getline(lines, line); std::getline(lines, line); ++records) marked += line.find(",x,") != std::string::npos;
  ASSERT_EQ(records, 3) << dump.out;
  ASSERT_EQ(marked, 3) << dump.out;
  Start();
  Form2->CheckBox1->SetChecked(true);
  Choose(old().string());
  ASSERT_EQ(dialogs_.shown.size(), 1u);
  EXPECT_EQ(dialogs_.shown[0].text, kOldDataMessage);
  for (TTable* view : {dmRA5old->dPatient, dmRA5old->dSession, dmRA5old->dData}) EXPECT_FALSE(view->Active());
  EXPECT_FALSE(Visible(Form2->ButtonSTART));
}

TEST_F(Form2Test, AnotherDirectoryAfterOpeningIsRefusedThroughTheExceptionDisplay) {
  Start();
  Choose(old().string());
  ASSERT_TRUE(dmRA5old->dPatient->Active());
  Choose((dir_.path() / "anders").string());
  ASSERT_EQ(dialogs_.shown.size(), 1u);
  EXPECT_EQ(dialogs_.shown[0].text, "dPatient: Cannot perform this operation on an open dataset.");
  EXPECT_EQ(dmRA5old->dPatient->DatabaseName(), old().string() + "\\");
  EXPECT_TRUE(dmRA5old->dData->Active());
  EXPECT_EQ(Form2->DirectoryDlg->Path(), (dir_.path() / "anders").string());
}

TEST_F(Form2Test, PathEndingInABackslashGetsASecondOne) {
  Start();
  BindOldDatabase(*dmRA5old, "C:\\Alt\\");
  EXPECT_EQ(dmRA5old->dPatient->DatabaseName(), "C:\\Alt\\\\");
}

TEST_F(Form2Test, StartRunsTheMergeAndLeavesOnlyQuit) {
  Start();
  const std::int32_t before = dmRA5->dIndexLastPatient->AsInteger();
  Form2->CheckBox1->SetChecked(true);
  Choose(old().string());
  Form2->ButtonSTART->ButtonPeer().Click();
  EXPECT_TRUE(dialogs_.shown.empty()) << dialogs_.Texts().front();
  EXPECT_FALSE(Visible(Form2->ButtonSTART));
  EXPECT_FALSE(Visible(Form2->ButtonCANCEL));
  EXPECT_TRUE(Visible(Form2->ButtonQUIT));
  EXPECT_GT(dmRA5->dIndexLastPatient->AsInteger(), before);
  EXPECT_EQ(Form2->DBText2->ShownText(), dmRA5->dIndexLastPatient->AsString());
  // The walk ended on each old view's first record: its key lies above 100 now.
  EXPECT_EQ(Form2->DBProgressFill1->Percent(), 100);
  // The same directory again with consent: START comes back beside "Beenden".
  Choose(old().string());
  EXPECT_TRUE(Visible(Form2->ButtonSTART));
  EXPECT_TRUE(Visible(Form2->ButtonQUIT));
}

TEST_F(Form2Test, FailingMergeLeavesTheWindowStopped) {
  Start();
  Form2->CheckBox1->SetChecked(true);
  Choose(old().string());
  dmRA5->dIndex->Close();  // the counters cannot be read: the merge fails at once
  Form2->ButtonSTART->ButtonPeer().Click();
  ASSERT_EQ(dialogs_.shown.size(), 1u);
  EXPECT_FALSE(Visible(Form2->ButtonSTART));
  EXPECT_FALSE(Visible(Form2->ButtonCANCEL));
  EXPECT_FALSE(Visible(Form2->ButtonQUIT));
}

TEST_F(Form2Test, TextsLayoutAndBatchAppendsAreThoseOfTheWindow) {
  Start();
  EXPECT_EQ(Form2->Caption(), "VELDATEST Mergetool");
  EXPECT_EQ(Form2->ClientWidth(), 476);
  EXPECT_EQ(Form2->ClientHeight(), 536);
  EXPECT_EQ(Form2->BorderStyle(), TFormBorderStyle::bsToolWindow);
  EXPECT_EQ(Form2->Label4->Caption(), "Ort der einzumischenden alten Datenbank");
  EXPECT_EQ(Form2->LblDMactive->Caption(), "winVELDA5");
  EXPECT_EQ(Form2->ButtonCANCEL->Caption(), "Abbrechen");
  EXPECT_EQ(Form2->ButtonQUIT->Caption(), "Beenden");
  EXPECT_EQ(Form2->CheckBox1->Caption(), "Zustimmung");
  EXPECT_EQ(Form2->StaticText1->Caption(),
            "Ich bestätige von den Dateien der aktiven\r\nDatenbank und von den Dateien der alten\r\n"
            "einzumischenden Datenbank jeweils eine\r\nSicherungskopie erstellt zu haben.");
  EXPECT_EQ(Form2->BatchMovePat->Source(), dmRA5old->dPatient);
  EXPECT_EQ(Form2->BatchMovePat->Destination(), dmRA5->dPatient);
  EXPECT_EQ(Form2->BatchMoveDat->Source(), dmRA5old->dData);
  EXPECT_FALSE(Form2->BatchMoveSes->AbortOnKeyViol());
  EXPECT_FALSE(Form2->BatchMoveSes->AbortOnProblem());
  EXPECT_EQ(Form2->DBProgressFill2->DataField(), "SessionID");
}

TEST_F(Form2Test, QuitClosesTheMainWindowAndEndsTheProgramsLoop) {
  // Start-up as the program does it: the window becomes the main window and
  // the loop runs until the click on "Abbrechen" closes it.
  Application.CreateForm(Form2);
  Application.CreateForm(dmRA5old);
  Application.CreateForm(dmRA5);
  ASSERT_EQ(Application.MainForm(), Form2);
  // The click posts the quit message; the loop that Run starts shows the
  // window and takes it.
  Form2->ButtonCANCEL->ButtonPeer().Click();
  Application.Run();
  EXPECT_TRUE(Application.Terminated());
  EXPECT_TRUE(Form2->Visible());  // the close ends the loop; shutdown takes the window down
  // Then the entry shuts down: the modules and the window are destroyed.
  Application.Shutdown();
  EXPECT_EQ(Application.MainForm(), nullptr);
  EXPECT_EQ(Application.ComponentCount(), 0u);
  Form2 = nullptr;
  dmRA5old = nullptr;
  dmRA5 = nullptr;
}

}  // namespace

namespace {

// The filled columns of a progress bar's middle row, from what it paints.
int FilledColumns(TDBProgressFill& bar) {
  const TBitmap image = bar.Peer().Grab();
  const int y = image.Height() / 2;
  const std::uint32_t fill = WidgetSet().ResolveColor(bar.FillColor()).Pixel();
  int filled = 0;
  for (int x = 1; x < image.Width() - 1; ++x) {
    if (image.Pixel(x, y) == fill) ++filled;
  }
  return filled;
}

// The records pxlib counts in a table; -1 where it cannot open it or this
// build has no pxlib.
int TableRecords(const fs::path& file) { return px::test::readWithPxlib(file).records; }

// Saved under the build directory; a screen of another resolution than the
// design's adds it to the name.
void SaveScreenshot(TForm2& form, const std::string& name) {
  const fs::path dir = px::test::buildDirectory() / "screenshots";
  fs::create_directories(dir);
  const int dpi = WidgetSet().PixelsPerInch();
  const std::string file = name + (dpi == kDesignPixelsPerInch ? "" : "-" + std::to_string(dpi) + "dpi") + ".png";
  EXPECT_TRUE(SavePng(form.Peer().Grab(), dir / file));
}

// Where the Linux side of the Windows stage wants the pair before and after
// the window's merge, to read it with pxlib (windows_programs_posix_test.cpp).
void KeepPair(const fs::path& active, const fs::path& old, const std::string& when) {
  const std::optional<std::string> keep = px::environmentVariable("PX_WINDOW_MERGE_KEEP");
  if (!keep) return;
  const fs::path dir = fs::path(*keep) / when;
  fs::create_directories(dir);
  fs::copy(active, dir / "aktiv", fs::copy_options::recursive);
  fs::copy(old, dir / "alt", fs::copy_options::recursive);
}

class Form2MergeTest : public Form2Test {};

TEST_F(Form2MergeTest, CompleteMergeThroughTheWindowAsPxlibAndTheCheckSeeIt) {
  KeepPair(active(), old(), "vorher");
  Start();
  Form2->Show();
  const int patientsBefore = TableRecords(active() / "patient.DB");
  const std::string counterBefore = Form2->DBText2->ShownText();
  SaveScreenshot(*Form2, "1-waiting");

  Form2->CheckBox1->SetChecked(true);
  Choose(old().string());
  // The bars show each old view's first key: a key of k fills k percent.
  const int firstKey = dmRA5old->dPatientID->AsInteger();
  const int inner = Form2->DBProgressFill1->PaintBoxPeer().DeviceSize().width - 2;
  EXPECT_EQ(Form2->DBProgressFill1->Percent(), std::clamp(firstKey, 0, 100));
  EXPECT_EQ(FilledColumns(*Form2->DBProgressFill1), std::clamp(firstKey, 0, 100) * inner / 100);
  // The picture shows what a practice's field would: text typed over the
  // chosen path changes nothing else.
  const std::string chosen = Form2->DirectoryDlg->Path();
  Form2->DirectoryDlg->SetPath(PracticeLikeOldPath());
  SaveScreenshot(*Form2, "2-ready");
  Form2->DirectoryDlg->SetPath(chosen);

  Form2->ButtonSTART->ButtonPeer().Click();
  ASSERT_TRUE(Visible(Form2->ButtonQUIT));
  const std::string counterAfter = Form2->DBText2->ShownText();
  EXPECT_NE(counterAfter, counterBefore);
  EXPECT_EQ(counterAfter, dmRA5->dIndexLastPatient->AsString());
  // Renumbered keys lie above 100: every bar is full.
  for (TDBProgressFill* bar : {Form2->DBProgressFill1, Form2->DBProgressFill2, Form2->DBProgressFill3}) {
    EXPECT_EQ(FilledColumns(*bar), inner);
  }
  SaveScreenshot(*Form2, "3-finished");
  const std::int32_t moved = Form2->BatchMovePat->MovedCount();
  EXPECT_GT(moved, 0);

  delete dmRA5;
  dmRA5 = nullptr;
  delete dmRA5old;
  dmRA5old = nullptr;
  EndDefaultSession();
  KeepPair(active(), old(), "nachher");
  // Without pxlib (Windows) the Linux side reads these tables (windows_programs_posix_test.cpp).
  if (px::test::pxlibReads()) {
    EXPECT_EQ(TableRecords(active() / "patient.DB"), patientsBefore + moved);
  }
  for (const auto& dir : {active(), old()}) {
    for (const auto& entry : fs::directory_iterator(dir)) {
      if (entry.path().extension() != ".DB") continue;
      const auto check = px::test::runTool("pxcheck", entry.path().string());
      EXPECT_EQ(check.exitCode, 0) << check.out;
    }
  }
}

TEST_F(Form2MergeTest, RejectedRecordsAreReportedInAMessageDialog) {
  Start();
  Form2->CheckBox1->SetChecked(true);
  Choose(old().string());
  // An active patient that already holds the key the first old patient will
  // get, written through a view of its own whose filter shows no record, so
  // that StartEdit inserts.
  const std::int32_t p = dmRA5->dIndexLastPatient->AsInteger();
  TTable writer;
  writer.SetDatabaseName("winvelda5");
  writer.SetTableName("patient.db");
  auto* id = new TStringField(&writer);
  id->SetFieldName("ID");
  id->SetDataSet(&writer);
  writer.SetFilter("ID='nobody'");
  writer.SetFiltered(true);
  writer.Open();
  writer.StartEdit();
  id->SetAsInteger(p + dmRA5old->dPatientID->AsInteger());
  writer.PostRecord();
  writer.Close();

  Form2->ButtonSTART->ButtonPeer().Click();
  ASSERT_EQ(dialogs_.shown.size(), 1u) << dialogs_.Texts().front();
  EXPECT_EQ(dialogs_.shown[0].kind, TDialogKind::MessageDialog);
  EXPECT_EQ(dialogs_.shown[0].text.rfind("Nicht alle alten Daten wurden übernommen!", 0), 0u);
  EXPECT_NE(dialogs_.shown[0].text.find("Patienten: 1 mit schon vorhandenem Schlüssel"), std::string::npos);
  // The merge still ends finished.
  EXPECT_TRUE(Visible(Form2->ButtonQUIT));
}

}  // namespace
