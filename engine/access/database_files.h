// What a database directory's files tell before the database is opened: the
// files that make up a table, and whether a commit was cut short there.
// Reads the directory only; never changes it.
#pragma once

#include <filesystem>
#include <string_view>
#include <vector>

#include "engine/io/file_system.h"
#include "engine/status.h"

namespace px {

// The files of a table's family in `directory`: its .DB, and its .PX, .MB,
// .VAL and each secondary index's files where they exist (letter case as on
// disk). `tableName` may carry an extension; without one the table is
// NAME.db. Fails as finding the family does when there is no such table.
Status tableFiles(FileSystem& fs, const std::filesystem::path& directory, std::string_view tableName,
                  std::vector<std::filesystem::path>& files);

// Whether the directory holds what a commit cut short leaves behind: the
// journal or temporaries of its own commit (commit_journal.h), or the journal
// or copies of a linked commit (linked_commit.h). The next Database::open
// finishes or undoes that commit. Temporaries and copies are found by their
// suffix in any letter case; a directory that cannot be listed is judged by
// its journals alone.
bool hasUnfinishedCommit(const std::filesystem::path& directory);

}  // namespace px
