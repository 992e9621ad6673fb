#include "engine/io/file_lock.h"

#include <cerrno>
#include <cstring>
#include <string>
#include <utility>

#if defined(_WIN32)
#ifndef NOMINMAX
#define NOMINMAX
#endif
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>
#endif

namespace px {

namespace fs = std::filesystem;

namespace {

Status inUse(const fs::path& path) {
  return Status(rc::kFileInUse,
                path.string() + ": the file is locked by another program or by another connection of this one");
}

}  // namespace

FileLock::FileLock(FileLock&& other) noexcept : path_(std::move(other.path_)) {
#if defined(_WIN32)
  handle_ = std::exchange(other.handle_, nullptr);
#else
  fd_ = std::exchange(other.fd_, -1);
#endif
  other.path_.clear();
}

FileLock& FileLock::operator=(FileLock&& other) noexcept {
  if (this != &other) {
    release();
    path_ = std::move(other.path_);
    other.path_.clear();
#if defined(_WIN32)
    handle_ = std::exchange(other.handle_, nullptr);
#else
    fd_ = std::exchange(other.fd_, -1);
#endif
  }
  return *this;
}

#if defined(_WIN32)

bool FileLock::held() const { return handle_ != nullptr; }

Status FileLock::acquire(const fs::path& path) {
  if (held()) return Status(rc::kInvalidParameter, path.string() + ": lock object already holds " + path_.string());
  // No sharing: a program that has the file open makes this fail, and while we
  // hold it nobody can open it.
  HANDLE h = CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE && GetLastError() == ERROR_ACCESS_DENIED)
    h = CreateFileW(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) {
    const DWORD err = GetLastError();
    if (err == ERROR_SHARING_VIOLATION || err == ERROR_LOCK_VIOLATION) return inUse(path);
    if (err == ERROR_FILE_NOT_FOUND || err == ERROR_PATH_NOT_FOUND)
      return Status(rc::kFileNotFound, path.string() + ": the file does not exist");
    return Status(rc::kReadFailed, path.string() + ": cannot open the file to lock it (error " +
                                       std::to_string(static_cast<unsigned long>(err)) + ")");
  }
  OVERLAPPED whole{};
  if (!LockFileEx(h, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, MAXDWORD, MAXDWORD, &whole)) {
    CloseHandle(h);
    return inUse(path);
  }
  handle_ = h;
  path_ = path;
  return Status::Ok();
}

void FileLock::release() {
  if (handle_ == nullptr) return;
  OVERLAPPED whole{};
  UnlockFileEx(static_cast<HANDLE>(handle_), 0, MAXDWORD, MAXDWORD, &whole);
  CloseHandle(static_cast<HANDLE>(handle_));
  handle_ = nullptr;
  path_.clear();
}

#else

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

bool FileLock::held() const { return fd_ >= 0; }

Status FileLock::acquire(const fs::path& path) {
  if (held()) return Status(rc::kInvalidParameter, path.string() + ": lock object already holds " + path_.string());
  bool writable = false;
  const int fd = openExisting(path, writable);
  if (fd < 0) {
    const int err = errno;
    if (err == ENOENT || err == ENOTDIR) return Status(rc::kFileNotFound, path.string() + ": the file does not exist");
    return Status(rc::kReadFailed, path.string() + ": cannot open the file to lock it: " + std::strerror(err));
  }

  const Outcome outcome = lockFile(fd, writable);
  if (outcome != Outcome::kLocked) {
    const int err = errno;
    ::close(fd);
    if (outcome == Outcome::kHeldElsewhere) return inUse(path);
    return Status(rc::kSystemOther, path.string() + ": cannot lock the file: " + std::strerror(err));
  }
  fd_ = fd;
  path_ = path;
  return Status::Ok();
}

void FileLock::release() {
  if (fd_ < 0) return;
  ::close(fd_);  // the lock belongs to this open file and ends with it
  fd_ = -1;
  path_.clear();
}

#endif

}  // namespace px
