// Filters on views: the text takes effect at open, every move sees only what
// it admits, and Filter/Filtered change it on an open view.
#include <gtest/gtest.h>

#include "tableaccess/db_errors.h"
#include "tableaccess/field.h"
#include "tableaccess/table.h"
#include "tests/tableaccess/view_test_support.h"

namespace {

using viewtest::ViewTest;

class TableFilterTest : public ViewTest {
 protected:
  void SetUp() override {
    ViewTest::SetUp();
    viewtest::CreateTable(dir_.path(), "session.db", viewtest::SessionDefinition(),
                          {{"1", "1"}, {"2", "0"}, {"3", "9"}, {"4", "10"}, {"5", "00"}, {"6", ""}, {"7", "-3"}});
    view_.SetName("dSession");
    view_.SetDatabaseName(viewtest::DirectoryName(dir_.path()));
    view_.SetTableName("session.db");
  }
  void TearDown() override {
    view_.Close();
    ViewTest::TearDown();
  }
  std::vector<std::string> Walk() {
    std::vector<std::string> keys;
    view_.GoFirst();
    while (!view_.AtEnd()) {
      keys.push_back(view_.FieldByName("SessionID")->AsString());
      view_.GoNext();
    }
    return keys;
  }
  std::vector<std::string> WalkBack() {
    std::vector<std::string> keys;
    view_.GoLast();
    while (!view_.AtBegin()) {
      keys.push_back(view_.FieldByName("SessionID")->AsString());
      view_.GoPrior();
    }
    return keys;
  }
  TTable view_;
};

using Keys = std::vector<std::string>;

TEST_F(TableFilterTest, PatientAboveZeroIsATextComparison) {
  view_.SetFilter("Patient>0");
  view_.SetFiltered(true);
  view_.Open();
  // "1", "9", "10" and "00" sort after "0"; "0", blank and "-3" do not.
  EXPECT_EQ(Walk(), (Keys{"1", "3", "4", "5"}));
  EXPECT_EQ(WalkBack(), (Keys{"5", "4", "3", "1"}));
}

TEST_F(TableFilterTest, FilterTextWithoutFilteredChangesNothing) {
  view_.SetFilter("Patient>0");
  view_.Open();
  EXPECT_EQ(Walk().size(), 7u);
}

TEST_F(TableFilterTest, SwitchingFilteredOnAnOpenViewMovesToTheFirstRecord) {
  view_.SetFilter("Patient>0");
  view_.Open();
  view_.GoLast();
  view_.SetFiltered(true);
  EXPECT_TRUE(view_.AtBegin());
  EXPECT_EQ(view_.FieldByName("SessionID")->AsString(), "1");
  EXPECT_EQ(Walk().size(), 4u);
  view_.SetFiltered(false);
  EXPECT_EQ(Walk().size(), 7u);
}

TEST_F(TableFilterTest, NewFilterTextOnAnOpenFilteredView) {
  view_.SetFilter("Patient>0");
  view_.SetFiltered(true);
  view_.Open();
  view_.SetFilter("Patient='0'");
  EXPECT_EQ(Walk(), (Keys{"2"}));
  view_.SetFilter("");
  EXPECT_EQ(Walk().size(), 7u);
}

TEST_F(TableFilterTest, TextThatDoesNotParseOnAnOpenViewLeavesTheOldFilterInForce) {
  view_.SetFilter("Patient>0");
  view_.SetFiltered(true);
  view_.Open();
  for (const char* text : {"Patient>'0", "Patinet>0"}) {
    view_.GoFirst();
    view_.GoNext();
    EXPECT_THROW(view_.SetFilter(text), EDatabaseError) << text;
    EXPECT_EQ(view_.Filter(), "Patient>0") << text;
    EXPECT_EQ(view_.FieldByName("SessionID")->AsString(), "3") << text;  // where it stood
    EXPECT_EQ(Walk(), (Keys{"1", "3", "4", "5"})) << text;
  }
}

TEST_F(TableFilterTest, PostedRecordThatTheFilterNoLongerAdmitsIsNotShown) {
  view_.SetFilter("Patient>0");
  view_.SetFiltered(true);
  view_.Open();
  view_.GoNext();
  view_.StartEdit();
  view_.FieldByName("Patient")->SetAsString("0");
  view_.PostRecord();
  EXPECT_EQ(view_.FieldByName("SessionID")->AsString(), "4");  // the next one it admits
  EXPECT_FALSE(view_.AtBegin());
  // The last one it admits goes: the one before it is shown.
  view_.GoLast();
  view_.StartEdit();
  view_.FieldByName("Patient")->SetAsString("");
  view_.PostRecord();
  EXPECT_EQ(view_.FieldByName("SessionID")->AsString(), "4");
  EXPECT_EQ(Walk(), (Keys{"1", "4"}));
}

TEST_F(TableFilterTest, FilterThatDoesNotParseLeavesTheViewClosed) {
  view_.SetFilter("Patient>'0");
  view_.SetFiltered(true);
  try {
    view_.Open();
    FAIL() << "opened";
  } catch (const EDatabaseError& e) {
    EXPECT_EQ(e.Message(), "Unterminated string constant");
  }
  EXPECT_FALSE(view_.Active());
  view_.SetFilter("Patinet>0");
  try {
    view_.Open();
    FAIL() << "opened";
  } catch (const EDatabaseError& e) {
    EXPECT_EQ(e.Message(), "dSession: Field 'Patinet' not found");
  }
}

TEST_F(TableFilterTest, FilterAdmittingNothingGivesAnEmptyViewThatInserts) {
  view_.SetFilter("Patient='nobody'");
  view_.SetFiltered(true);
  view_.Open();
  EXPECT_TRUE(view_.AtBegin());
  EXPECT_TRUE(view_.AtEnd());
  view_.StartEdit();
  EXPECT_EQ(view_.State(), TDataSetState::dsInsert);
  view_.CancelEdit();
  EXPECT_TRUE(view_.NoRecords());
}

}  // namespace
