#include "engine/access/database_files.h"

#include <system_error>

#include "engine/access/linked_commit.h"
#include "engine/storage/commit_journal.h"
#include "engine/storage/table_family.h"

namespace px {

namespace fs = std::filesystem;

Status tableFiles(FileSystem& fs, const fs::path& directory, std::string_view tableName, std::vector<fs::path>& files) {
  files.clear();
  TableFamily family;
  PX_RETURN_IF_ERROR(locateFamily(fs, directory, tableName, family));
  files.push_back(family.dataFile);
  for (const auto& file : {family.primaryIndex, family.blobFile, family.validityFile}) {
    if (file) files.push_back(*file);
  }
  for (const SecondaryIndexFiles& index : family.secondaryIndexes) {
    files.push_back(index.dataFile);
    if (index.treeFile) files.push_back(*index.treeFile);
  }
  return Status::Ok();
}

bool hasUnfinishedCommit(const fs::path& directory) {
  std::error_code ec;
  bool unfinished = fs::exists(directory / CommitJournal::kFileName, ec) ||
                    fs::exists(directory / LinkedCommit::kJournalName, ec);
  for (fs::directory_iterator it(directory, ec); !ec && it != fs::directory_iterator(); it.increment(ec)) {
    const std::string name = lowerAscii(it->path().filename().string());
    if (name.ends_with(CommitJournal::kTemporarySuffix) || name.ends_with(LinkedCommit::kCopySuffix)) unfinished = true;
  }
  return unfinished;
}

}  // namespace px
