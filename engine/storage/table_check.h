// Integrity check of a table family: every relation between the .DB, its .PX,
// its secondary indexes, its .MB and its .VAL that the original engine relies
// on (docs/paradox-format.md sections 2, 4-8). Unlike Table::open, which stops at the
// first inconsistency, the check reads the files through tolerant walks of its
// own and reports every finding it can make.
// Errors are what the original engine would refuse or what corrupts data;
// warnings are harmless or known habits of the original engine (stale block
// hints, files that end inside their last block, orphaned blob blocks).
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "engine/io/file_system.h"
#include "engine/status.h"

namespace px {

struct CheckFinding {
  enum class Severity { Warning, Error };
  Severity severity = Severity::Error;
  std::string file;  // the file's name as found on disk ("Counts.XG0")
  std::string text;
};

struct CheckOptions {
  // Also rebuild the .PX and every maintained .X/.Y in memory, as a writer
  // would, and report every difference from the files.
  bool rebuild = false;
};

// Checks one table; `table` is its name, with or without the .db extension.
// Findings are appended. Fails only when the table cannot be found or its
// .DB cannot be read at all; everything else is a finding.
Status checkTable(FileSystem& fs, const std::filesystem::path& dir, const std::string& table,
                  const CheckOptions& options, std::vector<CheckFinding>& findings);

struct TableCheckResult {
  std::string table;  // the .DB's file name
  Status status;      // as checkTable returned it
  std::vector<CheckFinding> findings;

  std::size_t errors() const;
  std::size_t warnings() const;
};

// Checks every .DB in a directory, in name order. Fails only when the
// directory cannot be listed.
Status checkDirectory(FileSystem& fs, const std::filesystem::path& dir, const CheckOptions& options,
                      std::vector<TableCheckResult>& results);

}  // namespace px
