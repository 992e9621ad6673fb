// The merge procedure on real tables: renumbering, counters, appends, and the
// cases the practice meets (patients marked "x", counters of 0, keys that are
// not integers, an empty counter table, collisions).
#include "app/merge_procedure.h"

#include <gtest/gtest.h>

#include <memory>

#include "engine/access/database.h"
#include "engine/storage/table_check.h"
#include "engine/storage/table_creator.h"
#include "tableaccess/batch_move.h"
#include "tableaccess/db_errors.h"
#include "tableaccess/integer_field.h"
#include "tableaccess/session.h"
#include "tableaccess/string_field.h"
#include "tableaccess/table.h"
#include "tests/tableaccess/view_test_support.h"

namespace {

using Rows = std::vector<std::vector<std::string>>;
using Keys = std::vector<std::string>;

px::TableSpec TextTable(std::vector<std::pair<std::string, int>> fields, int keyFields) {
  px::TableSpec spec;
  for (auto& [name, size] : fields) spec.fields.push_back(px::FieldSpec{name, px::FieldType::Alpha, size});
  spec.keyFields = keyFields;
  return spec;
}

px::TableSpec PatientTable() { return TextTable({{"ID", 20}, {"Name", 60}, {"Gender", 12}}, 1); }
px::TableSpec SessionTable() { return TextTable({{"SessionID", 20}, {"Patient", 20}}, 1); }
px::TableSpec DataTable() { return TextTable({{"DataID", 20}, {"SessionID", 20}}, 1); }

void CreateIndexTable(const std::filesystem::path& dir, std::optional<std::array<std::int32_t, 3>> counters) {
  px::TableSpec spec;
  spec.fields = {{"LastPatient", px::FieldType::Long, 4}, {"LastSession", px::FieldType::Long, 4},
                 {"LastData", px::FieldType::Long, 4}};
  ASSERT_TRUE(px::createTable(px::localFileSystem(), dir, "index", spec).ok());
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
    viewtest::CreateTable(oldDir(), "patient.db", PatientTable(), oldPatients);
    viewtest::CreateTable(oldDir(), "session.db", SessionTable(), oldSessions);
    viewtest::CreateTable(oldDir(), "data.db", DataTable(), oldData);
    viewtest::CreateTable(activeDir(), "patient.db", PatientTable(), activePatients);
    viewtest::CreateTable(activeDir(), "session.db", SessionTable(), {});
    viewtest::CreateTable(activeDir(), "data.db", DataTable(), {});
    CreateIndexTable(activeDir(), counters);
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
  CreateDatabases({{"1", "Anna", "w"}, {"2", "Bert", "m"}, {"3", "Cora", "w"}},
                  {{"1", "1"}, {"2", "2"}, {"3", "3"}, {"4", "3"}},
                  {{"1", "1"}, {"2", "2"}, {"3", "3"}, {"4", "4"}, {"5", "4"}}, std::array{100, 200, 300});
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
  Finish();
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
  CreateDatabases({{"3"}, {"17"}, {"9"}}, {{"40", "17"}}, {{"7", "40"}}, std::array{10, 20, 30});
  MergeTables t = OpenViews();
  RunMerge(t);
  Finish();
  EXPECT_EQ(Column(oldDir(), "patient.db", 0), (Keys{"13", "19", "27"}));
  EXPECT_EQ(CountersIn(activeDir()), (std::vector<std::int32_t>{28, 61, 38}));
}

TEST_F(MergeProcedureTest, CounterOfZeroKeepsTheKeysAndFollowsTheLastKey) {
  CreateDatabases({{"1"}, {"2"}}, {{"5", "2"}}, {{"8", "5"}}, std::array{0, 0, 0});
  MergeTables t = OpenViews();
  RunMerge(t);
  Finish();
  EXPECT_EQ(Column(oldDir(), "patient.db", 0), (Keys{"1", "2"}));
  EXPECT_EQ(CountersIn(activeDir()), (std::vector<std::int32_t>{3, 6, 9}));
}

TEST_F(MergeProcedureTest, PatientMarkedXStaysOutButItsSeriesComesAlongAndTheCounterPassesIt) {
  // Patient 9 is marked "x": not renumbered, not appended. Its series is
  // appended with the reference shifted to 109, so the counter must pass 109
  // although the last key the filtered view shows is 2.
  CreateDatabases({{"1", "A", "m"}, {"2", "B", "w"}, {"9", "X", "x"}}, {{"1", "9"}, {"2", "1"}}, {{"1", "1"}},
                  std::array{100, 200, 300});
  MergeTables t = OpenViews();
  RunMerge(t);
  Finish();
  EXPECT_EQ(Column(oldDir(), "patient.db", 0), (Keys{"9", "101", "102"}));
  EXPECT_EQ(Column(activeDir(), "patient.db", 0), (Keys{"101", "102"}));
  EXPECT_EQ(Column(activeDir(), "session.db", 1), (Keys{"109", "101"}));
  EXPECT_EQ(CountersIn(activeDir())[0], 110);
}

TEST_F(MergeProcedureTest, SeriesFilteredOutStillCountsForTheSeriesCounterThroughItsMeasurements) {
  // Series 8 has patient "0": it is neither renumbered nor appended, but the
  // measurement that refers to it is, with its reference shifted to 208.
  CreateDatabases({{"1"}}, {{"1", "1"}, {"8", "0"}}, {{"1", "8"}, {"2", "1"}}, std::array{100, 200, 300});
  MergeTables t = OpenViews();
  RunMerge(t);
  Finish();
  EXPECT_EQ(Column(activeDir(), "session.db", 0), (Keys{"201"}));
  EXPECT_EQ(Column(activeDir(), "data.db", 1), (Keys{"208", "201"}));
  EXPECT_EQ(CountersIn(activeDir())[1], 209);
}

TEST_F(MergeProcedureTest, KeyThatIsNotAnIntegerStopsTheMergeAndEarlierChangesStay) {
  CreateDatabases({{"1"}, {"2"}, {"abc"}}, {{"1", "1"}}, {{"1", "1"}}, std::array{100, 200, 300});
  MergeTables t = OpenViews();
  // "abc" sorts after the whole numbers: it is the last record, read first.
  try {
    RunMerge(t);
    FAIL() << "merged";
  } catch (const EConvertError& e) {
    EXPECT_EQ(e.Message(), "'abc' is not a valid integer value");
  }
  Finish();
  EXPECT_EQ(CountersIn(activeDir()), (std::vector<std::int32_t>{100, 200, 300}));
}

TEST_F(MergeProcedureTest, EmptyCounterTableGetsItsRecordFromTheFirstPost) {
  CreateDatabases({{"4"}}, {{"2", "4"}}, {{"3", "2"}}, std::nullopt);
  MergeTables t = OpenViews();
  RunMerge(t);
  Finish();
  EXPECT_EQ(Column(oldDir(), "patient.db", 0), (Keys{"4"}));
  EXPECT_EQ(CountersIn(activeDir()), (std::vector<std::int32_t>{5, 3, 4}));
}

TEST_F(MergeProcedureTest, CollisionOnAppendIsSkippedAndReported) {
  // The active table already holds 102 although its counter says 100: the
  // renumbered old patient 2 collides there and is skipped, the others come.
  CreateDatabases({{"1", "A", "m"}, {"2", "B", "w"}, {"3", "C", "m"}}, {{"1", "1"}}, {{"1", "1"}},
                  std::array{100, 200, 300}, {{"102", "schon da", "m"}});
  MergeTables t = OpenViews();
  const MergeReport report = RunMerge(t);
  EXPECT_EQ(report.patients.moved, 2);
  EXPECT_EQ(report.patients.keyViolations, 1);
  EXPECT_TRUE(report.anyRejected());
  EXPECT_EQ(RejectedRecordsMessage(report),
            "Nicht alle alten Daten wurden übernommen!\r\nPatienten: 1 mit schon vorhandenem Schlüssel");
  Finish();
  EXPECT_EQ(Column(activeDir(), "patient.db", 0), (Keys{"101", "102", "103"}));
  EXPECT_EQ(Column(activeDir(), "patient.db", 1), (Keys{"A", "schon da", "C"}));
}

TEST_F(MergeProcedureTest, WalkVisitsEveryRecordOnceWithTwelveKeys) {
  // Keys 1..12 as text: "10" sorts before "2" in plain text order, but the walk
  // from the last key down must meet every record exactly once.
  Rows patients;
  for (int key = 1; key <= 12; ++key) patients.push_back({std::to_string(key)});
  CreateDatabases(patients, {{"1", "1"}}, {{"1", "1"}}, std::array{5, 0, 0});
  MergeTables t = OpenViews();
  const MergeReport report = RunMerge(t);
  EXPECT_EQ(report.renumberedPatients, 12);
  Finish();
  Keys expected;
  for (int key = 6; key <= 17; ++key) expected.push_back(std::to_string(key));
  EXPECT_EQ(Column(oldDir(), "patient.db", 0), expected);
  EXPECT_EQ(CountersIn(activeDir())[0], 18);
}

TEST_F(MergeProcedureTest, CollisionInsideTheOldTableStopsTheWalk) {
  // With offset 1, key 1 becomes 2 while 2 is... already raised to 3: the walk
  // from the greatest key down never collides. A collision needs a gap the
  // filter hides: "x" patient 3 keeps its key, and 2 + 1 lands on it.
  CreateDatabases({{"1", "", "m"}, {"2", "", "m"}, {"3", "", "x"}}, {{"1", "1"}}, {{"1", "1"}}, std::array{1, 0, 0});
  MergeTables t = OpenViews();
  EXPECT_THROW(RunMerge(t), EDBEngineError);
  Finish();
  EXPECT_EQ(CountersIn(activeDir())[0], 5);  // posted before the walk
}

}  // namespace
