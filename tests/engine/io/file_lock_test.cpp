// Exclusive locks on our own files: they must keep out a second connection of
// this process as well as other programs, whichever kind of lock those take,
// and must never touch the file's bytes.
#include "engine/io/file_lock.h"

#include <gtest/gtest.h>

#include "tests/engine/io/child_process.h"
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

#if !defined(_WIN32)

TEST(FileLock, RefusedWhileAnotherProcessHoldsALock) {
  test::TempDir dir;
  const fs::path file = makeFile(dir, "patient.db");
  test::LockingChild child;
  ASSERT_TRUE(child.start(file));
  FileLock lock;
  EXPECT_EQ(lock.acquire(file).code(), rc::kFileInUse);
  child.stop();
  EXPECT_TRUE(lock.acquire(file).ok());
}

TEST(FileLock, KeepsOtherProcessesOut) {
  test::TempDir dir;
  const fs::path file = makeFile(dir, "patient.db");
  FileLock lock;
  ASSERT_TRUE(lock.acquire(file).ok());

  // Another copy of this engine.
  EXPECT_EQ(test::runInChild([&] {
              FileLock theirs;
              return theirs.acquire(file).code() == rc::kFileInUse ? 0 : 1;
            }),
            0);
  // Another program taking an ordinary record lock.
  EXPECT_EQ(test::runInChild([&] {
              const int fd = ::open(file.c_str(), O_RDWR);
              struct flock want {};
              want.l_type = F_WRLCK;
              want.l_whence = SEEK_SET;
              return fd >= 0 && ::fcntl(fd, F_SETLK, &want) != 0 ? 0 : 1;
            }),
            0);

  lock.release();
  EXPECT_EQ(test::runInChild([&] {
              FileLock theirs;
              return theirs.acquire(file).ok() ? 0 : 1;
            }),
            0);
}

#endif

}  // namespace
}  // namespace px
