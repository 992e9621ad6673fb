// A file layer for benchmarks: the local files, with the time spent reading
// and writing them added up, so that a benchmark can tell its own work from
// the file system's. Not thread-safe.
#pragma once

#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <vector>

#include "bench/bench_support.h"
#include "engine/io/file_system.h"

namespace bench {

namespace fs = std::filesystem;

// Writing counts each file write with its fsync; replacing counts renames,
// removals and directory syncs, which also wait for the space of replaced
// files to be given back.
class TimedFileSystem : public px::FileSystem {
 public:
  double reading = 0, writing = 0, replacing = 0;
  std::uint64_t bytesWritten = 0;

  px::Status readFile(const fs::path& path, px::Bytes& out) override {
    return timed(reading, [&] { return base_.readFile(path, out); });
  }
  px::Status readRange(const fs::path& path, std::uint64_t offset, std::size_t size, px::Bytes& out) override {
    return timed(reading, [&] { return base_.readRange(path, offset, size, out); });
  }
  px::Status fileSize(const fs::path& path, std::uint64_t& size) override { return base_.fileSize(path, size); }
  px::Status listDirectory(const fs::path& dir, std::vector<std::string>& names) override {
    return base_.listDirectory(dir, names);
  }
  bool isDirectory(const fs::path& path) override { return base_.isDirectory(path); }
  bool exists(const fs::path& path) override { return base_.exists(path); }
  bool isReadOnly(const fs::path& path) override { return base_.isReadOnly(path); }
  px::Status writeFile(const fs::path& path, std::span<const std::uint8_t> data, bool sync) override {
    bytesWritten += data.size();
    return timed(writing, [&] { return base_.writeFile(path, data, sync); });
  }
  px::Status writeRange(const fs::path& path, std::uint64_t offset, std::span<const std::uint8_t> data,
                        bool sync) override {
    bytesWritten += data.size();
    return timed(writing, [&] { return base_.writeRange(path, offset, data, sync); });
  }
  px::Status rename(const fs::path& from, const fs::path& to) override {
    return timed(replacing, [&] { return base_.rename(from, to); });
  }
  px::Status remove(const fs::path& path) override { return timed(replacing, [&] { return base_.remove(path); }); }
  px::Status syncDirectory(const fs::path& dir) override {
    return timed(replacing, [&] { return base_.syncDirectory(dir); });
  }

 private:
  template <typename Operation>
  px::Status timed(double& sum, Operation operation) {
    const auto start = Clock::now();
    px::Status status = operation();
    sum += seconds(start);
    return status;
  }
  px::FileSystem& base_ = px::localFileSystem();
};

}  // namespace bench
