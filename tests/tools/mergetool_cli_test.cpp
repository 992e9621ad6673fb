// A whole merge of two generated databases through mergetool-cli, checked
// from outside: the tables are read with pxlib, an independent reader, before
// and after, and every table must pass pxcheck.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>

#include "engine/io/path_text.h"
#include "engine/io/platform.h"
#include "tests/support/other_program.h"
#include "tests/support/test_support.h"
#include "tests/support/tool_run.h"
#include "tests/tools/merge_collisions.h"
#include "tests/tools/merge_snapshot.h"
#include "tests/tools/pxlib_merge.h"

namespace fs = std::filesystem;

namespace {

class MergetoolCliTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const std::string config = (dir_.path() / "pxengine.conf").string();
    std::ofstream(config) << "[aliases]\nwinvelda5 = " << active().string() << "\n";
    px::setEnvironmentVariable("PXENGINE_CONFIG", config.c_str());
  }
  void TearDown() override { px::setEnvironmentVariable("PXENGINE_CONFIG", std::nullopt); }
  fs::path active() const { return dir_.path() / "aktiv"; }
  fs::path old() const { return dir_.path() / "alt"; }
  px::test::ToolRun Tool(const std::string& tool, const std::string& args) {
    return px::test::runTool(tool, args);
  }
  px::test::ToolRun Tool(const std::string& tool, const std::vector<std::string>& args) {
    return px::test::runTool(tool, args);
  }
  void MakeSamples(int activePatients, int oldPatients) {
    ASSERT_EQ(Tool("makesample", active().string() + " --patients " + std::to_string(activePatients) + " --seed 11")
                  .exitCode, 0);
    ASSERT_EQ(Tool("makesample", old().string() + " --patients " + std::to_string(oldPatients) + " --seed 12")
                  .exitCode, 0);
  }
  void ExpectEveryTablePasses(const fs::path& dir) {
    for (const auto& entry : fs::directory_iterator(dir)) {
      if (entry.path().extension() != ".DB") continue;
      const auto check = Tool("pxcheck", entry.path().string());
      EXPECT_EQ(check.exitCode, 0) << check.out;
    }
  }
  px::test::TempDir dir_;
};

TEST_F(MergetoolCliTest, MergeOfTwoSamplesAsPxlibReadsIt) {
  if (!px::test::pxlibReads()) GTEST_SKIP() << px::test::kWithoutPxlib;
  ASSERT_NO_FATAL_FAILURE(MakeSamples(60, 40));
  const pxlib_merge::Snapshot activeBefore = pxlib_merge::Read(active());
  const pxlib_merge::Snapshot oldBefore = pxlib_merge::Read(old());

  // The shipped program has no planned-fault path: the crash tests' plan in
  // its environment is not read.
  px::setEnvironmentVariable("MERGETOOL_FAULT_AT", "1:die");
  const auto run = Tool("mergetool-cli", "--old " + old().string() + " --yes");
  px::setEnvironmentVariable("MERGETOOL_FAULT_AT", std::nullopt);
  ASSERT_EQ(run.exitCode, 0) << run.out;
  EXPECT_NE(run.out.find("Fertig."), std::string::npos) << run.out;
  EXPECT_EQ(run.out.find("write operations"), std::string::npos) << run.out;
  pxlib_merge::ExpectMerged(activeBefore, oldBefore, pxlib_merge::Read(active()));

  ExpectEveryTablePasses(active());
  ExpectEveryTablePasses(old());
}

TEST_F(MergetoolCliTest, DirectoryWithoutOldTablesGivesTheWindowsMessage) {
  ASSERT_NO_FATAL_FAILURE(MakeSamples(10, 10));
  fs::remove(old() / "data.DB");
  const auto run = Tool("mergetool-cli", "--old " + old().string() + " --yes");
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_NE(run.out.find("Alte Daten nicht in diesem Verzeichnis, unvollständig oder beschädigt!"), std::string::npos)
      << run.out;
}

