// FileLock on POSIX: an open-file-description record lock over the whole file.
#include "engine/io/file_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>

#include "engine/io/path_text.h"

namespace px {

namespace fs = std::filesystem;

namespace {

enum class Outcome { kLocked, kHeldElsewhere, kFailed };

#if defined(F_OFD_SETLK)

// A record lock over the whole file: length 0 reaches past any end, so the
// byte ranges that other programs lock beyond the end are covered too.
Outcome lockFile(int fd, bool writable) {
  // A read-only file can only take a shared lock, which does not see other
  // shared locks; so first ask whether any lock at all is in the way.
  if (!writable) {
    struct flock probe {};
    probe.l_type = F_WRLCK;
    probe.l_whence = SEEK_SET;
    if (::fcntl(fd, F_OFD_GETLK, &probe) != 0) return Outcome::kFailed;
    if (probe.l_type != F_UNLCK) return Outcome::kHeldElsewhere;
  }
  struct flock lock {};
  lock.l_type = writable ? F_WRLCK : F_RDLCK;
  lock.l_whence = SEEK_SET;
  for (;;) {
    if (::fcntl(fd, F_OFD_SETLK, &lock) == 0) return Outcome::kLocked;
    if (errno == EINTR) continue;
    return (errno == EAGAIN || errno == EACCES) ? Outcome::kHeldElsewhere : Outcome::kFailed;
  }
}

#else

// Without open-file-description locks, flock() is the lock that belongs to the
// open file (a process-owned record lock would vanish when any descriptor of
// the file closes); record locks of other processes are still looked for.
Outcome lockFile(int fd, bool writable) {
  (void)writable;
  struct flock probe {};
  probe.l_type = F_WRLCK;
  probe.l_whence = SEEK_SET;
  if (::fcntl(fd, F_GETLK, &probe) == 0 && probe.l_type != F_UNLCK) return Outcome::kHeldElsewhere;
  for (;;) {
    if (::flock(fd, LOCK_EX | LOCK_NB) == 0) return Outcome::kLocked;
    if (errno == EINTR) continue;
    return errno == EWOULDBLOCK ? Outcome::kHeldElsewhere : Outcome::kFailed;
  }
}

#endif

int openExisting(const fs::path& path, bool& writable) {
  writable = true;
  int fd = ::open(path.c_str(), O_RDWR | O_CLOEXEC | O_NOCTTY);
  if (fd < 0 && (errno == EACCES || errno == EROFS || errno == EPERM)) {
    writable = false;
    fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY);
  }
  return fd;
}

}  // namespace

// Record locks are advisory: readers are let in whatever `readers` says.
Status FileLock::acquire(const fs::path& path, Readers) {
  if (held())
    return Status(rc::kInvalidParameter, pathText(path) + ": lock object already holds " + pathText(path_));
  bool writable = false;
  const int fd = openExisting(path, writable);
  if (fd < 0) {
    const int err = errno;
    if (err == ENOENT || err == ENOTDIR) return Status(rc::kFileNotFound, pathText(path) + ": the file does not exist");
    return Status(rc::kReadFailed, pathText(path) + ": cannot open the file to lock it: " + std::strerror(err));
  }

  const Outcome outcome = lockFile(fd, writable);
  if (outcome != Outcome::kLocked) {
    const int err = errno;
    ::close(fd);
    if (outcome == Outcome::kHeldElsewhere) return heldElsewhere(path);
    return Status(rc::kSystemOther, pathText(path) + ": cannot lock the file: " + std::strerror(err));
  }
  handle_ = fd;
  path_ = path;
  return Status::Ok();
}

void FileLock::release() {
  if (!held()) return;
  ::close(static_cast<int>(handle_));  // the lock belongs to this open file and ends with it
  handle_ = kNone;
  path_.clear();
}

}  // namespace px
