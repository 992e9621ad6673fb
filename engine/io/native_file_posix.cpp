// NativeFile on POSIX: a descriptor, pread/pwrite, fsync, rename.
#include "engine/io/native_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>

#include "engine/io/path_text.h"

namespace px {

namespace fs = std::filesystem;

namespace {

Status failure(ResultCode code, const fs::path& path, const std::string& what, int err) {
  return Status(code, pathText(path) + ": " + what + ": " + std::strerror(err));
}

int fd(std::intptr_t handle) { return static_cast<int>(handle); }

}  // namespace

Status NativeFile::open(const fs::path& path, Mode mode, NativeFile& out) {
  if (out.isOpen()) PX_RETURN_IF_ERROR(out.close());
  int flags = O_CLOEXEC;
  switch (mode) {
    case Mode::kRead: flags |= O_RDONLY; break;
    case Mode::kWriteExisting: flags |= O_WRONLY; break;
    case Mode::kCreateOrReplace: flags |= O_WRONLY | O_CREAT | O_TRUNC; break;
  }
  int descriptor;
  do {
    descriptor = ::open(path.c_str(), flags, 0644);
  } while (descriptor < 0 && errno == EINTR);
  if (descriptor < 0) {
    const int err = errno;
    if (mode == Mode::kRead)
      return failure(err == ENOENT || err == ENOTDIR ? rc::kFileNotFound : rc::kReadFailed, path, "cannot open for reading", err);
    return failure(rc::kWriteFailed, path, mode == Mode::kCreateOrReplace ? "cannot create" : "cannot open for writing",
                   err);
  }
  out.path_ = path;
  out.handle_ = descriptor;
  return Status::Ok();
}

Status NativeFile::size(std::uint64_t& bytes) const {
  struct stat st {};
  if (::fstat(fd(handle_), &st) != 0) return failure(rc::kReadFailed, path_, "cannot ask for the size", errno);
  bytes = static_cast<std::uint64_t>(st.st_size);
  return Status::Ok();
}

Status NativeFile::readAt(std::uint64_t offset, std::span<std::uint8_t> into, std::size_t& read) {
  read = 0;
  while (read < into.size()) {
    const ssize_t n = ::pread(fd(handle_), into.data() + read, into.size() - read, static_cast<off_t>(offset + read));
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return failure(rc::kReadFailed, path_, "read failed at " + std::to_string(offset + read), errno);
    if (n == 0) break;  // the end of the file
    read += static_cast<std::size_t>(n);
  }
  return Status::Ok();
}

Status NativeFile::writeSome(std::uint64_t offset, std::span<const std::uint8_t> data, std::size_t& written) {
  written = 0;
  const ssize_t n = ::pwrite(fd(handle_), data.data(), data.size(), static_cast<off_t>(offset));
  if (n < 0 && errno == EINTR) return Status::Ok();
  if (n < 0) {
    const int err = errno;
    return failure(err == ENOSPC || err == EDQUOT ? rc::kDiskFull : rc::kWriteFailed, path_, "write failed", err);
  }
  written = static_cast<std::size_t>(n);
  return Status::Ok();
}

Status NativeFile::sync() {
  if (::fsync(fd(handle_)) != 0) return failure(rc::kWriteFailed, path_, "fsync failed", errno);
  return Status::Ok();
}

Status NativeFile::close() {
  const int descriptor = fd(handle_);
  handle_ = kClosed;
  // After a failed close the descriptor is gone all the same (Linux): never retry.
  if (::close(descriptor) != 0 && errno != EINTR) return failure(rc::kWriteFailed, path_, "close failed", errno);
  return Status::Ok();
}

Status replaceFile(const fs::path& from, const fs::path& to) {
  if (::rename(from.c_str(), to.c_str()) != 0) {
    const int err = errno;
    return Status(rc::kWriteFailed, "cannot rename " + pathText(from) + " to " + pathText(to) + ": " + std::strerror(err));
  }
  return Status::Ok();
}

Status syncDirectoryEntries(const fs::path& dir) {
  const int descriptor = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (descriptor < 0) return failure(rc::kWriteFailed, dir, "cannot open directory", errno);
  const int result = ::fsync(descriptor);
  const int err = errno;
  ::close(descriptor);
  // Some file systems cannot sync a directory (EINVAL); their entries are as
  // durable as they get.
  if (result != 0 && err != EINVAL) return failure(rc::kWriteFailed, dir, "fsync failed", err);
  return Status::Ok();
}

bool isReadOnlyPath(const fs::path& path) {
  // access() also answers for read-only mounts, which permissions do not show.
  return ::access(path.c_str(), W_OK) != 0 && errno != ENOENT;
}

}  // namespace px
