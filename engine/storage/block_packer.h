// Lays records out in fresh blocks, chained in physical order (block 1, 2, ...),
// and produces the bytes of a whole data or index file around a kept header.
#pragma once

#include <algorithm>
#include <cstdint>
#include <vector>

#include "engine/format/value.h"
#include "engine/storage/data_file.h"

namespace px {

// Block b (0-based) of `blocks` chained in physical order, holding n records.
void writeChainedBlockHeader(std::uint8_t* block, std::size_t b, std::size_t blocks, std::size_t n,
                             std::size_t recordSize);
inline constexpr std::size_t kBlockHeaderBytes = 6;
inline constexpr std::size_t kFixedHeaderBytes = 0x58;

// kTableFull when `count` records need more blocks than a file can number.
Status checkBlockLimit(std::size_t count, std::size_t perBlock, const std::string& fileName);

// Sets the block bookkeeping of a file's header (records, used/file/max
// blocks, first/last block, no free list) for `blocks` blocks chained 1..n.
void setBlockBookkeeping(std::uint8_t* header, std::uint16_t blocks, std::uint32_t numRecords);

// The blocks that packFile lays `count` records out in, `perBlock` to a block
// (the last one holds the rest), before any file is made.
inline std::vector<BlockRun> chainedRuns(std::size_t count, std::size_t perBlock) {
  const std::size_t blocks = count == 0 ? 0 : (count + perBlock - 1) / perBlock;
  std::vector<BlockRun> runs;
  runs.reserve(blocks);
  for (std::size_t b = 0; b < blocks; ++b) {
    const std::size_t first = b * perBlock;
    runs.push_back({static_cast<std::uint16_t>(b + 1), static_cast<std::uint32_t>(first),
                    static_cast<std::uint32_t>(std::min(perBlock, count - first))});
  }
  return runs;
}

// The header of a packed file: `rawHeader` with its bookkeeping set for
// `count` records in `blocks` blocks.
Bytes packedHeader(const Bytes& rawHeader, std::size_t blocks, std::size_t count);

// Block `b` (0-based) of the file that packFile lays out for `count`
// records, `blockSize` bytes at `out`. Only the room after the records is
// zeroed: the header and the records are written over whatever lay there.
template <typename RecordAt>
void packBlockInto(std::uint8_t* out, std::size_t b, std::size_t count, std::size_t recordSize,
                   std::uint32_t blockSize, std::size_t perBlock, RecordAt recordAt) {
  const std::size_t blocks = count == 0 ? 0 : (count + perBlock - 1) / perBlock;
  const std::size_t first = b * perBlock;
  const std::size_t n = std::min(perBlock, count - first);
  writeChainedBlockHeader(out, b, blocks, n, recordSize);
  std::uint8_t* at = out + kBlockHeaderBytes;
  for (std::size_t i = 0; i < n; ++i, at += recordSize) std::copy_n(recordAt(first + i), recordSize, at);
  std::fill(at, out + blockSize, std::uint8_t{0});
}

// Blocks `from` (0-based) to the last of that file, back to back at `out`,
// each `blockSize` bytes.
template <typename RecordAt>
void packBlocksInto(std::uint8_t* out, std::size_t from, std::size_t count, std::size_t recordSize,
                    std::uint32_t blockSize, std::size_t perBlock, RecordAt recordAt) {
  const std::size_t blocks = count == 0 ? 0 : (count + perBlock - 1) / perBlock;
  for (std::size_t b = from; b < blocks; ++b)
    packBlockInto(out + (b - from) * blockSize, b, count, recordSize, blockSize, perBlock, recordAt);
}

// Packs `count` records straight into a whole file behind `rawHeader`;
// `recordAt(i)` gives the i-th record in order. `runs` receives the blocks.
template <typename RecordAt>
Bytes packFile(const Bytes& rawHeader, std::size_t count, std::size_t recordSize, std::uint32_t blockSize,
               std::size_t perBlock, RecordAt recordAt, std::vector<BlockRun>& runs) {
  runs = chainedRuns(count, perBlock);
  Bytes file = packedHeader(rawHeader, runs.size(), count);
  const std::size_t headerSize = file.size();
  file.resize(headerSize + runs.size() * blockSize, 0);
  packBlocksInto(file.data() + headerSize, 0, count, recordSize, blockSize, perBlock, recordAt);
  return file;
}

}  // namespace px
