#include "engine/storage/blob_file.h"

#include <algorithm>
#include <cstring>

namespace px {

using namespace blob;

namespace {
// How much of the file one read brings in: values are mostly read in the
// order they were stored, so the next one is usually in the same piece.
constexpr std::size_t kWindow = 256 * 1024;
}  // namespace

Status BlobFile::load(FileSystem& fs, const std::filesystem::path& path) {
  name_ = path.filename().string();
  std::uint64_t size = 0;
  PX_RETURN_IF_ERROR(fs.fileSize(path, size));
  PX_RETURN_IF_ERROR(fs.readRange(path, 0, kBlockUnit, header_));
  if (size < kBlockUnit || header_.size() < kBlockUnit || header_[kBlockType] != kTypeHeader)
    return Status(rc::kBlobCorrupt, name_ + ": not a blob file (no header block)");
  fs_ = &fs;
  path_ = path;
  fileSize_ = size;
  changedUnits_.clear();
  tail_.clear();
  tailSize_ = 0;
  window_.clear();
  modified_ = false;
  failed_ = Status::Ok();
  openBlock_ = 0;
  return Status::Ok();
}

std::uint16_t BlobFile::modCount() const { return le16(header_.data() + kHeaderModCount); }

const std::uint8_t* BlobFile::tailAt(std::uint64_t offset) const {
  auto it = std::upper_bound(tail_.begin(), tail_.end(), offset,
                             [](std::uint64_t at, const Chunk& chunk) { return at < chunk.start; });
  const Chunk& chunk = *std::prev(it);
  return chunk.bytes.data() + (offset - chunk.start);
}

std::uint8_t* BlobFile::tailAt(std::uint64_t offset) {
  return const_cast<std::uint8_t*>(static_cast<const BlobFile*>(this)->tailAt(offset));
}

Status BlobFile::readFromFile(std::uint64_t offset, std::size_t length, Bytes& out) const {
  auto shortRead = [&] {
    return Status(rc::kReadFailed, name_ + ": the file ends before offset " + std::to_string(offset + length));
  };
  if (length > kWindow / 2) {
    Bytes piece;
    PX_RETURN_IF_ERROR(fs_->readRange(path_, offset, length, piece));
    if (piece.size() != length) return shortRead();
    out.insert(out.end(), piece.begin(), piece.end());
    return Status::Ok();
  }
  if (window_.empty() || offset < windowStart_ || offset + length > windowStart_ + window_.size()) {
    windowStart_ = offset / kBlockUnit * kBlockUnit;
    PX_RETURN_IF_ERROR(fs_->readRange(path_, windowStart_, kWindow, window_));
    if (offset + length > windowStart_ + window_.size()) {
      window_.clear();
      return shortRead();
    }
  }
  const std::uint8_t* from = window_.data() + (offset - windowStart_);
  out.insert(out.end(), from, from + length);
  return Status::Ok();
}

Status BlobFile::readBytes(std::uint64_t offset, std::size_t length, Bytes& out) const {
  out.clear();
  const std::uint64_t end = std::min<std::uint64_t>(offset + length, size());
  std::uint64_t at = offset;
  while (at < end) {
    if (at < kBlockUnit) {
      const std::uint64_t until = std::min<std::uint64_t>(end, kBlockUnit);
      out.insert(out.end(), header_.begin() + static_cast<std::ptrdiff_t>(at),
                 header_.begin() + static_cast<std::ptrdiff_t>(until));
      at = until;
    } else if (at >= fileSize_) {
      // Chunk by chunk: each one is contiguous in memory.
      while (at < end) {
        auto it = std::upper_bound(tail_.begin(), tail_.end(), at,
                                   [](std::uint64_t where, const Chunk& chunk) { return where < chunk.start; });
        const Chunk& chunk = *std::prev(it);
        const std::uint64_t until = std::min<std::uint64_t>(end, chunk.start + chunk.bytes.size());
        const std::uint8_t* from = chunk.bytes.data() + (at - chunk.start);
        out.insert(out.end(), from, from + (until - at));
        at = until;
      }
    } else {
      const std::uint64_t unit = at / kBlockUnit * kBlockUnit;
      if (auto changed = changedUnits_.find(unit); changed != changedUnits_.end()) {
        const std::uint64_t until = std::min({end, unit + kBlockUnit, fileSize_});
        const std::uint8_t* from = changed->second.data() + (at - unit);
        out.insert(out.end(), from, from + (until - at));
        at = until;
        continue;
      }
      // Up to the next changed unit, from the file.
      std::uint64_t until = std::min(end, fileSize_);
      if (auto next = changedUnits_.upper_bound(unit); next != changedUnits_.end()) until = std::min(until, next->first);
      PX_RETURN_IF_ERROR(readFromFile(at, static_cast<std::size_t>(until - at), out));
      at = until;
    }
  }
  return Status::Ok();
}

Status BlobFile::read(const Descriptor& desc, Bytes& out) const {
  auto corrupt = [&](const std::string& what) {
    return Status(rc::kBlobCorrupt, name_ + ": blob at offset " + std::to_string(desc.blockOffset) + ": " + what);
  };
  auto modified = [&](const std::string& what) {
    return Status(rc::kBlobModified, name_ + ": blob has been modified: " + what);
  };
  if (desc.blockOffset == 0 || desc.blockOffset % kBlockUnit != 0)
    return corrupt("not the start of a block");
  if (static_cast<std::uint64_t>(desc.blockOffset) + kBlockUnit > size())
    return corrupt("beyond the end of the file (" + std::to_string(size()) + " bytes)");
  // The block's own header, then what the descriptor names in it: a value
  // is read without the rest of its block.
  PX_RETURN_IF_ERROR(readBytes(desc.blockOffset, kSingleData, unit_));
  const std::uint8_t* block = unit_.data();
  const std::uint64_t available = size() - desc.blockOffset;

  if (desc.index == kSingleBlockIndex) {
    if (block[kBlockType] != kTypeSingle)
      return modified("the record points to a single-blob block, the file holds block type " +
                      std::to_string(block[kBlockType]));
    const std::size_t blockLength = static_cast<std::size_t>(le16(block + kBlockUnits)) * kBlockUnit;
    const std::uint32_t length = le32(block + kSingleLength);
    if (length != desc.length)
      return modified("length " + std::to_string(desc.length) + " in the record, " + std::to_string(length) +
                      " in the blob file");
    if (le16(block + kSingleMod) != desc.mod) return modified("mod numbers differ");
    if (kSingleData + length > blockLength || kSingleData + length > available)
      return corrupt("length " + std::to_string(length) + " runs past its block");
    return readBytes(desc.blockOffset + kSingleData, length, out);
  }

  if (block[kBlockType] != kTypeSuballocated)
    return modified("the record points to slot " + std::to_string(desc.index) + ", the file holds block type " +
                    std::to_string(block[kBlockType]));
  if (desc.index >= kSlotCount) return corrupt("slot " + std::to_string(desc.index) + " does not exist");
  PX_RETURN_IF_ERROR(readBytes(desc.blockOffset + kSlotTable + kSlotSize * desc.index, kSlotSize, unit_));
  const std::uint8_t* slot = unit_.data();
  const std::size_t chunkOffset = slot[kSlotChunkOffset];
  const std::size_t chunkCount = slot[kSlotChunkCount];
  const std::size_t lastChunk = slot[kSlotLastChunk];
  if (chunkOffset == 0) return modified("slot " + std::to_string(desc.index) + " is free");
  if (chunkCount == 0 || lastChunk == 0 || lastChunk > kChunkSize || chunkOffset < kFirstDataChunk)
    return corrupt("slot " + std::to_string(desc.index) + " is malformed");
  const std::size_t length = (chunkCount - 1) * kChunkSize + lastChunk;
  if (length != desc.length)
    return modified("length " + std::to_string(desc.length) + " in the record, " + std::to_string(length) +
                    " in the blob file");
  if (le16(slot + kSlotMod) != desc.mod) return modified("mod numbers differ");
  const std::size_t start = chunkOffset * kChunkSize;
  if (start + length > kBlockUnit) return corrupt("slot " + std::to_string(desc.index) + " runs past its block");
  return readBytes(desc.blockOffset + start, length, out);
}

}  // namespace px
