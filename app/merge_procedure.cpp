#include "app/merge_procedure.h"

#include <algorithm>
#include <climits>
#include <optional>

#include "engine/format/integer_text.h"
#include "tableaccess/batch_move.h"
#include "tableaccess/database.h"
#include "tableaccess/db_errors.h"
#include "tableaccess/field.h"
#include "tableaccess/table.h"

namespace {

// The greatest whole number that `field` holds in the records a plain view of
// `like`'s table yields under `filter` (none: all records). Texts that are no
// whole number do not count; they are never written shifted.
std::optional<std::int64_t> GreatestKey(const TTable& like, const std::string& field, const std::string& filter) {
  TTable scan;
  scan.SetDatabaseName(like.DatabaseName());
  scan.SetTableName(like.TableName());
  scan.SetTableType(like.TableType());
  if (!filter.empty()) {
    scan.SetFilter(filter);
    scan.SetFiltered(true);
  }
  scan.Open();
  const TField* key = scan.FieldByName(field);
  std::optional<std::int64_t> greatest;
  for (; !scan.AtEnd(); scan.GoNext()) {
    std::int32_t value = 0;
    if (px::parseIntegerText(key->AsString(), value)) greatest = std::max<std::int64_t>(greatest.value_or(INT64_MIN), value);
  }
  scan.Close();
  return greatest;
}

std::string ActiveFilter(const TTable& view) { return view.Filtered() ? view.Filter() : std::string(); }

// A key or counter that no longer fits a whole number of the tables.
std::int32_t Checked(std::int64_t value, const TField& field) {
  if (value < INT32_MIN + 1 || value > INT32_MAX) {
    DatabaseError("Der neue Wert " + std::to_string(value) + " für " + field.FieldName() +
                  " liegt außerhalb des Zahlenbereichs");
  }
  return static_cast<std::int32_t>(value);
}

// Sets a counter to offset + greatest key + 1 and posts it.
void AdvanceCounter(TTable& index, TField& counter, std::int32_t offset, std::int64_t greatest) {
  index.StartEdit();
  counter.SetAsInteger(Checked(static_cast<std::int64_t>(offset) + greatest + 1, counter));
  index.PostRecord();
}

void Started(const MergeProgress& progress, MergePhase phase) {
  if (progress.phaseStarted) progress.phaseStarted(phase);
}

// Walks `view` from its last record to its first, shifting each field by its
// offset and posting before stepping back.
std::int64_t RenumberBackwards(TTable& view, const std::vector<std::pair<TField*, std::int32_t>>& shifts,
                               const MergeProgress& progress, MergePhase phase) {
  std::int64_t done = 0;
  while (!view.AtBegin()) {
    view.StartEdit();
    for (const auto& [field, offset] : shifts) {
      field->SetAsInteger(Checked(static_cast<std::int64_t>(offset) + field->AsInteger(), *field));
    }
    view.PostRecord();
    view.GoPrior();
    ++done;
    if (progress.recordDone) progress.recordDone(phase, done);
  }
  return done;
}

MergeReport::Append CountsOf(const TBatchMove& move) {
  return MergeReport::Append{move.MovedCount(), move.KeyViolCount(), move.ProblemCount()};
}

}  // namespace

bool MergeReport::anyRejected() const {
  for (const Append* append : {&patients, &sessions, &data}) {
    if (append->keyViolations > 0 || append->problems > 0) return true;
  }
  return false;
}

MergeCounters ReadCounters(const MergeTables& t) {
  return MergeCounters{t.lastPatient->AsInteger(), t.lastSession->AsInteger(), t.lastData->AsInteger()};
}

