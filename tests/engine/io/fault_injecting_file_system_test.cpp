// The fault-injecting file layer: what each kind of fault leaves behind, and
// which operations count, since the crash loops rely on both.
#include "engine/io/fault_injecting_file_system.h"

#include <gtest/gtest.h>

#include "tests/support/test_support.h"

namespace px {
namespace {

const Bytes kOld = {1, 2, 3, 4};
const Bytes kNew = {9, 8, 7, 6, 5, 4, 3, 2};
const Bytes kHalf = {9, 8, 7, 6};

Bytes contents(FileSystem& fs, const std::filesystem::path& path) {
  Bytes out;
  EXPECT_TRUE(fs.readFile(path, out).ok()) << path;
  return out;
}

TEST(FaultInjectingFileSystem, CountsWriteOperationsOnly) {
  MemoryFileSystem memory;
  memory.addFile("d/a", kOld);
  FaultInjectingFileSystem faulty(memory);
  Bytes out;
  std::vector<std::string> names;
  ASSERT_TRUE(faulty.readFile("d/a", out).ok());
  ASSERT_TRUE(faulty.listDirectory("d", names).ok());
  EXPECT_TRUE(faulty.exists("d/a"));
  EXPECT_EQ(faulty.operations(), 0u);

  ASSERT_TRUE(faulty.writeFile("d/b", kNew, true).ok());
  ASSERT_TRUE(faulty.rename("d/b", "d/a").ok());
  ASSERT_TRUE(faulty.syncDirectory("d").ok());
  ASSERT_TRUE(faulty.remove("d/a").ok());
  EXPECT_EQ(faulty.operations(), 4u);
  ASSERT_EQ(faulty.history().size(), 4u);
  EXPECT_EQ(faulty.history()[1], "rename d/b -> d/a");
  EXPECT_FALSE(memory.exists("d/a"));

  faulty.reset();
  EXPECT_EQ(faulty.operations(), 0u);
  EXPECT_TRUE(faulty.history().empty());
}

TEST(FaultInjectingFileSystem, DieCutsTheWriteAndEverythingAfter) {
  MemoryFileSystem memory;
  memory.addFile("d/a", kOld);
  FaultInjectingFileSystem faulty(memory);
  faulty.failAt(2, Fault::Die);
  ASSERT_TRUE(faulty.writeFile("d/b", kOld, true).ok());
  EXPECT_FALSE(faulty.dead());

  const Status cut = faulty.writeFile("d/a", kNew, true);
  EXPECT_EQ(cut.code(), rc::kWriteFailed);
  EXPECT_NE(cut.message().find("simulated crash"), std::string::npos);
  EXPECT_TRUE(faulty.dead());
  EXPECT_EQ(contents(memory, "d/a"), kHalf);

  // Dead: nothing after the cut reaches the files, but they can still be read.
  EXPECT_EQ(faulty.rename("d/b", "d/c").code(), rc::kWriteFailed);
  EXPECT_EQ(faulty.remove("d/b").code(), rc::kWriteFailed);
  EXPECT_EQ(faulty.writeFile("d/b", kNew, true).code(), rc::kWriteFailed);
  EXPECT_EQ(faulty.syncDirectory("d").code(), rc::kWriteFailed);
  EXPECT_EQ(contents(faulty, "d/b"), kOld);
  EXPECT_FALSE(memory.exists("d/c"));

  faulty.reset();
  EXPECT_FALSE(faulty.dead());
  EXPECT_TRUE(faulty.rename("d/b", "d/c").ok());
}

TEST(FaultInjectingFileSystem, DiskFullAndIOErrorStrikeOnce) {
  MemoryFileSystem memory;
  memory.addFile("d/a", kOld);
  FaultInjectingFileSystem faulty(memory);

  faulty.failAt(1, Fault::DiskFull);
  EXPECT_EQ(faulty.writeFile("d/b", kNew, true).code(), rc::kDiskFull);
  EXPECT_EQ(contents(memory, "d/b"), kHalf);
  EXPECT_TRUE(faulty.writeFile("d/b", kNew, true).ok());
  EXPECT_EQ(contents(memory, "d/b"), kNew);

  faulty.reset();
  faulty.failAt(1, Fault::DiskFull);
  EXPECT_EQ(faulty.rename("d/b", "d/a").code(), rc::kDiskFull);
  EXPECT_EQ(contents(memory, "d/a"), kOld);

  faulty.reset();
  faulty.failAt(2, Fault::IOError);
  EXPECT_TRUE(faulty.syncDirectory("d").ok());
  EXPECT_EQ(faulty.writeFile("d/a", kNew, true).code(), rc::kWriteFailed);
  EXPECT_EQ(contents(memory, "d/a"), kOld);
  faulty.failAt(4, Fault::IOError);
  EXPECT_TRUE(faulty.rename("d/b", "d/c").ok());
  EXPECT_EQ(faulty.remove("d/c").code(), rc::kWriteFailed);
  EXPECT_TRUE(memory.exists("d/c"));
  EXPECT_TRUE(faulty.remove("d/c").ok());
  EXPECT_FALSE(memory.exists("d/c"));
  EXPECT_FALSE(faulty.dead());
}

TEST(FaultInjectingFileSystem, WritesIntoAFileCountAndAreCutLikeWholeWrites) {
  MemoryFileSystem memory;
  memory.addFile("d/a", kNew);
  FaultInjectingFileSystem faulty(memory);
  Bytes out;
  ASSERT_TRUE(faulty.readRange("d/a", 2, 3, out).ok());
  EXPECT_EQ(out, (Bytes{7, 6, 5}));
  EXPECT_EQ(faulty.operations(), 0u);

  // Die: half of the range lands, nothing after it.
  faulty.failAt(1, Fault::Die);
  EXPECT_EQ(faulty.writeRange("d/a", 1, kOld, true).code(), rc::kWriteFailed);
  EXPECT_EQ(contents(memory, "d/a"), (Bytes{9, 1, 2, 6, 5, 4, 3, 2}));
  EXPECT_EQ(faulty.writeRange("d/a", 0, kOld, true).code(), rc::kWriteFailed);
  EXPECT_EQ(faulty.history().at(0), "write-range d/a at 1");

  // A full disk: half of it, then the next one works.
  faulty.reset();
  memory.addFile("d/a", kNew);
  faulty.failAt(1, Fault::DiskFull);
  EXPECT_EQ(faulty.writeRange("d/a", 6, kOld, true).code(), rc::kDiskFull);
  EXPECT_EQ(contents(memory, "d/a"), (Bytes{9, 8, 7, 6, 5, 4, 1, 2}));
  ASSERT_TRUE(faulty.writeRange("d/a", 6, kOld, true).ok());
  EXPECT_EQ(contents(memory, "d/a"), (Bytes{9, 8, 7, 6, 5, 4, 1, 2, 3, 4}));

  // An I/O error: nothing.
  faulty.failAt(3, Fault::IOError);
  EXPECT_EQ(faulty.writeRange("d/a", 0, kOld, true).code(), rc::kWriteFailed);
  EXPECT_EQ(contents(memory, "d/a"), (Bytes{9, 8, 7, 6, 5, 4, 1, 2, 3, 4}));
}

// The real files and the memory ones agree on reading and writing ranges.
TEST(FileSystemRanges, LocalAndMemoryFilesAgree) {
  test::TempDir dir;
  MemoryFileSystem memory;
  for (FileSystem* fs : {static_cast<FileSystem*>(&localFileSystem()), static_cast<FileSystem*>(&memory)}) {
    const std::filesystem::path file = dir.path() / "f.db";
    ASSERT_TRUE(fs->writeFile(file, kNew, true).ok());
    Bytes out;
    ASSERT_TRUE(fs->readRange(file, 6, 10, out).ok());
    EXPECT_EQ(out, (Bytes{3, 2}));
    // A buffer that held more before, as a reader's reused buffer does, holds just the range.
    out.assign(20, 0xEE);
    ASSERT_TRUE(fs->readRange(file, 1, 3, out).ok());
    EXPECT_EQ(out, (Bytes{8, 7, 6}));
    ASSERT_TRUE(fs->readRange(file, 8, 4, out).ok());
    EXPECT_TRUE(out.empty());
    ASSERT_TRUE(fs->writeRange(file, 2, Bytes{0, 0}, false).ok());
    ASSERT_TRUE(fs->writeRange(file, 7, Bytes{1, 1, 1}, true).ok());
    EXPECT_EQ(contents(*fs, file), (Bytes{9, 8, 0, 0, 5, 4, 3, 1, 1, 1}));
    // Only into a file that exists.
    EXPECT_FALSE(fs->writeRange(dir.path() / "none.db", 0, kOld, true).ok());
    EXPECT_FALSE(fs->exists(dir.path() / "none.db"));
    EXPECT_EQ(fs->readRange(dir.path() / "none.db", 0, 4, out).code(), rc::kFileNotFound);
  }
}

}  // namespace
}  // namespace px
