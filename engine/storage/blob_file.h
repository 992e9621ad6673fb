// A table's blob store (.MB), held in memory. Reading resolves a field's
// descriptor to the stored bytes through the single-blob or sub-allocated
// block that it points to, checking both sides agree. Writing never changes a
// blob in place: a new value gets new space at the end of the file (a block of
// its own above 2048 bytes, a slot of a sub-allocated block below), and a value
// that is replaced or deleted has its space marked free.
#pragma once

#include <filesystem>
#include <span>
#include <string>

#include "engine/format/blob_format.h"
#include "engine/format/value.h"
#include "engine/io/file_system.h"
#include "engine/status.h"

namespace px {

class BlobFile {
 public:
  Status load(FileSystem& fs, const std::filesystem::path& path);

  const std::string& name() const { return name_; }
  const Bytes& bytes() const { return bytes_; }
  std::uint16_t modCount() const;

  // Copies the `desc.length` stored bytes that `desc` points to into `out`.
  // kBlobModified when the block's length or mod number disagree with the
  // descriptor, kBlobCorrupt when the reference leads nowhere valid.
  Status read(const blob::Descriptor& desc, Bytes& out) const;

  // The 4096-byte header block of a new .MB, as the original engine writes it.
  static Bytes freshHeaderBlock();
  // Starts an empty store from a fresh header block.
  void initialize(const std::string& name, Bytes headerBlock);
  // Stores `value` (longer than 0 bytes) and returns its descriptor; the
  // value takes the header's mod count as its mod number.
  blob::Descriptor store(std::span<const std::uint8_t> value);
  // Marks the space of a stored value free.
  void release(const blob::Descriptor& desc);
  bool modified() const { return modified_; }
  void markSaved() { modified_ = false; }

 private:
  std::string name_;
  Bytes bytes_;
  bool modified_ = false;
  // The sub-allocated block this session appended and still fills.
  std::size_t openBlock_ = 0;
  std::size_t nextChunk_ = 0;
  int nextSlot_ = -1;
};

}  // namespace px
