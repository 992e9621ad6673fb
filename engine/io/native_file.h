// One open file of the operating system, as the file layer uses it: reads and
// writes at an offset, the flush to stable storage, and the replacing rename.
// A POSIX descriptor or a Windows handle stands behind the same few calls, so
// local_file_system.cpp holds the engine's I/O logic once for both systems;
// native_file_posix.cpp and native_file_windows.cpp are the two halves that
// call the system. Paths reach the system as they are (wide on Windows).
//
// A NativeFile is movable, not copyable, and closes its file when it goes.
#pragma once

#include <cstdint>
#include <filesystem>
#include <span>

#include "engine/status.h"

namespace px {

class NativeFile {
 public:
  enum class Mode {
    kRead,             // an existing file, for reading; others may read and write it meanwhile
    kWriteExisting,    // an existing file, for writing in place
    kCreateOrReplace,  // created, or emptied when it exists, for writing
  };

  NativeFile() = default;
  ~NativeFile();
  NativeFile(NativeFile&& other) noexcept;
  NativeFile& operator=(NativeFile&& other) noexcept;
  NativeFile(const NativeFile&) = delete;
  NativeFile& operator=(const NativeFile&) = delete;

  // Reading: rc::kFileNotFound when the file does not exist, rc::kReadFailed
  // when it cannot be opened. Writing: rc::kWriteFailed for either.
  static Status open(const std::filesystem::path& path, Mode mode, NativeFile& out);

  // REQUIRES for all below: the file is open.
  Status size(std::uint64_t& bytes) const;
  // Reads from `offset` into `into`; `read` tells how many bytes came, fewer
  // than asked only where the file ends.
  Status readAt(std::uint64_t offset, std::span<std::uint8_t> into, std::size_t& read);
  // Writes all of `data` at `offset` (the file grows when it runs past its
  // end). rc::kDiskFull when the medium is full, else rc::kWriteFailed.
  Status writeAt(std::uint64_t offset, std::span<const std::uint8_t> data);
  // Returns when what was written is on stable storage.
  Status sync();
  // Closes the file and reports what the close found (a late write error).
  Status close();

  bool isOpen() const { return handle_ != kClosed; }

 private:
  static constexpr std::intptr_t kClosed = -1;
  // The system's part of writeAt: writes some of `data`, `written` tells how much.
  Status writeSome(std::uint64_t offset, std::span<const std::uint8_t> data, std::size_t& written);

  std::filesystem::path path_;
  std::intptr_t handle_ = kClosed;  // a descriptor, or a HANDLE's bits
};

// Replaces `to` with `from` in one step. POSIX: rename(). Windows: MoveFileExW
// with MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH, which returns only
// when the rename is on the disk (commit_journal.cpp says why that suffices).
Status replaceFile(const std::filesystem::path& from, const std::filesystem::path& to);

// Makes the directory's entries (creations, renames, removals) durable.
// POSIX: fsync() on the directory. Windows: nothing to do; every rename and
// creation that must last was written through already.
Status syncDirectoryEntries(const std::filesystem::path& dir);

// True when the file (or directory) cannot be written: a read-only medium,
// a read-only file or missing rights. False for a path that does not exist.
bool isReadOnlyPath(const std::filesystem::path& path);

}  // namespace px
