// A table's blob store (.MB), held in memory. Reading resolves a field's
// descriptor to the stored bytes through the single-blob or sub-allocated
// block that it points to, checking both sides agree.
#pragma once

#include <filesystem>
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

 private:
  std::string name_;
  Bytes bytes_;
};

}  // namespace px