TEST_F(MergetoolCliTest, WithoutConfirmationNothingChanges) {
  ASSERT_NO_FATAL_FAILURE(MakeSamples(10, 10));
  std::vector<std::string> problems;
  const merge_snapshot::Snapshot before = merge_snapshot::OpenAndRead(active(), problems);
  const auto run = Tool("mergetool-cli", "--old " + old().string());
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_NE(run.out.find("Sicherungskopie"), std::string::npos);
  EXPECT_EQ(merge_snapshot::OpenAndRead(active(), problems), before);
  EXPECT_TRUE(problems.empty()) << problems.front();
}

TEST_F(MergetoolCliTest, BadArgumentsAreRefused) {
  EXPECT_EQ(Tool("mergetool-cli", "").exitCode, 2);
  EXPECT_EQ(Tool("mergetool-cli", "--old").exitCode, 2);
  EXPECT_EQ(Tool("mergetool-cli", "--old x --frobnicate").exitCode, 2);
}

TEST_F(MergetoolCliTest, UnconfiguredAliasIsReportedAndFails) {
  ASSERT_NO_FATAL_FAILURE(MakeSamples(10, 10));
  std::ofstream(dir_.path() / "pxengine.conf") << "[aliases]\n";
  const auto run = Tool("mergetool-cli", "--old " + old().string() + " --yes");
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_NE(run.out.find("winvelda5"), std::string::npos) << run.out;
}

TEST_F(MergetoolCliTest, OldDirectoryThatIsTheActiveOneIsRefusedBeforeAnythingChanges) {
  ASSERT_NO_FATAL_FAILURE(MakeSamples(10, 10));
  std::vector<fs::path> spellings{active(), active() / ".." / "aktiv" / "."};
  // Windows lets only some users make a link; the other spellings still count.
  std::error_code noLink;
  fs::create_directory_symlink(active(), dir_.path() / "verweis", noLink);
  if (!noLink) spellings.push_back(dir_.path() / "verweis");
  std::vector<std::string> problems;
  const merge_snapshot::Snapshot before = merge_snapshot::OpenAndRead(active(), problems);
  for (const fs::path& same : spellings) {
    const auto run = Tool("mergetool-cli", {"--old", px::test::argument(same), "--yes"});
    EXPECT_EQ(run.exitCode, 1) << same;
    EXPECT_NE(run.out.find("Das gewählte Verzeichnis ist das der aktiven Datenbank."), std::string::npos)
        << same << ": " << run.out;
    EXPECT_EQ(Tool("mergetool-cli", {"--old", px::test::argument(same), "--check"}).exitCode, 2) << same;
  }
  EXPECT_EQ(merge_snapshot::OpenAndRead(active(), problems), before);
  EXPECT_TRUE(problems.empty()) << problems.front();
}

// The clinical application, running, holds the lock files of the database
// it uses; on Windows holding one open is enough. The merge must refuse in
// the engine's words and change nothing, and go through once it has ended.
TEST_F(MergetoolCliTest, LockFileHeldByAnotherProgramRefusesTheMergeAndChangesNothing) {
  ASSERT_NO_FATAL_FAILURE(MakeSamples(20, 10));
  px::test::writeBytes(active() / "PDOXUSRS.LCK", {'N', 'E', 'T'});
  std::vector<std::string> problems;
  const merge_snapshot::Snapshot activeBefore = merge_snapshot::OpenAndRead(active(), problems);
  const merge_snapshot::Snapshot oldBefore = merge_snapshot::OpenAndRead(old(), problems);
  px::test::OtherProgram application;
  ASSERT_TRUE(application.hold(px::test::OtherProgram::likeTheClinicalApplication(), active() / "PDOXUSRS.LCK"))
      << application.refusal();

  const auto refused = Tool("mergetool-cli", {"--old", px::test::argument(old()), "--yes"});
  EXPECT_EQ(refused.exitCode, 1) << refused.out;
  EXPECT_NE(refused.out.find("is in use by another program (lock file PDOXUSRS.LCK)"), std::string::npos)
      << refused.out;
  EXPECT_EQ(refused.out.find("Fertig."), std::string::npos) << refused.out;
  EXPECT_EQ(merge_snapshot::OpenAndRead(active(), problems), activeBefore);
  EXPECT_EQ(merge_snapshot::OpenAndRead(old(), problems), oldBefore);
  EXPECT_EQ(px::test::readBytes(active() / "PDOXUSRS.LCK"), (std::vector<unsigned char>{'N', 'E', 'T'}));

  application.end();  // the lock file stays behind, as after a crash: harmless
  const auto merged = Tool("mergetool-cli", {"--old", px::test::argument(old()), "--yes"});
  EXPECT_EQ(merged.exitCode, 0) << merged.out;
  EXPECT_NE(merge_snapshot::OpenAndRead(active(), problems), activeBefore);
  EXPECT_TRUE(problems.empty()) << problems.front();
}

