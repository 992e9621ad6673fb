// Cursors on real tables: the walk from the greatest key down that renumbers
// every record exactly once, index orders, filters, ranges, locks and bookmarks.
#include "engine/access/cursor.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <set>

#include "engine/access/database.h"
#include "engine/format/integer_text.h"
#include "tests/support/other_program.h"
#include "tests/support/test_support.h"

namespace px {
namespace {

// A keyed table with one alpha key (autenticacao: Login A15 and three more
// alpha fields), emptied and filled with the given keys.
class KeyedTable : public ::testing::Test {
 protected:
  void fill(const std::vector<std::string>& keys) {
    dir.copySet("set06");
    ASSERT_TRUE(Database::open(localFileSystem(), dir.path(), db).ok());
    std::unique_ptr<Cursor> c;
    ASSERT_TRUE(db->openCursor("autenticacao", {}, c).ok());
    Bytes rec;
    while (c->next(rec).ok()) ASSERT_TRUE(c->removeCurrent().ok());
    for (const auto& k : keys) {
      Bytes r = c->table().blankRecord();
      ASSERT_TRUE(c->table().setValue(r, 0, k).ok());
      ASSERT_TRUE(c->table().setValue(r, 2, "name " + k).ok());
      ASSERT_TRUE(c->insert(r).ok()) << k;
    }
  }
  std::string keyOf(const Cursor& c, const Bytes& r) const {
    Value v;
    EXPECT_TRUE(c.table().readValue(r.data(), 0, v).ok());
    return isNull(v) ? "" : std::get<std::string>(v);
  }
  std::vector<std::string> walk(Cursor& c) {
    std::vector<std::string> keys;
    Bytes r;
    c.moveToBegin();
    while (c.next(r).ok()) keys.push_back(keyOf(c, r));
    return keys;
  }
  // The renumbering walk: from the last record back to the first, raising each key.
  void renumber(Cursor& c, std::int32_t offset, std::multiset<std::string>& seen) {
    Bytes r;
    c.moveToEnd();
    Status s = c.prior(r);
    while (s.ok()) {
      std::int32_t k = 0;
      ASSERT_TRUE(parseIntegerText(keyOf(c, r), k));
      seen.insert(keyOf(c, r));
      ASSERT_TRUE(c.table().setValue(r, 0, std::to_string(k + offset)).ok());
      ASSERT_TRUE(c.modify(r).ok());
      s = c.prior(r);
    }
    EXPECT_EQ(s.code(), rc::kAtBeginning);
  }
  test::TempDir dir;
  std::unique_ptr<Database> db;
};

TEST_F(KeyedTable, RenumberingWalkVisitsEveryRecordOnceOnDenseKeys) {
  std::vector<std::string> keys;
  for (int i = 1; i <= 12; ++i) keys.push_back(std::to_string(i));
  ASSERT_NO_FATAL_FAILURE(fill(keys));
  std::unique_ptr<Cursor> c;
  ASSERT_TRUE(db->openCursor("autenticacao", {}, c).ok());
  // Cursor order is numeric although the file's order is "1" "10" "11" "12" "2" ...
  EXPECT_EQ(walk(*c), keys);
  std::multiset<std::string> seen;
  ASSERT_NO_FATAL_FAILURE(renumber(*c, 5, seen));
  EXPECT_EQ(seen, std::multiset<std::string>(keys.begin(), keys.end()));
  std::vector<std::string> expected;
  for (int i = 1; i <= 12; ++i) expected.push_back(std::to_string(i + 5));
  EXPECT_EQ(walk(*c), expected);

  ASSERT_TRUE(db->flush().ok());
  auto r = std::unique_ptr<Table>();
  ASSERT_TRUE(Table::open(localFileSystem(), dir.path(), "autenticacao", r).ok());
  ASSERT_EQ(r->recordCount(), 12u);
  Value first;
  ASSERT_TRUE(r->readValue(std::size_t{0}, 0, first).ok());
  EXPECT_EQ(std::get<std::string>(first), "10");  // the file keeps string order
}

TEST_F(KeyedTable, RenumberingWalkOnSparseAndOddKeys) {
  std::mt19937 rng(42);
  std::set<std::int32_t> values;
  while (values.size() < 150) values.insert(static_cast<std::int32_t>(rng() % 100000));
  std::vector<std::string> keys;
  for (auto v : values) keys.push_back(std::to_string(v));
  keys.push_back("007");   // leading zeros still read as a number
  keys.push_back("-3");
  ASSERT_NO_FATAL_FAILURE(fill(keys));
  std::unique_ptr<Cursor> c;
  ASSERT_TRUE(db->openCursor("autenticacao", {}, c).ok());
  std::multiset<std::string> seen;
  ASSERT_NO_FATAL_FAILURE(renumber(*c, 100000, seen));
  EXPECT_EQ(seen, std::multiset<std::string>(keys.begin(), keys.end()));
  EXPECT_EQ(c->table().recordCount(), keys.size());
  const auto after = walk(*c);
  for (std::size_t i = 1; i < after.size(); ++i) {
    std::int32_t a = 0, b = 0;
    ASSERT_TRUE(parseIntegerText(after[i - 1], a) && parseIntegerText(after[i], b));
    EXPECT_LT(a, b);
  }
}

TEST_F(KeyedTable, TextsThatAreNoNumbersFollowTheNumbers) {
  ASSERT_NO_FATAL_FAILURE(fill({"b", "10", "a", "9", ""}));
  std::unique_ptr<Cursor> c;
  ASSERT_TRUE(db->openCursor("autenticacao", {}, c).ok());
  EXPECT_EQ(walk(*c), (std::vector<std::string>{"9", "10", "", "a", "b"}));
}

TEST_F(KeyedTable, EndsAreOutcomesAndBothEndsMeetOnAnEmptyView) {
  ASSERT_NO_FATAL_FAILURE(fill({"1", "2"}));
  std::unique_ptr<Cursor> c;
  ASSERT_TRUE(db->openCursor("autenticacao", {}, c).ok());
  Bytes r;
  EXPECT_EQ(c->prior(r).code(), rc::kAtBeginning);
  ASSERT_TRUE(c->next(r).ok());
  ASSERT_TRUE(c->next(r).ok());
  EXPECT_EQ(c->next(r).code(), rc::kAtEnd);
  EXPECT_EQ(c->current(r).code(), rc::kRecordNotFound);
  int f = c->addFilter([](const std::uint8_t*) { return false; });
  ASSERT_TRUE(c->activateFilter(f, true).ok());
  c->moveToBegin();
  EXPECT_EQ(c->next(r).code(), rc::kAtEnd);
  c->moveToEnd();
  EXPECT_EQ(c->prior(r).code(), rc::kAtBeginning);
  ASSERT_TRUE(c->dropFilter(f).ok());
  c->moveToBegin();
  EXPECT_TRUE(c->next(r).ok());
}

TEST_F(KeyedTable, FiltersRangesBookmarksAndRemoval) {
  std::vector<std::string> keys;
  for (int i = 1; i <= 20; ++i) keys.push_back(std::to_string(i));
  ASSERT_NO_FATAL_FAILURE(fill(keys));
  std::unique_ptr<Cursor> c;
  ASSERT_TRUE(db->openCursor("autenticacao", {}, c).ok());
  const int even = c->addFilter([&](const std::uint8_t* rec) {
    std::int32_t v = 0;
    return parseIntegerText(std::string_view(reinterpret_cast<const char*>(rec), 15), v) && v % 2 == 0;
  });
  ASSERT_TRUE(c->activateFilter(even, true).ok());
  Bytes low = c->table().blankRecord(), high = c->table().blankRecord();
  ASSERT_TRUE(c->table().setValue(low, 0, std::string("5")).ok());
  ASSERT_TRUE(c->table().setValue(high, 0, std::string("12")).ok());
  ASSERT_TRUE(c->setRange(low, high, 1).ok());
  EXPECT_EQ(walk(*c), (std::vector<std::string>{"6", "8", "10", "12"}));
  Bytes r;
  c->moveToEnd();
  ASSERT_TRUE(c->prior(r).ok());
  EXPECT_EQ(keyOf(*c, r), "12");

  Cursor::Bookmark mark;
  ASSERT_TRUE(c->prior(r).ok());  // 10
  ASSERT_TRUE(c->bookmark(mark).ok());
  ASSERT_TRUE(c->removeCurrent().ok());
  ASSERT_TRUE(c->next(r).ok());
  EXPECT_EQ(keyOf(*c, r), "12");
  EXPECT_EQ(c->gotoBookmark(mark).code(), rc::kRecordNotFound);
  ASSERT_TRUE(c->prior(r).ok());
  EXPECT_EQ(keyOf(*c, r), "8");
  c->resetRange();
  EXPECT_EQ(walk(*c).size(), 9u);  // even keys 2..20 without 10
}

TEST_F(KeyedTable, ARecordLockedByOneCursorCannotBeChangedByAnother) {
  ASSERT_NO_FATAL_FAILURE(fill({"1", "2"}));
  std::unique_ptr<Cursor> a, b;
  ASSERT_TRUE(db->openCursor("autenticacao", {}, a).ok());
  ASSERT_TRUE(db->openCursor("autenticacao", {}, b).ok());
  Bytes ra, rb;
  ASSERT_TRUE(a->next(ra).ok());
  ASSERT_TRUE(a->currentLocked(ra).ok());
  ASSERT_TRUE(b->next(rb).ok());
  EXPECT_EQ(b->currentLocked(rb).code(), rc::kRecordLocked);
  EXPECT_EQ(b->modify(rb).code(), rc::kRecordLocked);
  ASSERT_TRUE(a->table().setValue(ra, 2, std::string("changed")).ok());
  ASSERT_TRUE(a->modify(ra).ok());  // releases the lock
  EXPECT_TRUE(b->currentLocked(rb).ok());
  a.reset();
  b.reset();
}

TEST_F(KeyedTable, ReadOnlyCursorRefusesChanges) {
  ASSERT_NO_FATAL_FAILURE(fill({"1"}));
  CursorOptions ro;
  ro.readOnly = true;
  std::unique_ptr<Cursor> c;
  ASSERT_TRUE(db->openCursor("autenticacao", ro, c).ok());
  Bytes r;
  ASSERT_TRUE(c->next(r).ok());
  EXPECT_EQ(c->modify(r).code(), rc::kTableReadOnly);
  EXPECT_EQ(c->insert(r).code(), rc::kTableReadOnly);
  EXPECT_FALSE(c->changesAllowed());
}

TEST(DatabaseLocks, ASecondWriterOfTheSameTablesIsRefusedUntilTheFirstCloses) {
  test::TempDir dir;
  dir.copySet("set05");
  std::unique_ptr<Database> first, second;
  ASSERT_TRUE(Database::open(localFileSystem(), dir.path(), first).ok());
  ASSERT_TRUE(Database::open(localFileSystem(), dir.path(), second).ok());
  WritableTable* a = nullptr;
  WritableTable* b = nullptr;
  ASSERT_TRUE(first->table("KartA", a).ok());
  const Status refused = second->table("KartA", b);
  EXPECT_EQ(refused.code(), rc::kFileInUse);
  EXPECT_NE(refused.message().find("KartA"), std::string::npos) << refused.message();
  // A commit replaces the files; the locks follow to the new ones.
  Bytes r(a->record(a->orderedIds().front()), a->record(a->orderedIds().front()) + a->header().recordSize);
  ASSERT_TRUE(a->setValue(r, 2, 1.5).ok());
  ASSERT_TRUE(a->update(a->orderedIds().front(), r).ok());
  ASSERT_TRUE(first->flush().ok());
  EXPECT_EQ(second->table("KartA", b).code(), rc::kFileInUse);
  ASSERT_TRUE(first->close().ok());
  EXPECT_TRUE(second->table("KartA", b).ok());
}

// While a database holds a table for writing, another program that wants
// to write it (the clinical application, a second copy of ours) finds it in
// use; one that only reads may read the committed files.
TEST(DatabaseLocks, TablesHeldForWritingAreInUseToOtherProgramsButReadable) {
  using How = test::OtherProgram::How;
  test::TempDir dir;
  dir.copySet("set05");
  std::unique_ptr<Database> db;
  ASSERT_TRUE(Database::open(localFileSystem(), dir.path(), db).ok());
  WritableTable* t = nullptr;
  ASSERT_TRUE(db->table("KartA", t).ok());
  for (const char* file : {"KartA.DB", "KartA.PX"}) {
    test::OtherProgram secondCopy, application, reader;
    EXPECT_FALSE(secondCopy.hold(How::kEngine, dir.path() / file)) << file;
    EXPECT_FALSE(application.hold(How::kLock, dir.path() / file)) << file;
    EXPECT_TRUE(reader.hold(How::kRead, dir.path() / file)) << file << ": " << reader.refusal();
  }
  ASSERT_TRUE(db->close().ok());
  test::OtherProgram secondCopy;
  EXPECT_TRUE(secondCopy.hold(How::kEngine, dir.path() / "KartA.DB")) << secondCopy.refusal();
}

TEST(DatabaseCursors, ReadOnlyMediumAndExclusiveOpens) {
  MemoryFileSystem memory;
  for (const char* f : {"KartA.DB", "KartA.PX", "KartA.XG0", "KartA.YG0"})
    memory.addFile(std::filesystem::path("db") / f, test::readBytes(test::fixtureSet("set05") / f));
  memory.setReadOnly(true);
  std::unique_ptr<Database> db;
  ASSERT_TRUE(Database::open(memory, "db", db).ok());
  std::unique_ptr<Cursor> c;
  EXPECT_EQ(db->openCursor("karta", {}, c).code(), rc::kTableReadOnly);
  CursorOptions readOnly;
  readOnly.readOnly = true;
  ASSERT_TRUE(db->openCursor("karta", readOnly, c).ok());
  Bytes r;
  EXPECT_TRUE(c->next(r).ok());
  c.reset();

  memory.setReadOnly(false);
  CursorOptions exclusive;
  exclusive.exclusive = true;
  std::unique_ptr<Cursor> first, second;
  ASSERT_TRUE(db->openCursor("karta", exclusive, first).ok());
  EXPECT_EQ(db->openCursor("karta", {}, second).code(), rc::kTableLocked);
  first.reset();
  ASSERT_TRUE(db->openCursor("karta", {}, first).ok());
  EXPECT_EQ(db->openCursor("karta", exclusive, second).code(), rc::kTableLocked);
  EXPECT_TRUE(db->openCursor("karta", {}, second).ok());
}

TEST(CursorIndexes, SecondaryIndexOrderAndUnknownIndex) {
  test::TempDir dir;
  dir.copySet("set05");
  std::unique_ptr<Database> db;
  ASSERT_TRUE(Database::open(localFileSystem(), dir.path(), db).ok());
  std::unique_ptr<Cursor> c;
  CursorOptions byName;
  byName.index = "numdok";
  ASSERT_TRUE(db->openCursor("pay", byName, c).ok());
  // The walk along NumDok yields every record, ordered by NDok as a number where it is one.
  Bytes r, previous;
  std::size_t n = 0;
  while (c->next(r).ok()) {
    if (n++) {
      Value a, b;
      ASSERT_TRUE(c->table().readValue(previous.data(), 6, a).ok());
      ASSERT_TRUE(c->table().readValue(r.data(), 6, b).ok());
      std::int32_t va = 0, vb = 0;
      if (!isNull(a) && !isNull(b) && parseIntegerText(std::get<std::string>(a), va) &&
          parseIntegerText(std::get<std::string>(b), vb)) {
        ASSERT_LE(va, vb);
      }
    }
    previous = r;
  }
  EXPECT_EQ(n, 9094u);
  CursorOptions missing;
  missing.index = "NoSuchIndex";
  EXPECT_EQ(db->openCursor("pay", missing, c).code(), rc::kIndexNotFound);
}

}  // namespace
}  // namespace px
