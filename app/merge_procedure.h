// The merge: renumbers the old database's patients, series and measurements
// in place so that their keys follow the active database's counters,
// advances the counters, and appends the old tables to the active ones with
// the three batch appends. It holds no window code; the merge window and the
// command line both run it on the views of the two database modules.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

class TBatchMove;
class TField;
class TTable;

// The views, field objects and batch appends the merge works on.
struct MergeTables {
  // Active database: the counter view and its three counters.
  TTable* index = nullptr;
  TField* lastPatient = nullptr;
  TField* lastSession = nullptr;
  TField* lastData = nullptr;
  // Old database, filtered and ordered by key.
  TTable* oldPatient = nullptr;
  TField* oldPatientID = nullptr;
  TTable* oldSession = nullptr;
  TField* oldSessionID = nullptr;
  TField* oldSessionPatient = nullptr;
  TTable* oldData = nullptr;
  TField* oldDataID = nullptr;
  TField* oldDataSessionID = nullptr;
  // Old to active, in this order.
  TBatchMove* patients = nullptr;
  TBatchMove* sessions = nullptr;
  TBatchMove* data = nullptr;
};

enum class MergePhase { Patients, Sessions, Data, Appending, Writing };

// What a front end may show while the merge runs. Every member may be empty.
struct MergeProgress {
  std::function<void(MergePhase)> phaseStarted;
  // A record of the phase's walk was renumbered (the count so far).
  std::function<void(MergePhase, std::int64_t done)> recordDone;
};

struct MergeCounters {
  std::int32_t patient = 0, session = 0, data = 0;
};

struct MergeReport {
  MergeCounters before, after;
  std::int64_t renumberedPatients = 0, renumberedSessions = 0, renumberedData = 0;
  // What each append moved and rejected.
  struct Append {
    std::int32_t moved = 0, keyViolations = 0, problems = 0;
  };
  Append patients, sessions, data;
  bool anyRejected() const;
};

// Runs the whole merge and writes both databases in one step. Throws what a
// step throws, its text followed by what became of the databases: whatever
// failed, nothing was changed (the views of both show the files as before),
// unless the write had gone through all the same, which the text says.
MergeReport RunMerge(const MergeTables& tables, const MergeProgress& progress = {});

// The counters as the counter view shows them now.
MergeCounters ReadCounters(const MergeTables& tables);

// The message about records the appends rejected, in the window's language;
// empty when none was rejected.
std::string RejectedRecordsMessage(const MergeReport& report);
