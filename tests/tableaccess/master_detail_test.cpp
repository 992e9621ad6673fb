// Detail views on a master: the range follows the master's key, is sent only
// when the key changes, goes when the master closes, and a new detail record
// takes the master's key.
#include <gtest/gtest.h>

#include <memory>

#include "tableaccess/data_source.h"
#include "tableaccess/db_errors.h"
#include "tableaccess/string_field.h"
#include "tableaccess/table.h"
#include "tests/tableaccess/view_test_support.h"

namespace {

using viewtest::ViewTest;

class MasterDetailTest : public ViewTest {
 protected:
  void SetUp() override {
    ViewTest::SetUp();
    viewtest::CreateTable(dir_.path(), "patient.db", viewtest::PatientDefinition(), {{"1"}, {"2"}, {"3"}});
    viewtest::CreateTable(dir_.path(), "session.db", viewtest::SessionDefinition(),
                          {{"10", "1", "a"}, {"11", "2", "b"}, {"12", "1", "c"}, {"13", "3", "d"}, {"14", "2", "e"}});
    const std::string dir = viewtest::DirectoryName(dir_.path());
    master_.SetName("dPatient");
    master_.SetDatabaseName(dir);
    master_.SetTableName("patient.db");
    source_.SetName("dsPatient1");
    source_.SetDataSet(&master_);
    detail_.SetName("dSession");
    detail_.SetDatabaseName(dir);
    detail_.SetTableName("session.db");
    detail_.SetIndexName("XPat");
    detail_.SetMasterSource(&source_);
    detail_.SetMasterFields("ID");
  }
  void TearDown() override {
    detail_.Close();
    master_.Close();
    ViewTest::TearDown();
  }
  std::vector<std::string> DetailKeys() {
    std::vector<std::string> keys;
    detail_.GoFirst();
    while (!detail_.AtEnd()) {
      keys.push_back(detail_.FieldByName("SessionID")->AsString());
      detail_.GoNext();
    }
    return keys;
  }

  TTable master_, detail_;
  TDataSource source_;
};

using Keys = std::vector<std::string>;

TEST_F(MasterDetailTest, DetailShowsTheRecordsOfTheMastersKey) {
  master_.Open();
  detail_.Open();
  EXPECT_EQ(DetailKeys(), (Keys{"10", "12"}));
  master_.GoNext();
  EXPECT_EQ(detail_.FieldByName("SessionID")->AsString(), "11");
  EXPECT_EQ(DetailKeys(), (Keys{"11", "14"}));
}

TEST_F(MasterDetailTest, DetailOpenedBeforeItsMasterShowsAllUntilTheMasterOpens) {
  detail_.Open();
  EXPECT_EQ(DetailKeys().size(), 5u);
  master_.Open();
  EXPECT_EQ(DetailKeys(), (Keys{"10", "12"}));
  master_.Close();
  EXPECT_EQ(DetailKeys().size(), 5u);
}

TEST_F(MasterDetailTest, UnchangedMasterKeyLeavesTheDetailWhereItIs) {
  master_.Open();
  detail_.Open();
  detail_.GoNext();
  EXPECT_EQ(detail_.FieldByName("SessionID")->AsString(), "12");
  int scrolls = 0;
  detail_.AfterScroll = [&scrolls](TDataSet&) { ++scrolls; };
  // Editing a master field that is not the link field changes nothing below.
  master_.StartEdit();
  master_.FieldByName("Name")->SetAsString("Neu");
  master_.PostRecord();
  EXPECT_EQ(scrolls, 0);
  EXPECT_EQ(detail_.FieldByName("SessionID")->AsString(), "12");
}

TEST_F(MasterDetailTest, NewDetailRecordTakesTheMastersKey) {
  master_.Open();
  master_.GoLast();  // ID 3
  detail_.Open();
  EXPECT_EQ(DetailKeys(), (Keys{"13"}));
  detail_.Close();
  // A master without details: the empty detail view inserts.
  master_.StartEdit();
  master_.FieldByName("ID")->SetAsString("4");
  master_.PostRecord();
  detail_.Open();
  EXPECT_TRUE(detail_.NoRecords());
  detail_.StartEdit();
  EXPECT_EQ(detail_.State(), TDataSetState::dsInsert);
  EXPECT_EQ(detail_.FieldByName("Patient")->AsString(), "4");
  detail_.FieldByName("SessionID")->SetAsString("20");
  detail_.PostRecord();
  EXPECT_EQ(DetailKeys(), (Keys{"20"}));
}

TEST_F(MasterDetailTest, PostedDetailRecordMovedOutOfTheRangeIsNotShown) {
  master_.Open();
  detail_.Open();
  EXPECT_EQ(detail_.FieldByName("SessionID")->AsString(), "10");
  detail_.StartEdit();
  detail_.FieldByName("Patient")->SetAsString("3");
  detail_.PostRecord();
  EXPECT_EQ(detail_.FieldByName("SessionID")->AsString(), "12");
  EXPECT_EQ(DetailKeys(), (Keys{"12"}));
}

TEST_F(MasterDetailTest, UnknownMasterFieldFailsBehindTheMastersName) {
  detail_.SetMasterFields("Nummer");
  try {
    master_.Open();
    FAIL() << "no error";
  } catch (const EDatabaseError& e) {
    EXPECT_EQ(e.Message(), "dPatient: Field 'Nummer' not found");
  }
}

TEST_F(MasterDetailTest, MoreMasterFieldsThanIndexFieldsAreRefused) {
  detail_.SetMasterFields("ID;Name");
  master_.Open();
  try {
    detail_.Open();
    FAIL() << "opened";
  } catch (const EDatabaseError& e) {
    EXPECT_EQ(e.Message(), "dSession: Field index out of range");
  }
  EXPECT_FALSE(detail_.Active());
}

TEST_F(MasterDetailTest, CircularLinksAreRefused) {
  TDataSource detailSource;
  detailSource.SetName("dsSession");
  detailSource.SetDataSet(&detail_);
  try {
    master_.SetMasterSource(&detailSource);
    FAIL() << "linked";
  } catch (const EDatabaseError& e) {
    EXPECT_EQ(e.Message(), "dPatient: Circular datalinks are not allowed");
  }
  try {
    detail_.SetMasterSource(nullptr);
    TDataSource self;
    self.SetName("dsSelf");
    self.SetDataSet(&detail_);
    detail_.SetMasterSource(&self);
    FAIL() << "linked to itself";
  } catch (const EDatabaseError& e) {
    EXPECT_EQ(e.Message(), "dSession: Circular datalinks are not allowed");
  }
}

TEST_F(MasterDetailTest, DataSourceOfADetailCannotBeGivenItsMasterView) {
  // dsPatient1 feeds dSession; a source on dSession that dPatient would follow...
  TDataSource loop;
  loop.SetName("dsLoop");
  TTable third;
  third.SetMasterSource(&loop);
  // ...cannot then be pointed at the view that follows it.
  try {
    loop.SetDataSet(&third);
    FAIL() << "linked";
  } catch (const EDatabaseError& e) {
    EXPECT_EQ(e.Message(), "dsLoop: Circular datalinks are not allowed");
  }
}

}  // namespace
