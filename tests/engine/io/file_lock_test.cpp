// Exclusive locks on our own files: they must keep out a second connection of
// this process as well as other programs, whichever kind of lock those take,
// and must never touch the file's bytes.
#include "engine/io/file_lock.h"

#include <gtest/gtest.h>

#include "tests/support/other_program.h"
#include "tests/support/test_support.h"

namespace px {
namespace {

namespace fs = std::filesystem;

fs::path makeFile(const test::TempDir& dir, const std::string& name, const std::string& content = "family bytes") {
  const fs::path path = dir.path() / name;
  test::writeBytes(path, std::vector<unsigned char>(content.begin(), content.end()));
  return path;
}

TEST(FileLock, SecondLockInThisProcessIsRefusedUntilTheFirstIsReleased) {
  test::TempDir dir;
  const fs::path file = makeFile(dir, "patient.db");

  FileLock first;
  ASSERT_TRUE(first.acquire(file).ok());
  EXPECT_TRUE(first.held());

  FileLock second;
  const Status refused = second.acquire(file);
  EXPECT_EQ(refused.code(), rc::kFileInUse);
  EXPECT_NE(refused.message().find(file.string()), std::string::npos) << refused.message();
  EXPECT_FALSE(second.held());

  first.release();
  EXPECT_FALSE(first.held());
  EXPECT_TRUE(second.acquire(file).ok());
}

TEST(FileLock, LockEndsWithTheObjectAndMovesWithIt) {
  test::TempDir dir;
  const fs::path file = makeFile(dir, "session.db");
  {
    FileLock scoped;
    ASSERT_TRUE(scoped.acquire(file).ok());
  }
  FileLock moved;
  {
    FileLock original;
    ASSERT_TRUE(original.acquire(file).ok());
    moved = std::move(original);
    EXPECT_FALSE(original.held());
  }  // the moved-from object goes; the lock must stay with `moved`
  EXPECT_TRUE(moved.held());
  EXPECT_EQ(moved.path(), file);
  FileLock other;
  EXPECT_EQ(other.acquire(file).code(), rc::kFileInUse);
}

TEST(FileLock, NeverCreatesOrChangesTheFile) {
  test::TempDir dir;
  FileLock lock;
  EXPECT_EQ(lock.acquire(dir.path() / "missing.db").code(), rc::kFileNotFound);
  EXPECT_FALSE(fs::exists(dir.path() / "missing.db"));

  const fs::path file = makeFile(dir, "data.db", "0123456789");
  const auto before = fs::last_write_time(file);
  ASSERT_TRUE(lock.acquire(file).ok());
  lock.release();
  EXPECT_EQ(test::readBytes(file), (std::vector<unsigned char>{'0', '1', '2', '3', '4', '5', '6', '7', '8', '9'}));
  EXPECT_EQ(fs::last_write_time(file), before);
}

TEST(FileLock, AcquiringTwiceWithoutReleaseIsRefused) {
  test::TempDir dir;
  const fs::path a = makeFile(dir, "a.db");
  const fs::path b = makeFile(dir, "b.db");
  FileLock lock;
  ASSERT_TRUE(lock.acquire(a).ok());
  EXPECT_EQ(lock.acquire(b).code(), rc::kInvalidParameter);
  EXPECT_EQ(lock.path(), a);  // still holds the first
  FileLock other;
  EXPECT_TRUE(other.acquire(b).ok());
}

TEST(FileLock, RefusedWhileAnotherProcessHoldsALock) {
  test::TempDir dir;
  const fs::path file = makeFile(dir, "patient.db");
  test::OtherProgram other;
  ASSERT_TRUE(other.hold(test::OtherProgram::How::kLock, file)) << other.refusal();
  FileLock lock;
  EXPECT_EQ(lock.acquire(file).code(), rc::kFileInUse);
  EXPECT_EQ(lock.acquire(file, FileLock::Readers::kLetIn).code(), rc::kFileInUse);
  other.end();
  EXPECT_TRUE(lock.acquire(file).ok());
}

TEST(FileLock, ExclusiveLockIsRefusedWhileAnotherProcessHoldsTheFileOpen) {
  if (!test::openFilesAreInUse())
    GTEST_SKIP() << "POSIX has no sharing modes: a file only held open, without a lock, is in use to nobody";
  test::TempDir dir;
  const fs::path file = makeFile(dir, "pdoxusrs.lck");
  test::OtherProgram other;
  ASSERT_TRUE(other.hold(test::OtherProgram::How::kOpen, file)) << other.refusal();
  FileLock lock;
  const Status refused = lock.acquire(file);
  EXPECT_EQ(refused.code(), rc::kFileInUse) << refused.message();
  other.end();
  EXPECT_TRUE(lock.acquire(file).ok());
}

TEST(FileLock, KeepsOtherWritersOutAndLetsReadersInWhenAsked) {
  using How = test::OtherProgram::How;
  test::TempDir dir;
  const fs::path file = makeFile(dir, "patient.db");
  FileLock lock;
  ASSERT_TRUE(lock.acquire(file, FileLock::Readers::kLetIn).ok());
  {
    test::OtherProgram engine;  // another copy of this engine
    EXPECT_FALSE(engine.hold(How::kEngine, file));
    EXPECT_NE(engine.refusal().find("locked by another program"), std::string::npos) << engine.refusal();
  }
  {
    test::OtherProgram writer;  // another program that locks to write
    EXPECT_FALSE(writer.hold(How::kLock, file));
  }
  {
    test::OtherProgram reader;
    EXPECT_TRUE(reader.hold(How::kRead, file)) << reader.refusal();
  }
  lock.release();
  ASSERT_TRUE(lock.acquire(file).ok());
  if (test::openFilesAreInUse()) {
    test::OtherProgram reader;  // an exclusive lock keeps readers out too
    EXPECT_FALSE(reader.hold(How::kRead, file));
  }
  lock.release();
  test::OtherProgram engine;
  EXPECT_TRUE(engine.hold(How::kEngine, file)) << engine.refusal();
}

}  // namespace
}  // namespace px
