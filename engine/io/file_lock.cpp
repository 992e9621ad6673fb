// The parts of FileLock that are the same on every system: ownership, and
// the words for a file held elsewhere.
// file_lock_posix.cpp and file_lock_windows.cpp take and drop the locks.
#include "engine/io/file_lock.h"

#include <utility>

#include "engine/io/path_text.h"

namespace px {

Status FileLock::heldElsewhere(const std::filesystem::path& path) {
  return Status(rc::kFileInUse,
                pathText(path) + ": the file is locked by another program or by another connection of this one");
}

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