TEST_F(MergetoolCliTest, FailureHalfWayThroughEachWalkChangesNothingAndTheRetryMergesOnce) {
  using merge_collisions::Walk;
  for (const Walk& walk : merge_collisions::kWalks) {
    SCOPED_TRACE(walk.name);
    fs::remove_all(active());
    fs::remove_all(old());
    // The active keys start above the old ones, so that only the added record collides.
    ASSERT_EQ(Tool("makesample", active().string() + " --patients 40 --seed 11 --first-key 2000").exitCode, 0);
    ASSERT_EQ(Tool("makesample", old().string() + " --patients 30 --seed 12").exitCode, 0);
    std::int32_t offset = 0;
    ASSERT_NO_FATAL_FAILURE(merge_collisions::ReadCounter(active(), walk, offset));
    std::string collidingKey;
    ASSERT_NO_FATAL_FAILURE(merge_collisions::AddCollisionHalfWay(old(), walk, offset, collidingKey));
    std::vector<std::string> problems;
    const merge_snapshot::Snapshot activeBefore = merge_snapshot::OpenAndRead(active(), problems);
    const merge_snapshot::Snapshot oldBefore = merge_snapshot::OpenAndRead(old(), problems);

    const auto failed = Tool("mergetool-cli", "--old " + old().string() + " --yes");
    EXPECT_EQ(failed.exitCode, 1) << failed.out;
    EXPECT_NE(failed.out.find("Key violation"), std::string::npos) << failed.out;
    EXPECT_NE(failed.out.find("Nichts wurde geändert"), std::string::npos) << failed.out;
    EXPECT_EQ(failed.out.find("Fertig."), std::string::npos) << failed.out;
    EXPECT_EQ(merge_snapshot::OpenAndRead(active(), problems), activeBefore);
    EXPECT_EQ(merge_snapshot::OpenAndRead(old(), problems), oldBefore);

    // The cause removed, the merge goes through and gives what a merge of a
    // copy that never failed gives.
    ASSERT_NO_FATAL_FAILURE(merge_collisions::RemoveRecord(old(), walk, collidingKey));
    const fs::path copy = dir_.path() / "kopie";
    fs::remove_all(copy);
    fs::create_directories(copy);
    fs::copy(active(), copy / "aktiv", fs::copy_options::recursive);
    fs::copy(old(), copy / "alt", fs::copy_options::recursive);
    const std::string copyConfig = (copy / "pxengine.conf").string();
    std::ofstream(copyConfig) << "[aliases]\nwinvelda5 = " << (copy / "aktiv").string() << "\n";
    px::setEnvironmentVariable("PXENGINE_CONFIG", copyConfig.c_str());
    const auto reference = Tool("mergetool-cli", "--old " + (copy / "alt").string() + " --yes");
    px::setEnvironmentVariable("PXENGINE_CONFIG", px::pathText(dir_.path() / "pxengine.conf"));
    ASSERT_EQ(reference.exitCode, 0) << reference.out;
    const auto retried = Tool("mergetool-cli", "--old " + old().string() + " --yes");
    EXPECT_EQ(retried.exitCode, 0) << retried.out;
    EXPECT_EQ(merge_snapshot::OpenAndRead(active(), problems), merge_snapshot::OpenAndRead(copy / "aktiv", problems));
    EXPECT_EQ(merge_snapshot::OpenAndRead(old(), problems), merge_snapshot::OpenAndRead(copy / "alt", problems));
    EXPECT_TRUE(problems.empty()) << problems.front();
    ExpectEveryTablePasses(active());
    ExpectEveryTablePasses(old());
  }
}

}  // namespace
