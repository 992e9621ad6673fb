// All-or-nothing replacement of a database's changed files. See the model
// described at the top of commit_journal.cpp, which holds the commit;
// commit_recovery.cpp holds recovery, commit_journal_encoding.cpp the
// journal's text and checksum.
// Thread safety: none; one commit or recovery per directory at a time.
#pragma once

#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <vector>

#include "engine/format/value.h"
#include "engine/io/file_system.h"
#include "engine/status.h"
#include "engine/storage/file_image.h"

namespace px {

class CommitJournal {
 public:
  // Name of the journal file in the database directory.
  static constexpr const char* kFileName = "pxcommit.jnl";
  // Appended to a target's name to name its new contents until the rename.
  static constexpr const char* kTemporarySuffix = ".pxnew";

  // One replaced file as the journal records it. Names are plain file names
  // in the database directory.
  struct Entry {
    std::string temporary;
    std::string target;
    // The temporary's size and checksum(): the new contents, or for a patch
    // the changes (file_patch.h) that are written into the target in place.
    std::uint64_t size = 0;
    std::uint64_t checksum = 0;
    bool patch = false;
    bool operator==(const Entry&) const = default;
  };

  // Writes every image as a new file beside its target, then replaces the
  // targets through the journal. On failure the directory is left so that
  // recover() brings it to the state before or after the commit.
  // REQUIRES: every image's path is a file name, or a path in `directory`.
  static Status commit(FileSystem& fs, const std::filesystem::path& directory, const std::vector<FileImage>& images);
  // As above; `committed` tells, also on failure, whether the commit has
  // reached its commit point: when true the new contents are durable and a
  // failure only means that the next recover() finishes the renames.
  static Status commit(FileSystem& fs, const std::filesystem::path& directory, const std::vector<FileImage>& images,
                       bool& committed);
  // The same with each image made only when its turn to be written comes,
  // and released before the next one is made. A failure to make an image is
  // handled as a failure to write it.
  static Status commit(FileSystem& fs, const std::filesystem::path& directory, const std::vector<PendingImage>& images);
  static Status commit(FileSystem& fs, const std::filesystem::path& directory,
                       const std::vector<PendingImage>& images, bool& committed);

  // Finishes a commit that was cut short after its journal was complete, or
  // undoes one whose journal was not; does nothing when there is no journal.
  // Removes leftover temporaries either way.
  static Status recover(FileSystem& fs, const std::filesystem::path& directory);

  // The journal's encoding, exposed for tests and fuzzers.
  static Bytes encode(const std::vector<Entry>& entries);
  // Reads a journal. `complete` is false (and the result Ok) when it lacks its
  // final marker or the marker's checksum does not match: what a crash while
  // writing it leaves. A complete journal that breaks the format (an unsafe
  // name, a bad number, no header) is rc::kFileCorrupt; an unknown version is
  // rc::kUnsupportedVersion.
  static Status decode(std::span<const std::uint8_t> bytes, std::vector<Entry>& entries, bool& complete);
  // A 64-bit hash taken a 64-bit word at a time, with FNV's offset and prime
  // but not FNV-1a; see commit_journal_encoding.cpp.
  static std::uint64_t checksum(std::span<const std::uint8_t> bytes);
  // The same checksum of bytes that come a piece at a time.
  class Checksum {
   public:
    // `total`: how many bytes will come, in all.
    explicit Checksum(std::uint64_t total);
    void add(std::span<const std::uint8_t> bytes);
    std::uint64_t value() const;

   private:
    std::uint64_t hash_;
    std::uint8_t carry_[8] = {};
    std::size_t carried_ = 0;
  };
};

}  // namespace px
