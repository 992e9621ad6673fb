#include "engine/storage/data_file.h"

#include <algorithm>
#include <cstring>

#include "engine/format/block_format.h"

namespace px {

Status DataFile::load(FileSystem& fs, const std::filesystem::path& path) {
  Bytes bytes;
  PX_RETURN_IF_ERROR(fs.readFile(path, bytes));
  return parse(std::move(bytes), path.filename().string());
}

Status DataFile::parse(Bytes bytes, const std::string& name) {
  name_ = name;
  records_.clear();
  blocks_.clear();
  PX_RETURN_IF_ERROR(decodeTableHeader(bytes, name_, header_));
  if (!header_.isDataFile())
    return Status(rc::kFileCorrupt, name_ + ": is an index tree, not a file of records");
  rawHeader_.assign(bytes.begin(), bytes.begin() + header_.headerSize);
  if (header_.encrypted)
    return Status(rc::kEncrypted, name_ + ": the table is encrypted; encrypted tables cannot be read");
  return walkChain(bytes);
}

Status DataFile::walkChain(const Bytes& file) {
  const TableHeader& h = header_;
  auto corrupt = [&](const std::string& what) {
    return Status(rc::kBlockChainCorrupt, name_ + ": corrupt block chain: " + what);
  };
  if (h.firstBlock == 0) {
    if (h.numRecords != 0 || h.usedBlocks != 0)
      return corrupt("no first block, but " + std::to_string(h.numRecords) + " records in " +
                     std::to_string(h.usedBlocks) + " blocks");
    return Status::Ok();
  }
  // Files of the DOS engine may end inside their last block; the missing tail reads as zero.
  const std::size_t blocksInFile = (file.size() - h.headerSize + h.blockSize - 1) / h.blockSize;
  const std::size_t capacity = block::capacity(h.blockSize, h.recordSize);
  if (h.numRecords > static_cast<std::uint64_t>(h.usedBlocks) * capacity)
    return corrupt(std::to_string(h.numRecords) + " records cannot fit " + std::to_string(h.usedBlocks) + " blocks");
  // Sized by what the file can hold, never by the header's claim alone.
  records_.reserve(std::min<std::size_t>(h.numRecords, blocksInFile * capacity) * h.recordSize);
  std::vector<bool> seen(blocksInFile + 1, false);
  Bytes scratch(h.blockSize);
  std::uint16_t current = h.firstBlock;
  std::uint16_t previous = 0;
  std::uint32_t total = 0;
  while (current != 0) {
    if (current > blocksInFile)
      return corrupt("block " + std::to_string(current) + " lies beyond the end of the file (" +
                     std::to_string(blocksInFile) + " blocks)");
    if (seen[current]) return corrupt("block " + std::to_string(current) + " appears twice in the chain");
    if (blocks_.size() >= h.usedBlocks)
      return corrupt("the chain is longer than the " + std::to_string(h.usedBlocks) + " blocks in use");
    seen[current] = true;
    const std::size_t start = h.headerSize + static_cast<std::size_t>(current - 1) * h.blockSize;
    const std::size_t present = std::min<std::size_t>(h.blockSize, file.size() - start);
    const std::uint8_t* blockBytes = file.data() + start;
    if (present < h.blockSize) {
      std::memset(scratch.data(), 0, scratch.size());
      std::memcpy(scratch.data(), blockBytes, present);
      blockBytes = scratch.data();
    }
    const block::BlockHeader bh = block::decodeBlockHeader(blockBytes);
    if (bh.prev != previous)
      return corrupt("block " + std::to_string(current) + " links back to " + std::to_string(bh.prev) +
                     " instead of " + std::to_string(previous));
    const long add = bh.addDataSize;
    if (add < -static_cast<long>(h.recordSize) || (add + h.recordSize) % h.recordSize != 0)
      return corrupt("block " + std::to_string(current) + " has a record offset of " + std::to_string(add));
    const std::size_t count = static_cast<std::size_t>((add + h.recordSize) / h.recordSize);
    if (count > capacity)
      return corrupt("block " + std::to_string(current) + " claims " + std::to_string(count) +
                     " records, more than the " + std::to_string(capacity) + " that fit");
    if (total + count > h.numRecords)
      return corrupt("the blocks hold more records than the " + std::to_string(h.numRecords) + " of the header");
    blocks_.push_back({current, total, static_cast<std::uint32_t>(count)});
    records_.insert(records_.end(), blockBytes + block::kHeaderSize,
                    blockBytes + block::kHeaderSize + count * h.recordSize);
    total += static_cast<std::uint32_t>(count);
    previous = current;
    current = bh.next;
  }
  if (blocks_.size() != h.usedBlocks)
    return corrupt(std::to_string(blocks_.size()) + " blocks in the chain, " + std::to_string(h.usedBlocks) +
                   " in the header");
  if (previous != h.lastBlock)
    return corrupt("the chain ends at block " + std::to_string(previous) + ", the header says " +
                   std::to_string(h.lastBlock));
  if (total != h.numRecords)
    return corrupt(std::to_string(total) + " records in the blocks, " + std::to_string(h.numRecords) +
                   " in the header");
  return Status::Ok();
}

}  // namespace px
