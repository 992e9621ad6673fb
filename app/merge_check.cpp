#include "app/merge_check.h"

#include <algorithm>
#include <climits>
#include <map>
#include <set>
#include <unordered_map>
#include <unordered_set>

#include "app/merge_check_environment.h"
#include "engine/format/integer_text.h"
#include "tableaccess/batch_move.h"
#include "tableaccess/database.h"
#include "tableaccess/field.h"
#include "tableaccess/table.h"

namespace {

// How many keys one finding names before it stops.
constexpr std::size_t kExamples = 5;

// One record of an old table, as read before the merge and as the forecast
// leaves it.
struct OldRecord {
  std::string key, ref, tested, name, birth;
  bool admitted = false;
  std::optional<std::string> newKey;  // set when the walk renumbers it
  bool rejected = false;              // the append would skip it
};

struct OldTable {
  std::vector<OldRecord> records;
  std::vector<std::size_t> viewOrder;  // the admitted records, first to last as the view shows them
  std::unordered_map<std::int32_t, std::vector<std::size_t>> byValue;  // records whose key is a whole number
};

struct ActiveTable {
  std::unordered_set<std::string> keys;
  // Patients by name and birth date, with their keys that are whole numbers.
  std::unordered_map<std::string, std::vector<std::int32_t>> people;
};

// Which fields of an old table the forecast reads.
struct OldFields {
  std::string key;
  std::string ref;     // the reference that the walk shifts too; "" for patients
  std::string tested;  // the field the view's filter tests
  bool person = false; // read Name and DOB
};

// A text as the key fields' AsInteger reads it.
std::optional<std::int32_t> IntegerOf(const std::string& text) {
  std::int32_t value = 0;
  if (text.find('\0') != std::string::npos || !px::parseIntegerText(text, value)) return std::nullopt;
  return value;
}

// The merge refuses a new key or counter outside this range.
std::optional<std::int32_t> InRange(std::int64_t value) {
  if (value < INT32_MIN + 1 || value > INT32_MAX) return std::nullopt;
  return static_cast<std::int32_t>(value);
}

std::string Text(const TField* field) { return field ? field->AsString() : std::string(); }

std::string PersonKey(const std::string& name, const std::string& birth) { return name + '\x1f' + birth; }

// A plain read-only view of `like`'s table in `like`'s order; filtered as
// `like` when asked. It has its own cursor, so `like` stays where it stood.
void PrepareScan(TTable& scan, const TTable& like, bool filtered) {
  scan.SetDatabaseName(like.DatabaseName());
  scan.SetTableName(like.TableName());
  scan.SetTableType(like.TableType());
  scan.SetIndexName(like.IndexName());
  scan.SetReadOnly(true);
  if (filtered && like.Filtered()) {
    scan.SetFilter(like.Filter());
    scan.SetFilterOptions(like.FilterOptions());
    scan.SetFiltered(true);
  }
}

OldTable ReadOld(const TTable& view, const OldFields& names) {
  OldTable table;
  std::unordered_map<std::string, std::size_t> byKey;
  {
    TTable scan;
    PrepareScan(scan, view, false);
    scan.Open();
    const TField* key = scan.FieldByName(names.key);
    const TField* ref = names.ref.empty() ? nullptr : scan.FieldByName(names.ref);
    const TField* tested = scan.FindField(names.tested);
    const TField* name = names.person ? scan.FindField("Name") : nullptr;
    const TField* birth = names.person ? scan.FindField("DOB") : nullptr;
    for (; !scan.AtEnd(); scan.GoNext()) {
      OldRecord record;
      record.key = key->AsString();
      record.ref = Text(ref);
      record.tested = Text(tested);
      record.name = Text(name);
      record.birth = Text(birth);
      byKey.emplace(record.key, table.records.size());
      table.records.push_back(std::move(record));
    }
    scan.Close();
  }
  {
    TTable scan;
    PrepareScan(scan, view, true);
    scan.Open();
    const TField* key = scan.FieldByName(names.key);
    for (; !scan.AtEnd(); scan.GoNext()) {
      auto found = byKey.find(key->AsString());
      if (found == byKey.end() || table.records[found->second].admitted) continue;
      table.records[found->second].admitted = true;
      table.viewOrder.push_back(found->second);
    }
    scan.Close();
  }
  for (std::size_t i = 0; i < table.records.size(); ++i) {
    if (auto value = IntegerOf(table.records[i].key)) table.byValue[*value].push_back(i);
  }
  return table;
}

ActiveTable ReadActive(const TTable& view, const std::string& keyName, bool person) {
  ActiveTable table;
  TTable scan;
  PrepareScan(scan, view, false);
  scan.Open();
  const TField* key = scan.FieldByName(keyName);
  const TField* name = person ? scan.FindField("Name") : nullptr;
  const TField* birth = person ? scan.FindField("DOB") : nullptr;
  for (; !scan.AtEnd(); scan.GoNext()) {
    const std::string text = key->AsString();
    table.keys.insert(text);
    if (name == nullptr) continue;
    const std::string who = name->AsString();
    if (who.empty()) continue;
    if (auto value = IntegerOf(text)) table.people[PersonKey(who, Text(birth))].push_back(*value);
  }
  scan.Close();
  return table;
}

// The greatest whole number among the keys (or references) of the records,
// of the admitted ones only when asked; none: INT64_MIN.
std::int64_t Greatest(const OldTable& table, std::string OldRecord::*member, bool admittedOnly) {
  std::int64_t greatest = INT64_MIN;
  for (const OldRecord& record : table.records) {
    if (admittedOnly && !record.admitted) continue;
    if (auto value = IntegerOf(record.*member)) greatest = std::max<std::int64_t>(greatest, *value);
  }
  return greatest;
}

// One renumbering phase as RunMerge runs it: the counter goes to offset +
// the greater of the last admitted key and `ceiling`, + 1; then the walk from
// the last admitted record to the first shifts each key (and the reference,
// by `refOffset`) and posts it, which fails when the new key is already held
// by another record of the old table.
void ForecastWalk(OldTable& table, const OldFields& names, std::int32_t offset, std::int64_t ceiling,
                  std::optional<std::int32_t> refOffset, TableCheck& check, CounterForecast& counter) {
  check.total = static_cast<std::int64_t>(table.records.size());
  check.admitted = static_cast<std::int64_t>(table.viewOrder.size());
  counter.now = offset;
  if (table.viewOrder.empty()) return;  // the merge fails at the empty key text

  if (auto last = IntegerOf(table.records[table.viewOrder.back()].key)) {
    const std::int64_t value = static_cast<std::int64_t>(offset) + std::max<std::int64_t>(*last, ceiling) + 1;
    counter.after = InRange(value);
    if (!counter.after) check.badKeys.push_back("Zähler " + std::to_string(value) + " außerhalb des Zahlenbereichs");
  }

  std::unordered_set<std::string> present;
  for (const OldRecord& record : table.records) present.insert(record.key);
  for (auto at = table.viewOrder.rbegin(); at != table.viewOrder.rend(); ++at) {
    OldRecord& record = table.records[*at];
    const auto key = IntegerOf(record.key);
    if (!key) {
      check.badKeys.push_back(names.key + " „" + record.key + "“ ist keine ganze Zahl");
      continue;
    }
    const auto shifted = InRange(static_cast<std::int64_t>(offset) + *key);
    if (!shifted) {
      check.badKeys.push_back(names.key + " " + record.key + " + " + std::to_string(offset) +
                              " außerhalb des Zahlenbereichs");
      continue;
    }
    if (refOffset) {
      const auto ref = IntegerOf(record.ref);
      if (!ref) {
        check.badKeys.push_back(names.ref + " „" + record.ref + "“ ist keine ganze Zahl");
        continue;
      }
      if (!InRange(static_cast<std::int64_t>(*refOffset) + *ref)) {
        check.badKeys.push_back(names.ref + " " + record.ref + " + " + std::to_string(*refOffset) +
                                " außerhalb des Zahlenbereichs");
        continue;
      }
    }
    const std::string text = std::to_string(*shifted);
    present.erase(record.key);
    if (present.count(text) > 0) {
      // The merge stops here. The walk goes on as if this record had moved,
      // so that only collisions of their own are named, not its consequences.
      check.renumberCollisions.push_back(text);
      continue;
    }
    present.insert(text);
    record.newKey = text;
  }
}

void ForecastAppend(OldTable& table, const ActiveTable& active, TableCheck& check) {
  for (std::size_t i : table.viewOrder) {
    OldRecord& record = table.records[i];
    if (record.newKey && active.keys.count(*record.newKey) > 0) {
      record.rejected = true;
      check.appendCollisions.push_back(*record.newKey);
    }
  }
}

// Each renumbered child refers to the parent of the same whole number; the
// reference holds only when that parent is appended too.
void ForecastReferences(const OldTable& children, const OldTable& parents, ReferenceCheck& out) {
  for (std::size_t i : children.viewOrder) {
    const OldRecord& child = children.records[i];
    if (!child.newKey) continue;  // the walk stops at it, reported as a key
    const auto value = IntegerOf(child.ref);
    if (!value) continue;
    bool appended = false, rejected = false, leftOut = false;
    if (auto found = parents.byValue.find(*value); found != parents.byValue.end()) {
      for (std::size_t p : found->second) {
        const OldRecord& parent = parents.records[p];
        if (!parent.admitted) leftOut = true;
        else if (parent.rejected) rejected = true;
        else appended = true;
      }
    }
    if (appended) continue;
    if (rejected) ++out.toRejected;
    else if (leftOut) ++out.toLeftOut;
    else ++out.toMissing;
    if (out.examples.size() < kExamples &&
        std::find(out.examples.begin(), out.examples.end(), child.ref) == out.examples.end()) {
      out.examples.push_back(child.ref);
    }
  }
}

void ForecastLeftOut(const OldTable& table, const OldFields& names, TableCheck& check) {
  check.testedField = names.tested;
  std::map<std::string, std::int64_t> counts;
  for (const OldRecord& record : table.records) {
    if (!record.admitted) ++counts[record.tested];
  }
  check.leftOut.assign(counts.begin(), counts.end());
  std::stable_sort(check.leftOut.begin(), check.leftOut.end(),
                   [](const auto& a, const auto& b) { return a.second > b.second; });
}

// Old patients already in the active table under the same name and birth
// date: if most of them sit there under keys moved by one and the same
// offset, this database was merged before (offset 0: renumbered in place by
// that merge; any other: a backup of it taken before).
void ForecastAlreadyMerged(const OldTable& patients, const ActiveTable& active, MergeCheckReport& report) {
  if (active.people.empty()) return;
  std::map<std::int64_t, std::int64_t> offsets;
  for (std::size_t i : patients.viewOrder) {
    const OldRecord& record = patients.records[i];
    const auto key = IntegerOf(record.key);
    if (record.name.empty() || !key) continue;
    ++report.comparedPatients;
    auto found = active.people.find(PersonKey(record.name, record.birth));
    if (found == active.people.end()) continue;
    std::set<std::int64_t> distinct;
    for (std::int32_t activeKey : found->second) distinct.insert(static_cast<std::int64_t>(activeKey) - *key);
    for (std::int64_t offset : distinct) ++offsets[offset];
  }
  for (const auto& [offset, count] : offsets) {
    if (count > report.alreadyMergedPatients) {
      report.alreadyMergedPatients = count;
      report.alreadyMergedOffset = offset;
    }
  }
}

std::string Examples(const std::vector<std::string>& keys) {
  std::string text;
  for (std::size_t i = 0; i < keys.size() && i < kExamples; ++i) text += (i > 0 ? ", " : "") + keys[i];
  if (keys.size() > kExamples) text += ", …";
  return text;
}

void AddTableFindings(MergeCheckReport& report, const char* label, const TableCheck& check) {
  const std::string name = label;
  if (check.admitted == 0) {
    report.Add(CheckSeverity::Error, CheckTopic::Keys,
               name + ": der Filter lässt keinen Datensatz zu; das Zusammenführen bricht ab.");
  }
  if (!check.badKeys.empty()) {
    report.Add(CheckSeverity::Error, CheckTopic::Keys,
               name + ": das Zusammenführen bricht ab: " + Examples(check.badKeys) + ".");
  }
  if (!check.renumberCollisions.empty()) {
    report.Add(CheckSeverity::Error, CheckTopic::RenumberCollision,
               name + ": " + std::to_string(check.renumberCollisions.size()) +
                   " neue Schlüssel gleichen dem Schlüssel eines anderen alten Datensatzes (" +
                   Examples(check.renumberCollisions) +
                   "); das Umnummerieren bricht mit einer Schlüsselverletzung ab.");
  }
  if (!check.appendCollisions.empty()) {
    report.Add(CheckSeverity::Warning, CheckTopic::AppendCollision,
               name + ": " + std::to_string(check.appendCollisions.size()) +
                   " neue Schlüssel stehen schon in der aktiven Tabelle (" + Examples(check.appendCollisions) +
                   "); diese Datensätze werden nicht angefügt.");
  }
}

void AddReferenceFindings(MergeCheckReport& report, const char* label, const char* targets,
                          const std::string& field, const ReferenceCheck& check) {
  if (check.count() == 0) return;
  std::vector<std::string> parts;
  if (check.toLeftOut > 0) parts.push_back("ausgelassen: " + std::to_string(check.toLeftOut));
  if (check.toMissing > 0) parts.push_back("fehlen: " + std::to_string(check.toMissing));
  if (check.toRejected > 0) parts.push_back("abgewiesen: " + std::to_string(check.toRejected));
  std::string kinds;
  for (std::size_t i = 0; i < parts.size(); ++i) kinds += (i > 0 ? ", " : "") + parts[i];
  report.Add(CheckSeverity::Warning, CheckTopic::References,
             std::string(label) + ": " + std::to_string(check.count()) + " verweisen auf " + targets +
                 ", die nicht angefügt werden (" + kinds + "; " + field + " " + Examples(check.examples) + ").");
}

std::filesystem::path DirectoryOf(const TTable& view) {
  const TDatabase* database = view.Database();
  if (database == nullptr || database->Handle() == nullptr) return {};
  return database->Handle()->directory();
}

}  // namespace

