// The dry run on real tables: each finding on a database made for it, the
// forecast held against what RunMerge then really does on the same views,
// and the files left exactly as they were.
#include "app/merge_check.h"

#include <gtest/gtest.h>

#include <map>
#include <memory>

#include "engine/access/database.h"
#include "engine/io/file_lock.h"
#include "engine/storage/table_creator.h"
#include "tableaccess/batch_move.h"
#include "tableaccess/db_errors.h"
#include "tableaccess/integer_field.h"
#include "tableaccess/session.h"
#include "tableaccess/string_field.h"
#include "tableaccess/table.h"
#include "tests/tableaccess/view_test_support.h"

namespace {

namespace fs = std::filesystem;
using Rows = std::vector<std::vector<std::string>>;

px::TableDefinition TextTable(std::vector<std::pair<std::string, int>> fields) {
  px::TableDefinition definition;
  for (auto& [name, size] : fields) definition.fields.push_back(px::FieldDefinition{name, px::FieldType::Alpha, size});
  definition.keyFields = 1;
  return definition;
}

px::TableDefinition PatientTable(int nameSize = 60) {
  return TextTable({{"ID", 20}, {"Name", nameSize}, {"DOB", 20}, {"Gender", 12}});
}
px::TableDefinition SessionTable() { return TextTable({{"SessionID", 20}, {"Patient", 20}}); }
px::TableDefinition DataTable() { return TextTable({{"DataID", 20}, {"SessionID", 20}}); }

void CreateIndexTable(const fs::path& dir, std::array<std::int32_t, 3> counters) {
  px::TableDefinition definition;
  definition.fields = {{"LastPatient", px::FieldType::Long, 4}, {"LastSession", px::FieldType::Long, 4},
                 {"LastData", px::FieldType::Long, 4}};
  ASSERT_TRUE(px::createTable(px::localFileSystem(), dir, "index", definition).ok());
  std::unique_ptr<px::Database> db;
  ASSERT_TRUE(px::Database::open(px::localFileSystem(), dir, db).ok());
  std::unique_ptr<px::Cursor> cursor;
  ASSERT_TRUE(db->openCursor("index", px::CursorOptions{}, cursor).ok());
  px::Bytes record = cursor->table().blankRecord();
  for (std::size_t i = 0; i < 3; ++i) ASSERT_TRUE(cursor->table().setValue(record, i, px::Value(counters[i])).ok());
  ASSERT_TRUE(cursor->insert(record).ok());
  cursor.reset();
  ASSERT_TRUE(db->close().ok());
}

// Every file of a directory with its bytes.
std::map<std::string, std::vector<unsigned char>> FilesOf(const fs::path& dir) {
  std::map<std::string, std::vector<unsigned char>> files;
  for (const auto& entry : fs::directory_iterator(dir)) {
    files[entry.path().filename().string()] = px::test::readBytes(entry.path());
  }
  return files;
}

struct Database {
  Rows patients, sessions, data;  // patients: ID, Name, DOB, Gender
};

class MergeCheckTest : public viewtest::ViewTest {
 protected:
  fs::path activeDir() const { return dir_.path() / "aktiv"; }
  fs::path oldDir() const { return dir_.path() / "alt"; }

