// Editing through views: StartEdit, PostRecord, CancelEdit, the insert on an
// empty view, the browse check that posts or drops, required fields, and
// what reaches the table.
#include <gtest/gtest.h>

#include <memory>

#include "tableaccess/db_errors.h"
#include "tableaccess/integer_field.h"
#include "tableaccess/string_field.h"
#include "tableaccess/session.h"
#include "tableaccess/table.h"
#include "tests/tableaccess/view_test_support.h"

namespace {

using viewtest::ViewTest;

class TableEditTest : public ViewTest {
 protected:
  // A view with persistent fields ID, Name and Count, as the modules declare them.
  std::unique_ptr<TTable> MakeView(const std::vector<std::vector<std::string>>& rows, const char* name = "dPatient") {
    viewtest::CreateTable(dir_.path(), "patient.db", viewtest::PatientDefinition(), rows);
    auto table = std::make_unique<TTable>();
    table->SetName(name);
    table->SetDatabaseName(viewtest::DirectoryName(dir_.path()));
    table->SetTableName("patient.db");
    id_ = new TStringField(table.get());
    id_->SetFieldName("ID");
    id_->SetRequired(true);
    id_->SetDataSet(table.get());
    name_ = new TStringField(table.get());
    name_->SetFieldName("Name");
    name_->SetSize(60);
    name_->SetDataSet(table.get());
    count_ = new TIntegerField(table.get());
    count_->SetFieldName("Count");
    count_->SetDataSet(table.get());
    return table;
  }
  std::vector<std::string> Ids() { return viewtest::ColumnOf(dir_.path(), "patient.db", 0); }
  std::vector<std::string> Names() { return viewtest::ColumnOf(dir_.path(), "patient.db", 1); }
  void Commit(TTable& t) {
    t.Close();
    EndDefaultSession();
  }

