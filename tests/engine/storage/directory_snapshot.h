// Every file of a directory with its bytes, as the commit tests compare a
// directory before and after a commit cut short.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "engine/io/file_system.h"

namespace px {

using Snapshot = std::map<std::string, Bytes>;

inline Snapshot snapshot(FileSystem& fs, const std::filesystem::path& dir) {
  std::vector<std::string> names;
  EXPECT_TRUE(fs.listDirectory(dir, names).ok());
  Snapshot files;
  for (const std::string& name : names) EXPECT_TRUE(fs.readFile(dir / name, files[name]).ok()) << name;
  return files;
}

}  // namespace px
