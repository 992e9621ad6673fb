#include <fstream>
#include <system_error>

#include "engine/io/file_system.h"

namespace px {

namespace fs = std::filesystem;

namespace {

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
};

}  // namespace

FileSystem& localFileSystem() {
  static LocalFileSystem instance;
  return instance;
}

}  // namespace px
