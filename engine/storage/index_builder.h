// Builds index trees (.PX, .Ynn, .YGn) from their leaf entries: leaves in
// blocks, then one level above the other until a single root block, every
// block filled to one entry less than it holds, as the original engine does.
#pragma once

#include <cstdint>
#include <vector>

#include "engine/format/value.h"
#include "engine/storage/data_file.h"
#include "engine/storage/index_tree.h"

namespace px {

struct TreeImage {
  Bytes blocks;                 // all tree blocks, numbered from 1, chained in that order
  std::uint16_t blockCount = 0;
  std::uint16_t root = 1;
  std::uint8_t levels = 0;
  std::uint32_t entries = 0;    // over all levels
};

// Entries per tree block that the builder uses.
std::size_t treeEntriesPerBlock(std::size_t keySize, std::uint32_t blockSize);

// REQUIRES: every leaf key has `keySize` bytes.
Status buildTree(const std::vector<TreeEntry>& leaves, std::size_t keySize, std::uint32_t blockSize,
                 const std::string& fileName, TreeImage& out);

// Leaf entries for records laid out in `runs`: the first record's leading
// `keySize` bytes, the block number and the record count of each non-empty block.
std::vector<TreeEntry> leavesFor(const std::uint8_t* records, std::size_t recordSize,
                                 const std::vector<BlockRun>& runs, std::size_t keySize);

// The same with `recordAt(i)` giving the i-th record.
template <typename RecordAt>
std::vector<TreeEntry> leavesWith(RecordAt recordAt, const std::vector<BlockRun>& runs, std::size_t keySize) {
  std::vector<TreeEntry> leaves;
  leaves.reserve(runs.size());
  for (const BlockRun& run : runs) {
    if (run.count == 0) continue;
    const std::uint8_t* first = recordAt(run.firstRecord);
    leaves.push_back({Bytes(first, first + keySize), run.block, static_cast<std::uint16_t>(run.count)});
  }
  return leaves;
}

// The whole tree file: `rawHeader` with its counts, root and levels set.
Bytes assembleTreeFile(const Bytes& rawHeader, const TreeImage& tree);

}  // namespace px
