// The merge window when the merge cannot go through: a renumbered key that
// collides half way through a walk leaves both databases as they were, says
// so, and a merge after the cause is gone gives what one clean merge gives;
// the active database's own directory is refused as the old one.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "app/form2.h"
#include "app/old_database.h"
#include "database/dm_ra5.h"
#include "database/dm_ra5old.h"
#include "engine/io/platform.h"
#include "framework/core/recording_dialogs.h"
#include "framework/controls/browse_edit.h"
#include "framework/controls/button.h"
#include "framework/controls/check_box.h"
#include "framework/dbcontrols/db_progress_fill.h"
#include "framework/dbcontrols/db_text.h"
#include "tableaccess/integer_field.h"
#include "tableaccess/session.h"
#include "tableaccess/string_field.h"
#include "tableaccess/table.h"
#include "tests/support/test_support.h"
#include "tests/support/tool_run.h"
#include "tests/tools/merge_collisions.h"
#include "tests/tools/merge_snapshot.h"

namespace fs = std::filesystem;

namespace {

using merge_snapshot::OpenAndRead;
using merge_snapshot::Snapshot;

class MergeFailureWindowTest : public ::testing::Test {
 protected:
  void SetUp() override { UseConfig(dir_.path(), active()); }
  void TearDown() override {
    End();
    px::setEnvironmentVariable("PXENGINE_CONFIG", std::nullopt);
  }
  void UseConfig(const fs::path& where, const fs::path& activeDir) {
    const std::string config = (where / "pxengine.conf").string();
    std::ofstream(config) << "[aliases]\nwinvelda5 = " << activeDir.string() << "\n";
    px::setEnvironmentVariable("PXENGINE_CONFIG", config.c_str());
  }
  void MakePair() {
    fs::remove_all(active());
    fs::remove_all(old());
    ASSERT_EQ(Sample(active(), "--patients 20 --seed 5 --first-key 1000"), 0);
    ASSERT_EQ(Sample(old(), "--patients 12 --seed 6"), 0);
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
  // Shutdown's order, and the end of the session, which writes what is left.
  void End() {
    delete dmRA5;
    dmRA5 = nullptr;
    delete dmRA5old;
    dmRA5old = nullptr;
    delete Form2;
    Form2 = nullptr;
    EndDefaultSession();
  }
  void Choose(const std::string& path) {
    dialogs_.folderAnswers.push_back(path);
    Form2->DirectoryDlg->EditPeer().ClickButton();
  }
  void PressStart() {
    Form2->CheckBox1->SetChecked(true);
    Choose(old().string());
    ASSERT_TRUE(Form2->ButtonSTART->Visible());
    Form2->ButtonSTART->ButtonPeer().Click();
  }
  fs::path active() const { return dir_.path() / "aktiv"; }
  fs::path old() const { return dir_.path() / "alt"; }

  px::test::TempDir dir_;
  TRecordingDialogs dialogs_;
  TDialogsScope scope_{dialogs_};
};

TEST_F(MergeFailureWindowTest, CollisionHalfWayThroughEachWalkChangesNothingAndTheRetryMergesOnce) {
  for (const merge_collisions::Walk& walk : merge_collisions::kWalks) {
    SCOPED_TRACE(walk.name);
    ASSERT_NO_FATAL_FAILURE(MakePair());
    std::int32_t offset = 0;
    ASSERT_NO_FATAL_FAILURE(merge_collisions::ReadCounter(active(), walk, offset));
    std::string collidingKey;
    ASSERT_NO_FATAL_FAILURE(merge_collisions::AddCollisionHalfWay(old(), walk, offset, collidingKey));
    std::vector<std::string> problems;
    const Snapshot activeBefore = OpenAndRead(active(), problems);
    const Snapshot oldBefore = OpenAndRead(old(), problems);

    Start();
    const std::string countersShown =
        Form2->DBText2->ShownText() + " " + Form2->DBText3->ShownText() + " " + Form2->DBText4->ShownText();
    dialogs_.shown.clear();
    ASSERT_NO_FATAL_FAILURE(PressStart());
    ASSERT_EQ(dialogs_.shown.size(), 1u);
    const TDialogRequest& shown = dialogs_.shown[0];
    EXPECT_EQ(shown.kind, TDialogKind::MessageBox);  // the exception display
    EXPECT_EQ(shown.icon, TDialogIcon::Error);
    EXPECT_NE(shown.text.find("Key violation"), std::string::npos) << shown.text;
    EXPECT_NE(shown.text.find("Nichts wurde geändert"), std::string::npos) << shown.text;
    EXPECT_FALSE(Form2->ButtonSTART->Visible());
    EXPECT_FALSE(Form2->ButtonQUIT->Visible());
    // The window shows the databases as they are: the counters of before,
    // the old views open on their first records again.
    EXPECT_EQ(Form2->DBText2->ShownText() + " " + Form2->DBText3->ShownText() + " " + Form2->DBText4->ShownText(),
              countersShown);
    EXPECT_TRUE(dmRA5old->dPatient->Active());
    EXPECT_EQ(Form2->DBProgressFill1->Percent(), std::clamp(dmRA5old->dPatientID->AsInteger(), 0, 100));
    End();
    EXPECT_EQ(OpenAndRead(active(), problems), activeBefore);
    EXPECT_EQ(OpenAndRead(old(), problems), oldBefore);

    // Without the cause, the window's merge gives what the command line's
    // merge of a copy gives.
    ASSERT_NO_FATAL_FAILURE(merge_collisions::RemoveRecord(old(), walk, collidingKey));
    const fs::path copy = dir_.path() / "kopie";
    fs::remove_all(copy);
    fs::create_directories(copy);
    fs::copy(active(), copy / "aktiv", fs::copy_options::recursive);
    fs::copy(old(), copy / "alt", fs::copy_options::recursive);
    UseConfig(copy, copy / "aktiv");
    const px::test::ToolRun reference =
        px::test::runTool("mergetool-cli", "--old " + (copy / "alt").string() + " --yes");
    ASSERT_EQ(reference.exitCode, 0) << reference.out;
    UseConfig(dir_.path(), active());
    Start();
    dialogs_.shown.clear();
    ASSERT_NO_FATAL_FAILURE(PressStart());
    EXPECT_TRUE(dialogs_.shown.empty()) << dialogs_.Texts().front();
    EXPECT_TRUE(Form2->ButtonQUIT->Visible());
    End();
    EXPECT_EQ(OpenAndRead(active(), problems), OpenAndRead(copy / "aktiv", problems));
    EXPECT_EQ(OpenAndRead(old(), problems), OpenAndRead(copy / "alt", problems));
    EXPECT_TRUE(problems.empty()) << problems.front();
  }
}

TEST_F(MergeFailureWindowTest, ActiveDatabasesOwnDirectoryIsRefusedAsTheOldOne) {
  ASSERT_NO_FATAL_FAILURE(MakePair());
  std::vector<fs::path> spellings = {active(), active() / ".." / "aktiv" / "."};
  // Through a link too, where the system lets a test make one (Wine does not).
  std::error_code noLink;
  fs::create_directory_symlink(active(), dir_.path() / "verweis", noLink);
  if (!noLink) spellings.push_back(dir_.path() / "verweis");
  std::vector<std::string> problems;
  const Snapshot before = OpenAndRead(active(), problems);
  Start();
  Form2->CheckBox1->SetChecked(true);
  for (const fs::path& same : spellings) {
    dialogs_.shown.clear();
    Choose(same.string());
    ASSERT_EQ(dialogs_.shown.size(), 1u) << same;
    EXPECT_EQ(dialogs_.shown[0].text, kOldIsActiveMessage) << same;
    EXPECT_FALSE(dmRA5old->dPatient->Active()) << same;
    EXPECT_EQ(dmRA5old->dPatient->DatabaseName(), "") << same;
    EXPECT_FALSE(Form2->ButtonSTART->Visible()) << same;
  }
  // Another directory is still taken.
  dialogs_.shown.clear();
  Choose(old().string());
  EXPECT_TRUE(dialogs_.shown.empty());
  EXPECT_TRUE(Form2->ButtonSTART->Visible());
  End();
  EXPECT_EQ(OpenAndRead(active(), problems), before);
  EXPECT_TRUE(problems.empty()) << problems.front();
}

}  // namespace
