// Binding the old database module to a directory, as the merge window's
// directory handler and the command line both do it, and gathering what the
// merge procedure works on from the two modules and three batch appends.
#pragma once

#include <string>

#include "app/merge_procedure.h"

class TComponent;
class TdmRA5;
class TdmRA5old;

// The window's one message of its own, for an old database that cannot be opened.
inline constexpr const char* kOldDataMessage = "Alte Daten nicht in diesem Verzeichnis, unvollständig oder beschädigt!";

// The message for an old directory that is the active database itself.
inline constexpr const char* kOldIsActiveMessage =
    "Das gewählte Verzeichnis ist das der aktiven Datenbank. Die alte Datenbank muss in einem anderen "
    "Verzeichnis liegen: nichts wurde geändert.";

// Refuses (EDatabaseError with kOldIsActiveMessage) an old directory `path`
// that is the active database's directory under any name: another spelling,
// a link, another path to the same place. The active directory is the one its
// open views use, else the one the engine's configuration gives the alias.
void CheckNotActiveDatabase(const TdmRA5& active, const std::string& path);

// Sets the database name of the three old views to `path` plus a backslash
// (whatever the path ends in). Fails, like the views, when they are open on
// another directory.
void BindOldDatabase(TdmRA5old& old, const std::string& path);
// Opens dData, dSession and dPatient in that order.
void OpenOldDatabase(TdmRA5old& old);
// Reads the key of each old view's first record as an integer, as the
// progress bars bound to them do when the views open; fails when a view
// admits no record or its first key is not a whole number.
void CheckOldKeys(const TdmRA5old& old);
// Closes dData, dSession and dPatient in that order.
void CloseOldDatabase(TdmRA5old& old);

// Creates, owned by `owner`, the three batch appends the merge window
// declares (BatchMovePat, BatchMoveSes, BatchMoveDat: old to active, not
// aborting on key violations or problems), for front ends without the window,
// and returns the merge's tables with them.
MergeTables CreateMergeTables(TComponent& owner, TdmRA5& active, TdmRA5old& old);

MergeTables MergeTablesOf(TdmRA5& active, TdmRA5old& old, TBatchMove* patients, TBatchMove* sessions,
                          TBatchMove* data);
