// A database commit cut at every write operation, by a crash, a full disk or
// an I/O error: after the next open every table is entirely as before or
// entirely as after, passes the table check, and a reported success always
// means the after state.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <map>

#include "engine/access/database.h"
#include "engine/io/fault_injecting_file_system.h"
#include "engine/storage/table_check.h"
#include "tests/support/test_support.h"

namespace px {
namespace {

namespace fs = std::filesystem;
using Snapshot = std::map<std::string, Bytes>;

Snapshot snapshot(const fs::path& dir) {
  Snapshot s;
  for (const auto& e : fs::directory_iterator(dir)) {
    Bytes b;
    EXPECT_TRUE(localFileSystem().readFile(e.path(), b).ok());
    s[e.path().filename().string()] = std::move(b);
  }
  return s;
}

struct Scenario {
  std::string set;
  std::vector<std::string> files;
  std::function<void(Database&)> change;
};

void renumberAutoInc(Database& db, const std::string& table, std::int32_t offset) {
  std::unique_ptr<Cursor> c;
  ASSERT_TRUE(db.openCursor(table, {}, c).ok());
  Bytes r;
  c->moveToEnd();
  while (c->prior(r).ok()) {
    Value v;
    ASSERT_TRUE(c->table().readValue(r.data(), 0, v).ok());
    ASSERT_TRUE(c->table().setValue(r, 0, std::get<std::int32_t>(v) + offset).ok());
    ASSERT_TRUE(c->modify(r).ok());
  }
}

void appendMemos(Database& db) {
  std::unique_ptr<Cursor> c;
  ASSERT_TRUE(db.openCursor("memo", {}, c).ok());
  for (std::int32_t k = 100; k < 104; ++k) {
    Bytes r = c->table().blankRecord();
    ASSERT_TRUE(c->table().setValue(r, 0, k).ok());
    ASSERT_TRUE(c->table().setValue(r, 1, std::string(static_cast<std::size_t>(k) * 30, 'm')).ok());
    ASSERT_TRUE(c->insert(r).ok());
  }
}

class DatabaseCrash : public ::testing::TestWithParam<int> {};

const std::vector<Scenario>& scenarios() {
  static const std::vector<Scenario> list = {
      {"set05", {"KartA.DB", "KartA.PX", "KartA.XG0", "KartA.YG0", "SPRKU.DB", "SPRKU.PX"},
       [](Database& db) {
         ASSERT_NO_FATAL_FAILURE(renumberAutoInc(db, "KartA", 1000));
         WritableTable* t = nullptr;
         ASSERT_TRUE(db.table("SPRKU", t).ok());
         Bytes r = t->blankRecord();
         ASSERT_TRUE(t->setValue(r, 0, std::int32_t{99}).ok());
         ASSERT_TRUE(t->insert(r).ok());
       }},
      {"set01", {"memo.db", "memo.px", "memo.mb", "long.db", "long.px"},
       [](Database& db) {
         ASSERT_NO_FATAL_FAILURE(appendMemos(db));
         ASSERT_NO_FATAL_FAILURE(renumberAutoInc(db, "long", 50));
       }},
  };
  return list;
}

TEST_P(DatabaseCrash, EveryCutLeavesBeforeOrAfter) {
  const Scenario& sc = scenarios()[static_cast<std::size_t>(GetParam())];
  test::TempDir work;
  const fs::path beforeDir = work.path() / "before", afterDir = work.path() / "after";
  fs::create_directories(beforeDir);
  for (const auto& f : sc.files) test::copyWritable(test::fixtureSet(sc.set) / f, beforeDir / f);
  const Snapshot before = snapshot(beforeDir);

  // The clean commit: its file states and its number of write operations.
  fs::copy(beforeDir, afterDir);
  FaultInjectingFileSystem counting(localFileSystem());
  {
    std::unique_ptr<Database> db;
    ASSERT_TRUE(Database::open(counting, afterDir, db).ok());
    sc.change(*db);
    counting.reset();
    ASSERT_TRUE(db->flush().ok());
  }
  const std::uint64_t operations = counting.operations();
  ASSERT_GT(operations, 4u);
  const Snapshot after = snapshot(afterDir);
  ASSERT_NE(before, after);

  for (Fault fault : {Fault::Die, Fault::DiskFull, Fault::IOError}) {
    for (std::uint64_t n = 1; n <= operations; ++n) {
      const fs::path dir = work.path() / "run";
      fs::remove_all(dir);
      fs::copy(beforeDir, dir);
      FaultInjectingFileSystem faulty(localFileSystem());
      Status flushed;
      {
        std::unique_ptr<Database> db;
        ASSERT_TRUE(Database::open(faulty, dir, db).ok());
        sc.change(*db);
        faulty.failAt(n, fault);
        flushed = db->flush();
      }
      // The next open (a new process after a crash) recovers.
      std::unique_ptr<Database> reopened;
      ASSERT_TRUE(Database::open(localFileSystem(), dir, reopened).ok()) << "fault " << int(fault) << " at " << n;
      const Snapshot state = snapshot(dir);
      const bool isBefore = state == before, isAfter = state == after;
      ASSERT_TRUE(isBefore || isAfter) << "fault " << int(fault) << " at operation " << n << " of " << operations;
      if (flushed.ok()) {
        ASSERT_TRUE(isAfter) << "success reported, but the files are not the new state, at " << n;
      }
      if (fault == Fault::Die) {
        EXPECT_TRUE(faulty.dead()) << "the die fault did not strike at " << n;
      }
      for (const auto& f : sc.files) {
        if (fs::path(f).extension() != ".db" && fs::path(f).extension() != ".DB") continue;
        std::vector<CheckFinding> findings;
        ASSERT_TRUE(checkTable(localFileSystem(), dir, f, {}, findings).ok());
        for (const auto& finding : findings)
          ASSERT_NE(finding.severity, CheckFinding::Severity::Error) << finding.file << ": " << finding.text;
      }
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Scenarios, DatabaseCrash, ::testing::Values(0, 1));

}  // namespace
}  // namespace px
