// The fault-injecting file layer: what each kind of fault leaves behind, and
// which operations count, since the crash loops rely on both.
#include "engine/io/fault_injecting_file_system.h"

#include <gtest/gtest.h>

namespace px {
namespace {

const Bytes kOld = {1, 2, 3, 4};
const Bytes kNew = {9, 8, 7, 6, 5, 4, 3, 2};
const Bytes kHalf = {9, 8, 7, 6};

Bytes contents(FileSystem& fs, const char* path) {
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

}  // namespace
}  // namespace px