void MergeCheckReport::Add(CheckSeverity severity, CheckTopic topic, std::string text) {
  findings.push_back(CheckFinding{severity, topic, std::move(text)});
}

bool MergeCheckReport::Has(CheckTopic topic) const {
  return std::any_of(findings.begin(), findings.end(), [topic](const CheckFinding& f) { return f.topic == topic; });
}

CheckSeverity MergeCheckReport::Worst() const {
  CheckSeverity worst = CheckSeverity::Info;
  for (const CheckFinding& finding : findings) worst = std::max(worst, finding.severity);
  return worst;
}

int MergeCheckReport::ExitStatus() const {
  switch (Worst()) {
    case CheckSeverity::Info: return 0;
    case CheckSeverity::Warning: return 1;
    case CheckSeverity::Error: return 2;
  }
  return 2;
}

MergeCheckReport CheckMerge(const MergeTables& t, const MergeCheckOptions& options) {
  MergeCheckReport report;
  report.activeDirectory = DirectoryOf(*t.index);
  report.oldDirectory = DirectoryOf(*t.oldPatient);
  CheckDatabasesInUse(report);
  CheckFieldLayouts(t, report);

  const MergeCounters now = ReadCounters(t);
  const OldFields patientFields{t.oldPatientID->FieldName(), "", "Gender", true};
  const OldFields sessionFields{t.oldSessionID->FieldName(), t.oldSessionPatient->FieldName(),
                                t.oldSessionPatient->FieldName(), false};
  const OldFields dataFields{t.oldDataID->FieldName(), t.oldDataSessionID->FieldName(),
                             t.oldDataSessionID->FieldName(), false};
  OldTable patients = ReadOld(*t.oldPatient, patientFields);
  OldTable sessions = ReadOld(*t.oldSession, sessionFields);
  OldTable data = ReadOld(*t.oldData, dataFields);
  const ActiveTable activePatients = ReadActive(*t.patients->Destination(), patientFields.key, true);
  const ActiveTable activeSessions = ReadActive(*t.sessions->Destination(), sessionFields.key, false);
  const ActiveTable activeData = ReadActive(*t.data->Destination(), dataFields.key, false);

  // The counters must pass the records' own keys and the references among
  // the appended records, all read before anything is renumbered.
  const std::int64_t patientCeiling =
      std::max(Greatest(patients, &OldRecord::key, false), Greatest(sessions, &OldRecord::ref, true));
  const std::int64_t sessionCeiling =
      std::max(Greatest(sessions, &OldRecord::key, false), Greatest(data, &OldRecord::ref, true));
  const std::int64_t dataCeiling = Greatest(data, &OldRecord::key, false);
  ForecastWalk(patients, patientFields, now.patient, patientCeiling, std::nullopt, report.patients,
               report.patientCounter);
  ForecastWalk(sessions, sessionFields, now.session, sessionCeiling, now.patient, report.sessions,
               report.sessionCounter);
  ForecastWalk(data, dataFields, now.data, dataCeiling, now.session, report.data, report.dataCounter);
  ForecastAppend(patients, activePatients, report.patients);
  ForecastAppend(sessions, activeSessions, report.sessions);
  ForecastAppend(data, activeData, report.data);
  ForecastReferences(sessions, patients, report.sessionPatients);
  ForecastReferences(data, sessions, report.dataSessions);
  ForecastLeftOut(patients, patientFields, report.patients);
  ForecastLeftOut(sessions, sessionFields, report.sessions);
  ForecastLeftOut(data, dataFields, report.data);
  ForecastAlreadyMerged(patients, activePatients, report);
  report.tablesRead = true;

  AddTableFindings(report, "Patienten", report.patients);
  AddTableFindings(report, "Messreihen", report.sessions);
  AddTableFindings(report, "Messungen", report.data);
  AddReferenceFindings(report, "Messreihen", "Patienten", sessionFields.ref, report.sessionPatients);
  AddReferenceFindings(report, "Messungen", "Messreihen", dataFields.ref, report.dataSessions);
  CheckDiskSpace(t, options, report);
  if (report.alreadyMergedPatients > 0 && 2 * report.alreadyMergedPatients >= report.comparedPatients) {
    report.Add(CheckSeverity::Warning, CheckTopic::AlreadyMerged,
               "Diese alte Datenbank wurde anscheinend schon eingemischt: " +
                   std::to_string(report.alreadyMergedPatients) + " von " +
                   std::to_string(report.comparedPatients) +
                   " Patienten stehen mit gleichem Namen und Geburtsdatum schon in der aktiven Datenbank, " +
                   (report.alreadyMergedOffset == 0
                        ? std::string("unter denselben Schlüsseln.")
                        : "mit um " + std::to_string(report.alreadyMergedOffset) + " verschobenen Schlüsseln."));
  }
  return report;
}
