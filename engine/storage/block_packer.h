// Lays records out in fresh blocks, chained in physical order (block 1, 2, ...),
// and produces the bytes of a whole data or index file around a kept header.
#pragma once

#include <cstdint>
#include <vector>

#include "engine/format/value.h"
#include "engine/storage/data_file.h"

namespace px {

struct PackedBlocks {
  Bytes blocks;                 // blockCount * blockSize bytes
  std::vector<BlockRun> runs;   // one per block, in chain order
  std::uint16_t blockCount() const { return static_cast<std::uint16_t>(runs.size()); }
};

// Packs `count` records of `recordSize` bytes, `perBlock` to a block (at most
// the block's capacity). No records: no block at all.
// REQUIRES: the result has at most 65535 blocks (see blockLimitStatus).
PackedBlocks packRecords(const std::uint8_t* records, std::size_t count, std::size_t recordSize,
                         std::uint32_t blockSize, std::size_t perBlock);

// kTableFull when `count` records need more blocks than a file can number.
Status checkBlockLimit(std::size_t count, std::size_t perBlock, const std::string& fileName);

// The whole file: `rawHeader` with its block bookkeeping set for `packed`
// (records, used/file/max blocks, first/last block, no free list), then the blocks.
Bytes assembleFile(const Bytes& rawHeader, const PackedBlocks& packed, std::uint32_t numRecords);

}  // namespace px
