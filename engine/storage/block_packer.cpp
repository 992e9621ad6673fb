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

Bytes packedHeader(const Bytes& rawHeader, std::size_t blocks, std::size_t count) {
  Bytes header = rawHeader;
  if (header.size() >= kFixedHeaderBytes)
    setBlockBookkeeping(header.data(), static_cast<std::uint16_t>(blocks), static_cast<std::uint32_t>(count));
  return header;
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

}  // namespace px
