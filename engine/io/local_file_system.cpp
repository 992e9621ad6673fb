#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <system_error>

#if defined(_WIN32)
#include <io.h>
#else
#include <fcntl.h>
#include <unistd.h>
#endif

#include "engine/io/file_system.h"

namespace px {

namespace fs = std::filesystem;

namespace {

// Durability needs the operating system's flush; std::filesystem has none.
// This is the engine's only platform-specific code.
Status writeAll(const fs::path& path, std::span<const std::uint8_t> data, bool sync) {
#if defined(_WIN32)
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  if (!out) return Status(rc::kWriteFailed, path.string() + ": cannot create");
  out.write(reinterpret_cast<const char*>(data.data()), static_cast<std::streamsize>(data.size()));
  out.flush();
  if (!out) return Status(rc::kWriteFailed, path.string() + ": write failed");
  (void)sync;
  return Status::Ok();
#else
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) return Status(rc::kWriteFailed, path.string() + ": cannot create: " + std::strerror(errno));
  std::size_t done = 0;
  while (done < data.size()) {
    const ssize_t n = ::write(fd, data.data() + done, data.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      const int err = errno;
      ::close(fd);
      return Status(err == ENOSPC ? rc::kDiskFull : rc::kWriteFailed,
                    path.string() + ": write failed: " + std::strerror(err));
    }
    done += static_cast<std::size_t>(n);
  }
  if (sync && ::fsync(fd) != 0) {
    const int err = errno;
    ::close(fd);
    return Status(rc::kWriteFailed, path.string() + ": fsync failed: " + std::strerror(err));
  }
  if (::close(fd) != 0) return Status(rc::kWriteFailed, path.string() + ": close failed: " + std::strerror(errno));
  return Status::Ok();
#endif
}

// Writes into an existing file without truncating it.
Status writeAt(const fs::path& path, std::uint64_t offset, std::span<const std::uint8_t> data, bool sync) {
#if defined(_WIN32)
  std::fstream out(path, std::ios::binary | std::ios::in | std::ios::out);
  if (!out) return Status(rc::kWriteFailed, path.string() + ": cannot open for writing");
  out.seekp(static_cast<std::streamoff>(offset));
  out.write(reinterpret_cast<const char*>(data.data()), static_cast<std::streamsize>(data.size()));
  out.flush();
  if (!out) return Status(rc::kWriteFailed, path.string() + ": write failed");
  (void)sync;
  return Status::Ok();
#else
  const int fd = ::open(path.c_str(), O_WRONLY | O_CLOEXEC);
  if (fd < 0) return Status(rc::kWriteFailed, path.string() + ": cannot open for writing: " + std::strerror(errno));
  std::size_t done = 0;
  while (done < data.size()) {
    const ssize_t n = ::pwrite(fd, data.data() + done, data.size() - done, static_cast<off_t>(offset + done));
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      const int err = errno;
      ::close(fd);
      return Status(err == ENOSPC ? rc::kDiskFull : rc::kWriteFailed,
                    path.string() + ": write failed: " + std::strerror(err));
    }
    done += static_cast<std::size_t>(n);
  }
  if (sync && ::fsync(fd) != 0) {
    const int err = errno;
    ::close(fd);
    return Status(rc::kWriteFailed, path.string() + ": fsync failed: " + std::strerror(err));
  }
  if (::close(fd) != 0) return Status(rc::kWriteFailed, path.string() + ": close failed: " + std::strerror(errno));
  return Status::Ok();
#endif
}

Status syncDir(const fs::path& dir) {
#if defined(_WIN32)
  (void)dir;  // directory entries are durable with the file's metadata on NTFS
  return Status::Ok();
#else
  const int fd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return Status(rc::kWriteFailed, dir.string() + ": cannot open directory: " + std::strerror(errno));
  const int rc = ::fsync(fd);
  const int err = errno;
  ::close(fd);
  if (rc != 0 && err != EINVAL) return Status(rc::kWriteFailed, dir.string() + ": fsync failed: " + std::strerror(err));
  return Status::Ok();
#endif
}

