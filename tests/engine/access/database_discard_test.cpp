// Changes given up after a failed write: the files keep what the last flush
// wrote, whatever the close or a later flush would otherwise write.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>

#include "engine/access/database.h"
#include "engine/io/fault_injecting_file_system.h"
#include "tests/support/test_support.h"

namespace px {
namespace {

namespace fs = std::filesystem;
using Files = std::map<std::string, Bytes>;

Files filesOf(const fs::path& dir) {
  Files files;
  for (const auto& e : fs::directory_iterator(dir)) {
    Bytes b;
    EXPECT_TRUE(localFileSystem().readFile(e.path(), b).ok());
    files[e.path().filename().string()] = std::move(b);
  }
  return files;
}

// Raises every key of the long table by 50, as a renumbering walk does.
void renumber(Database& db) {
  std::unique_ptr<Cursor> c;
  ASSERT_TRUE(db.openCursor("long", {}, c).ok());
  Bytes r;
  c->moveToEnd();
  while (c->prior(r).ok()) {
    Value v;
    ASSERT_TRUE(c->table().readValue(r.data(), 0, v).ok());
    ASSERT_TRUE(c->table().setValue(r, 0, std::get<std::int32_t>(v) + 50).ok());
    ASSERT_TRUE(c->modify(r).ok());
  }
}

class DatabaseDiscard : public ::testing::Test {
 protected:
  void SetUp() override { work_.copyFiles("set01", {"long.db", "long.px"}); }
  test::TempDir work_;
};

TEST_F(DatabaseDiscard, AfterAFailedFlushTheCloseWritesNothing) {
  const Files before = filesOf(work_.path());
  FaultInjectingFileSystem faulty(localFileSystem());
  std::unique_ptr<Database> db;
  ASSERT_TRUE(Database::open(faulty, work_.path(), db).ok());
  ASSERT_NO_FATAL_FAILURE(renumber(*db));
  faulty.failAt(1, Fault::IOError);
  ASSERT_EQ(db->flush().code(), rc::kWriteFailed);

  db->discardChanges();
  EXPECT_TRUE(db->changesDiscarded());
  // An explicit flush is refused rather than silently dropped.
  EXPECT_EQ(db->flush().code(), rc::kTableReadOnly);
  const std::uint64_t writes = faulty.operations();
  EXPECT_TRUE(db->close().ok());
  EXPECT_EQ(faulty.operations(), writes);
  EXPECT_EQ(filesOf(work_.path()), before);
}

TEST_F(DatabaseDiscard, WhatWasFlushedStaysAndOnlyLaterChangesAreGivenUp) {
  std::unique_ptr<Database> db;
  ASSERT_TRUE(Database::open(localFileSystem(), work_.path(), db).ok());
  ASSERT_NO_FATAL_FAILURE(renumber(*db));
  ASSERT_TRUE(db->flush().ok());
  const Files flushed = filesOf(work_.path());
  ASSERT_NO_FATAL_FAILURE(renumber(*db));
  ASSERT_TRUE(db->hasChanges());
  db->discardChanges();
  EXPECT_TRUE(db->close().ok());
  EXPECT_EQ(filesOf(work_.path()), flushed);

  // A new open reads the flushed state: the keys raised once.
  ASSERT_TRUE(Database::open(localFileSystem(), work_.path(), db).ok());
  EXPECT_FALSE(db->changesDiscarded());
  std::unique_ptr<Cursor> c;
  ASSERT_TRUE(db->openCursor("long", {}, c).ok());
  Bytes r;
  ASSERT_TRUE(c->next(r).ok());
  Value v;
  ASSERT_TRUE(c->table().readValue(r.data(), 0, v).ok());
  c.reset();
  std::unique_ptr<Database> original;
  test::TempDir fresh;
  fresh.copyFiles("set01", {"long.db", "long.px"});
  ASSERT_TRUE(Database::open(localFileSystem(), fresh.path(), original).ok());
  ASSERT_TRUE(original->openCursor("long", {}, c).ok());
  ASSERT_TRUE(c->next(r).ok());
  Value first;
  ASSERT_TRUE(c->table().readValue(r.data(), 0, first).ok());
  c.reset();
  EXPECT_EQ(std::get<std::int32_t>(v), std::get<std::int32_t>(first) + 50);
}

TEST_F(DatabaseDiscard, WithoutChangesAFlushStillSucceeds) {
  std::unique_ptr<Database> db;
  ASSERT_TRUE(Database::open(localFileSystem(), work_.path(), db).ok());
  db->discardChanges();
  EXPECT_TRUE(db->flush().ok());
  EXPECT_TRUE(db->close().ok());
}

}  // namespace
}  // namespace px
