// The new contents of one file of a table family, produced in memory and
// written by a commit: either made at once (FileImage) or made only when the
// commit comes to write that file (PendingImage), so that a commit of many
// large files holds one of them at a time. A pending image may instead give
// only what changes in a file that mostly stays as it is.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <span>
#include <vector>

#include "engine/format/value.h"
#include "engine/status.h"

namespace px {

struct FileImage {
  std::filesystem::path path;  // the file it replaces or creates
  Bytes bytes;
};

// A stretch of a file's new contents: bytes that lie in memory, or bytes
// made a piece at a time, as often as the commit asks for them.
struct ChangedStretch {
  std::uint64_t offset = 0;
  std::uint64_t length = 0;
  std::span<const std::uint8_t> bytes;  // the bytes, when they lie in memory
  // Otherwise: puts the stretch's bytes from `from` on into all of `out`.
  std::function<void(std::uint64_t from, std::span<std::uint8_t> out)> fill = nullptr;

  static ChangedStretch of(std::uint64_t offset, std::span<const std::uint8_t> bytes) {
    return {offset, bytes.size(), bytes, nullptr};
  }
};

struct PendingImage {
  std::filesystem::path path;  // the file it replaces or creates
  // Makes the contents and sets `contents` to them: bytes put into `storage`,
  // or bytes the producer keeps itself, which must stay unchanged until the
  // commit returns. Called at most once, in the order of the images.
  std::function<Status(Bytes& storage, std::span<const std::uint8_t>& contents)> produce;
  // Used instead of `produce` when set: the file's new size and the
  // stretches that differ from the file as it is, ascending and without
  // overlap; no stretch means no change. The commit writes them as a patch
  // when they are at most half the file, else the whole file, the rest of
  // it copied from the file as it is. The bytes are the producer's and must
  // stay unchanged until the commit returns.
  // REQUIRES: the file exists and is not longer than the new size.
  std::function<Status(std::uint64_t& newSize, std::vector<ChangedStretch>& stretches)> produceChanges = nullptr;
};

}  // namespace px
