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
#include "engine/storage/file_patch.h"

namespace px {

struct FileImage {
  std::filesystem::path path;  // the file it replaces or creates
  Bytes bytes;
};

struct PendingImage {
  std::filesystem::path path;  // the file it replaces or creates
  // Makes the contents and sets `contents` to them: bytes put into `storage`,
  // or bytes the producer keeps itself, which must stay unchanged until the
  // commit returns. Called at most once, in the order of the images.
  std::function<Status(Bytes& storage, std::span<const std::uint8_t>& contents)> produce;
  // Used instead of `produce` when set: the file's new size and the
  // stretches that differ from the file as it is, ascending and without
  // overlap; no stretch means no change. The bytes are the producer's and
  // must stay unchanged until the commit returns.
  // REQUIRES: the file exists and is not longer than the new size.
  std::function<Status(std::uint64_t& newSize, std::vector<PatchRange>& ranges)> produceChanges = nullptr;
};

}  // namespace px
