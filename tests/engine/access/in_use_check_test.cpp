// The check that keeps the merge away from a database the clinical
// application has open: held lock files refuse, stale ones do not, and the
// lock files themselves are never touched.
#include "engine/access/in_use_check.h"

#include <gtest/gtest.h>

#include "engine/io/file_lock.h"
#include "tests/support/test_support.h"
#include "tests/support/other_program.h"

namespace px {
namespace {

namespace fs = std::filesystem;

const std::vector<unsigned char> kLockBytes{'N', 'E', 'T', 0, 1, 2, 3, 0xFF};

fs::path makeLockFile(const test::TempDir& dir, const std::string& name) {
  test::writeBytes(dir.path() / name, kLockBytes);
  return dir.path() / name;
}

std::string inUseText(const fs::path& dir, const std::string& lockFile) {
  return "The database in " + dir.string() + " is in use by another program (lock file " + lockFile +
         "). Close the clinical application on every workstation, then try again.";
}

TEST(InUseCheck, StaleLockFilesAreHarmlessAndLeftAsTheyWere) {
  test::TempDir dir;
  EXPECT_TRUE(checkNotInUse(dir.path()).ok());
  EXPECT_TRUE(fs::is_empty(dir.path()));  // no lock file of our own appears

  const std::vector<std::string> names{"PDOXUSRS.LCK", "Paradox.lck", "PATIENT.LCK"};
  for (const auto& name : names) makeLockFile(dir, name);
  const auto stamp = fs::last_write_time(dir.path() / "PDOXUSRS.LCK");

  const Status status = checkNotInUse(dir.path());
  EXPECT_TRUE(status.ok()) << status.message();
  for (const auto& name : names) {
    EXPECT_EQ(test::readBytes(dir.path() / name), kLockBytes) << name;
    FileLock lock;  // the check let go of every lock it took
    EXPECT_TRUE(lock.acquire(dir.path() / name).ok()) << name;
  }
  EXPECT_EQ(fs::last_write_time(dir.path() / "PDOXUSRS.LCK"), stamp);
}

TEST(InUseCheck, HeldTableLockFileRefusesWithTheUsersText) {
  test::TempDir dir;
  makeLockFile(dir, "PDOXUSRS.LCK");  // stale
  const fs::path tableLock = makeLockFile(dir, "Patient.Lck");
  FileLock holder;
  ASSERT_TRUE(holder.acquire(tableLock).ok());

  const Status status = checkNotInUse(dir.path());
  EXPECT_EQ(status.code(), rc::kDatabaseInUse);
  EXPECT_EQ(status.message(), inUseText(dir.path(), "Patient.Lck"));
}

TEST(InUseCheck, MissingDirectory) {
  test::TempDir dir;
  EXPECT_EQ(checkNotInUse(dir.path() / "gone").code(), rc::kDirectoryNotFound);
}

TEST(InUseCheck, LockFileHeldByAnotherProcessRefusesUntilItEnds) {
  test::TempDir dir;
  const fs::path netLock = makeLockFile(dir, "pdoxusrs.lck");
  const fs::path tableLock = makeLockFile(dir, "DATA.LCK");
  FileLock tableHolder;
  ASSERT_TRUE(tableHolder.acquire(tableLock).ok());

  test::OtherProgram application;
  ASSERT_TRUE(application.hold(test::OtherProgram::How::kLock, netLock)) << application.refusal();
  Status status = checkNotInUse(dir.path());
  EXPECT_EQ(status.code(), rc::kDatabaseInUse);
  // Both are held; the directory's own lock file is the one named.
  EXPECT_EQ(status.message(), inUseText(dir.path(), "pdoxusrs.lck"));

  application.end();
  tableHolder.release();
  status = checkNotInUse(dir.path());
  EXPECT_TRUE(status.ok()) << status.message();
  EXPECT_EQ(test::readBytes(netLock), kLockBytes);
}

// The clinical application holds its lock files open while it runs; under
// Windows' sharing rules that alone makes them in use.
TEST(InUseCheck, LockFileOnlyHeldOpenRefusesWhereOpenFilesAreInUse) {
  if (!test::openFilesAreInUse())
    GTEST_SKIP() << "POSIX has no sharing modes: a lock file held open without a lock says nothing";
  test::TempDir dir;
  const fs::path tableLock = makeLockFile(dir, "PATIENT.LCK");
  test::OtherProgram application;
  ASSERT_TRUE(application.hold(test::OtherProgram::How::kOpen, tableLock)) << application.refusal();
  const Status status = checkNotInUse(dir.path());
  EXPECT_EQ(status.code(), rc::kDatabaseInUse);
  EXPECT_EQ(status.message(), inUseText(dir.path(), "PATIENT.LCK"));
  application.end();
  EXPECT_TRUE(checkNotInUse(dir.path()).ok());
  EXPECT_EQ(test::readBytes(tableLock), kLockBytes);
}

}  // namespace
}  // namespace px
