// One all-or-nothing commit over two databases in two directories, as a merge
// that renumbers one database and appends it to the other needs: afterwards,
// and after a crash at any write once the next open has recovered, both hold
// their changes or neither does. See the model at the top of linked_commit.cpp.
// Thread safety: none; one commit or recovery per pair of directories at a time.
#pragma once

#include <filesystem>

#include "engine/access/database.h"
#include "engine/io/file_system.h"
#include "engine/status.h"

namespace px {

class LinkedCommit {
 public:
  // In `first`'s directory while its commit waits for `second`'s.
  static constexpr const char* kJournalName = "pxlink.jnl";
  // Beside each file of `first` that its commit replaces, that file as it was.
  static constexpr const char* kCopySuffix = ".pxundo";
  // In `second`'s directory: committed with `second`'s changes, it is the
  // decision that `first` keeps its own.
  static constexpr const char* kMarkerName = "pxlink.mrk";

  // Commits `first`, then `second`. `committed` tells, also on failure,
  // whether the pair ends with both changes (true) or with neither (false)
  // once each directory has been opened again (Database::open recovers).
  // REQUIRES: the two are different directories.
  static Status commit(Database& first, Database& second, bool& committed);

  // Finishes or undoes a linked commit that was cut short, in the directory
  // of either side: the first side keeps its changes when the second side's
  // marker carries the link, and gets its copies back otherwise; a marker
  // that no link waits for any more is removed. Nothing is done without
  // such files. Database::open runs it after the directory's own journal.
  static Status recover(FileSystem& fs, const std::filesystem::path& directory);
};

}  // namespace px
