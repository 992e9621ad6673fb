// The two database modules read from their descriptions: the views, field
// objects and links they declare, the opening order of the active module,
// the before-post rule, and the old module bound to a directory.
#include <gtest/gtest.h>

#include <memory>

#include "database/dm_ra5.h"
#include "database/dm_ra5old.h"
#include "database/table_schemas.h"
#include "engine/access/database.h"
#include "engine/storage/table_creator.h"
#include "framework/core/recording_dialogs.h"
#include "tableaccess/data_source.h"
#include "tableaccess/database.h"
#include "tableaccess/integer_field.h"
#include "tableaccess/session.h"
#include "tableaccess/string_field.h"
#include "tableaccess/table.h"
#include "tests/tableaccess/view_test_support.h"

namespace {

// Creates the seven tables of a database from the schemas; patients get the
// given (ID, Name, Gender) and the counter record the given values.
void CreateDatabase(const std::filesystem::path& dir, const std::vector<std::array<std::string, 3>>& patients,
                    std::array<std::int32_t, 3> counters) {
  std::filesystem::create_directories(dir);
  for (const TableSchema* schema : AllSchemas()) {
    ASSERT_TRUE(px::createTable(px::localFileSystem(), dir, std::string(schema->baseName()), ToTableDefinition(*schema)).ok());
  }
  std::unique_ptr<px::Database> db;
  ASSERT_TRUE(px::Database::open(px::localFileSystem(), dir, db).ok());
  std::unique_ptr<px::Cursor> cursor;
  ASSERT_TRUE(db->openCursor("patient", px::CursorOptions{}, cursor).ok());
  for (const auto& p : patients) {
    px::Bytes record = cursor->table().blankRecord();
    for (std::size_t f = 0; f < 3; ++f) {
      const std::size_t field = static_cast<std::size_t>(PatientSchema().fieldIndex(f == 0 ? "ID" : f == 1 ? "Name" : "Gender"));
      if (!p[f].empty()) {
        ASSERT_TRUE(cursor->table().setValue(record, field, px::Value(p[f])).ok());
      }
    }
    ASSERT_TRUE(cursor->insert(record).ok());
  }
  ASSERT_TRUE(db->openCursor("index", px::CursorOptions{}, cursor).ok());
  px::Bytes record = cursor->table().blankRecord();
  const char* names[] = {"LastPatient", "LastSession", "LastData"};
  for (std::size_t i = 0; i < 3; ++i) {
    const auto field = static_cast<std::size_t>(CounterSchema().fieldIndex(names[i]));
    ASSERT_TRUE(cursor->table().setValue(record, field, px::Value(counters[i])).ok());
  }
  ASSERT_TRUE(cursor->insert(record).ok());
  cursor.reset();
  ASSERT_TRUE(db->close().ok());
}

class DatabaseModulesTest : public viewtest::ViewTest {
 protected:
  void SetUp() override {
    ViewTest::SetUp();
    WriteConfig("[aliases]\nwinvelda5 = " + activeDir().string() + "\n");
  }
  void TearDown() override {
    old_.reset();
    active_.reset();
    ViewTest::TearDown();
  }
  std::filesystem::path activeDir() const { return dir_.path() / "aktiv"; }
  std::filesystem::path oldDir() const { return dir_.path() / "alt"; }

