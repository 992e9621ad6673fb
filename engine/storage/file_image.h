// The new contents of one file of a table family, produced in memory and
// written by a commit.
#pragma once

#include <filesystem>

#include "engine/format/value.h"

namespace px {

struct FileImage {
  std::filesystem::path path;  // the file it replaces or creates
  Bytes bytes;
};

}  // namespace px
