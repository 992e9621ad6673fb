// Allocation in the in-memory blob store (paradox-format.md section 8.3).
#include <cstring>

#include "engine/storage/blob_file.h"

namespace px {

using namespace blob;

Bytes BlobFile::freshHeaderBlock() {
  // Identical in every unencrypted .MB seen but for the mod count at 3.
  Bytes block(kBlockUnit, 0);
  constexpr std::uint8_t kStart[] = {0x00, 0x01, 0x00, 0x01, 0x00, 0x82, 0x73, 0x02, 0x00, 0x29, 0x00,
                                     0x00, 0x10, 0x00, 0x10, 0x00, 0x10, 0x40, 0x00, 0x00, 0x08};
  std::memcpy(block.data(), kStart, sizeof kStart);
  block[0x29] = 0xA1;
  block[0x2A] = 0x02;
  return block;
}

void BlobFile::initialize(const std::string& name, Bytes headerBlock) {
  name_ = name;
  bytes_ = std::move(headerBlock);
  modified_ = true;
  openBlock_ = 0;
}

namespace {
// New blocks start on a 4K boundary even if the file somehow does not end on one.
std::size_t alignedEnd(const Bytes& bytes) { return (bytes.size() + kBlockUnit - 1) / kBlockUnit * kBlockUnit; }
constexpr std::size_t kChunksPerBlock = kBlockUnit / kChunkSize;  // 256; chunk offsets are one byte
}  // namespace

Descriptor BlobFile::store(std::span<const std::uint8_t> value) {
  modified_ = true;
  const std::uint16_t mod = modCount();
  putLe16(bytes_.data() + kHeaderModCount, static_cast<std::uint16_t>(mod + 1));
  const auto length = static_cast<std::uint32_t>(value.size());

  if (length > kSuballocThreshold) {
    const std::size_t offset = alignedEnd(bytes_);
    const std::size_t units = (kSingleData + length + kBlockUnit - 1) / kBlockUnit;
    bytes_.resize(offset + units * kBlockUnit, 0);
    std::uint8_t* block = bytes_.data() + offset;
    block[kBlockType] = kTypeSingle;
    putLe16(block + kBlockUnits, static_cast<std::uint16_t>(units));
    putLe32(block + kSingleLength, length);
    putLe16(block + kSingleMod, mod);
    std::memcpy(block + kSingleData, value.data(), length);
    return {static_cast<std::uint32_t>(offset), kSingleBlockIndex, length, mod};
  }

  const std::size_t chunks = (length + kChunkSize - 1) / kChunkSize;
  if (openBlock_ == 0 || nextSlot_ < 0 || nextChunk_ + chunks > kChunksPerBlock) {
    openBlock_ = alignedEnd(bytes_);
    bytes_.resize(openBlock_ + kBlockUnit, 0);
    std::uint8_t* block = bytes_.data() + openBlock_;
    block[kBlockType] = kTypeSuballocated;
    putLe16(block + kBlockUnits, 1);
    nextChunk_ = kFirstDataChunk;
    nextSlot_ = static_cast<int>(kSlotCount) - 1;  // slots are used from the top down
  }
  std::uint8_t* block = bytes_.data() + openBlock_;
  std::uint8_t* slot = block + kSlotTable + kSlotSize * static_cast<std::size_t>(nextSlot_);
  slot[kSlotChunkOffset] = static_cast<std::uint8_t>(nextChunk_);
  slot[kSlotChunkCount] = static_cast<std::uint8_t>(chunks);
  putLe16(slot + kSlotMod, mod);
  slot[kSlotLastChunk] = static_cast<std::uint8_t>(length - (chunks - 1) * kChunkSize);
  std::memcpy(block + nextChunk_ * kChunkSize, value.data(), length);
  const Descriptor desc{static_cast<std::uint32_t>(openBlock_), static_cast<std::uint8_t>(nextSlot_), length, mod};
  nextChunk_ += chunks;
  --nextSlot_;
  return desc;
}

void BlobFile::release(const Descriptor& desc) {
  if (desc.blockOffset == 0 || static_cast<std::size_t>(desc.blockOffset) + kBlockUnit > bytes_.size()) return;
  std::uint8_t* block = bytes_.data() + desc.blockOffset;
  if (desc.index == kSingleBlockIndex) {
    if (block[kBlockType] == kTypeSingle) {
      block[kBlockType] = kTypeFree;
      modified_ = true;
    }
    return;
  }
  if (block[kBlockType] != kTypeSuballocated || desc.index >= kSlotCount) return;
  // A freed slot keeps its stale count, as the original engine leaves it.
  block[kSlotTable + kSlotSize * desc.index + kSlotChunkOffset] = 0;
  modified_ = true;
}

}  // namespace px
