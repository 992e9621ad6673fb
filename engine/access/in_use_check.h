// Whether another program has a database directory open. The clinical
// application keeps lock files in each directory whose tables it uses
// (PDOXUSRS.LCK, PARADOX.LCK, per-table NAME.LCK) and holds them open and
// locked while it runs; one left behind by a program that ended is stale and
// harmless. The engine never creates, changes or removes these files.
#pragma once

#include <filesystem>

#include "engine/status.h"

namespace px {

// Before a database is opened for writing: tries to lock every *.LCK file of
// `dir` (names matched without regard to case) and releases each lock at once.
// One that cannot be locked fails with rc::kDatabaseInUse, in words that tell
// the user what to do. A missing directory gives rc::kDirectoryNotFound.
Status checkNotInUse(const std::filesystem::path& dir);

}  // namespace px
