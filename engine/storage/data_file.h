// A file of records in blocks: a table's .DB or a secondary index's .Xnn/.XGn.
// Loading checks the header and walks the block chain from the first block to
// the last, collecting the records in chain order into one contiguous buffer.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
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
  // The same on bytes already in memory; `name` is used in error texts.
  Status parse(Bytes bytes, const std::string& name);

  const std::string& name() const { return name_; }
  const TableHeader& header() const { return header_; }
  // The header bytes as stored (up to headerSize), kept for rewriting.
  const Bytes& rawHeader() const { return rawHeader_; }

  std::size_t recordCount() const { return blocks_.empty() ? 0 : records_.size() / header_.recordSize; }
  const std::uint8_t* record(std::size_t i) const { return records_.data() + i * header_.recordSize; }
  const std::vector<BlockRun>& blocks() const { return blocks_; }
  // Frees the record copy of a file whose records now live elsewhere; the
  // header and the block layout stay.
  void releaseRecords() { Bytes().swap(records_); }

 private:
  Status walkChain(const Bytes& file);

  std::string name_;
  TableHeader header_;
  Bytes rawHeader_;
  Bytes records_;
  std::vector<BlockRun> blocks_;
};

}  // namespace px
