// mergetool-cli --check on generated databases, run as an administrator runs
// it: the exit status for a clean pair, a pair with warnings and one that
// would fail, and not one byte of either database changed.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <memory>
#include <set>

#include "engine/access/database.h"
#include "engine/io/platform.h"
#include "tests/support/other_program.h"
#include "tests/support/test_support.h"
#include "tests/support/tool_run.h"

namespace fs = std::filesystem;

namespace {

using Files = std::map<std::string, std::vector<unsigned char>>;

Files FilesOf(const fs::path& dir) {
  Files files;
  for (const auto& entry : fs::directory_iterator(dir)) {
    files[entry.path().filename().string()] = px::test::readBytes(entry.path());
  }
  return files;
}

std::string TextOf(px::WritableTable& table, const px::Bytes& record, const std::string& field) {
  const auto& fields = table.fields();
  for (std::size_t i = 0; i < fields.size(); ++i) {
    if (fields[i].name != field) continue;
    px::Value value;
    EXPECT_TRUE(table.readValue(record.data(), i, value).ok());
    const auto* text = std::get_if<std::string>(&value);
    return text ? *text : std::string();
  }
  ADD_FAILURE() << "no field " << field;
  return {};
}

// Removes the records of a table for which `drop` is true.
void RemoveWhere(px::Database& db, const std::string& table,
                 const std::function<bool(px::WritableTable&, const px::Bytes&)>& drop) {
  std::unique_ptr<px::Cursor> cursor;
  ASSERT_TRUE(db.openCursor(table, px::CursorOptions{}, cursor).ok());
  px::Bytes record;
  while (cursor->next(record).ok()) {
    if (drop(cursor->table(), record)) {
      ASSERT_TRUE(cursor->removeCurrent().ok());
    }
  }
}

// Takes out of a sample what the merge would leave behind or point past:
// hidden patients, series without an appended patient, measurements without
// an appended series.
void MakeClean(const fs::path& dir) {
  std::unique_ptr<px::Database> db;
  ASSERT_TRUE(px::Database::open(px::localFileSystem(), dir, db).ok());
  std::set<std::string> patients, sessions;
  ASSERT_NO_FATAL_FAILURE(RemoveWhere(*db, "patient.db", [&](px::WritableTable& t, const px::Bytes& r) {
    if (TextOf(t, r, "Gender") == "x") return true;
    patients.insert(TextOf(t, r, "ID"));
    return false;
  }));
  ASSERT_NO_FATAL_FAILURE(RemoveWhere(*db, "session.db", [&](px::WritableTable& t, const px::Bytes& r) {
    if (patients.count(TextOf(t, r, "Patient")) == 0) return true;
    sessions.insert(TextOf(t, r, "SessionID"));
    return false;
  }));
  ASSERT_NO_FATAL_FAILURE(RemoveWhere(*db, "data.db",
              [&](px::WritableTable& t, const px::Bytes& r) { return sessions.count(TextOf(t, r, "SessionID")) == 0; }));
  ASSERT_TRUE(db->close().ok());
}

class MergeCheckCliTest : public ::testing::Test {
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
  void MakeCleanPair() {
    ASSERT_EQ(Tool("makesample", active().string() + " --patients 30 --seed 21").exitCode, 0);
    ASSERT_EQ(Tool("makesample", old().string() + " --patients 20 --seed 22").exitCode, 0);
    ASSERT_NO_FATAL_FAILURE(MakeClean(old()));
  }
  px::test::ToolRun Check() { return Tool("mergetool-cli", "--check --old " + old().string()); }

