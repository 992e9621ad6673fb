// The merge procedure on real tables: renumbering, counters, appends, and the
// cases the practice meets (patients marked "x", counters of 0, keys that are
// not integers, an empty counter table, collisions).
#include "app/merge_procedure.h"

#include <gtest/gtest.h>

#include <memory>

#include "engine/access/database.h"
#include "engine/access/table_creator.h"
#include "engine/io/fault_injecting_file_system.h"
#include "engine/storage/table_check.h"
#include "tableaccess/batch_move.h"
#include "tableaccess/db_errors.h"
#include "tableaccess/engine_binding.h"
#include "tableaccess/integer_field.h"
#include "tableaccess/session.h"
#include "tableaccess/string_field.h"
#include "tableaccess/table.h"
#include "tests/tableaccess/view_test_support.h"

namespace {

using Rows = std::vector<std::vector<std::string>>;
using Keys = std::vector<std::string>;

px::TableDefinition TextTable(std::vector<std::pair<std::string, int>> fields, int keyFields) {
  px::TableDefinition definition;
  for (auto& [name, size] : fields) definition.fields.push_back(px::FieldDefinition{name, px::FieldType::Alpha, size});
  definition.keyFields = keyFields;
  return definition;
}

px::TableDefinition PatientTable() { return TextTable({{"ID", 20}, {"Name", 60}, {"Gender", 12}}, 1); }
px::TableDefinition SessionTable() { return TextTable({{"SessionID", 20}, {"Patient", 20}}, 1); }
px::TableDefinition DataTable() { return TextTable({{"DataID", 20}, {"SessionID", 20}}, 1); }

void CreateIndexTable(const std::filesystem::path& dir, std::optional<std::array<std::int32_t, 3>> counters) {
  px::TableDefinition definition;
  definition.fields = {{"LastPatient", px::FieldType::Long, 4}, {"LastSession", px::FieldType::Long, 4},
                 {"LastData", px::FieldType::Long, 4}};
  ASSERT_TRUE(px::createTable(px::localFileSystem(), dir, "index", definition).ok());
  if (!counters) return;
  std::unique_ptr<px::Database> db;
  ASSERT_TRUE(px::Database::open(px::localFileSystem(), dir, db).ok());
  std::unique_ptr<px::Cursor> cursor;
  ASSERT_TRUE(db->openCursor("index", px::CursorOptions{}, cursor).ok());
  px::Bytes record = cursor->table().blankRecord();
  for (std::size_t i = 0; i < 3; ++i) ASSERT_TRUE(cursor->table().setValue(record, i, px::Value((*counters)[i])).ok());
  ASSERT_TRUE(cursor->insert(record).ok());
  cursor.reset();
  ASSERT_TRUE(db->close().ok());
}

std::vector<std::int32_t> CountersIn(const std::filesystem::path& dir) {
  std::unique_ptr<px::Database> db;
  EXPECT_TRUE(px::Database::open(px::localFileSystem(), dir, db).ok());
  std::unique_ptr<px::Cursor> cursor;
  EXPECT_TRUE(db->openCursor("index", px::CursorOptions{"", true, false}, cursor).ok());
  px::Bytes record;
  std::vector<std::int32_t> out;
  if (!cursor->next(record).ok()) return out;
  for (std::size_t i = 0; i < 3; ++i) {
    px::Value value;
    EXPECT_TRUE(cursor->table().readValue(record.data(), i, value).ok());
    out.push_back(px::isNull(value) ? 0 : std::get<std::int32_t>(value));
  }
  return out;
}

class MergeProcedureTest : public viewtest::ViewTest {
 protected:
  std::filesystem::path activeDir() const { return dir_.path() / "aktiv"; }
  std::filesystem::path oldDir() const { return dir_.path() / "alt"; }

