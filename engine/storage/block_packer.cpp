#include "engine/storage/block_packer.h"

#include <cstring>

#include "engine/format/block_format.h"
#include "engine/format/byte_order.h"
#include "engine/format/header_format.h"

namespace px {

namespace {
constexpr std::size_t kMaxBlocks = 0xFFFF;
}

Status checkBlockLimit(std::size_t count, std::size_t perBlock, const std::string& fileName) {
  if (perBlock == 0) return Status(rc::kRecordTooLarge, fileName + ": a record does not fit a block");
  if ((count + perBlock - 1) / perBlock > kMaxBlocks)
    return Status(rc::kTableFull, fileName + ": " + std::to_string(count) + " records need more than " +
                                      std::to_string(kMaxBlocks) + " blocks");
  return Status::Ok();
}

static_assert(kBlockHeaderBytes == block::kHeaderSize);
static_assert(kFixedHeaderBytes == header::kFixedPartEnd);

void writeChainedBlockHeader(std::uint8_t* block, std::size_t b, std::size_t blocks, std::size_t n,
                             std::size_t recordSize) {
  block::BlockHeader h;
  h.next = b + 1 < blocks ? static_cast<std::uint16_t>(b + 2) : 0;
  h.prev = static_cast<std::uint16_t>(b);
  h.addDataSize = block::addDataSizeFor(n, recordSize);
  block::encodeBlockHeader(block, h);
}

void setBlockBookkeeping(std::uint8_t* h, std::uint16_t blocks, std::uint32_t numRecords) {
  putLe32(h + header::kNumRecords, numRecords);
  putLe16(h + header::kUsedBlocks, blocks);
  putLe16(h + header::kFileBlocks, blocks);
  putLe16(h + header::kMaxBlocks, blocks);
  putLe16(h + header::kFirstBlock, blocks ? 1 : 0);
  putLe16(h + header::kLastBlock, blocks);
  putLe16(h + header::kFirstFreeBlock, 0);
  h[header::kModifiedFlags1] = 0;
  h[header::kModifiedFlags2] = 0;
  h[header::kIndexUpdateRequired] = 0;
}

PackedBlocks packRecords(const std::uint8_t* records, std::size_t count, std::size_t recordSize,
                         std::uint32_t blockSize, std::size_t perBlock) {
  PackedBlocks out;
  if (count == 0) return out;
  const std::size_t blocks = (count + perBlock - 1) / perBlock;
  out.blocks.assign(blocks * blockSize, 0);
  out.runs.reserve(blocks);
  for (std::size_t b = 0; b < blocks; ++b) {
    const std::size_t first = b * perBlock;
    const std::size_t n = std::min(perBlock, count - first);
    std::uint8_t* block = out.blocks.data() + b * blockSize;
    writeChainedBlockHeader(block, b, blocks, n, recordSize);
    std::memcpy(block + block::kHeaderSize, records + first * recordSize, n * recordSize);
    out.runs.push_back({static_cast<std::uint16_t>(b + 1), static_cast<std::uint32_t>(first),
                        static_cast<std::uint32_t>(n)});
  }
  return out;
}

Bytes assembleFile(const Bytes& rawHeader, const PackedBlocks& packed, std::uint32_t numRecords) {
  Bytes file;
  file.reserve(rawHeader.size() + packed.blocks.size());
  file.assign(rawHeader.begin(), rawHeader.end());
  if (file.size() < header::kFixedPartEnd) return file;  // not a header: nothing to set
  setBlockBookkeeping(file.data(), packed.blockCount(), numRecords);
  file.insert(file.end(), packed.blocks.begin(), packed.blocks.end());
  return file;
}

}  // namespace px
