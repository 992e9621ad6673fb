// A table's blob store (.MB). The file is read a piece at a time as values
// are asked for; only its header block and what changed since it was read
// are held in memory. Reading resolves a field's descriptor to the stored
// bytes through the single-blob or sub-allocated block that it points to,
// checking both sides agree. Writing never changes a blob in place: a new
// value gets new space at the end of the file (a block of its own above 2048
// bytes, a slot of a sub-allocated block below), and a value that is replaced
// or deleted has its space marked free. A commit writes only what changed:
// the header block, the blocks whose space was freed, and the new end.
// Not thread-safe, reads included (they share a read buffer). The file system
// must outlive the store.
#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <span>
#include <string>
#include <vector>

#include "engine/format/blob_format.h"
#include "engine/format/value.h"
#include "engine/io/file_system.h"
#include "engine/status.h"
#include "engine/storage/file_patch.h"

namespace px {

class BlobFile {
 public:
  // Opens the store of an existing .MB; reads its header block only.
  Status load(FileSystem& fs, const std::filesystem::path& path);

  const std::string& name() const { return name_; }
  // The size of the store: the file with what was stored since.
  std::uint64_t size() const { return fileSize_ + tailSize_; }
  std::uint16_t modCount() const;

  // Copies the `desc.length` stored bytes that `desc` points to into `out`.
  // kBlobModified when the block's length or mod number disagree with the
  // descriptor, kBlobCorrupt when the reference leads nowhere valid.
  Status read(const blob::Descriptor& desc, Bytes& out) const;
  // The store's bytes from `offset` on, `length` of them or fewer where it ends.
  Status readBytes(std::uint64_t offset, std::size_t length, Bytes& out) const;

  // The 4096-byte header block of a new .MB, as the original engine writes it.
  static Bytes freshHeaderBlock();
  // Starts an empty store in memory from a fresh header block; it has no file
  // until a commit writes one.
  void initialize(const std::string& name, Bytes headerBlock);
  // Stores `value` (longer than 0 bytes) and returns its descriptor; the
  // value takes the header's mod count as its mod number.
  blob::Descriptor store(std::span<const std::uint8_t> value);
  // Marks the space of a stored value free. Should the block not be
  // readable, the store remembers the failure and changes() reports it.
  void release(const blob::Descriptor& desc);
  bool modified() const { return modified_; }

  // Whether the store has a file below it, which a commit changes in place.
  bool onDisk() const { return fs_ != nullptr; }
  // For a store on disk: what a commit writes into the file, in ascending
  // order: the header block, every block changed since, the new end. The
  // ranges point into the store and stay valid until it changes.
  Status changes(std::vector<PatchRange>& out) const;
  // For a store made in memory: the whole file.
  Bytes contents() const;
  // After a commit wrote the changes (or the whole file at `path`): the file
  // holds everything now, and the store reads it from there.
  void markSaved(FileSystem& fs, const std::filesystem::path& path);

 private:
  // New blocks live in chunks of memory that follow each other in the file.
  struct Chunk {
    std::uint64_t start = 0;
    Bytes bytes;  // its room reserved up front, so that growing never moves it
  };
  // Grows the store by zero bytes to `end` and returns where the growth
  // begins; the growth lies in one chunk.
  std::uint8_t* extend(std::uint64_t end);
  std::uint8_t* tailAt(std::uint64_t offset);
  const std::uint8_t* tailAt(std::uint64_t offset) const;
  Status readFromFile(std::uint64_t offset, std::size_t length, Bytes& out) const;
  std::uint64_t alignedEnd() const;

  FileSystem* fs_ = nullptr;  // none: a store made in memory
  std::filesystem::path path_;
  std::string name_;
  Bytes header_;                                // the first 4K unit, as changed since
  std::uint64_t fileSize_ = 0;                  // what the file below holds
  std::map<std::uint64_t, Bytes> changedUnits_;  // 4K units of the file changed since, by offset
  std::vector<Chunk> tail_;                     // what was stored since, after fileSize_
  std::uint64_t tailSize_ = 0;
  bool modified_ = false;
  Status failed_;
  // The piece of the file read last: values are mostly read in file order.
  mutable std::uint64_t windowStart_ = 0;
  mutable Bytes window_;
  mutable Bytes unit_;
  // The sub-allocated block this session appended and still fills.
  std::uint64_t openBlock_ = 0;
  std::size_t nextChunk_ = 0;
  int nextSlot_ = -1;
};

}  // namespace px
