// NativeFile on Windows: a HANDLE from CreateFileW, positioned ReadFile and
// WriteFile, FlushFileBuffers, MoveFileExW.
//
// Sharing: a file read by the engine lets every other access in (the engine's
// own family locks, file_lock.h, hold the files open meanwhile); a file
// written by the engine lets nobody in while it is open, so no other program
// reads a write half done (a commit writes new files beside the tables and
// renames them, and writes a patch into a table only after its commit point,
// when the table's locks are let go).
#include "engine/io/native_file.h"

#include <windows.h>

#include <algorithm>
#include <string>

#include "engine/io/path_text.h"
#include "engine/io/error_text_windows.h"

namespace px {

namespace fs = std::filesystem;

namespace {

// ReadFile and WriteFile count in 32 bits; larger requests go in pieces.
constexpr std::size_t kLargestRequest = 1u << 30;

Status failure(ResultCode code, const fs::path& path, const std::string& what, DWORD err) {
  return Status(code, pathText(path) + ": " + what + ": " + windowsErrorText(err));
}

bool isMissing(DWORD err) { return err == ERROR_FILE_NOT_FOUND || err == ERROR_PATH_NOT_FOUND; }
bool isFull(DWORD err) { return err == ERROR_DISK_FULL || err == ERROR_HANDLE_DISK_FULL; }

HANDLE native(std::intptr_t handle) { return reinterpret_cast<HANDLE>(handle); }

OVERLAPPED at(std::uint64_t offset) {
  OVERLAPPED position{};
  position.Offset = static_cast<DWORD>(offset & 0xFFFFFFFFu);
  position.OffsetHigh = static_cast<DWORD>(offset >> 32);
  return position;
}

}  // namespace

Status NativeFile::open(const fs::path& path, Mode mode, NativeFile& out) {
  if (out.isOpen()) PX_RETURN_IF_ERROR(out.close());
  DWORD access = GENERIC_READ;
  DWORD sharing = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
  DWORD disposition = OPEN_EXISTING;
  if (mode != Mode::kRead) {
    access = GENERIC_WRITE;
    sharing = 0;
    if (mode == Mode::kCreateOrReplace) disposition = CREATE_ALWAYS;
  }
  const HANDLE h = CreateFileW(path.c_str(), access, sharing, nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) {
    const DWORD err = GetLastError();
    if (mode == Mode::kRead)
      return failure(isMissing(err) ? rc::kFileNotFound : rc::kReadFailed, path, "cannot open for reading", err);
    return failure(rc::kWriteFailed, path, mode == Mode::kCreateOrReplace ? "cannot create" : "cannot open for writing",
                   err);
  }
  out.path_ = path;
  out.handle_ = reinterpret_cast<std::intptr_t>(h);
  return Status::Ok();
}

Status NativeFile::size(std::uint64_t& bytes) const {
  LARGE_INTEGER value{};
  if (!GetFileSizeEx(native(handle_), &value)) return failure(rc::kReadFailed, path_, "cannot ask for the size", GetLastError());
  bytes = static_cast<std::uint64_t>(value.QuadPart);
  return Status::Ok();
}

Status NativeFile::readAt(std::uint64_t offset, std::span<std::uint8_t> into, std::size_t& read) {
  read = 0;
  while (read < into.size()) {
    const DWORD want = static_cast<DWORD>(std::min(into.size() - read, kLargestRequest));
    OVERLAPPED position = at(offset + read);
    DWORD got = 0;
    if (!ReadFile(native(handle_), into.data() + read, want, &got, &position)) {
      const DWORD err = GetLastError();
      if (err == ERROR_HANDLE_EOF) break;
      return failure(rc::kReadFailed, path_, "read failed at " + std::to_string(offset + read), err);
    }
    if (got == 0) break;  // the end of the file
    read += got;
  }
  return Status::Ok();
}

Status NativeFile::writeSome(std::uint64_t offset, std::span<const std::uint8_t> data, std::size_t& written) {
  const DWORD want = static_cast<DWORD>(std::min(data.size(), kLargestRequest));
  OVERLAPPED position = at(offset);
  DWORD done = 0;
  if (!WriteFile(native(handle_), data.data(), want, &done, &position)) {
    const DWORD err = GetLastError();
    return failure(isFull(err) ? rc::kDiskFull : rc::kWriteFailed, path_, "write failed", err);
  }
  if (done == 0 && want > 0) return failure(rc::kWriteFailed, path_, "write failed", ERROR_WRITE_FAULT);
  written = done;
  return Status::Ok();
}

Status NativeFile::sync() {
  // Writes the file's data and its metadata (size, times) through the
  // system's cache and the disk's, also on a share (the server flushes).
  if (!FlushFileBuffers(native(handle_))) return failure(rc::kWriteFailed, path_, "flush failed", GetLastError());
  return Status::Ok();
}

Status NativeFile::close() {
  const HANDLE h = native(handle_);
  handle_ = kClosed;
  if (!CloseHandle(h)) return failure(rc::kWriteFailed, path_, "close failed", GetLastError());
  return Status::Ok();
}

Status replaceFile(const fs::path& from, const fs::path& to) {
  // MOVEFILE_WRITE_THROUGH: returns once the rename is on the disk, which is
  // what the directory sync gives on POSIX.
  if (!MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    const DWORD err = GetLastError();
    return Status(isFull(err) ? rc::kDiskFull : rc::kWriteFailed,
                  "cannot rename " + pathText(from) + " to " + pathText(to) + ": " + windowsErrorText(err));
  }
  return Status::Ok();
}

Status syncDirectoryEntries(const fs::path&) {
  // NTFS logs its directory changes with the files' metadata, flushed by
  // FlushFileBuffers; renames are written through. Windows has no call that
  // flushes a directory (a directory handle cannot be flushed without
  // administrator rights), and none is needed.
  return Status::Ok();
}

bool isReadOnlyPath(const fs::path& path) {
  const DWORD attributes = GetFileAttributesW(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return false;
  // The read-only attribute of a directory means nothing to the files in it.
  // A write-protected medium shows in its files' attribute (a CD's file
  // system sets it); one that does not (a stick locked by its switch) makes
  // the commit's first write fail, which changes nothing. The volume's flags
  // are not asked: that reads the device, which Wine cannot do for a drive
  // that maps a Linux directory.
  if (attributes & FILE_ATTRIBUTE_DIRECTORY) return false;
  return (attributes & FILE_ATTRIBUTE_READONLY) != 0;
}

}  // namespace px
