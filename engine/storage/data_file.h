// A file of records in blocks: a table's .DB or a secondary index's .Xnn/.XGn.
// Loading checks the header and walks the block chain from the first block to
// the last, collecting the records in chain order into one contiguous buffer:
// whole, or only their leading bytes (a writer's keys) read a window at a time.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "engine/format/table_header.h"
#include "engine/format/value.h"
#include "engine/io/file_system.h"
#include "engine/status.h"

namespace px {

// One data block of the chain and the records it held.
struct BlockRun {
  std::uint16_t block = 0;
  std::uint32_t firstRecord = 0;
  std::uint32_t count = 0;
};

class DataFile {
 public:
  Status load(FileSystem& fs, const std::filesystem::path& path);
  // Keeps only the first `keptBytes` of each record (at most the record size,
  // at least its primary key), reading the file a window at a time instead
  // of whole.
  Status loadLeading(FileSystem& fs, const std::filesystem::path& path, std::size_t keptBytes);
  // Reads and checks only the header of a file of records.
  static Status readHeader(FileSystem& fs, const std::filesystem::path& path, TableHeader& out);
  // The same on bytes already in memory; `name` is used in error texts.
  Status parse(Bytes bytes, const std::string& name);

  const std::string& name() const { return name_; }
  const TableHeader& header() const { return header_; }
  // The header bytes as stored (up to headerSize), kept for rewriting.
  const Bytes& rawHeader() const { return rawHeader_; }

  std::size_t recordCount() const { return recordCount_; }
  // The i-th record in chain order; only its kept bytes after loadLeading().
  const std::uint8_t* record(std::size_t i) const { return records_.data() + i * kept_; }
  std::size_t keptBytes() const { return kept_; }
  const std::vector<BlockRun>& blocks() const { return blocks_; }
  // Frees the record copy of a file whose records now live elsewhere; the
  // header and the block layout stay.
  void releaseRecords() { Bytes().swap(records_); }
  // Hands the kept records over (kept bytes of each, back to back).
  Bytes takeRecords() { return std::exchange(records_, Bytes()); }

 private:
  // Gives the bytes of block `n` (1-based), the file's missing tail read as zero.
  using BlockSource = std::function<Status(std::uint16_t n, const std::uint8_t*& bytes)>;
  // Reads the window of the file from `start` on.
  using WindowReader = std::function<Status(std::uint64_t start, Bytes& window)>;
  Status checkHeader(std::span<const std::uint8_t> bytes);
  // Walks the chain over the bytes of `window`, which begin at the start of
  // the file; with `readWindow`, a block that the window does not hold whole
  // starts a new window there.
  Status walkWindows(std::uint64_t fileSize, Bytes& window, const WindowReader& readWindow);
  Status walkChain(std::uint64_t fileSize, const BlockSource& blockAt);

  std::string name_;
  TableHeader header_;
  Bytes rawHeader_;
  Bytes records_;
  std::size_t kept_ = 0;  // bytes kept of each record
  std::size_t recordCount_ = 0;
  std::vector<BlockRun> blocks_;
};

}  // namespace px
