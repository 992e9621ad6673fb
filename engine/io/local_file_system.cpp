// The process's real files, through NativeFile: the same logic on POSIX and
// on Windows. Reads open the file for each call and close it again, so the
// engine never holds a table file open longer than a read; writes go through
// the one write loop of NativeFile::writeAt.
#include <algorithm>
#include <system_error>

#include "engine/io/file_system.h"
#include "engine/io/native_file.h"
#include "engine/io/path_text.h"

namespace px {

namespace fs = std::filesystem;

namespace {

// Resizing keeps what the buffer already holds, so a buffer that a caller
// reads piece after piece into is not zeroed again before each read.
Status readAll(NativeFile& file, const fs::path& path, std::uint64_t offset, std::size_t wanted, Bytes& out) {
  out.resize(wanted);
  std::size_t read = 0;
  PX_RETURN_IF_ERROR(file.readAt(offset, out, read));
  if (read != wanted)
    return Status(rc::kReadFailed, pathText(path) + ": read " + std::to_string(read) + " of " + std::to_string(wanted) +
                                       " bytes at " + std::to_string(offset));
  return Status::Ok();
}

// Writes `data` at `offset`; `mode` says whether the file is made anew. The
// file is synced before it is closed when `sync` asks for stable storage.
Status writeOut(const fs::path& path, NativeFile::Mode mode, std::uint64_t offset, std::span<const std::uint8_t> data,
                bool sync) {
  NativeFile file;
  PX_RETURN_IF_ERROR(NativeFile::open(path, mode, file));
  PX_RETURN_IF_ERROR(file.writeAt(offset, data));
  if (sync) PX_RETURN_IF_ERROR(file.sync());
  return file.close();
}

class LocalFileSystem : public FileSystem {
 public:
  Status readFile(const fs::path& path, Bytes& out) override {
    NativeFile file;
    PX_RETURN_IF_ERROR(NativeFile::open(path, NativeFile::Mode::kRead, file));
    std::uint64_t size = 0;
    PX_RETURN_IF_ERROR(file.size(size));
    return readAll(file, path, 0, static_cast<std::size_t>(size), out);
  }

  Status readRange(const fs::path& path, std::uint64_t offset, std::size_t size, Bytes& out) override {
    NativeFile file;
    PX_RETURN_IF_ERROR(NativeFile::open(path, NativeFile::Mode::kRead, file));
    std::uint64_t fileSize = 0;
    PX_RETURN_IF_ERROR(file.size(fileSize));
    if (offset >= fileSize) {
      out.clear();
      return Status::Ok();
    }
    const auto wanted = static_cast<std::size_t>(std::min<std::uint64_t>(size, fileSize - offset));
    return readAll(file, path, offset, wanted, out);
  }

  Status fileSize(const fs::path& path, std::uint64_t& size) override {
    std::error_code ec;
    size = fs::file_size(path, ec);
    if (ec) return Status(rc::kFileNotFound, pathText(path) + ": " + ec.message());
    return Status::Ok();
  }

  Status listDirectory(const fs::path& dir, std::vector<std::string>& names) override {
    names.clear();
    std::error_code ec;
    fs::directory_iterator it(dir, ec);
    if (ec) return Status(rc::kDirectoryNotFound, pathText(dir) + ": " + ec.message());
    for (; it != fs::directory_iterator(); it.increment(ec)) {
      std::error_code typeError;
      if (it->is_regular_file(typeError)) names.push_back(pathText(it->path().filename()));
    }
    if (ec) return Status(rc::kReadFailed, pathText(dir) + ": cannot list the directory: " + ec.message());
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

  bool isReadOnly(const fs::path& path) override { return isReadOnlyPath(path); }

  Status writeFile(const fs::path& path, std::span<const std::uint8_t> data, bool sync) override {
    return writeOut(path, NativeFile::Mode::kCreateOrReplace, 0, data, sync);
  }

  Status writeRange(const fs::path& path, std::uint64_t offset, std::span<const std::uint8_t> data,
                    bool sync) override {
    return writeOut(path, NativeFile::Mode::kWriteExisting, offset, data, sync);
  }

  Status rename(const fs::path& from, const fs::path& to) override { return replaceFile(from, to); }

  Status remove(const fs::path& path) override {
    std::error_code ec;
    fs::remove(path, ec);
    if (ec) return Status(rc::kWriteFailed, pathText(path) + ": cannot remove: " + ec.message());
    return Status::Ok();
  }

  Status syncDirectory(const fs::path& dir) override { return syncDirectoryEntries(dir); }
};

}  // namespace

FileSystem& localFileSystem() {
  static LocalFileSystem instance;
  return instance;
}

}  // namespace px