  void CreateDatabases(const Rows& oldPatients, const Rows& oldSessions, const Rows& oldData,
                       std::optional<std::array<std::int32_t, 3>> counters, const Rows& activePatients = {}) {
    std::filesystem::create_directories(activeDir());
    std::filesystem::create_directories(oldDir());
    ASSERT_NO_FATAL_FAILURE(viewtest::CreateTable(oldDir(), "patient.db", PatientTable(), oldPatients));
    ASSERT_NO_FATAL_FAILURE(viewtest::CreateTable(oldDir(), "session.db", SessionTable(), oldSessions));
    ASSERT_NO_FATAL_FAILURE(viewtest::CreateTable(oldDir(), "data.db", DataTable(), oldData));
    ASSERT_NO_FATAL_FAILURE(viewtest::CreateTable(activeDir(), "patient.db", PatientTable(), activePatients));
    ASSERT_NO_FATAL_FAILURE(viewtest::CreateTable(activeDir(), "session.db", SessionTable(), {}));
    ASSERT_NO_FATAL_FAILURE(viewtest::CreateTable(activeDir(), "data.db", DataTable(), {}));
    ASSERT_NO_FATAL_FAILURE(CreateIndexTable(activeDir(), counters));
    WriteConfig("[aliases]\nwinvelda5 = " + activeDir().string() + "\n");
  }

  TTable* View(const std::string& name, const std::string& database, const std::string& table,
               const std::string& filter = "") {
    auto* view = new TTable(&owner_);
    view->SetName(name);
    view->SetDatabaseName(database);
    view->SetTableName(table);
    if (!filter.empty()) {
      view->SetFilter(filter);
      view->SetFiltered(true);
    }
    return view;
  }
  template <typename F>
  F* Field(TTable* view, const std::string& name) {
    auto* field = new F(&owner_);
    field->SetFieldName(name);
    field->SetDataSet(view);
    return field;
  }
  TBatchMove* Move(const std::string& name, TTable* source, TTable* destination) {
    auto* move = new TBatchMove(&owner_);
    move->SetName(name);
    move->SetSource(source);
    move->SetDestination(destination);
    move->SetAbortOnKeyViol(false);
    move->SetAbortOnProblem(false);
    return move;
  }

  // The views as the two database modules declare them, opened as the window opens them.
  MergeTables OpenViews() {
    MergeTables t;
    const std::string old = viewtest::DirectoryName(oldDir());
    t.index = View("dIndex", "winvelda5", "index");
    t.lastPatient = Field<TIntegerField>(t.index, "LastPatient");
    t.lastSession = Field<TIntegerField>(t.index, "LastSession");
    t.lastData = Field<TIntegerField>(t.index, "LastData");
    TTable* activePatient = View("dPatientActive", "winvelda5", "patient.db", "Gender<>'x'");
    // A filter names field objects of its view.
    Field<TStringField>(activePatient, "Gender");
    TTable* activeSession = View("dSessionActive", "winvelda5", "session.db");
    TTable* activeData = View("dDataActive", "winvelda5", "data.db");
    t.oldPatient = View("dPatient", old, "patient.db", "Gender<>'x'");
    t.oldPatientID = Field<TStringField>(t.oldPatient, "ID");
    Field<TStringField>(t.oldPatient, "Gender");
    t.oldSession = View("dSession", old, "session.db", "Patient>0");
    t.oldSessionID = Field<TStringField>(t.oldSession, "SessionID");
    t.oldSessionPatient = Field<TStringField>(t.oldSession, "Patient");
    t.oldData = View("dData", old, "data.db", "SessionID>0");
    t.oldDataID = Field<TStringField>(t.oldData, "DataID");
    t.oldDataSessionID = Field<TStringField>(t.oldData, "SessionID");
    t.patients = Move("BatchMovePat", t.oldPatient, activePatient);
    t.sessions = Move("BatchMoveSes", t.oldSession, activeSession);
    t.data = Move("BatchMoveDat", t.oldData, activeData);
    for (TTable* view : {t.index, activePatient, activeSession, activeData, t.oldData, t.oldSession, t.oldPatient}) {
      view->Open();
    }
    return t;
  }

