// Opening databases by alias and by directory name, sharing them by name, and
// refusing a directory whose tables another program holds.
#include "engine/access/engine_session.h"

#include <gtest/gtest.h>

#include <fstream>

#include "tests/support/test_support.h"

namespace px {
namespace {

TEST(EngineSession, AliasAndDirectoryNamesShareOneDatabase) {
  test::TempDir dir;
  dir.copySet("set01");
  EngineConfig config;
  ASSERT_TRUE(EngineConfig::parse("[aliases]\nwinvelda5 = " + dir.path().string() + "\n", "test.conf", config).ok());
  EngineSession session;
  ASSERT_TRUE(session.start(config).ok());
  EXPECT_EQ(session.start(config).code(), rc::kAlreadyInitialized);

  Database* byAlias = nullptr;
  Database* byDir = nullptr;
  Database* withBackslash = nullptr;
  ASSERT_TRUE(session.openDatabase("WINVELDA5", byAlias).ok());
  ASSERT_TRUE(session.openDatabase(dir.path().string(), byDir).ok());
  ASSERT_TRUE(session.openDatabase(dir.path().string() + "\\", withBackslash).ok());
  EXPECT_EQ(byAlias, byDir);
  EXPECT_EQ(byDir, withBackslash);

  // The shared database lives until its last user closes it.
  ASSERT_TRUE(session.closeDatabase(byAlias).ok());
  ASSERT_TRUE(session.closeDatabase(byDir).ok());
  WritableTable* t = nullptr;
  EXPECT_TRUE(withBackslash->table("long", t).ok());
  ASSERT_TRUE(session.closeDatabase(withBackslash).ok());
  EXPECT_EQ(session.closeDatabase(withBackslash).code(), rc::kInvalidParameter);
}

TEST(EngineSession, UnknownAliasAndMissingDirectoryAreExplained) {
  EngineSession session;
  ASSERT_TRUE(session.start(EngineConfig{}).ok());
  Database* db = nullptr;
  EXPECT_EQ(session.openDatabase("nosuchalias", db).code(), rc::kUnknownAlias);
  EXPECT_GE(session.errors().size(), 2u);
  EXPECT_EQ(session.openDatabase("/no/such/dir\\", db).code(), rc::kDirectoryNotFound);

  EngineSession notStarted;
  EXPECT_EQ(notStarted.openDatabase("/tmp/", db).code(), rc::kNotInitialized);
}

}  // namespace
}  // namespace px
