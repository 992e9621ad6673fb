// FileLock on Windows: the file opened with a sharing mode that keeps the
// others out.
#include "engine/io/file_lock.h"

#include <windows.h>

#include <string>

#include "engine/io/path_text.h"
#include "engine/io/error_text_windows.h"

namespace px {

namespace fs = std::filesystem;

namespace {

HANDLE openShared(const fs::path& path, DWORD access, DWORD sharing) {
  return CreateFileW(path.c_str(), access, sharing, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
}

}  // namespace

Status FileLock::acquire(const fs::path& path, Readers readers) {
  if (held())
    return Status(rc::kInvalidParameter, pathText(path) + ": lock object already holds " + pathText(path_));
  // Asking for write access makes every other open for writing fail, and
  // sharing nothing but reading makes every other open for writing, and every
  // other FileLock, fail too. A file that may only be read is opened for
  // reading, with the same sharing.
  const DWORD sharing = readers == Readers::kLetIn ? FILE_SHARE_READ : 0;
  HANDLE h = openShared(path, GENERIC_READ | GENERIC_WRITE, sharing);
  if (h == INVALID_HANDLE_VALUE && GetLastError() == ERROR_ACCESS_DENIED) h = openShared(path, GENERIC_READ, sharing);
  if (h == INVALID_HANDLE_VALUE) {
    const DWORD err = GetLastError();
    if (err == ERROR_SHARING_VIOLATION || err == ERROR_LOCK_VIOLATION) return heldElsewhere(path);
    if (err == ERROR_FILE_NOT_FOUND || err == ERROR_PATH_NOT_FOUND)
      return Status(rc::kFileNotFound, pathText(path) + ": the file does not exist");
    return Status(rc::kReadFailed, pathText(path) + ": cannot open the file to lock it: " + windowsErrorText(err));
  }
  handle_ = reinterpret_cast<std::intptr_t>(h);
  path_ = path;
  return Status::Ok();
}

void FileLock::release() {
  if (!held()) return;
  CloseHandle(reinterpret_cast<HANDLE>(handle_));
  handle_ = kNone;
  path_.clear();
}

}  // namespace px
