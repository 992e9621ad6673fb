// Databases and the session: names taken as aliases or directories, sharing
// one database between views, keeping it connected, and the engine start.
#include <gtest/gtest.h>

#include "tableaccess/database.h"
#include "tableaccess/db_errors.h"
#include "tableaccess/field.h"
#include "tableaccess/session.h"
#include "tableaccess/table.h"
#include "tests/tableaccess/view_test_support.h"

namespace {

using viewtest::ViewTest;

class SessionTest : public ViewTest {
 protected:
  void SetUp() override {
    ViewTest::SetUp();
    viewtest::CreateTable(dir_.path(), "patient.db", viewtest::PatientSpec(), {{"1"}, {"2"}});
    viewtest::CreateTable(dir_.path(), "session.db", viewtest::SessionSpec(), {{"1", "1"}});
  }
};

TEST_F(SessionTest, ViewsOfOneDirectoryShareOneDatabaseThatStaysConnected) {
  const std::string name = viewtest::DirectoryName(dir_.path());
  TTable a, b, c;
  for (TTable* t : {&a, &b, &c}) {
    t->SetDatabaseName(name);
    t->SetTableName(t == &b ? "session.db" : "patient.db");
    t->Open();
  }
  ASSERT_NE(a.Database(), nullptr);
  EXPECT_EQ(a.Database(), b.Database());
  EXPECT_EQ(a.Database(), c.Database());
  TDatabase* shared = a.Database();
  EXPECT_EQ(shared->RefCount(), 3);
  EXPECT_TRUE(shared->Temporary());
  EXPECT_EQ(Session().DatabaseCount(), 1u);
  a.Close();
  b.Close();
  c.Close();
  // Kept connected with no view, and found again by name.
  ASSERT_EQ(Session().DatabaseCount(), 1u);
  EXPECT_TRUE(Session().Databases(0)->Connected());
  EXPECT_EQ(Session().Databases(0)->RefCount(), 0);
  a.Open();
  EXPECT_EQ(a.Database(), shared);
}

TEST_F(SessionTest, NamesDifferingInCaseShareTheDatabase) {
  WriteConfig("[aliases]\nwinvelda5 = " + dir_.path().string() + "\n");
  TTable a, b;
  a.SetDatabaseName("winvelda5");
  a.SetTableName("patient.db");
  b.SetDatabaseName("WINVELDA5");
  b.SetTableName("session.db");
  a.Open();
  b.Open();
  EXPECT_EQ(a.Database(), b.Database());
}

TEST_F(SessionTest, AliasAndDirectoryNamesReachTheSameTables) {
  WriteConfig("[aliases]\nwinvelda5 = " + dir_.path().string() + "\n");
  TTable byAlias, byDirectory;
  byAlias.SetDatabaseName("winvelda5");
  byAlias.SetTableName("patient.db");
  byDirectory.SetDatabaseName(viewtest::DirectoryName(dir_.path()));
  byDirectory.SetTableName("PATIENT.DB");
  byAlias.Open();
  byDirectory.Open();
  EXPECT_EQ(byAlias.FieldByName("ID")->AsString(), "1");
  EXPECT_EQ(byDirectory.FieldByName("ID")->AsString(), "1");
  // Two names, two database objects: the session shares by name.
  EXPECT_EQ(Session().DatabaseCount(), 2u);
}

TEST_F(SessionTest, UnknownAliasFailsWithTheEngineTextAndCreatesNoDatabase) {
  TTable t;
  t.SetName("dIndex");
  t.SetDatabaseName("nosuchalias");
  t.SetTableName("index");
  try {
    t.Open();
    FAIL() << "opened";
  } catch (const EDBEngineError& e) {
    ASSERT_GE(e.ErrorCount(), 1u);
    EXPECT_EQ(e.Errors(0).ErrorCode(), px::rc::kUnknownAlias);
    EXPECT_NE(e.Message().find("nosuchalias"), std::string::npos) << e.Message();
  }
  EXPECT_FALSE(t.Active());
  EXPECT_EQ(Session().DatabaseCount(), 0u);
}

TEST_F(SessionTest, UnreadableConfigurationGivesTheEngineStartMessageAndIsRetried) {
  ::setenv("PXENGINE_CONFIG", (configDir_.path() / "missing.conf").string().c_str(), 1);
  TTable t;
  t.SetDatabaseName(viewtest::DirectoryName(dir_.path()));
  t.SetTableName("patient.db");
  try {
    t.Open();
    FAIL() << "opened";
  } catch (const EDBEngineError& e) {
    EXPECT_EQ(e.Message().rfind("An error occurred while attempting to initialize the database engine (error $", 0), 0u)
        << e.Message();
    EXPECT_EQ(e.Message().back(), ')');
    EXPECT_EQ(e.ErrorCount(), 1u);
  }
  EXPECT_FALSE(Session().Active());
  // The next open starts the engine again.
  WriteConfig("[aliases]\n");
  t.Open();
  EXPECT_TRUE(Session().Active());
}

TEST_F(SessionTest, EmptyNameIsADirectoryName) {
  TDatabase* database = nullptr;
  // The empty name stands for the current directory; it must not be taken as an alias.
  EXPECT_NO_THROW(database = Session().OpenDatabase(""));
  ASSERT_NE(database, nullptr);
  EXPECT_TRUE(database->Connected());
  Session().CloseDatabase(database);
}

TEST_F(SessionTest, DeclaredDatabaseWithoutNameFailsToConnect) {
  TDatabase database;
  database.SetName("dbMain");
  try {
    database.Open();
    FAIL() << "connected";
  } catch (const EDatabaseError& e) {
    EXPECT_EQ(e.Message(), "dbMain: Database name missing");
  }
}

TEST_F(SessionTest, UnknownSessionNameIsRefusedWithoutPrefix) {
  TTable t;
  t.SetName("dPatient");
  t.SetDatabaseName(viewtest::DirectoryName(dir_.path()));
  t.SetTableName("patient.db");
  t.SetSessionName("Other");
  try {
    t.Open();
    FAIL() << "opened";
  } catch (const EDatabaseError& e) {
    EXPECT_EQ(e.Message(), "Invalid session name Other");
  }
}

TEST_F(SessionTest, SessionLockCountsNestedAcquisitions) {
  EXPECT_EQ(SessionLock::Depth(), 0);
  {
    SessionLock outer;
    {
      SessionLock inner;
      EXPECT_EQ(SessionLock::Depth(), 2);
    }
    EXPECT_EQ(SessionLock::Depth(), 1);
  }
  EXPECT_EQ(SessionLock::Depth(), 0);
}

TEST_F(SessionTest, EndingTheSessionWritesAndReleasesEveryDatabase) {
  TTable t;
  t.SetDatabaseName(viewtest::DirectoryName(dir_.path()));
  t.SetTableName("patient.db");
  t.Open();
  t.StartEdit();
  t.FieldByName("Name")->SetAsString("Neu");
  t.PostRecord();
  t.Close();
  EndDefaultSession();
  EXPECT_EQ(Session().DatabaseCount(), 0u);
  EXPECT_FALSE(Session().Active());
  EXPECT_EQ(viewtest::ColumnOf(dir_.path(), "patient.db", 1), (std::vector<std::string>{"Neu", ""}));
}

}  // namespace
