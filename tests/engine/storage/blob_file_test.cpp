// The blob store read a piece at a time: values from the file, from blocks
// changed since it was read and from the new end agree with a plain model,
// in any order of reading, and the changes a commit writes turn the old file
// into the new one.
#include "engine/storage/blob_file.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>

namespace px {
namespace {

Bytes valueOf(std::size_t length, unsigned seed) {
  std::mt19937 rng(seed);
  Bytes bytes(length);
  for (auto& b : bytes) b = static_cast<std::uint8_t>(rng());
  return bytes;
}

TEST(BlobFile, ValuesReadBackFromTheFileTheChangedBlocksAndTheNewEnd) {
  MemoryFileSystem fs;
  const std::filesystem::path path = "t/t.mb";
  BlobFile made;
  made.initialize("t.mb", BlobFile::freshHeaderBlock());
  // Small values share sub-allocated blocks; large ones (some beyond a read
  // piece) have blocks of their own, together far more than one read piece.
  std::vector<std::pair<blob::Descriptor, Bytes>> stored;
  for (unsigned i = 0; i < 160; ++i) {
    const std::size_t length = i % 3 == 0 ? 40 + i : i == 7 ? 300 * 1000 : 2100 + 13 * i;
    stored.emplace_back(made.store(valueOf(length, i)), valueOf(length, i));
  }
  ASSERT_FALSE(made.onDisk());
  ASSERT_TRUE(fs.writeFile(path, made.contents(), true).ok());

  BlobFile store;
  ASSERT_TRUE(store.load(fs, path).ok());
  std::mt19937 rng(3);
  std::vector<std::size_t> order(stored.size());
  for (std::size_t i = 0; i < order.size(); ++i) order[i] = i;
  std::shuffle(order.begin(), order.end(), rng);
  Bytes back;
  for (std::size_t i : order) {
    ASSERT_TRUE(store.read(stored[i].first, back).ok()) << i;
    ASSERT_EQ(back, stored[i].second) << i;
  }

  // Free a small and a large value of the file, store more at the end.
  store.release(stored[3].first);
  store.release(stored[7].first);
  for (unsigned i = 200; i < 230; ++i) {
    const std::size_t length = i % 2 ? 60 : 5000;
    stored.emplace_back(store.store(valueOf(length, i)), valueOf(length, i));
  }
  auto expectAll = [&](const BlobFile& b) {
    for (std::size_t i = 0; i < stored.size(); ++i) {
      const Status s = b.read(stored[i].first, back);
      if (i == 3 || i == 7) {
        EXPECT_EQ(s.code(), rc::kBlobModified) << i;
        continue;
      }
      ASSERT_TRUE(s.ok()) << i << ": " << s.message();
      EXPECT_EQ(back, stored[i].second) << i;
    }
  };
  expectAll(store);

  // The changes, written over the old file, give the store as it now reads.
  std::vector<PatchRange> ranges;
  ASSERT_TRUE(store.changes(ranges).ok());
  ASSERT_EQ(ranges.front().offset, 0u);
  for (std::size_t i = 1; i < ranges.size(); ++i)
    EXPECT_LE(ranges[i - 1].offset + ranges[i - 1].bytes.size(), ranges[i].offset);
  std::uint64_t written = 0;
  for (const PatchRange& r : ranges) {
    ASSERT_TRUE(fs.writeRange(path, r.offset, r.bytes, false).ok());
    written += r.bytes.size();
  }
  EXPECT_LT(written, store.size() / 2) << "only the changes are written";
  std::uint64_t size = 0;
  ASSERT_TRUE(fs.fileSize(path, size).ok());
  EXPECT_EQ(size, store.size());
  store.markSaved(fs, path);
  expectAll(store);
  BlobFile reread;
  ASSERT_TRUE(reread.load(fs, path).ok());
  EXPECT_EQ(reread.modCount(), store.modCount());
  expectAll(reread);
}

}  // namespace
}  // namespace px
