// Batch appends between views: what the source's filter admits reaches the
// destination table, rejected records do not stop the move, views closed
// before are closed again, and bound controls see the result once.
#include "tableaccess/batch_move.h"

#include <gtest/gtest.h>

#include "tableaccess/data_source.h"
#include "tableaccess/db_errors.h"
#include "tableaccess/field.h"
#include "tableaccess/field_data_link.h"
#include "tableaccess/session.h"
#include "tableaccess/table.h"
#include "tests/tableaccess/view_test_support.h"

namespace {

using viewtest::ViewTest;

class BatchMoveTest : public ViewTest {
 protected:
  void SetUp() override {
    ViewTest::SetUp();
    std::filesystem::create_directories(oldDir());
    viewtest::CreateTable(oldDir(), "patient.db", viewtest::PatientDefinition(),
                          {{"101", "Alt", "m"}, {"102", "Weg", "x"}, {"103", "Neu", "w"}, {"5", "Doppelt", "m"}});
    viewtest::CreateTable(dir_.path(), "patient.db", viewtest::PatientDefinition(), {{"1", "Aktiv", "m"}, {"5", "Fünf", "w"}});
    source_.SetName("dPatientOld");
    source_.SetDatabaseName(viewtest::DirectoryName(oldDir()));
    source_.SetTableName("patient.db");
    source_.SetFilter("Gender<>'x'");
    source_.SetFiltered(true);
    destination_.SetName("dPatient");
    destination_.SetDatabaseName(viewtest::DirectoryName(dir_.path()));
    destination_.SetTableName("patient.db");
    move_.SetName("BatchMovePat");
    move_.SetSource(&source_);
    move_.SetDestination(&destination_);
    move_.SetAbortOnKeyViol(false);
    move_.SetAbortOnProblem(false);
  }
  void TearDown() override {
    source_.Close();
    destination_.Close();
    ViewTest::TearDown();
  }
  std::filesystem::path oldDir() const { return dir_.path() / "alt"; }
  std::vector<std::string> ActiveIds() {
    source_.Close();
    destination_.Close();
    EndDefaultSession();
    return viewtest::ColumnOf(dir_.path(), "patient.db", 0);
  }

