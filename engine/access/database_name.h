// How a database name is taken: as an alias of the engine configuration
// ("winvelda5") or as a directory ("C:\DATA\OLD\", "/data/old\"), and how a
// table name with a driver name becomes the name of the table's data file.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

#include "engine/status.h"

namespace px {

// True for a name that is a directory rather than an alias: an empty name,
// or one containing ':', '\' or '/'. Alias names never contain these.
bool isDirectoryName(std::string_view name);

// The directory a directory name stands for. Callers append a backslash to
// mark a directory ("/data/old\"); trailing separators go, so the result has
// none, and on POSIX every backslash stands for '/'. On Windows both
// separators stay as written ("C:/Praxis\alt", "\\server\share\winvelda5").
// The name is UTF-8. The empty name is the current directory ".".
std::filesystem::path directoryFromName(std::string_view name);

// The data file name of `table` opened through `driver`. The driver is "" (the
// default) or "PARADOX"; the names of other table kinds ("DBASE", "FOXPRO",
// "ASCIIDRV") are refused with rc::kUnsupportedDriver, and so is a default
// driver with a name ending in ".dbf" or ".txt". A name without an extension
// gets ".db"; trailing blanks and dots are dropped first, as the file system
// drops them ("patient." is "patient.db"). On failure `status` is set and the result is empty.
std::string tableFileName(std::string_view table, std::string_view driver, Status& status);

}  // namespace px
