// The parts of FileLock that are the same on every system: ownership.
// file_lock_posix.cpp and file_lock_windows.cpp take and drop the locks.
#include "engine/io/file_lock.h"

#include <utility>

namespace px {

FileLock::FileLock(FileLock&& other) noexcept
    : path_(std::move(other.path_)), handle_(std::exchange(other.handle_, kNone)) {
  other.path_.clear();
}

FileLock& FileLock::operator=(FileLock&& other) noexcept {
  if (this != &other) {
    release();
    path_ = std::move(other.path_);
    other.path_.clear();
    handle_ = std::exchange(other.handle_, kNone);
  }
  return *this;
}

}  // namespace px