  TTable source_, destination_;
  TBatchMove move_;
};

TEST_F(BatchMoveTest, AppendsWhatTheFilterAdmitsAndSkipsKeyViolations) {
  source_.Open();
  destination_.Open();
  source_.GoLast();  // the move starts at the first record wherever the source stands
  move_.Execute();
  EXPECT_EQ(move_.KeyViolCount(), 1);  // "5" exists in the active table
  EXPECT_EQ(move_.MovedCount(), 2);
  EXPECT_TRUE(source_.Active());
  EXPECT_TRUE(destination_.Active());
  EXPECT_EQ(destination_.FieldByName("ID")->AsString(), "1");  // on its first record
  EXPECT_EQ(ActiveIds(), (std::vector<std::string>{"1", "5", "101", "103"}));
}

TEST_F(BatchMoveTest, AbortOnKeyViolationStopsAtTheFirstCollision) {
  move_.SetAbortOnKeyViol(true);
  source_.Open();
  destination_.Open();
  EXPECT_THROW(move_.Execute(), EDBEngineError);
  // The failure still leaves the destination on its first record.
  EXPECT_EQ(destination_.FieldByName("ID")->AsString(), "1");
}

TEST_F(BatchMoveTest, ClosedViewsAreOpenedForTheMoveAndClosedAgain) {
  move_.Execute();
  EXPECT_FALSE(source_.Active());
  EXPECT_FALSE(destination_.Active());
  EXPECT_EQ(ActiveIds(), (std::vector<std::string>{"1", "5", "101", "103"}));
}

TEST_F(BatchMoveTest, MissingOrIdenticalViewsAreInvalidParameters) {
  TBatchMove empty;
  empty.SetName("BatchMoveSes");
  try {
    empty.Execute();
    FAIL() << "executed";
  } catch (const EDatabaseError& e) {
    EXPECT_EQ(e.Message(), "BatchMoveSes: Invalid batch move parameters");
  }
  move_.SetSource(&destination_);
  try {
    move_.Execute();
    FAIL() << "executed";
  } catch (const EDatabaseError& e) {
    EXPECT_EQ(e.Message(), "BatchMovePat: Invalid batch move parameters");
  }
  EXPECT_EQ(move_.MovedCount(), 0);
  EXPECT_FALSE(destination_.Active());
}

TEST_F(BatchMoveTest, FilterAdmittingNothingAppendsNothing) {
  source_.SetFilter("Gender='nobody'");
  destination_.Open();
  move_.Execute();
  EXPECT_EQ(move_.MovedCount(), 0);
  EXPECT_EQ(destination_.FieldByName("ID")->AsString(), "1");
  EXPECT_EQ(ActiveIds(), (std::vector<std::string>{"1", "5"}));
}

TEST_F(BatchMoveTest, RecordCountMovesFromTheActiveRecordOn) {
  source_.SetFiltered(false);
  source_.Open();
  source_.GoNext();  // "101"
  move_.SetRecordCount(2);
  move_.Execute();
  EXPECT_EQ(move_.MovedCount(), 2);
  EXPECT_EQ(ActiveIds(), (std::vector<std::string>{"1", "5", "101", "102"}));
}

TEST_F(BatchMoveTest, MappingNamesAFieldOnBothSidesOrMapsOneToAnother) {
  source_.SetFiltered(false);
  move_.SetMappings({"ID", "Name=Gender"});
  move_.Execute();
  source_.Close();
  destination_.Close();
  EndDefaultSession();
  EXPECT_EQ(viewtest::ColumnOf(dir_.path(), "patient.db", 1),
            (std::vector<std::string>{"Aktiv", "Fünf", "m", "x", "w"}));
}

TEST_F(BatchMoveTest, MappingOfAnUnknownFieldNamesTheView) {
  move_.SetMappings({"ID=Nummer"});
  try {
    move_.Execute();
    FAIL() << "executed";
  } catch (const EDatabaseError& e) {
    EXPECT_EQ(e.Message(), "dPatientOld: Field 'Nummer' not found");
  }
  EXPECT_FALSE(source_.Active());
  EXPECT_FALSE(destination_.Active());
  EXPECT_FALSE(source_.ControlsDisabled());
}

TEST_F(BatchMoveTest, BoundControlsSeeTheResultOnce) {
  TDataSource source;
  source.SetDataSet(&destination_);
  std::vector<std::string> seen;
  TFieldDataLink link;
  link.SetControl(&source);
  link.SetFieldName("ID");
  link.OnDataChange = [&] { seen.push_back(link.Field() ? link.Field()->AsString() : "(none)"); };
  link.SetDataSource(&source);
  destination_.Open();
  source_.Open();
  seen.clear();
  move_.Execute();
  EXPECT_EQ(seen, (std::vector<std::string>{"1"}));
}

TEST_F(BatchMoveTest, CopyModeCreatesTheDestinationFromTheSource) {
  TTable copy;
  copy.SetDatabaseName(viewtest::DirectoryName(dir_.path()));
  copy.SetTableName("kopie.db");
  move_.SetDestination(&copy);
  move_.SetMode(TBatchMode::batCopy);
  move_.Execute();
  copy.Open();
  std::vector<std::string> ids;
  while (!copy.AtEnd()) {
    ids.push_back(copy.FieldByName("ID")->AsString());
    copy.GoNext();
  }
  // Unkeyed: in the order moved, which is the source index order (whole numbers by value).
  EXPECT_EQ(ids, (std::vector<std::string>{"5", "101", "103"}));
  copy.Close();
}

TEST_F(BatchMoveTest, DestroyedSourceIsForgotten) {
  auto* view = new TTable();
  move_.SetSource(view);
  delete view;
  EXPECT_EQ(move_.Source(), nullptr);
}

}  // namespace
