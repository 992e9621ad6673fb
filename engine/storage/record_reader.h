// Reads the records of a .DB by their place in the block chain, a window of
// blocks at a time, keeping the last few windows: a writer's records that it
// holds only as keys are read back whole through it when they are asked for.
// Not thread-safe. The file system must outlive the reader.
#pragma once

#include <cstdint>
#include <filesystem>
#include <utility>
#include <vector>

#include "engine/format/value.h"
#include "engine/io/file_system.h"
#include "engine/status.h"
#include "engine/storage/data_file.h"

namespace px {

class RecordReader {
 public:
  // Where the records lie: the file, its header and block sizes, and the
  // blocks of the chain with the records each holds.
  struct Layout {
    std::filesystem::path path;
    std::uint32_t headerSize = 0;
    std::uint32_t blockSize = 0;
    std::uint32_t recordSize = 0;
    std::vector<BlockRun> runs;
  };

  RecordReader() = default;
  RecordReader(FileSystem& fs, Layout layout);

  // The record at `place` in chain order. The bytes stay valid until a few
  // other windows have been read. A failed read gives a blank record and
  // leaves its error in status().
  const std::uint8_t* record(std::size_t place);
  // The first error a read met, or Ok. After one, every read gives a blank record.
  const Status& status() const { return status_; }
  // The file can no longer be read from (it was left half written): reads
  // fail with `why` from now on.
  void fail(Status why) {
    if (status_.ok()) status_ = std::move(why);
  }
  // The file was written anew with its records in `runs`: what was read of
  // it is forgotten.
  void moveTo(std::vector<BlockRun> runs);

 private:
  struct Window {
    std::uint64_t first = 0;  // the first block it holds, 0-based
    std::uint64_t used = 0;   // when it was last used; 0: empty
    Bytes bytes;
  };
  Window& windowFor(std::uint64_t block);

  FileSystem* fs_ = nullptr;
  Layout layout_;
  std::size_t blocksPerWindow_ = 1;
  std::vector<Window> windows_;
  std::uint64_t clock_ = 0;
  Bytes blank_;
  Status status_;
};

}  // namespace px
