#include "engine/storage/index_builder.h"

#include <cstring>

#include "engine/format/block_format.h"
#include "engine/format/byte_order.h"
#include "engine/format/header_format.h"
#include "engine/format/index_format.h"

namespace px {

std::size_t treeEntriesPerBlock(std::size_t keySize, std::uint32_t blockSize) {
  // The original engine never fills a tree block to its last entry.
  const std::size_t capacity = block::capacity(blockSize, keySize + index::kTrailerSize);
  return capacity > 2 ? capacity - 1 : capacity;
}

std::vector<TreeEntry> leavesFor(const std::uint8_t* records, std::size_t recordSize,
                                 const std::vector<BlockRun>& runs, std::size_t keySize) {
  return leavesWith([&](std::size_t i) { return records + i * recordSize; }, runs, keySize);
}

Status buildTree(const std::vector<TreeEntry>& leaves, std::size_t keySize, std::uint32_t blockSize,
                 const std::string& fileName, TreeImage& out) {
  out = TreeImage{};
  if (leaves.empty()) return Status::Ok();
  const std::size_t entrySize = keySize + index::kTrailerSize;
  const std::size_t perBlock = treeEntriesPerBlock(keySize, blockSize);
  if (perBlock < 2) return Status(rc::kRecordTooLarge, fileName + ": index key too long for its block size");

  std::vector<TreeEntry> level = leaves;
  std::size_t nextBlock = 1;
  while (true) {
    const std::size_t blocks = (level.size() + perBlock - 1) / perBlock;
    if (nextBlock - 1 + blocks > 0xFFFF) return Status(rc::kTableFull, fileName + ": index needs too many blocks");
    out.blocks.resize((nextBlock - 1 + blocks) * blockSize, 0);
    std::vector<TreeEntry> above;
    for (std::size_t b = 0; b < blocks; ++b) {
      const std::size_t first = b * perBlock;
      const std::size_t n = std::min(perBlock, level.size() - first);
      std::uint8_t* block = out.blocks.data() + (nextBlock - 1 + b) * blockSize;
      std::uint32_t sum = 0;
      for (std::size_t i = 0; i < n; ++i) {
        const TreeEntry& e = level[first + i];
        std::uint8_t* p = block + block::kHeaderSize + i * entrySize;
        std::memcpy(p, e.key.data(), keySize);
        index::encodeTreeWord(p + keySize + index::kTrailerBlock, e.block);
        index::encodeTreeWord(p + keySize + index::kTrailerCount, e.count);
        index::encodeTreeWord(p + keySize + index::kTrailerUnused, 0);
        sum += e.count;
      }
      block::BlockHeader h;
      h.addDataSize = block::addDataSizeFor(n, entrySize);
      encodeBlockHeader(block, h);
      // The count is a 16-bit word; above 65,535 records below one entry it
      // wraps, as a 16-bit sum does (no table in the samples is that large).
      above.push_back({level[first].key, static_cast<std::uint16_t>(nextBlock + b), static_cast<std::uint16_t>(sum & 0xFFFF)});
    }
    out.entries += static_cast<std::uint32_t>(level.size());
    ++out.levels;
    nextBlock += blocks;
    if (blocks == 1) {
      out.root = static_cast<std::uint16_t>(nextBlock - 1);
      break;
    }
    level = std::move(above);
  }
  out.blockCount = static_cast<std::uint16_t>(nextBlock - 1);
  // Chain every block in physical order.
  for (std::uint16_t b = 1; b <= out.blockCount; ++b) {
    std::uint8_t* block = out.blocks.data() + static_cast<std::size_t>(b - 1) * blockSize;
    putLe16(block + block::kNextBlock, b < out.blockCount ? static_cast<std::uint16_t>(b + 1) : 0);
    putLe16(block + block::kPrevBlock, static_cast<std::uint16_t>(b - 1));
  }
  return Status::Ok();
}

Bytes assembleTreeFile(const Bytes& rawHeader, const TreeImage& tree) {
  Bytes file(rawHeader.begin(), rawHeader.end());
  if (file.size() < header::kFixedPartEnd) return file;  // not a header: nothing to set
  std::uint8_t* h = file.data();
  putLe32(h + header::kNumRecords, tree.entries);
  putLe16(h + header::kUsedBlocks, tree.blockCount);
  putLe16(h + header::kFileBlocks, tree.blockCount);
  putLe16(h + header::kMaxBlocks, tree.blockCount);
  putLe16(h + header::kFirstBlock, tree.blockCount ? 1 : 0);
  putLe16(h + header::kLastBlock, tree.blockCount);
  putLe16(h + header::kFirstFreeBlock, 0);
  putLe16(h + header::kIndexRoot, tree.root);
  h[header::kIndexLevels] = tree.levels;
  h[header::kModifiedFlags1] = 0;
  h[header::kModifiedFlags2] = 0;
  h[header::kIndexUpdateRequired] = 0;
  file.insert(file.end(), tree.blocks.begin(), tree.blocks.end());
  return file;
}

}  // namespace px