  TRecordingDialogs dialogs_;
  TDialogsScope scope_{dialogs_};
  std::unique_ptr<TdmRA5> active_;
  std::unique_ptr<TdmRA5old> old_;
};

TEST_F(DatabaseModulesTest, ActiveModuleOpensItsTwelveViewsAndShowsTheCounters) {
  ASSERT_NO_FATAL_FAILURE(CreateDatabase(activeDir(), {{"1", "Anna", "w"}, {"2", "Xaver", "x"}}, {7, 8, 9}));
  active_ = std::make_unique<TdmRA5>(nullptr);
  EXPECT_TRUE(dialogs_.shown.empty()) << dialogs_.Texts().front();
  for (TTable* view : {active_->dPatient, active_->dPatientM, active_->dSession, active_->dSessionM, active_->dData,
                       active_->dData2, active_->dDataM, active_->dTech, active_->dSystem, active_->dAllerg,
                       active_->dSolvent, active_->dIndex}) {
    ASSERT_NE(view, nullptr);
    EXPECT_TRUE(view->Active()) << view->Name();
  }
  EXPECT_EQ(active_->dIndexLastPatient->AsInteger(), 7);
  EXPECT_EQ(active_->dIndexLastSession->AsInteger(), 8);
  EXPECT_EQ(active_->dIndexLastData->AsInteger(), 9);
  // One database for all twelve views.
  EXPECT_EQ(active_->dPatient->Database(), active_->dIndex->Database());
  EXPECT_EQ(active_->dPatient->Database()->RefCount(), 12);
  // The filtered patient views split the patients.
  EXPECT_EQ(active_->dPatientID->AsString(), "1");
  EXPECT_EQ(active_->dPatientM->FieldByName("ID")->AsString(), "2");
  EXPECT_EQ(active_->dsIndex->DataSet(), active_->dIndex);
}

TEST_F(DatabaseModulesTest, FieldObjectsFollowTheSchemas) {
  ASSERT_NO_FATAL_FAILURE(CreateDatabase(activeDir(), {}, {0, 0, 0}));
  active_ = std::make_unique<TdmRA5>(nullptr);
  const std::pair<TTable*, const TableSchema*> views[] = {
      {active_->dPatient, &PatientSchema()}, {active_->dSession, &SessionSchema()}, {active_->dData, &DataSchema()},
      {active_->dIndex, &CounterSchema()},   {active_->dTech, &TechSchema()},       {active_->dSystem, &SystemSchema()},
      {active_->dAllerg, &AllergSchema()}};
  for (const auto& [view, schema] : views) {
    ASSERT_EQ(view->FieldCount(), schema->fields.size()) << view->Name();
    for (std::size_t i = 0; i < schema->fields.size(); ++i) {
      const TField* field = view->Fields(i);
      const FieldSchema& expected = schema->fields[i];
      EXPECT_EQ(field->FieldName(), expected.name);
      EXPECT_EQ(field->Name(), view->Name() + std::string(expected.name));
      EXPECT_EQ(field->DataType(), expected.type) << field->Name();
      EXPECT_EQ(field->Required(), expected.required) << field->Name();
      EXPECT_EQ(field->FieldNo(), static_cast<int>(i + 1)) << field->Name();
    }
  }
}

TEST_F(DatabaseModulesTest, BeforePostGivesANamelessPatientItsKeyAsName) {
  ASSERT_NO_FATAL_FAILURE(CreateDatabase(activeDir(), {{"5", "", "m"}, {"6", "Berta", "w"}}, {0, 0, 0}));
  active_ = std::make_unique<TdmRA5>(nullptr);
  TTable& patients = *active_->dPatient;  // ordered by name: the blank name first
  EXPECT_EQ(active_->dPatientID->AsString(), "5");
  patients.StartEdit();
  patients.PostRecord();
  EXPECT_EQ(active_->dPatientName->AsString(), "5");
  patients.GoLast();
  EXPECT_EQ(active_->dPatientID->AsString(), "6");
  patients.StartEdit();
  patients.PostRecord();
  EXPECT_EQ(active_->dPatientName->AsString(), "Berta");
}

TEST_F(DatabaseModulesTest, FailingOpenGoesToTheExceptionDisplayAndLeavesTheRestClosed) {
  ASSERT_NO_FATAL_FAILURE(CreateDatabase(activeDir(), {}, {0, 0, 0}));
  for (const auto& entry : std::filesystem::directory_iterator(activeDir())) {
    if (entry.path().stem() == "tech") std::filesystem::remove(entry.path());
  }
  ASSERT_FALSE(std::filesystem::exists(activeDir() / "tech.db"));
  active_ = std::make_unique<TdmRA5>(nullptr);
  ASSERT_EQ(dialogs_.shown.size(), 1u);
  EXPECT_TRUE(active_->dSystem->Active());
  EXPECT_TRUE(active_->dIndex->Active());
  EXPECT_FALSE(active_->dTech->Active());
  EXPECT_FALSE(active_->dPatient->Active());
}

TEST_F(DatabaseModulesTest, OldModuleOpensOnTheChosenDirectoryWithItsFilters) {
  ASSERT_NO_FATAL_FAILURE(CreateDatabase(activeDir(), {}, {0, 0, 0}));
  ASSERT_NO_FATAL_FAILURE(CreateDatabase(oldDir(), {{"1", "A", "m"}, {"2", "B", "x"}, {"3", "C", "w"}}, {0, 0, 0}));
  old_ = std::make_unique<TdmRA5old>(nullptr);
  for (TTable* view : {old_->dPatient, old_->dSession, old_->dData}) {
    EXPECT_FALSE(view->Active());
    view->SetDatabaseName(viewtest::DirectoryName(oldDir()));
  }
  old_->dData->Open();
  old_->dSession->Open();
  old_->dPatient->Open();
  std::vector<std::string> ids;
  for (; !old_->dPatient->AtEnd(); old_->dPatient->GoNext()) ids.push_back(old_->dPatientID->AsString());
  EXPECT_EQ(ids, (std::vector<std::string>{"1", "3"}));
  EXPECT_EQ(old_->dsPatient->DataSet(), old_->dPatient);
  EXPECT_FALSE(old_->dsPatient->AutoEdit());
  EXPECT_EQ(old_->dPatient->Database(), old_->dData->Database());
}

}  // namespace
