// Finding a table's files in its directory. Names match without regard to
// letter case ("CD.db" beside "Cd.px"), as the original engine matches them.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/io/file_system.h"
#include "engine/status.h"

namespace px {

struct SecondaryIndexFiles {
  std::string suffix;                 // "X02", "XG0", ...
  std::filesystem::path dataFile;     // .Xnn / .XGn
  std::optional<std::filesystem::path> treeFile;  // .Ynn / .YGn
};

struct TableFamily {
  std::filesystem::path directory;
  std::string name;                   // the table's base name as found on disk
  std::filesystem::path dataFile;     // .DB
  std::optional<std::filesystem::path> primaryIndex;  // .PX
  std::optional<std::filesystem::path> blobFile;      // .MB
  std::optional<std::filesystem::path> validityFile;  // .VAL
  std::vector<SecondaryIndexFiles> secondaryIndexes;  // sorted by suffix
  std::vector<std::filesystem::path> otherFiles;      // .TV, .FAM, ...: kept, never read
};

// `tableName` may carry an extension; without one the table is NAME.db.
Status locateFamily(FileSystem& fs, const std::filesystem::path& directory, std::string_view tableName,
                    TableFamily& out);

// Lower-case ASCII copy, for name matching.
std::string lowerAscii(std::string_view text);

}  // namespace px
