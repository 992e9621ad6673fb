// The parts of the dry run that look around the records: whether the old and
// active tables have the same fields, and whether the disk holds what the
// merge writes. Used by CheckMerge; the in-use check is in merge_check.h.
#pragma once

#include "app/merge_check.h"

// Compares each old table's fields with its active twin's, position by
// position, as the append pairs them. REQUIRES: the views of `tables` are open.
void CheckFieldLayouts(const MergeTables& tables, MergeCheckReport& report);

// Estimates the bytes the merge writes into each directory from the tables'
// files and the forecast in `report`, and compares them with the free space.
// REQUIRES: the directories and table checks of `report` are filled in.
void CheckDiskSpace(const MergeTables& tables, const MergeCheckOptions& options, MergeCheckReport& report);

// "512 Byte", "1,5 MB": a size as the report shows it.
std::string FormatBytes(std::uintmax_t bytes);
