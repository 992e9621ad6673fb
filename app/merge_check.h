// The dry run of a merge: reads both databases through the merge's views and
// tells what RunMerge would do with them (counters, records admitted and left
// out, key collisions, references to records that stay behind, field layouts,
// databases in use, disk space, an old database merged before) without
// writing anything. No terminal or window code; the front ends format it.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "app/merge_procedure.h"

enum class CheckSeverity { Info, Warning, Error };

enum class CheckTopic {
  OpenFailed,         // a database could not be opened at all
  InUse,              // another program has a database open
  Fields,             // old and active tables differ in their fields
  Keys,               // a key or reference that is no whole number, or leaves the number range
  RenumberCollision,  // a shifted key meets a key inside the old table
  AppendCollision,    // a shifted key is already in the active table
  References,         // an appended record refers to one that is not appended
  DiskSpace,
  AlreadyMerged,
};

struct CheckFinding {
  CheckSeverity severity = CheckSeverity::Info;
  CheckTopic topic = CheckTopic::OpenFailed;
  std::string text;
};

// One of the three old tables as the merge would treat it.
struct TableCheck {
  std::int64_t total = 0;     // records of the whole table
  std::int64_t admitted = 0;  // records the view's filter admits: renumbered and offered to the append
  // Why the others are left out: the text of the field the filter tests
  // ("x", "0", "" for blank) with the number of records, most frequent first.
  std::string testedField;
  std::vector<std::pair<std::string, std::int64_t>> leftOut;
  // Shifted keys that would meet the key of another old record during the
  // renumbering walk (a key violation that stops the merge).
  std::vector<std::string> renumberCollisions;
  // Shifted keys the active table already holds: the append skips these records.
  std::vector<std::string> appendCollisions;
  // Key or reference texts of admitted records that are no whole number, or
  // whose shifted value leaves the number range: the merge stops at them.
  std::vector<std::string> badKeys;

  std::int64_t leftOutCount() const { return total - admitted; }
};

// References of appended records whose target is not appended.
struct ReferenceCheck {
  std::int64_t toLeftOut = 0;  // the target exists but its filter leaves it out
  std::int64_t toMissing = 0;  // no old record has the key
  std::int64_t toRejected = 0; // the target's shifted key is already in the active table
  std::vector<std::string> examples;  // the first few distinct old reference texts

  std::int64_t count() const { return toLeftOut + toMissing + toRejected; }
};

struct CounterForecast {
  std::int32_t now = 0;
  std::optional<std::int32_t> after;  // none when the merge could not compute it
};

struct MergeCheckReport {
  std::filesystem::path activeDirectory, oldDirectory;
  bool tablesRead = false;  // false: the databases could not be read; only the findings count
  CounterForecast patientCounter, sessionCounter, dataCounter;
  TableCheck patients, sessions, data;
  ReferenceCheck sessionPatients;  // series -> patients
  ReferenceCheck dataSessions;     // measurements -> series
  // Disk space: what the merge writes (new files beside the old ones until
  // the commit replaces them, and the journal) against what is free.
  std::uintmax_t spaceNeeded = 0, spaceFree = 0;
  // Old patients found in the active table under the same name and birth
  // date, with keys that differ by one offset.
  std::int64_t alreadyMergedPatients = 0, comparedPatients = 0;
  std::int64_t alreadyMergedOffset = 0;
  std::vector<CheckFinding> findings;

  void Add(CheckSeverity severity, CheckTopic topic, std::string text);
  bool Has(CheckTopic topic) const;
  CheckSeverity Worst() const;
  // 0: the merge would go through cleanly; 1: with warnings; 2: it would fail.
  int ExitStatus() const;
};

struct MergeCheckOptions {
  // Free bytes for a directory; empty: what the file system reports.
  std::function<std::uintmax_t(const std::filesystem::path&)> freeSpace;
};

// The whole dry run on the opened views of a merge. Opens plain read-only
// views of its own beside them and never edits, posts or flushes; the views
// of `tables` are left where they stood. Throws only what reading throws.
MergeCheckReport CheckMerge(const MergeTables& tables, const MergeCheckOptions& options = {});

// Adds a finding for each directory of `report` that another program has in
// use (an empty path is skipped).
void CheckDatabasesInUse(MergeCheckReport& report);

// Adds a finding for each directory of `report` that holds the remains of a
// commit cut short (its journal or new files not yet renamed). Opening such a
// database finishes or undoes that commit, which a dry run must not do, so
// it is asked before anything is opened.
void CheckUnfinishedCommits(MergeCheckReport& report);

inline constexpr const char* kCheckTitle = "Prüfung des Zusammenführens (es wird nichts geändert)";

// The report as lines of German text under `title`, each ending in "\n".
std::string FormatCheckReport(const MergeCheckReport& report, const std::string& title = kCheckTitle);
