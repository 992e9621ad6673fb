// The batch move between two databases: every admitted record reaches the
// destination, taken keys are counted as key violations and skipped, the
// counts add up, and the result survives the commit.
#include "engine/access/batch_move.h"

#include <gtest/gtest.h>

#include "engine/access/database.h"
#include "tests/support/test_support.h"

namespace px {
namespace {

class TwoDatabases : public ::testing::Test {
 protected:
  void SetUp() override {
    oldDir.copySet("set05");
    activeDir.copySet("set05");
    ASSERT_TRUE(Database::open(localFileSystem(), oldDir.path(), oldDb).ok());
    ASSERT_TRUE(Database::open(localFileSystem(), activeDir.path(), activeDb).ok());
    ASSERT_TRUE(oldDb->openCursor("pay", {}, source).ok());
    ASSERT_TRUE(activeDb->openCursor("pay", {}, destination).ok());
  }
  // Raises every AutoInc key of the old table by `offset`, walking from the top.
  void renumberOld(std::int32_t offset) {
    Bytes r;
    source->moveToEnd();
    while (source->prior(r).ok()) {
      Value v;
      ASSERT_TRUE(source->table().readValue(r.data(), 0, v).ok());
      ASSERT_TRUE(source->table().setValue(r, 0, std::get<std::int32_t>(v) + offset).ok());
      ASSERT_TRUE(source->modify(r).ok());
    }
  }
  test::TempDir oldDir, activeDir;
  std::unique_ptr<Database> oldDb, activeDb;
  std::unique_ptr<Cursor> source, destination;
};

TEST_F(TwoDatabases, SameKeysAreAllKeyViolationsAndNothingIsAppended) {
  BatchMoveCounts counts;
  ASSERT_TRUE(batchMoveAppend(*source, *destination, {}, counts).ok());
  EXPECT_EQ(counts.moved, 0u);
  EXPECT_EQ(counts.keyViolations, 9094u);
  EXPECT_EQ(destination->table().recordCount(), 9094u);
  EXPECT_FALSE(destination->table().modified());

  BatchMoveOptions abort;
  abort.abortOnKeyViolation = true;
  EXPECT_EQ(batchMoveAppend(*source, *destination, abort, counts).code(), rc::kKeyViolation);
  EXPECT_EQ(counts.keyViolations, 1u);
}

TEST_F(TwoDatabases, RenumberedRecordsAreAppendedUnderTheSourceFilter) {
  ASSERT_NO_FATAL_FAILURE(renumberOld(1000000));
  const int filter = source->addFilter([&](const std::uint8_t* rec) {
    Value v;
    return source->table().readValue(rec, 3, v).ok() && !isNull(v) && std::get<std::int32_t>(v) == 1;  // RodOper
  });
  ASSERT_TRUE(source->activateFilter(filter, true).ok());
  std::size_t admitted = 0;
  Bytes r;
  source->moveToBegin();
  while (source->next(r).ok()) ++admitted;
  ASSERT_GT(admitted, 0u);
  ASSERT_LT(admitted, 9094u);

  BatchMoveCounts counts;
  ASSERT_TRUE(batchMoveAppend(*source, *destination, {}, counts).ok());
  EXPECT_EQ(counts.moved, admitted);
  EXPECT_EQ(counts.keyViolations + counts.problems, 0u);
  ASSERT_TRUE(activeDb->flush().ok());

  std::unique_ptr<Table> t;
  ASSERT_TRUE(Table::open(localFileSystem(), activeDir.path(), "pay", t).ok());  // every index checked
  EXPECT_EQ(t->recordCount(), 9094u + admitted);
  // The old database is untouched on disk until it is flushed itself.
  ASSERT_TRUE(Table::open(localFileSystem(), oldDir.path(), "pay", t).ok());
  Value first;
  ASSERT_TRUE(t->readValue(std::size_t{0}, 0, first).ok());
  EXPECT_LT(std::get<std::int32_t>(first), 1000000);
}

TEST_F(TwoDatabases, CountLimitedMoveStartsAtTheCurrentRecord) {
  ASSERT_NO_FATAL_FAILURE(renumberOld(2000000));
  Bytes r;
  source->moveToBegin();
  for (int i = 0; i < 10; ++i) ASSERT_TRUE(source->next(r).ok());
  BatchMoveOptions five;
  five.recordCount = 5;
  BatchMoveCounts counts;
  ASSERT_TRUE(batchMoveAppend(*source, *destination, five, counts).ok());
  EXPECT_EQ(counts.moved, 5u);
  EXPECT_EQ(destination->table().recordCount(), 9099u);
}

TEST_F(TwoDatabases, FieldMapAndRefusedParameters) {
  BatchMoveCounts counts;
  EXPECT_EQ(batchMoveAppend(*source, *source, {}, counts).code(), rc::kInvalidParameter);
  ASSERT_NO_FATAL_FAILURE(renumberOld(3000000));
  BatchMoveOptions map;
  map.fieldMap = {1, 0, 0, 0, 0, 0, 0, 0, 10, 0};  // key, and Summa from SummaBY
  ASSERT_TRUE(batchMoveAppend(*source, *destination, map, counts).ok());
  EXPECT_EQ(counts.moved, 9094u);
  Bytes r;
  destination->moveToEnd();
  ASSERT_TRUE(destination->prior(r).ok());
  Value kod;
  ASSERT_TRUE(destination->table().readValue(r.data(), 1, kod).ok());
  EXPECT_TRUE(isNull(kod));
}

}  // namespace
}  // namespace px
