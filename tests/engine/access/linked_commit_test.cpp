// Two databases committed as one, cut by a crash at every write: whichever
// directory the next program opens first, afterwards both hold their changes
// or neither does, and the link's own files are gone. A first side whose
// partner cannot be found is not opened rather than guessed at.
#include "engine/access/linked_commit.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "engine/access/table_creator.h"
#include "engine/io/fault_injecting_file_system.h"
#include "tests/support/test_support.h"

namespace px {
namespace {

namespace fs = std::filesystem;
using Keys = std::vector<std::string>;

class LinkedCommitTest : public ::testing::Test {
 protected:
  fs::path first() const { return dir_.path() / "alt"; }
  fs::path second() const { return dir_.path() / "aktiv"; }

  // Both directories with a keyed table of `rows` keys from 1000 on.
  void Create(int rows) {
    for (const fs::path& dir : {first(), second()}) {
      fs::remove_all(dir);
      fs::create_directories(dir);
      TableDefinition definition;
      definition.fields = {{"ID", FieldType::Alpha, 20}, {"Name", FieldType::Alpha, 40}};
      definition.keyFields = 1;
      ASSERT_TRUE(createTable(localFileSystem(), dir, "patient", definition).ok());
      std::unique_ptr<Database> db;
      ASSERT_TRUE(Database::open(localFileSystem(), dir, db).ok());
      ASSERT_NO_FATAL_FAILURE(Insert(*db, 1000, 999 + rows));  // clear of the keys Commit adds
      ASSERT_TRUE(db->close().ok());
    }
  }
  static void Insert(Database& db, int from, int to) {
    WritableTable* table = nullptr;
    ASSERT_TRUE(db.table("patient", table).ok());
    for (int key = from; key <= to; ++key) {
      Bytes r = table->blankRecord();
      ASSERT_TRUE(table->setValue(r, 0, std::to_string(key)).ok());
      ASSERT_TRUE(table->setValue(r, 1, std::string(30, 'n')).ok());
      ASSERT_TRUE(table->insert(r).ok());
    }
  }
  // Opens as the next program would, and reads the keys.
  static Keys KeysIn(const fs::path& dir) {
    std::unique_ptr<Database> db;
    const Status opened = Database::open(localFileSystem(), dir, db);
    EXPECT_TRUE(opened.ok()) << opened.message();
    if (!opened.ok()) return {};
    WritableTable* table = nullptr;
    EXPECT_TRUE(db->table("patient", table).ok());
    Keys keys;
    for (const auto id : table->orderedIds()) {
      Value v;
      EXPECT_TRUE(table->readValue(table->record(id), 0, v).ok());
      keys.push_back(std::get<std::string>(v));
    }
    EXPECT_TRUE(db->close().ok());
    return keys;
  }
  static std::vector<std::string> LinkFilesIn(const fs::path& dir) {
    std::vector<std::string> found;
    for (const auto& entry : fs::directory_iterator(dir)) {
      const std::string name = entry.path().filename().string();
      if (name == LinkedCommit::kJournalName || name == LinkedCommit::kMarkerName ||
          name.ends_with(LinkedCommit::kCopySuffix))
        found.push_back(name);
    }
    return found;
  }
  static bool CompleteJournalIn(const fs::path& dir) {
    const fs::path file = dir / LinkedCommit::kJournalName;
    if (!fs::exists(file)) return false;
    const std::vector<unsigned char> bytes = test::readBytes(file);
    const std::string text(bytes.begin(), bytes.end());
    return text.ends_with("\n") && text.find("\nend\t") != std::string::npos;
  }
  // Changes both through `fs` and commits them together.
  static Status Commit(FileSystem& fs, const fs::path& a, const fs::path& b, bool& committed) {
    std::unique_ptr<Database> one, two;
    EXPECT_TRUE(Database::open(fs, a, one).ok());
    EXPECT_TRUE(Database::open(fs, b, two).ok());
    Insert(*one, 101, 104);
    Insert(*two, 201, 203);
    return LinkedCommit::commit(*one, *two, committed);
  }

  void CrashAtWrites(int rows, std::uint64_t stride);

  test::TempDir dir_;
};

// Cuts the commit of two `rows`-key databases at every `stride`-th write.
void LinkedCommitTest::CrashAtWrites(int rows, std::uint64_t stride) {
  ASSERT_NO_FATAL_FAILURE(Create(rows));
  const Keys firstBefore = KeysIn(first()), secondBefore = KeysIn(second());
  FaultInjectingFileSystem counting(localFileSystem());
  bool committed = false;
  ASSERT_TRUE(Commit(counting, first(), second(), committed).ok());
  EXPECT_TRUE(committed);
  const std::uint64_t writes = counting.operations();
  const Keys firstAfter = KeysIn(first()), secondAfter = KeysIn(second());
  ASSERT_NE(firstAfter, firstBefore);
  EXPECT_TRUE(LinkFilesIn(first()).empty());
  EXPECT_TRUE(LinkFilesIn(second()).empty());

  int before = 0, after = 0;
  for (std::uint64_t n = 1; n <= writes; n += stride) {
    SCOPED_TRACE("crash at write " + std::to_string(n) + " of " + std::to_string(writes));
    ASSERT_NO_FATAL_FAILURE(Create(rows));
    FaultInjectingFileSystem faults(localFileSystem());
    faults.failAt(n, Fault::Die);
    EXPECT_FALSE(Commit(faults, first(), second(), committed).ok());
    // Without its partner the first side cannot tell which way to go, once
    // its link journal is whole.
    if (CompleteJournalIn(first())) {
      fs::rename(second(), dir_.path() / "weg");
      std::unique_ptr<Database> db;
      EXPECT_EQ(Database::open(localFileSystem(), first(), db).code(), rc::kDirectoryNotFound);
      EXPECT_TRUE(fs::exists(first() / LinkedCommit::kJournalName));
      fs::rename(dir_.path() / "weg", second());
    }
    // The next program opens either side first.
    Keys a, b;
    if (n % 2) {
      a = KeysIn(first());
      b = KeysIn(second());
    } else {
      b = KeysIn(second());
      a = KeysIn(first());
    }
    const bool wasBefore = a == firstBefore && b == secondBefore;
    const bool wasAfter = a == firstAfter && b == secondAfter;
    EXPECT_TRUE(wasBefore || wasAfter) << "first has " << a.size() << " keys, second " << b.size();
    before += wasBefore;
    after += wasAfter;
    EXPECT_TRUE(LinkFilesIn(first()).empty()) << LinkFilesIn(first()).front();
    EXPECT_TRUE(LinkFilesIn(second()).empty()) << LinkFilesIn(second()).front();
  }
  // The cuts fall on both sides of the decision.
  EXPECT_GT(before, 0);
  EXPECT_GT(after, 0);
}

TEST_F(LinkedCommitTest, CrashAtEveryWriteLeavesBothBeforeOrBothAfter) { CrashAtWrites(6, 1); }

// A table larger than the pieces in which its copy is made and checked.
TEST_F(LinkedCommitTest, CopiesOfLargeTablesAreMadeAndPutBackWhole) { CrashAtWrites(90000, 3); }

}  // namespace
}  // namespace px