  TStringField* id_ = nullptr;
  TStringField* name_ = nullptr;
  TIntegerField* count_ = nullptr;
};

TEST_F(TableEditTest, RenumberingWalkFromTheLastKeyRaisesEveryKeyOnce) {
  std::vector<std::vector<std::string>> rows;
  for (int key = 1; key <= 12; ++key) rows.push_back({std::to_string(key)});
  auto t = MakeView(rows);
  t->Open();
  t->GoLast();
  int visited = 0;
  while (!t->AtBegin()) {
    t->StartEdit();
    id_->SetAsInteger(id_->AsInteger() + 100);
    t->PostRecord();
    t->GoPrior();
    ++visited;
  }
  EXPECT_EQ(visited, 12);
  Commit(*t);
  std::vector<std::string> expected;
  for (int key = 101; key <= 112; ++key) expected.push_back(std::to_string(key));
  EXPECT_EQ(Ids(), expected);
}

TEST_F(TableEditTest, FilteredRenumberingWalkPassesTheHiddenRecordsAboutOnce) {
  // Every seventh record is hidden. Raising each key piles the hidden ones
  // up between the records not yet visited and those raised; the edit and
  // the post must not put the engine cursor back on the record it already
  // stands on, which would make it pass them all again at every step.
  std::vector<std::vector<std::string>> rows;
  std::size_t hidden = 0;
  for (int key = 1; key <= 400; ++key) {
    const bool hide = key % 7 == 3;
    hidden += hide;
    rows.push_back({std::to_string(key), hide ? "x" : "name"});
  }
  auto t = MakeView(rows);
  t->Open();
  std::size_t judged = 0;
  px::Cursor& cursor = *t->Handle();
  const int filter = cursor.addFilter([&judged, &cursor](const std::uint8_t* record) {
    ++judged;
    px::Value name;
    return !(cursor.table().readValue(record, 1, name).ok() && name == px::Value(std::string("x")));
  });
  ASSERT_TRUE(cursor.activateFilter(filter, true).ok());
  t->GoLast();
  judged = 0;
  std::size_t visited = 0;
  while (!t->AtBegin()) {
    t->StartEdit();
    id_->SetAsInteger(id_->AsInteger() + 1000);
    t->PostRecord();
    t->GoPrior();
    ++visited;
  }
  EXPECT_EQ(visited, rows.size() - hidden);
  // About twice per record; passing the 57 hidden ones at each step would
  // take some 10,000 judgements.
  EXPECT_LE(judged, 3 * rows.size());
}

TEST_F(TableEditTest, PostInBrowseStateFailsBehindTheViewName) {
  auto t = MakeView({{"1"}});
  t->Open();
  try {
    t->PostRecord();
    FAIL() << "posted";
  } catch (const EDatabaseError& e) {
    EXPECT_EQ(e.Message(), "dPatient: Dataset not in edit or insert mode");
  }
  try {
    name_->SetAsString("x");
    FAIL() << "written";
  } catch (const EDatabaseError& e) {
    EXPECT_EQ(e.Message(), "dPatient: Dataset not in edit or insert mode");
  }
  EXPECT_EQ(name_->AsString(), "");
}

TEST_F(TableEditTest, StartEditTwiceDoesNothingTheSecondTime) {
  auto t = MakeView({{"1", "Alt"}});
  t->Open();
  int edits = 0;
  t->BeforeEdit = [&edits](TDataSet&) { ++edits; };
  t->StartEdit();
  name_->SetAsString("Neu");
  t->StartEdit();
  EXPECT_EQ(edits, 1);
  EXPECT_EQ(name_->AsString(), "Neu");  // not read again
  EXPECT_EQ(t->State(), TDataSetState::dsEdit);
}

TEST_F(TableEditTest, MovingAwayPostsAWrittenEditAndDropsAnUntouchedOne) {
  auto t = MakeView({{"1", "A"}, {"2", "B"}});
  t->Open();
  t->GoLast();
  t->StartEdit();
  name_->SetAsString("B2");
  t->GoPrior();  // posts
  EXPECT_EQ(t->State(), TDataSetState::dsBrowse);
  EXPECT_EQ(id_->AsString(), "1");
  int posts = 0;
  t->BeforePost = [&posts](TDataSet&) { ++posts; };
  t->StartEdit();
  t->GoNext();  // nothing written: dropped
  EXPECT_EQ(posts, 0);
  Commit(*t);
  EXPECT_EQ(Names(), (std::vector<std::string>{"A", "B2"}));
}

TEST_F(TableEditTest, ClosingInEditStateDiscardsWithoutBeforePost) {
  auto t = MakeView({{"1", "A"}});
  t->Open();
  bool posted = false;
  t->BeforePost = [&posted](TDataSet&) { posted = true; };
  t->StartEdit();
  name_->SetAsString("changed");
  t->Close();
  EXPECT_FALSE(posted);
  EndDefaultSession();
  EXPECT_EQ(Names(), (std::vector<std::string>{"A"}));
}

TEST_F(TableEditTest, CancelRestoresTheRecordAndReleasesItsLock) {
  auto t = MakeView({{"1", "A"}});
  t->Open();
  t->StartEdit();
  name_->SetAsString("changed");
  t->CancelEdit();
  EXPECT_EQ(t->State(), TDataSetState::dsBrowse);
  EXPECT_EQ(name_->AsString(), "A");
  EXPECT_FALSE(t->AtBegin());
  EXPECT_FALSE(t->AtEnd());
  // A second view can lock the record now.
  TTable other;
  other.SetDatabaseName(viewtest::DirectoryName(dir_.path()));
  other.SetTableName("patient.db");
  other.Open();
  EXPECT_NO_THROW(other.StartEdit());
  other.CancelEdit();
}

TEST_F(TableEditTest, LockedRecordRefusesASecondEditorAndTheErrorEventCanAbort) {
  auto t = MakeView({{"1", "A"}});
  t->Open();
  t->StartEdit();
  TTable other;
  other.SetName("dOther");
  other.SetDatabaseName(viewtest::DirectoryName(dir_.path()));
  other.SetTableName("patient.db");
  other.Open();
  EXPECT_THROW(other.StartEdit(), EDBEngineError);
  EXPECT_EQ(other.State(), TDataSetState::dsBrowse);
  int calls = 0;
  other.OnEditError = [&calls](TDataSet&, EDatabaseError&, TDataAction& action) {
    ++calls;
    action = TDataAction::daAbort;
  };
  EXPECT_THROW(other.StartEdit(), EAbort);
  EXPECT_EQ(calls, 1);
}

TEST_F(TableEditTest, StartEditOnAnEmptyViewInsertsAndPostWritesTheRecord) {
  auto t = MakeView({});
  t->Open();
  std::vector<std::string> log;
  t->BeforeInsert = [&log](TDataSet&) { log.push_back("BeforeInsert"); };
  t->OnNewRecord = [&log](TDataSet&) { log.push_back("OnNewRecord"); };
  t->AfterInsert = [&log](TDataSet&) { log.push_back("AfterInsert"); };
  t->StartEdit();
  EXPECT_EQ(t->State(), TDataSetState::dsInsert);
  EXPECT_FALSE(t->Modified());
  id_->SetAsInteger(1);
  count_->SetAsInteger(5);
  t->PostRecord();
  EXPECT_EQ(log, (std::vector<std::string>{"BeforeInsert", "OnNewRecord", "AfterInsert"}));
  EXPECT_EQ(id_->AsString(), "1");
  EXPECT_FALSE(t->AtBegin());
  EXPECT_FALSE(t->AtEnd());
  Commit(*t);
  EXPECT_EQ(Ids(), (std::vector<std::string>{"1"}));
}

TEST_F(TableEditTest, RequiredFieldWithoutValueFailsThePostAndKeepsTheInsert) {
  auto t = MakeView({});
  t->Open();
  t->StartEdit();
  name_->SetAsString("ohne Schlüssel");
  try {
    t->PostRecord();
    FAIL() << "posted";
  } catch (const EDatabaseError& e) {
    EXPECT_EQ(e.Message(), "Field 'ID' must have a value");
  }
  EXPECT_EQ(t->State(), TDataSetState::dsInsert);
  EXPECT_EQ(name_->AsString(), "ohne Schlüssel");
  // The post error event may retry once the value is there.
  t->OnPostError = [this](TDataSet&, EDatabaseError&, TDataAction& action) {
    id_->SetAsString("9");
    action = TDataAction::daRetry;
  };
  id_->Clear();
  t->PostRecord();
  EXPECT_EQ(t->State(), TDataSetState::dsBrowse);
  EXPECT_EQ(id_->AsString(), "9");
}

TEST_F(TableEditTest, KeyViolationLeavesTheViewInEditStateWithItsValues) {
  auto t = MakeView({{"1"}, {"2"}});
  t->Open();
  t->StartEdit();
  id_->SetAsString("2");
  EXPECT_THROW(t->PostRecord(), EDBEngineError);
  EXPECT_EQ(t->State(), TDataSetState::dsEdit);
  EXPECT_EQ(id_->AsString(), "2");
  t->CancelEdit();
  EXPECT_EQ(id_->AsString(), "1");
}

TEST_F(TableEditTest, PostOfAChangedKeyLeavesTheViewOnTheRecordAtItsNewPlace) {
  auto t = MakeView({{"1"}, {"5"}, {"9"}});
  t->Open();
  t->StartEdit();
  id_->SetAsInteger(7);
  t->PostRecord();
  EXPECT_EQ(id_->AsString(), "7");
  t->GoPrior();
  EXPECT_EQ(id_->AsString(), "5");
  t->GoNext();
  t->GoNext();
  EXPECT_EQ(id_->AsString(), "9");
}

TEST_F(TableEditTest, ReadOnlyViewRefusesEditing) {
  auto t = MakeView({{"1"}});
  t->SetReadOnly(true);
  t->Open();
  try {
    t->StartEdit();
    FAIL() << "edited";
  } catch (const EDatabaseError& e) {
    EXPECT_EQ(e.Message(), "dPatient: Cannot modify a read-only dataset");
  }
  EXPECT_EQ(t->State(), TDataSetState::dsBrowse);
}

TEST_F(TableEditTest, ReadOnlyFieldCannotBeWritten) {
  auto t = MakeView({{"1", "A"}});
  name_->SetReadOnly(true);
  t->Open();
  t->StartEdit();
  try {
    name_->SetAsString("B");
    FAIL() << "written";
  } catch (const EDatabaseError& e) {
    EXPECT_EQ(e.Message(), "Field 'Name' cannot be modified");
  }
  EXPECT_EQ(name_->AsString(), "A");
}

TEST_F(TableEditTest, ValidateSeesTheNewValueAndCanRefuseIt) {
  auto t = MakeView({{"1", "A"}});
  std::string seen;
  name_->OnValidate = [&seen](TField& field) {
    seen = std::get<std::string>(*field.ValidatingValue());
    if (seen == "bad") throw EDatabaseError("refused");
  };
  int changes = 0;
  name_->OnChange = [&changes](TField&) { ++changes; };
  t->Open();
  t->StartEdit();
  EXPECT_THROW(name_->SetAsString("bad"), EDatabaseError);
  EXPECT_EQ(name_->AsString(), "A");
  EXPECT_FALSE(t->Modified());
  name_->SetAsString("good");
  EXPECT_EQ(seen, "good");
  EXPECT_EQ(changes, 1);
  EXPECT_TRUE(t->Modified());
}

TEST_F(TableEditTest, PostInEditStateWritesEvenWithoutAChangedField) {
  auto t = MakeView({{"1", "A"}});
  t->Open();
  int posts = 0;
  t->AfterPost = [&posts](TDataSet&) { ++posts; };
  t->StartEdit();
  t->PostRecord();
  EXPECT_EQ(posts, 1);
  EXPECT_EQ(t->State(), TDataSetState::dsBrowse);
}

}  // namespace
