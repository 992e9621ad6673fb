// A whole merge of two generated databases through mergetool-cli, checked
// from outside: the tables are read with pxlib, an independent reader, before
// and after, and every table must pass pxcheck.
#include <gtest/gtest.h>

extern "C" {
#include <paradox.h>
}

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>

#include "tests/support/test_support.h"
#include "tests/support/tool_run.h"
#include "tests/tools/merge_collisions.h"
#include "tests/tools/merge_snapshot.h"

namespace fs = std::filesystem;

namespace {

using Row = std::map<std::string, std::string>;  // field name -> text (Alpha) or number (Long)

std::vector<Row> ReadTable(const fs::path& file) {
  std::vector<Row> rows;
  pxdoc_t* doc = PX_new();
  if (PX_open_file(doc, file.c_str()) != 0) {
    PX_delete(doc);
    ADD_FAILURE() << "pxlib cannot open " << file;
    return rows;
  }
  const int records = PX_get_num_records(doc);
  const int fields = PX_get_num_fields(doc);
  pxfield_t* pf = PX_get_fields(doc);
  std::vector<char> buffer(static_cast<std::size_t>(PX_get_recordsize(doc)));
  for (int r = 0; r < records; ++r) {
    if (!PX_get_record(doc, r, buffer.data())) break;
    Row row;
    int offset = 0;
    for (int f = 0; f < fields; ++f) {
      char* data = buffer.data() + offset;
      if (pf[f].px_ftype == pxfAlpha) {
        char* text = nullptr;
        row[pf[f].px_fname] = PX_get_data_alpha(doc, data, pf[f].px_flen, &text) > 0 && text ? text : "";
        if (text) doc->free(doc, text);
      } else if (pf[f].px_ftype == pxfLong) {
        long value = 0;
        row[pf[f].px_fname] = PX_get_data_long(doc, data, pf[f].px_flen, &value) > 0 ? std::to_string(value) : "";
      }
      offset += pf[f].px_flen;
    }
    rows.push_back(std::move(row));
  }
  PX_close(doc);
  PX_delete(doc);
  return rows;
}

struct Snapshot {
  std::vector<Row> patients, sessions, data, index;
};

Snapshot Read(const fs::path& dir) {
  return Snapshot{ReadTable(dir / "patient.DB"), ReadTable(dir / "session.DB"), ReadTable(dir / "data.DB"),
                  ReadTable(dir / "index.DB")};
}

long Number(const std::string& text) { return std::stol(text); }
bool IsPositiveReference(const std::string& text) { return !text.empty() && text != "0"; }

std::multiset<std::string> Keys(const std::vector<Row>& rows, const std::string& field) {
  std::multiset<std::string> keys;
  for (const Row& row : rows) keys.insert(row.at(field));
  return keys;
}

class MergetoolCliTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const std::string config = (dir_.path() / "pxengine.conf").string();
    std::ofstream(config) << "[aliases]\nwinvelda5 = " << active().string() << "\n";
    ::setenv("PXENGINE_CONFIG", config.c_str(), 1);
  }
  void TearDown() override { ::unsetenv("PXENGINE_CONFIG"); }
  fs::path active() const { return dir_.path() / "aktiv"; }
  fs::path old() const { return dir_.path() / "alt"; }
  px::test::ToolRun Tool(const std::string& tool, const std::string& args) {
    return px::test::runTool(PX_BIN_DIR, tool, args);
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
  ASSERT_NO_FATAL_FAILURE(MakeSamples(60, 40));
  const Snapshot activeBefore = Read(active());
  const Snapshot oldBefore = Read(old());
  ASSERT_EQ(activeBefore.index.size(), 1u);
  const long p = Number(activeBefore.index[0].at("LastPatient"));
  const long s = Number(activeBefore.index[0].at("LastSession"));
  const long d = Number(activeBefore.index[0].at("LastData"));

  // The shipped program has no planned-fault path: the crash tests' plan in
  // its environment is not read.
  ::setenv("MERGETOOL_FAULT_AT", "1:die", 1);
  const auto run = Tool("mergetool-cli", "--old " + old().string() + " --yes");
  ::unsetenv("MERGETOOL_FAULT_AT");
  ASSERT_EQ(run.exitCode, 0) << run.out;
  EXPECT_NE(run.out.find("Fertig."), std::string::npos) << run.out;
  EXPECT_EQ(run.out.find("write operations"), std::string::npos) << run.out;
  const Snapshot activeAfter = Read(active());

  // No active record changed: every one is still there as it was.
  using Table = std::vector<Row> Snapshot::*;
  for (Table table : {&Snapshot::patients, &Snapshot::sessions, &Snapshot::data}) {
    const std::vector<Row>& after = activeAfter.*table;
    for (const Row& row : activeBefore.*table) EXPECT_NE(std::find(after.begin(), after.end(), row), after.end());
  }
  // Every old record that the filters admit arrived with its keys shifted.
  std::multiset<std::string> expectedPatients = Keys(activeBefore.patients, "ID");
  for (const Row& row : oldBefore.patients) {
    if (row.at("Gender") != "x") expectedPatients.insert(std::to_string(Number(row.at("ID")) + p));
  }
  EXPECT_EQ(Keys(activeAfter.patients, "ID"), expectedPatients);
  std::multiset<std::string> expectedSessions = Keys(activeBefore.sessions, "SessionID");
  std::set<std::string> appendedSessions;
  for (const Row& row : oldBefore.sessions) {
    if (!IsPositiveReference(row.at("Patient"))) continue;
    const std::string key = std::to_string(Number(row.at("SessionID")) + s);
    expectedSessions.insert(key);
    appendedSessions.insert(key);
  }
  EXPECT_EQ(Keys(activeAfter.sessions, "SessionID"), expectedSessions);
  std::multiset<std::string> expectedData = Keys(activeBefore.data, "DataID");
  for (const Row& row : oldBefore.data) {
    if (IsPositiveReference(row.at("SessionID"))) expectedData.insert(std::to_string(Number(row.at("DataID")) + d));
  }
  EXPECT_EQ(Keys(activeAfter.data, "DataID"), expectedData);

  // References stay consistent: an appended series points at its shifted patient.
  std::map<std::string, std::string> oldPatientOfSession;
  for (const Row& row : oldBefore.sessions) oldPatientOfSession[row.at("SessionID")] = row.at("Patient");
  for (const Row& row : activeAfter.sessions) {
    if (!appendedSessions.count(row.at("SessionID"))) continue;
    const std::string oldKey = std::to_string(Number(row.at("SessionID")) - s);
    EXPECT_EQ(Number(row.at("Patient")), Number(oldPatientOfSession.at(oldKey)) + p);
  }
  // The counters lie beyond every key now in the active tables.
  const Row& counters = activeAfter.index.at(0);
  for (const Row& row : activeAfter.patients) EXPECT_LT(Number(row.at("ID")), Number(counters.at("LastPatient")));
  for (const Row& row : activeAfter.sessions) {
    EXPECT_LT(Number(row.at("SessionID")), Number(counters.at("LastSession")));
    if (IsPositiveReference(row.at("Patient"))) {
      EXPECT_LT(Number(row.at("Patient")), Number(counters.at("LastPatient")));
    }
  }
  for (const Row& row : activeAfter.data) EXPECT_LT(Number(row.at("DataID")), Number(counters.at("LastData")));

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
  const Snapshot before = Read(active());
  const auto run = Tool("mergetool-cli", "--old " + old().string() + " < /dev/null");
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_NE(run.out.find("Sicherungskopie"), std::string::npos);
  const Snapshot after = Read(active());
  EXPECT_EQ(after.patients, before.patients);
  EXPECT_EQ(after.index, before.index);
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
  fs::create_directory_symlink(active(), dir_.path() / "verweis");
  const Snapshot before = Read(active());
  for (const fs::path& same : {active(), active() / ".." / "aktiv" / ".", dir_.path() / "verweis"}) {
    const auto run = Tool("mergetool-cli", "--old " + same.string() + " --yes");
    EXPECT_EQ(run.exitCode, 1) << same;
    EXPECT_NE(run.out.find("Das gewählte Verzeichnis ist das der aktiven Datenbank."), std::string::npos)
        << same << ": " << run.out;
    EXPECT_EQ(Tool("mergetool-cli", "--old " + same.string() + " --check").exitCode, 2) << same;
  }
  const Snapshot after = Read(active());
  EXPECT_EQ(after.patients, before.patients);
  EXPECT_EQ(after.index, before.index);
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
    ::setenv("PXENGINE_CONFIG", copyConfig.c_str(), 1);
    const auto reference = Tool("mergetool-cli", "--old " + (copy / "alt").string() + " --yes");
    ::setenv("PXENGINE_CONFIG", (dir_.path() / "pxengine.conf").string().c_str(), 1);
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
