// Opening, closing and walking views: the AtBegin/AtEnd rules, the window
// around the active record, and what each move leaves active.
#include <gtest/gtest.h>

#include <memory>

#include "tableaccess/db_errors.h"
#include "tableaccess/integer_field.h"
#include "tableaccess/string_field.h"
#include "tableaccess/table.h"
#include "tests/tableaccess/view_test_support.h"

namespace {

using viewtest::ViewTest;

class TableMovesTest : public ViewTest {
 protected:
  std::unique_ptr<TTable> OpenPatients(const std::vector<std::vector<std::string>>& rows) {
    viewtest::CreateTable(dir_.path(), "patient.db", viewtest::PatientDefinition(), rows);
    auto table = std::make_unique<TTable>();
    table->SetName("dPatient");
    table->SetDatabaseName(viewtest::DirectoryName(dir_.path()));
    table->SetTableName("patient.db");
    table->Open();
    return table;
  }
  static std::string Id(const TTable& table) { return table.FieldByName("ID")->AsString(); }
};

TEST_F(TableMovesTest, ThreeRecordsWalkBackFromTheLastAndStopAtTheFirst) {
  auto t = OpenPatients({{"1", "A"}, {"2", "B"}, {"3", "C"}});
  EXPECT_EQ(Id(*t), "1");
  EXPECT_TRUE(t->AtBegin());
  EXPECT_FALSE(t->AtEnd());

  int scrolls = 0;
  t->AfterScroll = [&scrolls](TDataSet&) { ++scrolls; };
  t->GoLast();
  EXPECT_EQ(Id(*t), "3");
  EXPECT_TRUE(t->AtEnd());
  EXPECT_FALSE(t->AtBegin());
  t->GoPrior();
  t->GoPrior();
  EXPECT_EQ(Id(*t), "1");
  EXPECT_FALSE(t->AtBegin());
  t->GoPrior();
  EXPECT_TRUE(t->AtBegin());
  EXPECT_EQ(Id(*t), "1");
  const int before = scrolls;
  t->GoPrior();  // already at the beginning: nothing happens
  EXPECT_EQ(scrolls, before);
  EXPECT_EQ(Id(*t), "1");
}

TEST_F(TableMovesTest, ForwardWalkSetsAtEndOnlyPastTheLastRecord) {
  auto t = OpenPatients({{"1"}, {"2"}, {"3"}});
  std::vector<std::string> seen{Id(*t)};
  for (;;) {
    t->GoNext();
    if (t->AtEnd()) break;
    seen.push_back(Id(*t));
  }
  EXPECT_EQ(seen, (std::vector<std::string>{"1", "2", "3"}));
  EXPECT_EQ(Id(*t), "3");
  t->GoFirst();
  EXPECT_TRUE(t->AtBegin());
  EXPECT_FALSE(t->AtEnd());
  EXPECT_EQ(Id(*t), "1");
}

TEST_F(TableMovesTest, EmptyViewHasBothFlagsAndNoValues) {
  auto t = OpenPatients({});
  EXPECT_TRUE(t->AtBegin());
  EXPECT_TRUE(t->AtEnd());
  EXPECT_TRUE(t->NoRecords());
  t->GoLast();
  EXPECT_TRUE(t->AtBegin());
  EXPECT_TRUE(t->AtEnd());
  EXPECT_EQ(t->FieldByName("ID")->AsString(), "");
  EXPECT_TRUE(t->FieldByName("ID")->IsBlank());
  EXPECT_EQ(t->FieldByName("Count")->AsInteger(), 0);
  try {
    t->FieldByName("ID")->AsInteger();
    FAIL() << "no conversion error";
  } catch (const EConvertError& e) {
    EXPECT_EQ(e.Message(), "'' is not a valid integer value");
  }
}

TEST_F(TableMovesTest, OneRecordViewSetsAtBeginOnTheFirstPriorAfterGoLast) {
  auto t = OpenPatients({{"7"}});
  t->GoLast();
  EXPECT_FALSE(t->AtBegin());
  EXPECT_TRUE(t->AtEnd());
  t->GoPrior();
  EXPECT_TRUE(t->AtBegin());
  EXPECT_EQ(Id(*t), "7");
}

TEST_F(TableMovesTest, BackwardWalkVisitsEveryRecordOnceInKeyOrder) {
  // Integer-looking text keys come in numeric order, so 12 is the last key.
  std::vector<std::vector<std::string>> rows;
  for (int key : {1, 2, 3, 5, 8, 9, 10, 11, 12, 40, 100}) rows.push_back({std::to_string(key)});
  auto t = OpenPatients(rows);
  std::vector<std::string> seen;
  t->GoLast();
  while (!t->AtBegin()) {
    seen.push_back(Id(*t));
    t->GoPrior();
  }
  EXPECT_EQ(seen, (std::vector<std::string>{"100", "40", "12", "11", "10", "9", "8", "5", "3", "2", "1"}));
}

TEST_F(TableMovesTest, SecondaryIndexOrdersTheView) {
  viewtest::CreateTable(dir_.path(), "patient.db", viewtest::PatientDefinition(),
                        {{"1", "Zander"}, {"2", "adler"}, {"3", "Müller"}});
  TTable t;
  t.SetDatabaseName(viewtest::DirectoryName(dir_.path()));
  t.SetTableName("patient.db");
  t.SetIndexName("XName");
  t.Open();
  std::vector<std::string> names;
  while (!t.AtEnd()) {
    names.push_back(t.FieldByName("Name")->AsString());
    t.GoNext();
  }
  EXPECT_EQ(names, (std::vector<std::string>{"adler", "Müller", "Zander"}));
}

TEST_F(TableMovesTest, CloseEmptiesTheViewAndReopenStartsAtTheFirstRecord) {
  auto t = OpenPatients({{"1"}, {"2"}});
  t->GoLast();
  t->Close();
  EXPECT_FALSE(t->Active());
  EXPECT_TRUE(t->AtBegin());
  EXPECT_TRUE(t->AtEnd());
  // Field objects that the open made for a view without persistent ones go with the close.
  EXPECT_EQ(t->FieldCount(), 0u);
  t->Open();
  EXPECT_EQ(Id(*t), "1");
}

TEST_F(TableMovesTest, MovesOnAClosedViewFailBehindTheViewName) {
  viewtest::CreateTable(dir_.path(), "patient.db", viewtest::PatientDefinition(), {});
  TTable t;
  t.SetName("dData");
  for (auto move : {&TDataSet::GoFirst, &TDataSet::GoLast, &TDataSet::GoNext, &TDataSet::GoPrior,
                    &TDataSet::StartEdit}) {
    try {
      (t.*move)();
      ADD_FAILURE() << "no error";
    } catch (const EDatabaseError& e) {
      EXPECT_EQ(e.Message(), "dData: Cannot perform this operation on a closed dataset");
    }
  }
}

TEST_F(TableMovesTest, EventsOfOpenAndCloseRunInOrder) {
  viewtest::CreateTable(dir_.path(), "patient.db", viewtest::PatientDefinition(), {{"1"}});
  TTable t;
  std::vector<std::string> log;
  t.BeforeOpen = [&log](TDataSet&) { log.push_back("BeforeOpen"); };
  t.AfterOpen = [&log](TDataSet& d) { log.push_back(d.Active() ? "AfterOpen active" : "AfterOpen closed"); };
  t.AfterScroll = [&log](TDataSet&) { log.push_back("AfterScroll"); };
  t.BeforeClose = [&log](TDataSet&) { log.push_back("BeforeClose"); };
  t.AfterClose = [&log](TDataSet&) { log.push_back("AfterClose"); };
  t.SetDatabaseName(viewtest::DirectoryName(dir_.path()));
  t.SetTableName("patient.db");
  t.Open();
  t.Open();  // an open view stays as it is
  t.Close();
  EXPECT_EQ(log, (std::vector<std::string>{"BeforeOpen", "AfterOpen active", "AfterScroll", "BeforeClose",
                                           "AfterClose"}));
}

}  // namespace

namespace {

class IndexSwitchTest : public viewtest::ViewTest {};

TEST_F(IndexSwitchTest, SwitchingTheIndexOfAnOpenViewKeepsTheCurrentRecord) {
  viewtest::CreateTable(dir_.path(), "patient.db", viewtest::PatientDefinition(),
                        {{"1", "Zander"}, {"2", "Adler"}, {"3", "Meier"}});
  TTable t;
  t.SetDatabaseName(viewtest::DirectoryName(dir_.path()));
  t.SetTableName("patient.db");
  t.Open();
  t.GoNext();  // "2", Adler
  t.SetIndexName("XName");
  EXPECT_EQ(t.FieldByName("ID")->AsString(), "2");
  t.GoNext();
  EXPECT_EQ(t.FieldByName("Name")->AsString(), "Meier");
  t.SetIndexName("");
  EXPECT_EQ(t.FieldByName("ID")->AsString(), "3");
  EXPECT_THROW(t.SetIndexName("XNichts"), EDBEngineError);
  EXPECT_EQ(t.IndexName(), "");
}

}  // namespace
