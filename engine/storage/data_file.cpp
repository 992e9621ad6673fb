#include "engine/storage/data_file.h"

#include <algorithm>
#include <cstring>

#include "engine/format/block_format.h"

namespace px {

namespace {

// How much of a file loadLeading() reads at a time.
constexpr std::size_t kWindow = 1024 * 1024;
// A header's size is a 16-bit number.
constexpr std::size_t kLongestHeader = 0x10000;

}  // namespace

Status DataFile::load(FileSystem& fs, const std::filesystem::path& path) {
  Bytes bytes;
  PX_RETURN_IF_ERROR(fs.readFile(path, bytes));
  return parse(std::move(bytes), path.filename().string());
}

Status DataFile::checkHeader(std::span<const std::uint8_t> bytes) {
  records_.clear();
  blocks_.clear();
  recordCount_ = 0;
  PX_RETURN_IF_ERROR(decodeTableHeader(bytes, name_, header_));
  if (!header_.isDataFile())
    return Status(rc::kFileCorrupt, name_ + ": is an index tree, not a file of records");
  rawHeader_.assign(bytes.begin(), bytes.begin() + header_.headerSize);
  if (header_.encrypted)
    return Status(rc::kEncrypted, name_ + ": the table is encrypted; encrypted tables cannot be read");
  return Status::Ok();
}

Status DataFile::parse(Bytes bytes, const std::string& name) {
  name_ = name;
  PX_RETURN_IF_ERROR(checkHeader(bytes));
  kept_ = header_.recordSize;
  return walkWindows(bytes.size(), bytes, nullptr);
}

Status DataFile::walkWindows(std::uint64_t fileSize, Bytes& window, const WindowReader& readWindow) {
  const std::uint32_t blockSize = header_.blockSize;
  std::uint64_t windowStart = 0;
  Bytes scratch;
  return walkChain(fileSize, [&](std::uint16_t n, const std::uint8_t*& out) {
    const std::uint64_t start = header_.headerSize + static_cast<std::uint64_t>(n - 1) * blockSize;
    const auto holds = [&] { return start >= windowStart && start + blockSize <= windowStart + window.size(); };
    if (readWindow && !holds()) {
      windowStart = start;
      PX_RETURN_IF_ERROR(readWindow(start, window));
    }
    out = window.data() + (start - windowStart);
    if (!holds()) {
      // The file ends inside this block.
      scratch.assign(blockSize, 0);
      std::copy(window.begin() + static_cast<std::ptrdiff_t>(start - windowStart), window.end(), scratch.begin());
      out = scratch.data();
    }
    return Status::Ok();
  });
}

Status DataFile::readHeader(FileSystem& fs, const std::filesystem::path& path, TableHeader& out) {
  Bytes bytes;
  PX_RETURN_IF_ERROR(fs.readRange(path, 0, kLongestHeader, bytes));
  DataFile file;
  file.name_ = path.filename().string();
  PX_RETURN_IF_ERROR(file.checkHeader(bytes));
  out = file.header_;
  return Status::Ok();
}

Status DataFile::loadLeading(FileSystem& fs, const std::filesystem::path& path, std::size_t keptBytes) {
  name_ = path.filename().string();
  std::uint64_t size = 0;
  PX_RETURN_IF_ERROR(fs.fileSize(path, size));
  Bytes window;
  PX_RETURN_IF_ERROR(fs.readRange(path, 0, kWindow, window));
  PX_RETURN_IF_ERROR(checkHeader(window));
  // The primary key is always kept: the index check at open compares it.
  std::size_t keyEnd = 0;
  for (std::size_t i = 0; i < header_.primaryKeyFields && i < header_.fields.size(); ++i)
    keyEnd = std::max(keyEnd, static_cast<std::size_t>(header_.fields[i].offset) + header_.fields[i].size);
  kept_ = std::min<std::size_t>(std::max(keptBytes, keyEnd), header_.recordSize);
  const std::size_t perWindow = std::max<std::size_t>(1, kWindow / header_.blockSize);
  return walkWindows(size, window, [&](std::uint64_t start, Bytes& out) {
    return fs.readRange(path, start, perWindow * header_.blockSize, out);
  });
}

Status DataFile::walkChain(std::uint64_t fileSize, const BlockSource& blockAt) {
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
  const std::size_t blocksInFile = static_cast<std::size_t>((fileSize - h.headerSize + h.blockSize - 1) / h.blockSize);
  const std::size_t capacity = block::capacity(h.blockSize, h.recordSize);
  if (h.numRecords > static_cast<std::uint64_t>(h.usedBlocks) * capacity)
    return corrupt(std::to_string(h.numRecords) + " records cannot fit " + std::to_string(h.usedBlocks) + " blocks");
  // Sized by what the file can hold, never by the header's claim alone.
  records_.reserve(std::min<std::size_t>(h.numRecords, blocksInFile * capacity) * kept_);
  std::vector<bool> seen(blocksInFile + 1, false);
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
    const std::uint8_t* blockBytes = nullptr;
    PX_RETURN_IF_ERROR(blockAt(current, blockBytes));
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
    const std::uint8_t* first = blockBytes + block::kHeaderSize;
    if (kept_ == h.recordSize) {
      records_.insert(records_.end(), first, first + count * h.recordSize);
    } else {
      for (std::size_t r = 0; r < count; ++r)
        records_.insert(records_.end(), first + r * h.recordSize, first + r * h.recordSize + kept_);
    }
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
  recordCount_ = total;
  return Status::Ok();
}

}  // namespace px