  px::test::TempDir dir_;
};

TEST_F(MergeCheckCliTest, CleanPairPassesAndNoByteChanges) {
  ASSERT_NO_FATAL_FAILURE(MakeCleanPair());
  const Files activeBefore = FilesOf(active()), oldBefore = FilesOf(old());
  const auto run = Check();
  EXPECT_EQ(run.exitCode, 0) << run.out;
  EXPECT_NE(run.out.find("Befunde: keine"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("Ergebnis: Das Zusammenführen würde ohne Befund durchlaufen."), std::string::npos);
  EXPECT_EQ(FilesOf(active()), activeBefore);
  EXPECT_EQ(FilesOf(old()), oldBefore);
}

TEST_F(MergeCheckCliTest, MergePrintsTheReportAndASecondCheckSeesTheMergeDone) {
  ASSERT_NO_FATAL_FAILURE(MakeCleanPair());
  const auto merge = Tool("mergetool-cli", "--old " + old().string() + " --yes");
  ASSERT_EQ(merge.exitCode, 0) << merge.out;
  const std::size_t appended = merge.out.find("Angefügt:");
  const std::size_t report = merge.out.find("Prüfung vor dem Zusammenführen:");
  const std::size_t done = merge.out.find("Fertig.");
  ASSERT_NE(report, std::string::npos) << merge.out;
  EXPECT_LT(appended, report);
  EXPECT_LT(report, done);
  EXPECT_NE(merge.out.find("ohne Befund", report), std::string::npos) << merge.out;

  const Files activeBefore = FilesOf(active()), oldBefore = FilesOf(old());
  const auto again = Check();
  EXPECT_EQ(again.exitCode, 1) << again.out;
  EXPECT_NE(again.out.find("schon eingemischt"), std::string::npos) << again.out;
  EXPECT_NE(again.out.find("unter denselben Schlüsseln"), std::string::npos) << again.out;
  EXPECT_EQ(FilesOf(active()), activeBefore);
  EXPECT_EQ(FilesOf(old()), oldBefore);
}

TEST_F(MergeCheckCliTest, DatabaseInUseFails) {
  using px::test::OtherProgram;
  ASSERT_NO_FATAL_FAILURE(MakeCleanPair());
  px::test::writeBytes(old() / "PDOXUSRS.LCK", {'N', 'E', 'T'});
  const Files oldBefore = FilesOf(old());
  {
    OtherProgram application;
    ASSERT_TRUE(application.hold(OtherProgram::likeTheClinicalApplication(), old() / "PDOXUSRS.LCK"))
        << application.refusal();
    const auto run = Check();
    EXPECT_EQ(run.exitCode, 2) << run.out;
    EXPECT_NE(run.out.find("von einem anderen Programm benutzt"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("Ergebnis: Das Zusammenführen würde scheitern."), std::string::npos);
  }
  EXPECT_EQ(FilesOf(old()), oldBefore);

  // The active database: its module does not open, and the report says why.
  px::test::writeBytes(active() / "PDOXUSRS.LCK", {'N', 'E', 'T'});
  OtherProgram application;
  ASSERT_TRUE(application.hold(OtherProgram::likeTheClinicalApplication(), active() / "PDOXUSRS.LCK"))
      << application.refusal();
  const auto activeRun = Check();
  EXPECT_EQ(activeRun.exitCode, 2) << activeRun.out;
  EXPECT_NE(activeRun.out.find("Die aktive Datenbank ließ sich nicht öffnen."), std::string::npos) << activeRun.out;
  EXPECT_NE(activeRun.out.find("Die aktive Datenbank (" + active().string() + ") wird von einem anderen Programm"),
            std::string::npos)
      << activeRun.out;
}

TEST_F(MergeCheckCliTest, CommitCutShortIsLeftForTheMergeToFinish) {
  ASSERT_NO_FATAL_FAILURE(MakeCleanPair());
  px::test::writeBytes(old() / "pxcommit.jnl", {'n', 'o', 't', ' ', 'd', 'o', 'n', 'e'});
  const Files oldBefore = FilesOf(old());
  const auto run = Check();
  EXPECT_EQ(run.exitCode, 2) << run.out;
  EXPECT_NE(run.out.find("nicht abgeschlossen"), std::string::npos) << run.out;
  EXPECT_EQ(FilesOf(old()), oldBefore);
}

TEST_F(MergeCheckCliTest, MissingOldTableFailsWithTheWindowsMessage) {
  ASSERT_NO_FATAL_FAILURE(MakeCleanPair());
  fs::remove(old() / "session.DB");
  const auto run = Check();
  EXPECT_EQ(run.exitCode, 2) << run.out;
  EXPECT_NE(run.out.find("Alte Daten nicht in diesem Verzeichnis, unvollständig oder beschädigt!"), std::string::npos)
      << run.out;
  EXPECT_EQ(Tool("mergetool-cli", "--check --yes --old " + old().string()).exitCode, 2);
}

}  // namespace
