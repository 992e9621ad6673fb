#include "engine/storage/blob_file.h"

namespace px {

using namespace blob;

Status BlobFile::load(FileSystem& fs, const std::filesystem::path& path) {
  name_ = path.filename().string();
  PX_RETURN_IF_ERROR(fs.readFile(path, bytes_));
  if (bytes_.size() < kBlockUnit || bytes_[kBlockType] != kTypeHeader)
    return Status(rc::kBlobCorrupt, name_ + ": not a blob file (no header block)");
  return Status::Ok();
}

std::uint16_t BlobFile::modCount() const { return le16(bytes_.data() + kHeaderModCount); }

Status BlobFile::read(const Descriptor& desc, Bytes& out) const {
  auto corrupt = [&](const std::string& what) {
    return Status(rc::kBlobCorrupt, name_ + ": blob at offset " + std::to_string(desc.blockOffset) + ": " + what);
  };
  auto modified = [&](const std::string& what) {
    return Status(rc::kBlobModified, name_ + ": blob has been modified: " + what);
  };
  if (desc.blockOffset == 0 || desc.blockOffset % kBlockUnit != 0)
    return corrupt("not the start of a block");
  if (static_cast<std::size_t>(desc.blockOffset) + kBlockUnit > bytes_.size())
    return corrupt("beyond the end of the file (" + std::to_string(bytes_.size()) + " bytes)");
  const std::uint8_t* block = bytes_.data() + desc.blockOffset;
  const std::size_t available = bytes_.size() - desc.blockOffset;

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
    out.assign(block + kSingleData, block + kSingleData + length);
    return Status::Ok();
  }

  if (block[kBlockType] != kTypeSuballocated)
    return modified("the record points to slot " + std::to_string(desc.index) + ", the file holds block type " +
                    std::to_string(block[kBlockType]));
  if (desc.index >= kSlotCount) return corrupt("slot " + std::to_string(desc.index) + " does not exist");
  const std::uint8_t* slot = block + kSlotTable + kSlotSize * desc.index;
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
  out.assign(block + start, block + start + length);
  return Status::Ok();
}

}  // namespace px