class LocalFileSystem : public FileSystem {
 public:
  Status readFile(const fs::path& path, Bytes& out) override {
    std::error_code ec;
    const auto size = fs::file_size(path, ec);
    if (ec) return Status(rc::kFileNotFound, path.string() + ": " + ec.message());
    std::ifstream in(path, std::ios::binary);
    if (!in) return Status(rc::kReadFailed, path.string() + ": cannot open for reading");
    out.resize(static_cast<std::size_t>(size));
    in.read(reinterpret_cast<char*>(out.data()), static_cast<std::streamsize>(size));
    if (static_cast<std::uintmax_t>(in.gcount()) != size)
      return Status(rc::kReadFailed, path.string() + ": read " + std::to_string(in.gcount()) + " of " +
                                         std::to_string(size) + " bytes");
    return Status::Ok();
  }

  Status readRange(const fs::path& path, std::uint64_t offset, std::size_t size, Bytes& out) override {
    std::error_code ec;
    const auto fileSize = fs::file_size(path, ec);
    if (ec) return Status(rc::kFileNotFound, path.string() + ": " + ec.message());
    out.clear();
    if (offset >= fileSize) return Status::Ok();
    const auto wanted = static_cast<std::size_t>(std::min<std::uintmax_t>(size, fileSize - offset));
    std::ifstream in(path, std::ios::binary);
    if (!in) return Status(rc::kReadFailed, path.string() + ": cannot open for reading");
    in.seekg(static_cast<std::streamoff>(offset));
    out.resize(wanted);
    in.read(reinterpret_cast<char*>(out.data()), static_cast<std::streamsize>(wanted));
    if (static_cast<std::size_t>(in.gcount()) != wanted)
      return Status(rc::kReadFailed, path.string() + ": read " + std::to_string(in.gcount()) + " of " +
                                         std::to_string(wanted) + " bytes at " + std::to_string(offset));
    return Status::Ok();
  }

  Status fileSize(const fs::path& path, std::uint64_t& size) override {
    std::error_code ec;
    size = fs::file_size(path, ec);
    if (ec) return Status(rc::kFileNotFound, path.string() + ": " + ec.message());
    return Status::Ok();
  }

  Status listDirectory(const fs::path& dir, std::vector<std::string>& names) override {
    names.clear();
    std::error_code ec;
    fs::directory_iterator it(dir, ec);
    if (ec) return Status(rc::kDirectoryNotFound, dir.string() + ": " + ec.message());
    for (const auto& entry : it) {
      std::error_code typeError;
      if (entry.is_regular_file(typeError)) names.push_back(entry.path().filename().string());
    }
    return Status::Ok();
  }

  bool isDirectory(const fs::path& path) override {
    std::error_code ec;
    return fs::is_directory(path, ec);
  }

  bool exists(const fs::path& path) override {
    std::error_code ec;
    return fs::exists(path, ec);
  }

  bool isReadOnly(const fs::path& path) override {
#if defined(_WIN32)
    std::error_code ec;
    const auto perms = fs::status(path, ec).permissions();
    return !ec && (perms & fs::perms::owner_write) == fs::perms::none;
#else
    // access() also answers for read-only mounts, which permissions do not show.
    return ::access(path.c_str(), W_OK) != 0 && errno != ENOENT;
#endif
  }

  Status writeFile(const fs::path& path, std::span<const std::uint8_t> data, bool sync) override {
    return writeAll(path, data, sync);
  }

  Status writeRange(const fs::path& path, std::uint64_t offset, std::span<const std::uint8_t> data,
                    bool sync) override {
    return writeAt(path, offset, data, sync);
  }

  Status rename(const fs::path& from, const fs::path& to) override {
    std::error_code ec;
    fs::rename(from, to, ec);
    if (ec) return Status(rc::kWriteFailed, "cannot rename " + from.string() + " to " + to.string() + ": " + ec.message());
    return Status::Ok();
  }

  Status remove(const fs::path& path) override {
    std::error_code ec;
    fs::remove(path, ec);
    if (ec) return Status(rc::kWriteFailed, path.string() + ": cannot remove: " + ec.message());
    return Status::Ok();
  }

  Status syncDirectory(const fs::path& dir) override { return syncDir(dir); }
};

}  // namespace

FileSystem& localFileSystem() {
  static LocalFileSystem instance;
  return instance;
}

}  // namespace px
