// Databases and the session: names taken as aliases or directories, sharing
// one database between views, keeping it connected, and the engine start.
#include "tableaccess/session.h"

#include <gtest/gtest.h>

#include "engine/io/fault_injecting_file_system.h"
#include "engine/io/path_text.h"
#include "engine/io/platform.h"
#include "tableaccess/database.h"
#include "tableaccess/db_errors.h"
#include "tableaccess/engine_binding.h"
#include "tableaccess/field.h"
#include "tableaccess/table.h"
#include "tests/tableaccess/view_test_support.h"

namespace {

using viewtest::ViewTest;

class SessionTest : public ViewTest {
 protected:
  void SetUp() override {
    ViewTest::SetUp();
    viewtest::CreateTable(dir_.path(), "patient.db", viewtest::PatientDefinition(), {{"1"}, {"2"}});
    viewtest::CreateTable(dir_.path(), "session.db", viewtest::SessionDefinition(), {{"1", "1"}});
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
  px::setEnvironmentVariable("PXENGINE_CONFIG", px::pathText(configDir_.path() / "missing.conf"));
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

// Databases created without KeepConnection, as a session with
// KeepConnections false makes them; the setting goes back after the test.
class SessionWithoutKeptConnectionsTest : public SessionTest {
 protected:
  void SetUp() override {
    SessionTest::SetUp();
    Session().SetKeepConnections(false);
  }
  void TearDown() override {
    Session().SetKeepConnections(true);
    SessionTest::TearDown();
  }
};

TEST_F(SessionWithoutKeptConnectionsTest, DatabaseGoesWithItsLastViewAndNotWhileItClosesItsViews) {
  const std::string name = viewtest::DirectoryName(dir_.path());
  TTable a, b;
  for (TTable* t : {&a, &b}) {
    t->SetDatabaseName(name);
    t->SetTableName(t == &a ? "patient.db" : "session.db");
    t->Open();
  }
  ASSERT_NE(a.Database(), nullptr);
  EXPECT_FALSE(a.Database()->KeepConnection());
  a.Close();
  EXPECT_EQ(Session().DatabaseCount(), 1u);
  b.Close();
  EXPECT_EQ(Session().DatabaseCount(), 0u);
  // Ending the session destroys the database, which closes the views still
  // open on it; their close must not destroy it a second time.
  a.Open();
  b.Open();
  EndDefaultSession();
  EXPECT_FALSE(a.Active());
  EXPECT_FALSE(b.Active());
  EXPECT_EQ(a.Database(), nullptr);
  EXPECT_EQ(Session().DatabaseCount(), 0u);
}

// Commits that fail where nothing but the session's end or a view's close
// writes them: the failure reaches the caller, and nothing is left half done.
class SessionWriteFailureTest : public SessionTest {
 protected:
  void SetUp() override {
    SessionTest::SetUp();
    binding::UseFileSystem(faults_);
    view_.SetDatabaseName(viewtest::DirectoryName(dir_.path()));
    view_.SetTableName("patient.db");
  }
  void TearDown() override {
    view_.Close();
    EndDefaultSession();
    binding::UseFileSystem(px::localFileSystem());
    Session().SetKeepConnections(true);
    SessionTest::TearDown();
  }
  // Posts a change and plans the disk to run full at the commit's first write.
  void PostAChange() {
    view_.Open();
    view_.StartEdit();
    view_.FieldByName("Name")->SetAsString("Neu");
    view_.PostRecord();
    faults_.failAt(faults_.operations() + 1, px::Fault::DiskFull);
  }
  static bool SaysTheDiskIsFull(const EDatabaseError& e) {
    return e.Message().find("Disk is full") != std::string::npos;
  }

  px::FaultInjectingFileSystem faults_{px::localFileSystem()};
  TTable view_;
};

TEST_F(SessionWriteFailureTest, FailedCommitAtTheSessionsEndIsRaised) {
  PostAChange();
  view_.Close();
  try {
    EndDefaultSession();
    FAIL() << "the failed commit went unreported";
  } catch (const EDBEngineError& e) {
    EXPECT_TRUE(SaysTheDiskIsFull(e)) << e.Message();
  }
  EXPECT_FALSE(Session().Active());
  EXPECT_EQ(Session().DatabaseCount(), 0u);
  EXPECT_EQ(viewtest::ColumnOf(dir_.path(), "patient.db", 1), (std::vector<std::string>{"", ""}));
}

TEST_F(SessionWriteFailureTest, FailedCommitWhenTheLastViewLetsGoOfItsDatabaseIsRaised) {
  Session().SetKeepConnections(false);
  PostAChange();
  try {
    view_.Close();
    FAIL() << "the failed commit went unreported";
  } catch (const EDBEngineError& e) {
    EXPECT_TRUE(SaysTheDiskIsFull(e)) << e.Message();
  }
  EXPECT_FALSE(view_.Active());
  EXPECT_EQ(Session().DatabaseCount(), 0u);
}

}  // namespace
