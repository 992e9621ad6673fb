// A FileSystem that passes everything to another one but fails its N-th
// write operation on purpose, so crash tests can cut a commit at every point.
// Not thread-safe; it lives as long as the test that owns it, and the wrapped
// file system must outlive it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "engine/io/file_system.h"

namespace px {

// What happens at the chosen operation.
enum class Fault : std::uint8_t {
  // The process is killed during the operation: a writeFile or writeRange
  // leaves only the first half of its data (not synced), any other operation
  // has no effect.
  // That operation and every later one fail with rc::kWriteFailed and do
  // nothing. Reads still pass through, so a test can inspect what is left.
  Die,
  // The disk runs full: a writeFile or writeRange leaves the first half of
  // its data and returns rc::kDiskFull; any other operation returns rc::kDiskFull without
  // effect. Later operations work.
  DiskFull,
  // The operation returns rc::kWriteFailed without effect. Later ones work.
  IOError,
};

class FaultInjectingFileSystem : public FileSystem {
 public:
  explicit FaultInjectingFileSystem(FileSystem& base) : base_(base) {}

  // Fails the n-th write operation (1-based, counted since the last reset) with
  // `fault`. Write operations are writeFile, writeRange, rename, remove and
  // syncDirectory; reads are not counted. n = 0 injects nothing.
  void failAt(std::uint64_t n, Fault fault);
  // Back to a clean state: count zero, no fault planned, not dead.
  void reset();

  // Write operations seen so far, including failed ones.
  std::uint64_t operations() const { return operations_; }
  // True once a Die fault has struck.
  bool dead() const { return dead_; }
  // One line per write operation ("rename a -> b"), for failure messages.
  const std::vector<std::string>& history() const { return history_; }

  Status readFile(const std::filesystem::path& path, Bytes& out) override;
  Status readRange(const std::filesystem::path& path, std::uint64_t offset, std::size_t size, Bytes& out) override;
  Status fileSize(const std::filesystem::path& path, std::uint64_t& size) override { return base_.fileSize(path, size); }
  Status listDirectory(const std::filesystem::path& dir, std::vector<std::string>& names) override;
  bool isDirectory(const std::filesystem::path& path) override;
  bool exists(const std::filesystem::path& path) override;
  bool isReadOnly(const std::filesystem::path& path) override { return base_.isReadOnly(path); }
  Status writeFile(const std::filesystem::path& path, std::span<const std::uint8_t> data, bool sync) override;
  Status writeRange(const std::filesystem::path& path, std::uint64_t offset, std::span<const std::uint8_t> data,
                    bool sync) override;
  Status rename(const std::filesystem::path& from, const std::filesystem::path& to) override;
  Status remove(const std::filesystem::path& path) override;
  Status syncDirectory(const std::filesystem::path& dir) override;

 private:
  enum class Verdict { Pass, Strike, Dead };
  // Counts one write operation and decides what happens to it.
  Verdict next(std::string description);
  Status crashed(const std::string& what) const;

  FileSystem& base_;
  std::uint64_t operations_ = 0;
  std::uint64_t failAt_ = 0;
  Fault fault_ = Fault::IOError;
  bool dead_ = false;
  std::vector<std::string> history_;
};

}  // namespace px
