// An exclusive, non-blocking lock on one existing file, held for the lifetime
// of a FileLock. The engine holds these on a table family's files while a
// database is connected for writing, so that no other program (and no second
// connection in this process) opens the tables half-written; the in-use check
// takes and drops one on each foreign lock file.
//
// POSIX: a write lock over the whole file that belongs to the open file, not
// to the process (F_OFD_SETLK; flock() where the system lacks it), so a second
// FileLock in this process conflicts too, and so does the record lock any
// other program takes on the file.
// Windows: the lock is the open file itself and its sharing mode, which the
// system enforces for every program on the machine and, through the server,
// on a share. A lock that lets readers in (the engine's own reads of a table
// it holds) keeps out every program that wants to write and every other
// FileLock; an exclusive one keeps out everybody, and is refused while any
// program holds the file open (and so while any holds a byte-range lock).
//
// A FileLock never creates, truncates or writes its file. Not thread-safe;
// movable, not copyable.
#pragma once

#include <cstdint>
#include <filesystem>

#include "engine/status.h"

namespace px {

class FileLock {
 public:
  enum class Readers {
    kKeptOut,  // nobody else may open the file while it is held
    kLetIn,    // others may open it to read, not to write (the same on POSIX)
  };

  FileLock() = default;
  ~FileLock() { release(); }
  FileLock(FileLock&& other) noexcept;
  FileLock& operator=(FileLock&& other) noexcept;
  FileLock(const FileLock&) = delete;
  FileLock& operator=(const FileLock&) = delete;

  // Locks `path` without waiting. Fails with rc::kFileInUse (naming the file)
  // when another program or another FileLock holds it, rc::kFileNotFound when
  // it does not exist, rc::kReadFailed when it cannot be opened at all.
  // A file that may only be read is locked as far as its access allows.
  // REQUIRES: !held() (release first to lock another file).
  Status acquire(const std::filesystem::path& path, Readers readers = Readers::kKeptOut);
  // Drops the lock and closes the file; harmless when nothing is held.
  void release();

  bool held() const { return handle_ != kNone; }
  const std::filesystem::path& path() const { return path_; }

 private:
  // rc::kFileInUse naming `path`, in the same words on every system.
  static Status heldElsewhere(const std::filesystem::path& path);

  static constexpr std::intptr_t kNone = -1;
  std::filesystem::path path_;
  std::intptr_t handle_ = kNone;  // a descriptor, or a HANDLE's bits
};

}  // namespace px