  // Ends the session (closing every view) so the files can be read from
  // outside; every table left behind must pass the integrity check.
  void Finish() {
    while (owner_.ComponentCount() > 0) delete owner_.Components(owner_.ComponentCount() - 1);
    EndDefaultSession();
    for (const auto& dir : {activeDir(), oldDir()}) {
      std::vector<px::TableCheckResult> results;
      ASSERT_TRUE(px::checkDirectory(px::localFileSystem(), dir, px::CheckOptions{true}, results).ok());
      for (const auto& result : results) {
        EXPECT_TRUE(result.status.ok()) << result.table;
        EXPECT_EQ(result.errors(), 0u) << result.table << ": " << (result.findings.empty() ? "" : result.findings[0].text);
      }
    }
  }
  Keys Column(const std::filesystem::path& dir, const std::string& table, std::size_t field) {
    return viewtest::ColumnOf(dir, table, field);
  }

  TComponent owner_;
};

TEST_F(MergeProcedureTest, ExampleShiftsKeysAndReferencesAndAdvancesTheCounters) {
  ASSERT_NO_FATAL_FAILURE(CreateDatabases(
      {{"1", "Anna", "w"}, {"2", "Bert", "m"}, {"3", "Cora", "w"}}, {{"1", "1"}, {"2", "2"}, {"3", "3"}, {"4", "3"}},
      {{"1", "1"}, {"2", "2"}, {"3", "3"}, {"4", "4"}, {"5", "4"}}, std::array{100, 200, 300}));
  MergeTables t = OpenViews();
  const MergeReport report = RunMerge(t);
  EXPECT_EQ(report.before.patient, 100);
  EXPECT_EQ(report.after.patient, 104);
  EXPECT_EQ(report.after.session, 205);
  EXPECT_EQ(report.after.data, 306);
  EXPECT_EQ(report.renumberedPatients, 3);
  EXPECT_EQ(report.renumberedSessions, 4);
  EXPECT_EQ(report.renumberedData, 5);
  EXPECT_FALSE(report.anyRejected());
  EXPECT_EQ(RejectedRecordsMessage(report), "");
  ASSERT_NO_FATAL_FAILURE(Finish());
  EXPECT_EQ(Column(oldDir(), "patient.db", 0), (Keys{"101", "102", "103"}));
  EXPECT_EQ(Column(oldDir(), "session.db", 0), (Keys{"201", "202", "203", "204"}));
  EXPECT_EQ(Column(oldDir(), "session.db", 1), (Keys{"101", "102", "103", "103"}));
  EXPECT_EQ(Column(oldDir(), "data.db", 0), (Keys{"301", "302", "303", "304", "305"}));
  EXPECT_EQ(Column(oldDir(), "data.db", 1), (Keys{"201", "202", "203", "204", "204"}));
  EXPECT_EQ(Column(activeDir(), "patient.db", 0), (Keys{"101", "102", "103"}));
  EXPECT_EQ(Column(activeDir(), "session.db", 1), (Keys{"101", "102", "103", "103"}));
  EXPECT_EQ(Column(activeDir(), "data.db", 0), (Keys{"301", "302", "303", "304", "305"}));
  EXPECT_EQ(CountersIn(activeDir()), (std::vector<std::int32_t>{104, 205, 306}));
}

TEST_F(MergeProcedureTest, KeysThatAreNotDenseShiftByTheSameOffset) {
  ASSERT_NO_FATAL_FAILURE(
      CreateDatabases({{"3"}, {"17"}, {"9"}}, {{"40", "17"}}, {{"7", "40"}}, std::array{10, 20, 30}));
  MergeTables t = OpenViews();
  RunMerge(t);
  ASSERT_NO_FATAL_FAILURE(Finish());
  EXPECT_EQ(Column(oldDir(), "patient.db", 0), (Keys{"13", "19", "27"}));
  EXPECT_EQ(CountersIn(activeDir()), (std::vector<std::int32_t>{28, 61, 38}));
}

TEST_F(MergeProcedureTest, CounterOfZeroKeepsTheKeysAndFollowsTheLastKey) {
  ASSERT_NO_FATAL_FAILURE(CreateDatabases({{"1"}, {"2"}}, {{"5", "2"}}, {{"8", "5"}}, std::array{0, 0, 0}));
  MergeTables t = OpenViews();
  RunMerge(t);
  ASSERT_NO_FATAL_FAILURE(Finish());
  EXPECT_EQ(Column(oldDir(), "patient.db", 0), (Keys{"1", "2"}));
  EXPECT_EQ(CountersIn(activeDir()), (std::vector<std::int32_t>{3, 6, 9}));
}

TEST_F(MergeProcedureTest, PatientMarkedXStaysOutButItsSeriesComesAlongAndTheCounterPassesIt) {
  // Patient 9 is marked "x": not renumbered, not appended. Its series is
  // appended with the reference shifted to 109, so the counter must pass 109
  // although the last key the filtered view shows is 2.
  ASSERT_NO_FATAL_FAILURE(CreateDatabases({{"1", "A", "m"}, {"2", "B", "w"}, {"9", "X", "x"}}, {{"1", "9"}, {"2", "1"}},
                                          {{"1", "1"}}, std::array{100, 200, 300}));
  MergeTables t = OpenViews();
  RunMerge(t);
  ASSERT_NO_FATAL_FAILURE(Finish());
  EXPECT_EQ(Column(oldDir(), "patient.db", 0), (Keys{"9", "101", "102"}));
  EXPECT_EQ(Column(activeDir(), "patient.db", 0), (Keys{"101", "102"}));
  EXPECT_EQ(Column(activeDir(), "session.db", 1), (Keys{"109", "101"}));
  EXPECT_EQ(CountersIn(activeDir())[0], 110);
}

TEST_F(MergeProcedureTest, SeriesFilteredOutStillCountsForTheSeriesCounterThroughItsMeasurements) {
  // Series 8 has patient "0": it is neither renumbered nor appended, but the
  // measurement that refers to it is, with its reference shifted to 208.
  ASSERT_NO_FATAL_FAILURE(
      CreateDatabases({{"1"}}, {{"1", "1"}, {"8", "0"}}, {{"1", "8"}, {"2", "1"}}, std::array{100, 200, 300}));
  MergeTables t = OpenViews();
  RunMerge(t);
  ASSERT_NO_FATAL_FAILURE(Finish());
  EXPECT_EQ(Column(activeDir(), "session.db", 0), (Keys{"201"}));
  EXPECT_EQ(Column(activeDir(), "data.db", 1), (Keys{"208", "201"}));
  EXPECT_EQ(CountersIn(activeDir())[1], 209);
}

TEST_F(MergeProcedureTest, EmptyCounterTableGetsItsRecordFromTheFirstPost) {
  ASSERT_NO_FATAL_FAILURE(CreateDatabases({{"4"}}, {{"2", "4"}}, {{"3", "2"}}, std::nullopt));
  MergeTables t = OpenViews();
  RunMerge(t);
  ASSERT_NO_FATAL_FAILURE(Finish());
  EXPECT_EQ(Column(oldDir(), "patient.db", 0), (Keys{"4"}));
  EXPECT_EQ(CountersIn(activeDir()), (std::vector<std::int32_t>{5, 3, 4}));
}

TEST_F(MergeProcedureTest, CollisionOnAppendIsSkippedAndReported) {
  // The active table already holds 102 although its counter says 100: the
  // renumbered old patient 2 collides there and is skipped, the others come.
  ASSERT_NO_FATAL_FAILURE(CreateDatabases({{"1", "A", "m"}, {"2", "B", "w"}, {"3", "C", "m"}}, {{"1", "1"}},
                                          {{"1", "1"}}, std::array{100, 200, 300}, {{"102", "schon da", "m"}}));
  MergeTables t = OpenViews();
  const MergeReport report = RunMerge(t);
  EXPECT_EQ(report.patients.moved, 2);
  EXPECT_EQ(report.patients.keyViolations, 1);
  EXPECT_TRUE(report.anyRejected());
  EXPECT_EQ(RejectedRecordsMessage(report),
            "Nicht alle alten Daten wurden übernommen!\r\nPatienten: 1 mit schon vorhandenem Schlüssel");
  ASSERT_NO_FATAL_FAILURE(Finish());
  EXPECT_EQ(Column(activeDir(), "patient.db", 0), (Keys{"101", "102", "103"}));
  EXPECT_EQ(Column(activeDir(), "patient.db", 1), (Keys{"A", "schon da", "C"}));
}

TEST_F(MergeProcedureTest, WalkVisitsEveryRecordOnceWithTwelveKeys) {
  // Keys 1..12 as text: "10" sorts before "2" in plain text order, but the walk
  // from the last key down must meet every record exactly once.
  Rows patients;
  for (int key = 1; key <= 12; ++key) patients.push_back({std::to_string(key)});
  ASSERT_NO_FATAL_FAILURE(CreateDatabases(patients, {{"1", "1"}}, {{"1", "1"}}, std::array{5, 0, 0}));
  MergeTables t = OpenViews();
  const MergeReport report = RunMerge(t);
  EXPECT_EQ(report.renumberedPatients, 12);
  ASSERT_NO_FATAL_FAILURE(Finish());
  Keys expected;
  for (int key = 6; key <= 17; ++key) expected.push_back(std::to_string(key));
  EXPECT_EQ(Column(oldDir(), "patient.db", 0), expected);
  EXPECT_EQ(CountersIn(activeDir())[0], 18);
}

// Both databases as their files hold them: every key and reference of the
// six tables, and the counters.
struct Stored {
  std::vector<Keys> columns;
  std::vector<std::int32_t> counters;
  bool operator==(const Stored&) const = default;
};

class MergeFailureTest : public MergeProcedureTest {
 protected:
  Stored StoredNow() {
    Stored stored;
    for (const auto& dir : {oldDir(), activeDir()}) {
      for (const auto& [table, fields] : {std::pair{"patient.db", 1}, {"session.db", 2}, {"data.db", 2}}) {
        for (int field = 0; field < fields; ++field) stored.columns.push_back(Column(dir, table, field));
      }
    }
    stored.counters = CountersIn(activeDir());
    return stored;
  }
  // Removes the old record `key` of `table`, or writes `text` into its field `field`.
  void ChangeOldRecord(const std::string& table, const std::string& key, std::size_t field = 0,
                       const std::string& text = "") {
    std::unique_ptr<px::Database> db;
    ASSERT_TRUE(px::Database::open(px::localFileSystem(), oldDir(), db).ok());
    std::unique_ptr<px::Cursor> cursor;
    ASSERT_TRUE(db->openCursor(table, px::CursorOptions{}, cursor).ok());
    px::Bytes record;
    while (cursor->next(record).ok()) {
      px::Value value;
      ASSERT_TRUE(cursor->table().readValue(record.data(), 0, value).ok());
      if (value != px::Value(key)) continue;
      if (text.empty()) {
        ASSERT_TRUE(cursor->removeCurrent().ok());
      } else {
        ASSERT_TRUE(cursor->table().setValue(record, field, text).ok());
        ASSERT_TRUE(cursor->modify(record).ok());
      }
      break;
    }
    cursor.reset();
    ASSERT_TRUE(db->close().ok());
  }
  // What the old views show after a merge gave up: the files as before.
  void ExpectViewsAsBefore(const MergeTables& t, const Keys& oldPatients) {
    EXPECT_EQ(ReadCounters(t).patient, 100);
    EXPECT_EQ(ReadCounters(t).session, 200);
    EXPECT_EQ(ReadCounters(t).data, 300);
    Keys shown;
    ASSERT_TRUE(t.oldPatient->Active());
    for (t.oldPatient->GoFirst(); !t.oldPatient->AtEnd(); t.oldPatient->GoNext()) {
      shown.push_back(t.oldPatientID->AsString());
    }
    EXPECT_EQ(shown, oldPatients);
  }
};

// A merge that fails half way through one of its walks (every record the
// walk has passed is renumbered, and the counters are advanced, by then),
// and the change to the old database that removes the cause.
struct HalfWayFailure {
  const char* walk;
  Rows patients, sessions, data;
  std::string failure;  // what the message says failed
  const char* table;    // the cause: a record of this old table, removed or changed
  std::string key;
  std::size_t field;
  std::string text;  // empty: removed
  // After the merge that follows: the old keys, the references, the counters.
  Keys patientKeys, sessionKeys, sessionPatients, dataKeys, dataSessions;
  std::vector<std::int32_t> counters;
};

TEST_F(MergeFailureTest, FailureHalfWayThroughAWalkChangesNothingAndTheRetryMergesOnce) {
  // Counters 100, 200, 300. A hidden record ("x" patient, series of patient
  // "0", measurement of series "0") keeps its key, where the renumbering
  // puts the record before it.
  const std::vector<HalfWayFailure> cases = {
      {"patients",
       {{"1", "", "m"}, {"2", "", "m"}, {"3", "", "m"}, {"4", "", "m"}, {"103", "", "x"}},
       {{"1", "1"}},
       {{"1", "1"}},
       "Key violation",
       "patient.db",
       "103",
       0,
       "",
       {"101", "102", "103", "104"},
       {"201"},
       {"101"},
       {"301"},
       {"201"},
       {105, 202, 302}},
      {"series",
       {{"1", "", "m"}},
       {{"1", "1"}, {"2", "1"}, {"3", "1"}, {"4", "1"}, {"203", "0"}},
       {{"1", "1"}},
       "Key violation",
       "session.db",
       "203",
       0,
       "",
       {"101"},
       {"201", "202", "203", "204"},
       {"101", "101", "101", "101"},
       {"301"},
       {"201"},
       {102, 205, 302}},
      {"measurements",
       {{"1", "", "m"}},
       {{"1", "1"}},
       {{"1", "1"}, {"2", "1"}, {"3", "1"}, {"4", "1"}, {"303", "0"}},
       "Key violation",
       "data.db",
       "303",
       0,
       "",
       {"101"},
       {"201"},
       {"101"},
       {"301", "302", "303", "304"},
       {"201", "201", "201", "201"},
       {102, 202, 305}},
      {"series, a reference that is no number",
       {{"1", "", "m"}},
       {{"1", "1"}, {"2", "zz"}, {"3", "1"}},
       {{"1", "1"}},
       "'zz' is not a valid integer value",
       "session.db",
       "2",
       1,
       "1",
       {"101"},
       {"201", "202", "203"},
       {"101", "101", "101"},
       {"301"},
       {"201"},
       {102, 204, 302}},
  };
  for (const HalfWayFailure& c : cases) {
    SCOPED_TRACE(c.walk);
    std::filesystem::remove_all(dir_.path() / "aktiv");
    std::filesystem::remove_all(dir_.path() / "alt");
    ASSERT_NO_FATAL_FAILURE(CreateDatabases(c.patients, c.sessions, c.data, std::array{100, 200, 300}));
    const Stored before = StoredNow();
    Keys shownPatients;
    for (const auto& row : c.patients) {
      if (row.size() < 3 || row[2] != "x") shownPatients.push_back(row[0]);
    }
    MergeTables t = OpenViews();
    try {
      RunMerge(t);
      FAIL() << "merged";
    } catch (const Exception& e) {
      EXPECT_NE(e.Message().find(c.failure), std::string::npos) << e.Message();
      EXPECT_NE(e.Message().find("Nichts wurde geändert"), std::string::npos) << e.Message();
    }
    ExpectViewsAsBefore(t, shownPatients);
    ASSERT_NO_FATAL_FAILURE(Finish());
    EXPECT_EQ(StoredNow(), before);

    ASSERT_NO_FATAL_FAILURE(ChangeOldRecord(c.table, c.key, c.field, c.text));
    t = OpenViews();
    RunMerge(t);
    ASSERT_NO_FATAL_FAILURE(Finish());
    EXPECT_EQ(Column(oldDir(), "patient.db", 0), c.patientKeys);
    EXPECT_EQ(Column(oldDir(), "session.db", 0), c.sessionKeys);
    EXPECT_EQ(Column(oldDir(), "session.db", 1), c.sessionPatients);
    EXPECT_EQ(Column(oldDir(), "data.db", 0), c.dataKeys);
    EXPECT_EQ(Column(oldDir(), "data.db", 1), c.dataSessions);
    EXPECT_EQ(Column(activeDir(), "patient.db", 0), c.patientKeys);
    EXPECT_EQ(Column(activeDir(), "session.db", 1), c.sessionPatients);
    EXPECT_EQ(Column(activeDir(), "data.db", 1), c.dataSessions);
    EXPECT_EQ(CountersIn(activeDir()), c.counters);
  }
}

TEST_F(MergeFailureTest, FailedWriteAtAnyPointChangesNothingOrEverythingAndTheRetryMergesOnce) {
  px::FaultInjectingFileSystem faults(px::localFileSystem());
  binding::UseFileSystem(faults);
  struct Restore {
    ~Restore() { binding::UseFileSystem(px::localFileSystem()); }
  } restore;
  auto create = [this] {
    std::filesystem::remove_all(dir_.path() / "aktiv");
    std::filesystem::remove_all(dir_.path() / "alt");
    CreateDatabases({{"1", "Anna", "w"}, {"2", "Bert", "m"}, {"3", "Cora", "x"}}, {{"1", "1"}, {"2", "2"}, {"3", "3"}},
                    {{"1", "1"}, {"2", "2"}, {"3", "0"}}, std::array{100, 200, 300});
  };
  // A clean merge: what it leaves, and how many writes it takes.
  ASSERT_NO_FATAL_FAILURE(create());
  const Stored before = StoredNow();
  MergeTables t = OpenViews();
  faults.reset();
  RunMerge(t);
  const std::uint64_t writes = faults.operations();
  ASSERT_NO_FATAL_FAILURE(Finish());
  const Stored merged = StoredNow();
  ASSERT_NE(merged, before);

  // Every write of the commit is cut by the crash tests of the command line;
  // here a spread of them, each failing while the process lives on.
  constexpr std::uint64_t kPoints = 10;
  ASSERT_GT(writes, kPoints);
  for (std::uint64_t point = 0; point < kPoints; ++point) {
    const std::uint64_t n = 1 + point * (writes - 1) / (kPoints - 1);
    const px::Fault fault = point % 2 ? px::Fault::IOError : px::Fault::DiskFull;
    SCOPED_TRACE("write " + std::to_string(n) + " of " + std::to_string(writes));
    ASSERT_NO_FATAL_FAILURE(create());
    t = OpenViews();
    faults.reset();
    faults.failAt(n, fault);
    std::string message;
    try {
      RunMerge(t);
    } catch (const EDatabaseError& e) {
      message = e.Message();
    }
    const bool mergedAnyway = message.find("trotzdem vollständig zusammengeführt") != std::string::npos;
    if (!message.empty() && !mergedAnyway) {
      EXPECT_NE(message.find(fault == px::Fault::DiskFull ? "Disk is full" : "Could not write"), std::string::npos)
          << message;
      EXPECT_NE(message.find("Nichts wurde geändert"), std::string::npos) << message;
      EXPECT_EQ(ReadCounters(t).patient, 100);
    }
    ASSERT_NO_FATAL_FAILURE(Finish());
    if (message.empty() || mergedAnyway) {
      EXPECT_EQ(StoredNow(), merged);
      continue;
    }
    EXPECT_EQ(StoredNow(), before);
    faults.reset();
    t = OpenViews();
    RunMerge(t);
    ASSERT_NO_FATAL_FAILURE(Finish());
    EXPECT_EQ(StoredNow(), merged);
  }
}

}  // namespace
