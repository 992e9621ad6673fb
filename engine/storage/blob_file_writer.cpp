// Allocation in the blob store (docs/paradox-format.md section 8.3), and what a
// commit writes of it.
#include <algorithm>
#include <cstring>

#include "engine/storage/blob_file.h"

namespace px {

using namespace blob;

namespace {
constexpr std::size_t kChunksPerBlock = kBlockUnit / kChunkSize;  // 256; chunk offsets are one byte
// New blocks are kept in pieces of at least this much memory, each written
// by a commit as one stretch.
constexpr std::size_t kTailPiece = 4 * 1024 * 1024;
}  // namespace

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
  fs_ = nullptr;
  path_.clear();
  headerBlock.resize(kBlockUnit, 0);
  header_ = std::move(headerBlock);
  fileSize_ = kBlockUnit;  // the header stands for the file until one is written
  changedUnits_.clear();
  tail_.clear();
  tailSize_ = 0;
  window_.clear();
  modified_ = true;
  failed_ = Status::Ok();
  openBlock_ = 0;
}

// New blocks start on a 4K boundary even if the file somehow does not end on one.
std::uint64_t BlobFile::alignedEnd() const { return (size() + kBlockUnit - 1) / kBlockUnit * kBlockUnit; }

std::uint8_t* BlobFile::extend(std::uint64_t end) {
  const std::uint64_t from = size();
  const std::size_t grow = static_cast<std::size_t>(end - from);
  if (tail_.empty() || tail_.back().bytes.capacity() - tail_.back().bytes.size() < grow) {
    Chunk chunk;
    chunk.start = from;
    chunk.bytes.reserve(std::max(kTailPiece, grow));
    tail_.push_back(std::move(chunk));
  }
  Bytes& bytes = tail_.back().bytes;
  bytes.resize(bytes.size() + grow, 0);
  tailSize_ += grow;
  return bytes.data() + (bytes.size() - grow);
}

Descriptor BlobFile::store(std::span<const std::uint8_t> value) {
  modified_ = true;
  const std::uint16_t mod = modCount();
  putLe16(header_.data() + kHeaderModCount, static_cast<std::uint16_t>(mod + 1));
  const auto length = static_cast<std::uint32_t>(value.size());

  if (length > kSuballocThreshold) {
    const std::uint64_t offset = alignedEnd();
    const std::size_t units = (kSingleData + length + kBlockUnit - 1) / kBlockUnit;
    extend(offset + units * kBlockUnit);
    std::uint8_t* block = tailAt(offset);
    block[kBlockType] = kTypeSingle;
    putLe16(block + kBlockUnits, static_cast<std::uint16_t>(units));
    putLe32(block + kSingleLength, length);
    putLe16(block + kSingleMod, mod);
    std::memcpy(block + kSingleData, value.data(), length);
    return {static_cast<std::uint32_t>(offset), kSingleBlockIndex, length, mod};
  }

  const std::size_t chunks = (length + kChunkSize - 1) / kChunkSize;
  if (openBlock_ == 0 || nextSlot_ < 0 || nextChunk_ + chunks > kChunksPerBlock) {
    openBlock_ = alignedEnd();
    extend(openBlock_ + kBlockUnit);
    std::uint8_t* block = tailAt(openBlock_);
    block[kBlockType] = kTypeSuballocated;
    putLe16(block + kBlockUnits, 1);
    nextChunk_ = kFirstDataChunk;
    nextSlot_ = static_cast<int>(kSlotCount) - 1;  // slots are used from the top down
  }
  std::uint8_t* block = tailAt(openBlock_);
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
  const std::uint64_t offset = desc.blockOffset;
  if (offset == 0 || offset % kBlockUnit != 0 || offset + kBlockUnit > size()) return;
  std::uint8_t* block = nullptr;
  if (offset >= fileSize_) {
    block = tailAt(offset);
  } else {
    auto it = changedUnits_.find(offset);
    if (it == changedUnits_.end()) {
      Bytes unit;
      if (Status s = readBytes(offset, kBlockUnit, unit); !s.ok()) {
        if (failed_.ok()) failed_ = s.withContext(name_ + ": freeing the space of a value");
        return;
      }
      it = changedUnits_.emplace(offset, std::move(unit)).first;
    }
    block = it->second.data();
  }
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

Status BlobFile::changes(std::vector<PatchRange>& out) const {
  out.clear();
  PX_RETURN_IF_ERROR(failed_);
  out.push_back({0, header_});
  for (const auto& [offset, unit] : changedUnits_) out.push_back({offset, unit});
  for (const Chunk& chunk : tail_)
    if (!chunk.bytes.empty()) out.push_back({chunk.start, chunk.bytes});
  return Status::Ok();
}

Bytes BlobFile::contents() const {
  Bytes all;
  all.reserve(static_cast<std::size_t>(size()));
  all.insert(all.end(), header_.begin(), header_.end());
  for (const Chunk& chunk : tail_) all.insert(all.end(), chunk.bytes.begin(), chunk.bytes.end());
  return all;
}

void BlobFile::markSaved(FileSystem& fs, const std::filesystem::path& path) {
  fs_ = &fs;
  path_ = path;
  fileSize_ = size();
  changedUnits_.clear();
  tail_.clear();
  tailSize_ = 0;
  window_.clear();
  modified_ = false;
  // The block being filled is in the file now; small values start a new one.
  openBlock_ = 0;
}

}  // namespace px
