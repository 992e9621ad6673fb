// Records kept only in part and read back whole from the file: against the
// whole-file load of every fixture table, in the chain orders and block
// layouts that the original engine left in them.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>

#include "engine/io/file_system.h"
#include "engine/storage/record_reader.h"
#include "engine/storage/table.h"
#include "tests/support/test_support.h"

namespace px {
namespace {

TEST(RecordReader, LeadingBytesAndRecordsReadBackAreWhatTheWholeFileHolds) {
  FileSystem& fs = localFileSystem();
  std::size_t tables = 0, records = 0;
  for (const auto& path : test::allFixtureTables()) {
    std::unique_ptr<Table> whole;
    if (!Table::open(fs, path.parent_path(), path.filename().string(), whole).ok()) continue;  // refused alike
    const TableHeader& h = whole->header();
    const std::size_t kept = h.recordSize / 2 + 1;
    std::unique_ptr<Table> lean;
    const Status s = Table::open(fs, path.parent_path(), path.filename().string(), kept, lean);
    ASSERT_TRUE(s.ok()) << path << ": " << s.message();
    ASSERT_EQ(lean->recordCount(), whole->recordCount()) << path;
    ASSERT_EQ(lean->data().blocks().size(), whole->data().blocks().size()) << path;
    RecordReader reader(fs, {lean->family().dataFile, h.headerSize, h.blockSize, h.recordSize, lean->data().blocks()});
    const std::size_t n = whole->recordCount();
    // Forwards, then backwards from the end, as the walks that raise keys go.
    for (std::size_t k = 0; k < 2 * n; ++k) {
      const std::size_t i = k < n ? k : 2 * n - 1 - k;
      ASSERT_EQ(std::memcmp(lean->record(i), whole->record(i), kept), 0) << path << ": record " << i;
      ASSERT_EQ(std::memcmp(reader.record(i), whole->record(i), h.recordSize), 0) << path << ": record " << i;
    }
    EXPECT_TRUE(reader.status().ok()) << path << ": " << reader.status().message();
    ++tables;
    records += n;
  }
  EXPECT_GT(tables, 20u);
  EXPECT_GT(records, 1000u);
}

TEST(RecordReader, APlaceOutsideTheChainIsAnErrorNotARecord) {
  const auto path = test::allFixtureTables().front();
  std::unique_ptr<Table> t;
  ASSERT_TRUE(Table::open(localFileSystem(), path.parent_path(), path.filename().string(), 1, t).ok());
  const TableHeader& h = t->header();
  RecordReader reader(localFileSystem(),
                      {t->family().dataFile, h.headerSize, h.blockSize, h.recordSize, t->data().blocks()});
  const std::uint8_t* r = reader.record(t->recordCount());
  EXPECT_EQ(reader.status().code(), rc::kRecordNotFound);
  EXPECT_EQ(std::count(r, r + h.recordSize, 0), static_cast<std::ptrdiff_t>(h.recordSize));
}

}  // namespace
}  // namespace px
