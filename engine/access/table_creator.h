// Creating a new, empty table family on disk: NAME.DB, NAME.PX for a keyed
// table, NAME.MB when it has blob fields, and NAME.Xnn/.Ynn or NAME.XGn/.YGn
// for each secondary index, all with the headers of header_builder.h and no
// blocks. The files are written durably; the .DB comes last, so a table that
// exists is complete.
//
// File names: the table's name as given with upper-case extensions (".DB",
// ".PX", ".MB", ".X0A", ".YG0"), the style of most files the original engine
// wrote. An unnamed index on field n takes n as two upper-case hex digits.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "engine/format/header_builder.h"
#include "engine/format/table_definition.h"
#include "engine/io/file_system.h"
#include "engine/status.h"

namespace px {

// Creates the family with stamps taken from the clock. Refuses, with
// kInvalidParameter and nothing written, when the name is not a plain file
// name or any file of a family of that name (compared without regard to
// letter case: .DB, .PX, .MB, .VAL, .TV, .FAM, .LCK, .X*, .Y*) is in the
// directory; kDirectoryNotFound when the directory does not exist; the
// codes of validate() for a description it rejects. When a write fails the files
// already written are removed again (as far as the file system allows).
Status createTable(FileSystem& fs, const std::filesystem::path& dir, const std::string& name, const TableDefinition& definition);

// The same with given stamps (tests, and callers that need repeatable bytes).
Status createTable(FileSystem& fs, const std::filesystem::path& dir, const std::string& name, const TableDefinition& definition,
                   const CreationStamps& stamps);

// The names of the files createTable writes for this table, in writing order
// (the .DB last). REQUIRES: validate(definition) succeeded.
std::vector<std::string> familyFileNames(const std::string& name, const TableDefinition& definition);

}  // namespace px
