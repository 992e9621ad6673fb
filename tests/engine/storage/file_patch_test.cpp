// Patches between a file and its new contents: what they carry, when they are
// not made, that applying one to the old file or to any mix of old and new
// stretches gives the new contents, and that malformed ones are refused.
#include "engine/storage/file_patch.h"

#include <gtest/gtest.h>

#include <random>

namespace px {
namespace {

Bytes randomBytes(std::size_t size, unsigned seed) {
  std::mt19937 rng(seed);
  Bytes bytes(size);
  for (auto& b : bytes) b = static_cast<std::uint8_t>(rng());
  return bytes;
}

constexpr std::size_t kUnit = file_patch::kUnit;

struct Patched {
  Bytes patch;
  bool identical = false;
};

Patched patchOf(MemoryFileSystem& fs, const Bytes& old, const Bytes& contents) {
  fs.addFile("t/f.db", old);
  Patched p;
  EXPECT_TRUE(makeFilePatch(fs, "t/f.db", contents, p.patch, p.identical).ok());
  return p;
}

Bytes fileAfter(MemoryFileSystem& fs, const Bytes& patch) {
  EXPECT_TRUE(applyFilePatch(fs, "t/f.db", patch).ok());
  Bytes out;
  EXPECT_TRUE(fs.readFile("t/f.db", out).ok());
  return out;
}

TEST(FilePatch, AGrownFileGetsItsChangedUnitsAndTheTail) {
  MemoryFileSystem fs;
  const Bytes old = randomBytes(300 * 1000, 1);
  Bytes contents = old;
  contents[5] ^= 1;                  // the header
  contents[40 * kUnit + 17] ^= 1;    // one unit in the middle
  const Bytes tail = randomBytes(20000, 2);
  contents.insert(contents.end(), tail.begin(), tail.end());
  const Patched p = patchOf(fs, old, contents);
  ASSERT_FALSE(p.identical);
  ASSERT_FALSE(p.patch.empty());

  std::uint64_t size = 0;
  std::vector<PatchRange> ranges;
  ASSERT_TRUE(readFilePatch(p.patch, size, ranges).ok());
  EXPECT_EQ(size, contents.size());
  ASSERT_EQ(ranges.size(), 3u);
  EXPECT_EQ(ranges[0].offset, 0u);
  EXPECT_EQ(ranges[0].bytes.size(), kUnit);
  EXPECT_EQ(ranges[1].offset, 40 * kUnit);
  // Everything past the old end, which falls inside a unit.
  ASSERT_NE(old.size() % kUnit, 0u);
  EXPECT_EQ(ranges[2].offset, old.size());
  EXPECT_EQ(ranges[2].offset + ranges[2].bytes.size(), contents.size());
  EXPECT_LT(p.patch.size(), 30000u);

  EXPECT_EQ(fileAfter(fs, p.patch), contents);
}

TEST(FilePatch, APatchFinishesAFileItWasPartlyWrittenInto) {
  const Bytes old = randomBytes(200 * 1000, 3);
  Bytes contents = old;
  for (std::size_t unit : {0u, 7u, 8u, 30u}) contents[unit * kUnit + 100] ^= 0xFF;
  contents.resize(contents.size() + 50000, 0xAB);
  MemoryFileSystem fs;
  const Bytes patch = patchOf(fs, old, contents).patch;
  ASSERT_FALSE(patch.empty());
  std::mt19937 rng(4);
  for (int round = 0; round < 50; ++round) {
    // Any stretch of the new contents already in place, the rest still old,
    // with a torn half unit where the cut fell.
    Bytes mixed = old;
    mixed.resize(contents.size(), 0);
    for (std::size_t i = 0; i < contents.size(); i += kUnit) {
      if (rng() % 2) std::copy_n(contents.begin() + static_cast<std::ptrdiff_t>(i),
                                 std::min(kUnit / 2, contents.size() - i), mixed.begin() + static_cast<std::ptrdiff_t>(i));
    }
    mixed.resize(old.size() + rng() % (contents.size() - old.size()));
    fs.addFile("t/f.db", mixed);
    ASSERT_EQ(fileAfter(fs, patch), contents) << "round " << round;
  }
}

TEST(FilePatch, NoPatchWhereItDoesNotPay) {
  MemoryFileSystem fs;
  const Bytes old = randomBytes(400 * 1000, 5);
  // The same contents: nothing to write at all.
  Patched p = patchOf(fs, old, old);
  EXPECT_TRUE(p.identical);
  EXPECT_TRUE(p.patch.empty());
  // Shrinking would need a cut the patch cannot make.
  p = patchOf(fs, old, Bytes(old.begin(), old.end() - 1));
  EXPECT_FALSE(p.identical);
  EXPECT_TRUE(p.patch.empty());
  // More than half changed: the whole file is cheaper.
  Bytes most = old;
  for (std::size_t i = 0; i < most.size() * 6 / 10; i += kUnit) most[i] ^= 1;
  EXPECT_TRUE(patchOf(fs, old, most).patch.empty());
  // A small file is written whole, changed or not.
  const Bytes small = randomBytes(file_patch::kMinimumSize - 1, 6);
  p = patchOf(fs, small, small);
  EXPECT_FALSE(p.identical);
  EXPECT_TRUE(p.patch.empty());
  // No file yet.
  Bytes patch;
  bool identical = true;
  ASSERT_TRUE(makeFilePatch(fs, "t/none.db", old, patch, identical).ok());
  EXPECT_FALSE(identical);
  EXPECT_TRUE(patch.empty());
}

TEST(FilePatch, MalformedPatchesAreCorrupt) {
  MemoryFileSystem fs;
  const Bytes old = randomBytes(100 * 1000, 7);
  Bytes contents = old;
  contents[3 * kUnit] ^= 1;
  contents[9 * kUnit] ^= 1;
  contents.resize(contents.size() + 1000, 1);
  const Bytes patch = patchOf(fs, old, contents).patch;
  ASSERT_FALSE(patch.empty());
  std::uint64_t size = 0;
  std::vector<PatchRange> ranges;
  for (std::size_t n = 0; n < patch.size(); n += 97) {
    EXPECT_EQ(readFilePatch(std::span(patch).first(n), size, ranges).code(), rc::kFileCorrupt) << n << " bytes";
  }
  Bytes trailing = patch;
  trailing.push_back(0);
  EXPECT_EQ(readFilePatch(trailing, size, ranges).code(), rc::kFileCorrupt);
  // The second range (at 9 units) moved back onto the first (at 3).
  Bytes overlapping = patch;
  overlapping[20 + 12 + kUnit] = 3 * kUnit & 0xFF;
  overlapping[20 + 12 + kUnit + 1] = (3 * kUnit) >> 8;
  EXPECT_EQ(readFilePatch(overlapping, size, ranges).code(), rc::kFileCorrupt);
  // A new size that the last range runs past.
  Bytes shortened = patch;
  shortened[8] = 0;
  shortened[9] = 0;
  EXPECT_EQ(readFilePatch(shortened, size, ranges).code(), rc::kFileCorrupt);
  // Nothing is written from a malformed patch.
  EXPECT_EQ(applyFilePatch(fs, "t/f.db", overlapping).code(), rc::kFileCorrupt);
  Bytes after;
  ASSERT_TRUE(fs.readFile("t/f.db", after).ok());
  EXPECT_EQ(after, old);
}

}  // namespace
}  // namespace px