  void Create(const Database& old, const Database& active, std::array<std::int32_t, 3> counters,
              int oldNameSize = 60) {
    fs::create_directories(activeDir());
    fs::create_directories(oldDir());
    viewtest::CreateTable(oldDir(), "patient.db", PatientTable(oldNameSize), old.patients);
    viewtest::CreateTable(oldDir(), "session.db", SessionTable(), old.sessions);
    viewtest::CreateTable(oldDir(), "data.db", DataTable(), old.data);
    viewtest::CreateTable(activeDir(), "patient.db", PatientTable(), active.patients);
    viewtest::CreateTable(activeDir(), "session.db", SessionTable(), active.sessions);
    viewtest::CreateTable(activeDir(), "data.db", DataTable(), active.data);
    ASSERT_NO_FATAL_FAILURE(CreateIndexTable(activeDir(), counters));
    UseActive(activeDir());
  }
  void UseActive(const fs::path& dir) { WriteConfig("[aliases]\nwinvelda5 = " + dir.string() + "\n"); }

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
  MergeTables OpenViews(const fs::path& old) {
    MergeTables t;
    const std::string name = viewtest::DirectoryName(old);
    t.index = View("dIndex", "winvelda5", "index");
    t.lastPatient = Field<TIntegerField>(t.index, "LastPatient");
    t.lastSession = Field<TIntegerField>(t.index, "LastSession");
    t.lastData = Field<TIntegerField>(t.index, "LastData");
    TTable* activePatient = View("dPatientActive", "winvelda5", "patient.db", "Gender<>'x'");
    Field<TStringField>(activePatient, "Gender");
    TTable* activeSession = View("dSessionActive", "winvelda5", "session.db");
    TTable* activeData = View("dDataActive", "winvelda5", "data.db");
    t.oldPatient = View("dPatient", name, "patient.db", "Gender<>'x'");
    t.oldPatientID = Field<TStringField>(t.oldPatient, "ID");
    Field<TStringField>(t.oldPatient, "Gender");
    t.oldSession = View("dSession", name, "session.db", "Patient>0");
    t.oldSessionID = Field<TStringField>(t.oldSession, "SessionID");
    t.oldSessionPatient = Field<TStringField>(t.oldSession, "Patient");
    t.oldData = View("dData", name, "data.db", "SessionID>0");
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
  MergeTables OpenViews() { return OpenViews(oldDir()); }

  MergeCheckReport Check(const MergeTables& t) {
    MergeCheckOptions options;
    options.freeSpace = [](const fs::path&) { return std::uintmax_t{1} << 40; };
    return CheckMerge(t, options);
  }

  // Ends the session (closing every view and writing what changed).
  void Finish() {
    while (owner_.ComponentCount() > 0) delete owner_.Components(owner_.ComponentCount() - 1);
    EndDefaultSession();
  }

  TComponent owner_;
};

std::vector<CheckTopic> Topics(const MergeCheckReport& report) {
  std::vector<CheckTopic> topics;
  for (const CheckFinding& finding : report.findings) topics.push_back(finding.topic);
  return topics;
}

// Two patients, their series and measurements, nothing left out.
const Database kCleanOld{{{"1", "Anna Alt", "01011950", "w"}, {"4", "Bert Alt", "02021960", "m"}},
                         {{"2", "1"}, {"5", "4"}},
                         {{"3", "2"}, {"8", "5"}, {"9", "5"}}};
const Database kActive{{{"1", "Clara Neu", "03031970", "w"}, {"2", "Dora Neu", "04041980", "w"}},
                       {{"1", "1"}},
                       {{"1", "1"}, {"2", "1"}}};

TEST_F(MergeCheckTest, CleanPairHasNoFindingAndNoByteChanges) {
  Create(kCleanOld, kActive, {3, 2, 3});
  const auto oldBefore = FilesOf(oldDir());
  const auto activeBefore = FilesOf(activeDir());
  MergeTables t = OpenViews();
  const MergeCheckReport report = Check(t);
  EXPECT_TRUE(report.findings.empty()) << FormatCheckReport(report);
  EXPECT_EQ(report.ExitStatus(), 0);
  EXPECT_EQ(report.patients.admitted, 2);
  EXPECT_EQ(report.data.total, 3);
  EXPECT_EQ(report.oldDirectory, oldDir());
  EXPECT_EQ(report.activeDirectory, activeDir());
  Finish();
  EXPECT_EQ(FilesOf(oldDir()), oldBefore);
  EXPECT_EQ(FilesOf(activeDir()), activeBefore);
}

TEST_F(MergeCheckTest, ForecastIsWhatTheMergeThenDoes) {
  // Hidden patient 9 with a series, a series of a patient that does not
  // exist, series 7 without a patient, a measurement of a series that does
  // not exist, one without a series, keys with gaps.
  const Database old{{{"2", "A", "", "m"}, {"5", "B", "", "w"}, {"9", "X", "", "x"}},
                     {{"3", "2"}, {"4", "9"}, {"7", "0"}, {"12", "5"}, {"13", "40"}},
                     {{"1", "3"}, {"6", "30"}, {"10", "0"}, {"11", "12"}}};
  Create(old, kActive, {100, 200, 300});
  MergeTables t = OpenViews();
  const MergeCheckReport forecast = Check(t);
  const MergeReport merged = RunMerge(t);

  EXPECT_EQ(forecast.patientCounter.now, merged.before.patient);
  EXPECT_EQ(forecast.patientCounter.after, merged.after.patient);
  EXPECT_EQ(forecast.sessionCounter.after, merged.after.session);
  EXPECT_EQ(forecast.dataCounter.after, merged.after.data);
  EXPECT_EQ(forecast.patients.admitted, merged.renumberedPatients);
  EXPECT_EQ(forecast.sessions.admitted, merged.renumberedSessions);
  EXPECT_EQ(forecast.data.admitted, merged.renumberedData);
  EXPECT_EQ(forecast.patients.appendCollisions.size(), static_cast<std::size_t>(merged.patients.keyViolations));
  // The missing patient 40 counts for the counter through its series.
  EXPECT_EQ(forecast.patientCounter.after, 141);
  // The missing series 30 counts for the series counter through its measurement.
  EXPECT_EQ(forecast.sessionCounter.after, 231);
  EXPECT_EQ(forecast.dataCounter.after, 312);
}

TEST_F(MergeCheckTest, LeftOutRecordsAndReferencesToThemAreNamed) {
  const Database old{{{"1", "A", "", "m"}, {"2", "B", "", "x"}, {"3", "C", "", "x"}, {"4", "D", "", "X"}},
                     // to a hidden patient, to a missing one, without a patient, and a good one
                     {{"1", "2"}, {"2", "77"}, {"3", "0"}, {"4", "1"}},
                     // to the series without patient, to a missing series, without series, a good one
                     {{"1", "3"}, {"2", "55"}, {"3", "0"}, {"4", "4"}}};
  Create(old, kActive, {10, 10, 10});
  MergeTables t = OpenViews();
  const MergeCheckReport report = Check(t);

  EXPECT_EQ(report.patients.total, 4);
  EXPECT_EQ(report.patients.admitted, 2);  // the upper-case X is not the mark
  EXPECT_EQ(report.patients.leftOut, (std::vector<std::pair<std::string, std::int64_t>>{{"x", 2}}));
  EXPECT_EQ(report.sessions.leftOut, (std::vector<std::pair<std::string, std::int64_t>>{{"0", 1}}));
  EXPECT_EQ(report.data.leftOut, (std::vector<std::pair<std::string, std::int64_t>>{{"0", 1}}));
  EXPECT_EQ(report.sessionPatients.toLeftOut, 1);
  EXPECT_EQ(report.sessionPatients.toMissing, 1);
  EXPECT_EQ(report.dataSessions.toLeftOut, 1);
  EXPECT_EQ(report.dataSessions.toMissing, 1);
  EXPECT_EQ(report.sessionPatients.examples, (std::vector<std::string>{"2", "77"}));
  EXPECT_EQ(Topics(report), (std::vector<CheckTopic>{CheckTopic::References, CheckTopic::References}));
  EXPECT_EQ(report.ExitStatus(), 1);

  const std::string text = FormatCheckReport(report);
  EXPECT_NE(text.find("Patienten:  4 Datensätze, 2 übernommen, 2 ausgelassen (Gender „x“: 2)"), std::string::npos)
      << text;
  EXPECT_NE(text.find("Messreihen: 2 verweisen auf Patienten, die nicht angefügt werden"), std::string::npos);
  EXPECT_NE(text.find("Ergebnis: Das Zusammenführen würde mit Warnungen durchlaufen."), std::string::npos);
}

TEST_F(MergeCheckTest, KeyAlreadyInTheActiveTableIsSkippedAndItsChildrenPointElsewhere) {
  // Counter 0: old patient 2 keeps key 2, which the active table holds.
  Create(Database{{{"1", "A", "", "m"}, {"2", "B", "", "m"}}, {{"1", "2"}}, {{"1", "1"}}}, kActive, {0, 5, 5});
  MergeTables t = OpenViews();
  const MergeCheckReport report = Check(t);
  EXPECT_EQ(report.patients.appendCollisions, (std::vector<std::string>{"1", "2"}));
  EXPECT_EQ(report.sessionPatients.toRejected, 1);
  EXPECT_EQ(report.ExitStatus(), 1);
  EXPECT_TRUE(report.Has(CheckTopic::AppendCollision));
  const MergeReport merged = RunMerge(t);
  EXPECT_EQ(merged.patients.keyViolations, 2);
  EXPECT_EQ(merged.sessions.keyViolations, 0);
}

TEST_F(MergeCheckTest, ShiftedKeyOnAHiddenKeyStopsTheMergeAsForecast) {
  // Offset 1: patient 2 would become 3, the key of the hidden patient.
  Create(Database{{{"1", "", "", "m"}, {"2", "", "", "m"}, {"3", "", "", "x"}}, {{"1", "1"}}, {{"1", "1"}}},
         kActive, {1, 5, 5});
  MergeTables t = OpenViews();
  const MergeCheckReport report = Check(t);
  EXPECT_EQ(report.patients.renumberCollisions, (std::vector<std::string>{"3"}));
  EXPECT_EQ(report.ExitStatus(), 2);
  EXPECT_THROW(RunMerge(t), EDBEngineError);
}

TEST_F(MergeCheckTest, TwoSpellingsOfOneNumberMeetWhenRenumbered) {
  // "007" and "7" are two keys as text; both are written back as 7 + offset.
  Create(Database{{{"007", "", "", "m"}, {"7", "", "", "m"}}, {{"1", "7"}}, {{"1", "1"}}}, kActive, {0, 5, 5});
  MergeTables t = OpenViews();
  const MergeCheckReport report = Check(t);
  EXPECT_EQ(report.patients.renumberCollisions, (std::vector<std::string>{"7"}));
  EXPECT_TRUE(report.Has(CheckTopic::RenumberCollision));
  EXPECT_THROW(RunMerge(t), EDBEngineError);
}

TEST_F(MergeCheckTest, KeysAndReferencesThatAreNoNumberStopTheMerge) {
  // "abc" sorts after "0": the series filter admits it, and the walk cannot shift it.
  Create(Database{{{"1", "", "", "m"}}, {{"1", "abc"}, {"2", "1"}}, {{"1", "2"}}}, kActive, {3, 3, 3});
  MergeTables t = OpenViews();
  const MergeCheckReport report = Check(t);
  ASSERT_EQ(report.sessions.badKeys.size(), 1u);
  EXPECT_EQ(report.sessions.badKeys[0], "Patient „abc“ ist keine ganze Zahl");
  EXPECT_TRUE(report.patients.badKeys.empty());
  EXPECT_EQ(report.ExitStatus(), 2);
  EXPECT_THROW(RunMerge(t), EConvertError);
}

TEST_F(MergeCheckTest, CounterBeyondTheNumberRangeStopsTheMerge) {
  Create(Database{{{"2147483000", "", "", "m"}}, {{"1", "2147483000"}}, {{"1", "1"}}}, kActive, {1000, 3, 3});
  MergeTables t = OpenViews();
  const MergeCheckReport report = Check(t);
  EXPECT_FALSE(report.patientCounter.after.has_value());
  EXPECT_FALSE(report.patients.badKeys.empty());
  EXPECT_EQ(report.ExitStatus(), 2);
}

TEST_F(MergeCheckTest, FilterThatAdmitsNothingStopsTheMerge) {
  Create(Database{{{"1", "", "", "x"}}, {{"1", "1"}}, {{"1", "1"}}}, kActive, {3, 3, 3});
  MergeTables t = OpenViews();
  const MergeCheckReport report = Check(t);
  EXPECT_EQ(report.patients.admitted, 0);
  EXPECT_FALSE(report.patientCounter.after.has_value());
  EXPECT_TRUE(report.Has(CheckTopic::Keys));
  EXPECT_EQ(report.ExitStatus(), 2);
}

TEST_F(MergeCheckTest, FieldsThatDifferInSizeMakeTheMergeFail) {
  Create(kCleanOld, kActive, {3, 2, 3}, /*oldNameSize=*/40);
  MergeTables t = OpenViews();
  const MergeCheckReport report = Check(t);
  ASSERT_EQ(Topics(report), (std::vector<CheckTopic>{CheckTopic::Fields}));
  EXPECT_NE(report.findings[0].text.find("Nr. 2: alt „Name“ String 40, aktiv „Name“ String 60"), std::string::npos)
      << report.findings[0].text;
  EXPECT_EQ(report.ExitStatus(), 2);
}

TEST_F(MergeCheckTest, DatabaseHeldByAnotherProgramIsReported) {
  Create(kCleanOld, kActive, {3, 2, 3});
  px::test::writeBytes(oldDir() / "PDOXUSRS.LCK", {'N', 'E', 'T'});
  MergeTables t = OpenViews();
  px::FileLock application;  // as the clinical application holds it
  ASSERT_TRUE(application.acquire(oldDir() / "PDOXUSRS.LCK").ok());
  const MergeCheckReport report = Check(t);
  ASSERT_EQ(Topics(report), (std::vector<CheckTopic>{CheckTopic::InUse}));
  EXPECT_NE(report.findings[0].text.find("alte Datenbank"), std::string::npos);
  EXPECT_EQ(report.ExitStatus(), 2);
  application.release();
  EXPECT_EQ(Check(t).ExitStatus(), 0);
}

TEST_F(MergeCheckTest, TooLittleDiskSpaceMakesTheMergeFail) {
  Create(kCleanOld, kActive, {3, 2, 3});
  MergeTables t = OpenViews();
  MergeCheckOptions options;
  std::uintmax_t free = 0;
  options.freeSpace = [&free](const fs::path&) { return free; };
  free = 1000;
  const MergeCheckReport tight = CheckMerge(t, options);
  EXPECT_TRUE(tight.Has(CheckTopic::DiskSpace));
  EXPECT_EQ(tight.ExitStatus(), 2);
  // At least the old tables and the active ones are written anew.
  std::uintmax_t files = 0;
  for (const fs::path& dir : {oldDir(), activeDir()}) {
    for (const auto& entry : fs::directory_iterator(dir)) files += fs::file_size(entry.path());
  }
  EXPECT_GE(tight.spaceNeeded, files);
  free = tight.spaceNeeded;
  EXPECT_EQ(CheckMerge(t, options).ExitStatus(), 0);
}

TEST_F(MergeCheckTest, OldDatabaseMergedBeforeIsRecognisedInPlaceAndFromItsBackup) {
  Create(kCleanOld, kActive, {3, 2, 3});
  const fs::path backup = dir_.path() / "sicherung";
  fs::copy(oldDir(), backup);
  {
    MergeTables t = OpenViews();
    EXPECT_FALSE(Check(t).Has(CheckTopic::AlreadyMerged));
    RunMerge(t);
    Finish();
  }
  {
    // The merge renumbered the old database in place: same keys as in the active one.
    MergeTables t = OpenViews();
    const MergeCheckReport again = Check(t);
    EXPECT_TRUE(again.Has(CheckTopic::AlreadyMerged)) << FormatCheckReport(again);
    EXPECT_EQ(again.alreadyMergedPatients, 2);
    EXPECT_EQ(again.alreadyMergedOffset, 0);
    EXPECT_EQ(again.ExitStatus(), 1);
    Finish();
  }
  // The backup still has the old keys: the active copies sit 3 further on.
  MergeTables t = OpenViews(backup);
  const MergeCheckReport fromBackup = Check(t);
  EXPECT_TRUE(fromBackup.Has(CheckTopic::AlreadyMerged));
  EXPECT_EQ(fromBackup.alreadyMergedOffset, 3);
  EXPECT_NE(FormatCheckReport(fromBackup).find("2 von 2 Patienten"), std::string::npos);
  EXPECT_NE(FormatCheckReport(fromBackup).find("mit um 3 verschobenen Schlüsseln"), std::string::npos);
}

TEST_F(MergeCheckTest, LeftoverCommitIsReportedBeforeAnythingOpens) {
  fs::create_directories(oldDir());
  MergeCheckReport report;
  report.oldDirectory = oldDir();
  CheckUnfinishedCommits(report);
  EXPECT_TRUE(report.findings.empty());
  px::test::writeBytes(oldDir() / "patient.DB.pxnew", {1, 2, 3});
  CheckUnfinishedCommits(report);
  ASSERT_EQ(Topics(report), (std::vector<CheckTopic>{CheckTopic::OpenFailed}));
  // A merge's commit cut short before the active database was written.
  fs::remove(oldDir() / "patient.DB.pxnew");
  px::test::writeBytes(oldDir() / "pxlink.jnl", {1, 2, 3});
  CheckUnfinishedCommits(report);
  ASSERT_EQ(Topics(report), (std::vector<CheckTopic>{CheckTopic::OpenFailed, CheckTopic::OpenFailed}));
  EXPECT_EQ(report.ExitStatus(), 2);
  EXPECT_NE(FormatCheckReport(report).find("Ergebnis: Das Zusammenführen würde scheitern."), std::string::npos);
}

}  // namespace