namespace {

// The merge itself: phases 1a to 2 and the write of both databases as one.
MergeReport MergeSteps(const MergeTables& t, const MergeProgress& progress, bool& written) {
  MergeReport report;
  report.before = ReadCounters(t);

  // Each counter must pass every key the merge can write for its table: the
  // records' own keys and the references to them among the appended records,
  // read before anything is renumbered. (A series of a patient marked "x" is
  // appended with its reference shifted too; a counter below that key would
  // later hand it to a new patient.)
  const std::int64_t none = INT64_MIN;
  const std::int64_t patientCeiling =
      std::max(GreatestKey(*t.oldPatient, t.oldPatientID->FieldName(), "").value_or(none),
               GreatestKey(*t.oldSession, t.oldSessionPatient->FieldName(), ActiveFilter(*t.oldSession)).value_or(none));
  const std::int64_t sessionCeiling =
      std::max(GreatestKey(*t.oldSession, t.oldSessionID->FieldName(), "").value_or(none),
               GreatestKey(*t.oldData, t.oldDataSessionID->FieldName(), ActiveFilter(*t.oldData)).value_or(none));
  const std::int64_t dataCeiling = GreatestKey(*t.oldData, t.oldDataID->FieldName(), "").value_or(none);

  Started(progress, MergePhase::Patients);
  t.oldPatient->GoLast();
  const std::int32_t lastPatientKey = t.oldPatientID->AsInteger();
  const std::int32_t p = t.lastPatient->AsInteger();
  AdvanceCounter(*t.index, *t.lastPatient, p, std::max<std::int64_t>(lastPatientKey, patientCeiling));
  report.renumberedPatients = RenumberBackwards(*t.oldPatient, {{t.oldPatientID, p}}, progress, MergePhase::Patients);

  Started(progress, MergePhase::Sessions);
  t.oldSession->GoLast();
  const std::int32_t lastSessionKey = t.oldSessionID->AsInteger();
  const std::int32_t s = t.lastSession->AsInteger();
  AdvanceCounter(*t.index, *t.lastSession, s, std::max<std::int64_t>(lastSessionKey, sessionCeiling));
  report.renumberedSessions = RenumberBackwards(*t.oldSession, {{t.oldSessionID, s}, {t.oldSessionPatient, p}},
                                               progress, MergePhase::Sessions);

  Started(progress, MergePhase::Data);
  t.oldData->GoLast();
  const std::int32_t lastDataKey = t.oldDataID->AsInteger();
  const std::int32_t d = t.lastData->AsInteger();
  AdvanceCounter(*t.index, *t.lastData, d, std::max<std::int64_t>(lastDataKey, dataCeiling));
  report.renumberedData =
      RenumberBackwards(*t.oldData, {{t.oldDataID, d}, {t.oldDataSessionID, s}}, progress, MergePhase::Data);

  Started(progress, MergePhase::Appending);
  t.patients->Execute();
  report.patients = CountsOf(*t.patients);
  t.sessions->Execute();
  report.sessions = CountsOf(*t.sessions);
  t.data->Execute();
  report.data = CountsOf(*t.data);

  // Both databases in one step: the old one's renumbered keys are what the
  // active one now holds, so one without the other would leave the next
  // merge appending everything again, or measurements under other patients.
  Started(progress, MergePhase::Writing);
  TDatabase* old = t.oldPatient->Database();
  TDatabase* active = t.index->Database();
  if (old != nullptr && active != nullptr) {
    old->FlushChangesWith(*active, written);
  } else {
    for (TDatabase* database : {old, active}) {
      if (database != nullptr) database->FlushChanges();
    }
    written = true;
  }

  report.after = ReadCounters(t);
  return report;
}

// After a failure: what memory holds goes, and both databases are read again
// as their files hold them (which finishes or undoes a write cut short). The
// active one first: the old one's reconnection decides, from what the active
// one holds, whether its own write stays. An error here is told beside the
// failure.
std::string RevertBoth(TDatabase* old, TDatabase* active) {
  std::string problems;
  for (TDatabase* database : {active, old}) {
    if (database == nullptr) continue;
    try {
      database->RevertChanges();
    } catch (const std::exception& e) {
      problems += "\r\n" + std::string(e.what());
    }
  }
  return problems;
}

// The failure's text, then what became of the two databases.
std::string FailureText(const std::string& failure, bool written, const std::string& problems) {
  if (written) return failure + "\r\nDie Datenbanken sind trotzdem vollständig zusammengeführt." + problems;
  if (problems.empty()) {
    return failure + "\r\nNichts wurde geändert: die aktive und die alte Datenbank sind wie vor dem Zusammenführen.";
  }
  return failure +
         "\r\nNichts wurde geändert; die Datenbanken ließen sich danach nicht wieder öffnen, "
         "beim nächsten Öffnen sind beide wie vor dem Zusammenführen." +
         problems;
}

}  // namespace

MergeReport RunMerge(const MergeTables& t, const MergeProgress& progress) {
  // Whatever fails (a key that is no number, a key that collides, an engine
  // error, a write), both databases stay as they were before: the counters,
  // the renumbered old records and the appended ones are given up together.
  TDatabase* old = t.oldPatient->Database();
  TDatabase* active = t.index->Database();
  bool written = false;
  try {
    return MergeSteps(t, progress, written);
  } catch (Exception& failure) {
    // The failure keeps its kind; only its text grows.
    failure.SetMessage(FailureText(failure.Message(), written, RevertBoth(old, active)));
    throw;
  } catch (const std::exception& failure) {
    throw EDatabaseError(FailureText(failure.what(), written, RevertBoth(old, active)));
  }
}

std::string RejectedRecordsMessage(const MergeReport& report) {
  if (!report.anyRejected()) return {};
  std::string message = "Nicht alle alten Daten wurden übernommen!";
  const struct {
    const char* table;
    const MergeReport::Append* append;
  } rows[] = {{"Patienten", &report.patients}, {"Messreihen", &report.sessions}, {"Messungen", &report.data}};
  for (const auto& row : rows) {
    if (row.append->keyViolations == 0 && row.append->problems == 0) continue;
    message += "\r\n";
    message += row.table;
    message += ": ";
    if (row.append->keyViolations > 0) {
      message += std::to_string(row.append->keyViolations) + " mit schon vorhandenem Schlüssel";
    }
    if (row.append->problems > 0) {
      if (row.append->keyViolations > 0) message += ", ";
      message += std::to_string(row.append->problems) + " nicht schreibbar";
    }
  }
  return message;
}
