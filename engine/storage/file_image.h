// The new contents of one file of a table family, produced in memory and
// written by a commit: either made at once (FileImage) or made only when the
// commit comes to write that file (PendingImage), so that a commit of many
// large files holds one of them at a time.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <span>

#include "engine/format/value.h"
#include "engine/status.h"

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
};

}  // namespace px
