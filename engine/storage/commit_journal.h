// All-or-nothing replacement of a database's changed files. See the model
// described at the top of commit_journal.cpp.
#pragma once

#include <filesystem>
#include <vector>

#include "engine/io/file_system.h"
#include "engine/status.h"
#include "engine/storage/file_image.h"

namespace px {

class CommitJournal {
 public:
  // Name of the journal file in the database directory.
  static constexpr const char* kFileName = "pxcommit.jnl";

  // Writes every image as a new file beside its target, then replaces the
  // targets through the journal. On failure the directory is left so that
  // recover() brings it to the state before or after the commit.
  static Status commit(FileSystem& fs, const std::filesystem::path& directory, const std::vector<FileImage>& images);

  // Finishes a commit that was cut short after its journal was complete, or
  // undoes one whose journal was not; does nothing when there is no journal.
  static Status recover(FileSystem& fs, const std::filesystem::path& directory);
};

}  // namespace px
