#include "engine/storage/index_tree.h"

#include <cstring>

#include "engine/format/block_format.h"
#include "engine/format/index_format.h"

namespace px {

Status IndexTree::load(FileSystem& fs, const std::filesystem::path& path) {
  Bytes bytes;
  PX_RETURN_IF_ERROR(fs.readFile(path, bytes));
  return parse(std::move(bytes), path.filename().string());
}

Status IndexTree::parse(Bytes bytes, const std::string& name) {
  name_ = name;
  leaves_.clear();
  totalEntries_ = 0;
  PX_RETURN_IF_ERROR(decodeTableHeader(bytes, name_, header_));
  if (!header_.isIndexTree()) return Status(rc::kIndexCorrupt, name_ + ": is not an index tree file");
  rawHeader_.assign(bytes.begin(), bytes.begin() + header_.headerSize);
  if (header_.encrypted) return Status(rc::kEncrypted, name_ + ": the index is encrypted");
  if (header_.indexLevels == 0) {
    if (header_.numRecords != 0)
      return Status(rc::kIndexCorrupt, name_ + ": no levels, but " + std::to_string(header_.numRecords) + " entries");
    return Status::Ok();
  }
  const std::size_t blocksInFile = (bytes.size() - header_.headerSize + header_.blockSize - 1) / header_.blockSize;
  std::vector<bool> seen(blocksInFile + 1, false);
  std::uint32_t count = 0;
  PX_RETURN_IF_ERROR(walk(bytes, header_.indexRoot, header_.indexLevels, seen, count));
  if (totalEntries_ != header_.numRecords)
    return Status(rc::kIndexCorrupt, name_ + ": " + std::to_string(totalEntries_) + " entries in the tree, " +
                                         std::to_string(header_.numRecords) + " in the header");
  return Status::Ok();
}

Status IndexTree::walk(const Bytes& file, std::uint16_t blockNumber, int level, std::vector<bool>& seen,
                       std::uint32_t& count) {
  auto corrupt = [&](const std::string& what) {
    return Status(rc::kIndexCorrupt, name_ + ": corrupt index block " + std::to_string(blockNumber) + ": " + what);
  };
  if (blockNumber == 0 || blockNumber >= seen.size()) return corrupt("no such block in the file");
  if (seen[blockNumber]) return corrupt("reached twice in the tree");
  seen[blockNumber] = true;
  const std::size_t start = header_.headerSize + static_cast<std::size_t>(blockNumber - 1) * header_.blockSize;
  Bytes blockBytes(header_.blockSize, 0);
  std::memcpy(blockBytes.data(), file.data() + start, std::min<std::size_t>(header_.blockSize, file.size() - start));
  const block::BlockHeader bh = block::decodeBlockHeader(blockBytes.data());
  const std::size_t entrySize = header_.recordSize;
  const long add = bh.addDataSize;
  if (add < -static_cast<long>(entrySize) || (add + static_cast<long>(entrySize)) % static_cast<long>(entrySize) != 0)
    return corrupt("entry offset " + std::to_string(add));
  const std::size_t entries = static_cast<std::size_t>((add + static_cast<long>(entrySize)) / static_cast<long>(entrySize));
  if (entries > block::capacity(header_.blockSize, entrySize)) return corrupt("more entries than fit");
  if (entries == 0 && level > 1) return corrupt("an inner block without entries");
  const std::size_t keySize = entrySize - index::kTrailerSize;
  totalEntries_ += static_cast<std::uint32_t>(entries);
  count = 0;
  for (std::size_t i = 0; i < entries; ++i) {
    const std::uint8_t* e = blockBytes.data() + block::kHeaderSize + i * entrySize;
    TreeEntry entry;
    entry.key.assign(e, e + keySize);
    entry.block = index::decodeTreeWord(e + keySize + index::kTrailerBlock);
    entry.count = index::decodeTreeWord(e + keySize + index::kTrailerCount);
    if (level > 1) {
      std::uint32_t below = 0;
      PX_RETURN_IF_ERROR(walk(file, entry.block, level - 1, seen, below));
      if ((below & 0xFFFF) != entry.count)  // a 16-bit count wraps above 65,535 records
        return corrupt("entry " + std::to_string(i + 1) + " counts " + std::to_string(entry.count) +
                       " records, its child block holds " + std::to_string(below));
    } else {
      leaves_.push_back(std::move(entry));
    }
    count += index::decodeTreeWord(e + keySize + index::kTrailerCount);
  }
  return Status::Ok();
}

}  // namespace px
