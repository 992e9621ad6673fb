// Finding a table's files regardless of letter case, and its companions.
#include "engine/storage/table_family.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "tests/support/test_support.h"

namespace px {
namespace {

namespace fs = std::filesystem;

TEST(TableFamily, NamesMatchWithoutRegardToCase) {
  test::TempDir dir;
  test::copyWritable(test::fixtureSet("set01") / "long.db", dir.path() / "LONG.DB");
  test::copyWritable(test::fixtureSet("set01") / "long.px", dir.path() / "Long.Px");
  test::copyWritable(test::fixtureSet("set01") / "memo.db", dir.path() / "longer.db");
  TableFamily family;
  ASSERT_TRUE(locateFamily(localFileSystem(), dir.path(), "long", family).ok());
  EXPECT_EQ(family.dataFile.filename(), "LONG.DB");
  ASSERT_TRUE(family.primaryIndex.has_value());
  EXPECT_EQ(family.primaryIndex->filename(), "Long.Px");
  EXPECT_FALSE(family.blobFile.has_value());
  EXPECT_TRUE(family.otherFiles.empty());

  ASSERT_TRUE(locateFamily(localFileSystem(), dir.path(), "Long.db", family).ok());
  EXPECT_EQ(family.dataFile.filename(), "LONG.DB");
}

TEST(TableFamily, SecondaryIndexesArePairedWithTheirTrees) {
  TableFamily family;
  ASSERT_TRUE(locateFamily(localFileSystem(), test::fixtureSet("set06"), "entrada", family).ok());
  ASSERT_EQ(family.secondaryIndexes.size(), 3u);
  EXPECT_EQ(family.secondaryIndexes[0].suffix, "X05");
  ASSERT_TRUE(family.secondaryIndexes[0].treeFile.has_value());
  EXPECT_EQ(family.secondaryIndexes[0].treeFile->filename(), "entrada.Y05");
  ASSERT_TRUE(family.validityFile.has_value());

  ASSERT_TRUE(locateFamily(localFileSystem(), test::fixtureSet("set05"), "pay.db", family).ok());
  ASSERT_EQ(family.secondaryIndexes.size(), 5u);
  EXPECT_EQ(family.secondaryIndexes[4].suffix, "XG4");
}

TEST(TableFamily, MissingTableOrDirectoryIsReported) {
  TableFamily family;
  Status s = locateFamily(localFileSystem(), test::fixtureSet("set01"), "nosuch", family);
  EXPECT_EQ(s.code(), rc::kFileNotFound);
  EXPECT_NE(s.message().find("nosuch.db"), std::string::npos);
  EXPECT_EQ(locateFamily(localFileSystem(), test::fixtureSet("set01") / "none", "long", family).code(),
            rc::kDirectoryNotFound);
  EXPECT_EQ(locateFamily(localFileSystem(), test::fixtureSet("set01"), "", family).code(), rc::kInvalidParameter);
}

}  // namespace
}  // namespace px
