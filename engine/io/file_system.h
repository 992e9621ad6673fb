// The engine's file layer. Everything the engine reads or writes goes through
// a FileSystem, so tests and fuzzers can run it on memory and crash tests can
// put a fault-injecting layer in between.
#pragma once

#include <filesystem>
#include <cstdint>
#include <map>
#include <span>
#include <string>
#include <vector>

#include "engine/format/value.h"
#include "engine/status.h"

namespace px {

class FileSystem {
 public:
  virtual ~FileSystem() = default;

  // Reads the whole file.
  virtual Status readFile(const std::filesystem::path& path, Bytes& out) = 0;
  // Reads up to `size` bytes from `offset` on; fewer (none past the end) where
  // the file ends.
  virtual Status readRange(const std::filesystem::path& path, std::uint64_t offset, std::size_t size, Bytes& out) = 0;
  // The size of a file in bytes. The default reads the whole file; a file
  // layer that can ask the system for the size does so.
  virtual Status fileSize(const std::filesystem::path& path, std::uint64_t& size) {
    Bytes bytes;
    PX_RETURN_IF_ERROR(readFile(path, bytes));
    size = bytes.size();
    return Status::Ok();
  }
  // Names (not paths) of the regular files in a directory.
  virtual Status listDirectory(const std::filesystem::path& dir, std::vector<std::string>& names) = 0;
  virtual bool isDirectory(const std::filesystem::path& path) = 0;
  virtual bool exists(const std::filesystem::path& path) = 0;
  // True when the file (or directory) cannot be written: a read-only medium
  // or missing rights.
  virtual bool isReadOnly(const std::filesystem::path& path) = 0;

  // Creates or truncates the file and writes all of `data`; with `sync`, the
  // bytes are on stable storage when it returns.
  virtual Status writeFile(const std::filesystem::path& path, std::span<const std::uint8_t> data, bool sync) = 0;
  // Writes `data` into the existing file at `offset`, leaving the rest as it
  // is (the file grows when the data runs past its end); with `sync`, the
  // whole file is on stable storage when it returns.
  virtual Status writeRange(const std::filesystem::path& path, std::uint64_t offset, std::span<const std::uint8_t> data,
                            bool sync) = 0;
  // Replaces `to` with `from` in one step (the rename of POSIX).
  virtual Status rename(const std::filesystem::path& from, const std::filesystem::path& to) = 0;
  // Removes a file; removing one that does not exist is not an error.
  virtual Status remove(const std::filesystem::path& path) = 0;
  // Makes the directory's entries (creations, renames, removals) durable.
  virtual Status syncDirectory(const std::filesystem::path& dir) = 0;
};

// The process's real files.
FileSystem& localFileSystem();

// Files held in memory: for tests and fuzzing.
class MemoryFileSystem : public FileSystem {
 public:
  void addFile(const std::filesystem::path& path, Bytes bytes);

  Status readFile(const std::filesystem::path& path, Bytes& out) override;
  Status readRange(const std::filesystem::path& path, std::uint64_t offset, std::size_t size, Bytes& out) override;
  Status fileSize(const std::filesystem::path& path, std::uint64_t& size) override;
  Status listDirectory(const std::filesystem::path& dir, std::vector<std::string>& names) override;
  bool isDirectory(const std::filesystem::path& path) override;
  bool exists(const std::filesystem::path& path) override;
  bool isReadOnly(const std::filesystem::path&) override { return readOnly_; }
  // Makes every file read-only, as a write-protected medium is.
  void setReadOnly(bool readOnly) { readOnly_ = readOnly; }
  Status writeFile(const std::filesystem::path& path, std::span<const std::uint8_t> data, bool sync) override;
  Status writeRange(const std::filesystem::path& path, std::uint64_t offset, std::span<const std::uint8_t> data,
                    bool sync) override;
  Status rename(const std::filesystem::path& from, const std::filesystem::path& to) override;
  Status remove(const std::filesystem::path& path) override;
  Status syncDirectory(const std::filesystem::path& dir) override;

 private:
  std::map<std::filesystem::path, Bytes> files_;
  bool readOnly_ = false;
};

}  // namespace px
