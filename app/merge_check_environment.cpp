#include "app/merge_check_environment.h"

#include <algorithm>
#include <iterator>
#include <system_error>

#include "engine/access/in_use_check.h"
#include "engine/access/linked_commit.h"
#include "engine/io/platform.h"
#include "engine/storage/commit_journal.h"
#include "engine/storage/table_family.h"
#include "framework/core/component.h"
#include "tableaccess/batch_move.h"
#include "tableaccess/field_types.h"
#include "tableaccess/table.h"

namespace fs = std::filesystem;

namespace {

// What a commit writes besides the new files: its journal of names and sizes.
constexpr std::uintmax_t kJournalBytes = 64 * 1024;

std::string Describe(const TFieldDef& def) {
  std::string text = "„" + def.name + "“ " + std::string(FieldTypeName(def.dataType));
  if (!IsLargeObjectType(def.dataType) && def.size > 0) text += " " + std::to_string(def.size);
  return text;
}

// The append pairs fields by position and converts nothing it cannot keep;
// the in-record part of a large object is the storage's affair and may differ.
bool SameField(const TFieldDef& a, const TFieldDef& b) {
  if (!SameText(a.name, b.name) || a.dataType != b.dataType) return false;
  return IsLargeObjectType(a.dataType) || a.size == b.size;
}

void CompareFields(const TTable& oldView, const TTable& activeView, MergeCheckReport& report) {
  const std::vector<TFieldDef>& olds = oldView.FieldDefs();
  const std::vector<TFieldDef>& actives = activeView.FieldDefs();
  std::vector<std::string> differences;
  const std::size_t count = std::max(olds.size(), actives.size());
  for (std::size_t i = 0; i < count; ++i) {
    const std::string place = "Nr. " + std::to_string(i + 1) + ": ";
    if (i >= actives.size()) differences.push_back(place + "alt " + Describe(olds[i]) + ", aktiv keines");
    else if (i >= olds.size()) differences.push_back(place + "alt keines, aktiv " + Describe(actives[i]));
    else if (!SameField(olds[i], actives[i]))
      differences.push_back(place + "alt " + Describe(olds[i]) + ", aktiv " + Describe(actives[i]));
  }
  if (differences.empty()) return;
  std::string text = oldView.TableName() + ": die Felder der alten und der aktiven Tabelle passen nicht zusammen (";
  for (std::size_t i = 0; i < differences.size() && i < 3; ++i) text += (i > 0 ? "; " : "") + differences[i];
  if (differences.size() > 3) text += "; und " + std::to_string(differences.size() - 3) + " weitere";
  report.Add(CheckSeverity::Error, CheckTopic::Fields, text + ").");
}

// The bytes of a table's files; 0 when they cannot be found.
std::uintmax_t TableBytes(const fs::path& directory, const std::string& tableName) {
  px::TableFamily family;
  if (directory.empty() || !px::locateFamily(px::localFileSystem(), directory, tableName, family).ok()) return 0;
  std::vector<fs::path> files{family.dataFile};
  for (const auto& file : {family.primaryIndex, family.blobFile, family.validityFile}) {
    if (file) files.push_back(*file);
  }
  for (const px::SecondaryIndexFiles& index : family.secondaryIndexes) {
    files.push_back(index.dataFile);
    if (index.treeFile) files.push_back(*index.treeFile);
  }
  std::uintmax_t bytes = 0;
  for (const fs::path& file : files) {
    std::error_code ec;
    const std::uintmax_t size = fs::file_size(file, ec);
    if (!ec) bytes += size;
  }
  return bytes;
}

std::uintmax_t FreeBytes(const MergeCheckOptions& options, const fs::path& directory) {
  if (options.freeSpace) return options.freeSpace(directory);
  std::error_code ec;
  const fs::space_info info = fs::space(directory, ec);
  return ec ? 0 : info.available;
}

std::string Size(std::uintmax_t bytes) {
  const char* units[] = {"Byte", "KB", "MB", "GB", "TB"};
  double value = static_cast<double>(bytes);
  std::size_t unit = 0;
  while (value >= 1024 && unit + 1 < std::size(units)) {
    value /= 1024;
    ++unit;
  }
  if (unit == 0) return std::to_string(bytes) + " Byte";
  const auto tenths = static_cast<long long>(value * 10 + 0.5);
  return std::to_string(tenths / 10) + "," + std::to_string(tenths % 10) + " " + units[unit];
}

void CheckOneDatabaseInUse(const fs::path& directory, const char* which, MergeCheckReport& report) {
  if (directory.empty()) return;
  const px::Status status = px::checkNotInUse(directory);
  if (status.ok() || status.code() == px::rc::kDirectoryNotFound) return;
  if (status.code() == px::rc::kDatabaseInUse) {
    report.Add(CheckSeverity::Error, CheckTopic::InUse,
               std::string("Die ") + which + " Datenbank (" + directory.string() +
                   ") wird von einem anderen Programm benutzt; die Praxisanwendung an allen Arbeitsplätzen beenden.");
  } else {
    report.Add(CheckSeverity::Warning, CheckTopic::InUse,
               std::string("Ob die ") + which + " Datenbank benutzt wird, ließ sich nicht prüfen: " + status.message());
  }
}

}  // namespace

void CheckDatabasesInUse(MergeCheckReport& report) {
  CheckOneDatabaseInUse(report.activeDirectory, "aktive", report);
  CheckOneDatabaseInUse(report.oldDirectory, "alte", report);
}

void CheckUnfinishedCommits(MergeCheckReport& report) {
  const std::pair<const fs::path*, const char*> databases[] = {{&report.activeDirectory, "aktiven"},
                                                               {&report.oldDirectory, "alten"}};
  for (const auto& [directory, which] : databases) {
    if (directory->empty()) continue;
    std::error_code ec;
    // A commit's journal and temporaries, and a linked commit's journal and
    // copies: the next open finishes or undoes what they belong to.
    bool unfinished = fs::exists(*directory / px::CommitJournal::kFileName, ec) ||
                      fs::exists(*directory / px::LinkedCommit::kJournalName, ec);
    for (fs::directory_iterator it(*directory, ec); !ec && it != fs::directory_iterator(); it.increment(ec)) {
      const std::string name = px::lowerAscii(it->path().filename().string());
      if (name.ends_with(px::CommitJournal::kTemporarySuffix) || name.ends_with(px::LinkedCommit::kCopySuffix)) {
        unfinished = true;
      }
    }
    if (!unfinished) continue;
    report.Add(CheckSeverity::Error, CheckTopic::OpenFailed,
               std::string("In der ") + which + " Datenbank (" + directory->string() +
                   ") ist ein Schreibvorgang nicht abgeschlossen; erst das Öffnen schließt ihn ab, "
                   "darum öffnet die Prüfung sie nicht.");
  }
}

void CheckFieldLayouts(const MergeTables& t, MergeCheckReport& report) {
  for (const TBatchMove* move : {t.patients, t.sessions, t.data}) {
    const auto* source = dynamic_cast<const TTable*>(move->Source());
    if (source != nullptr && move->Destination() != nullptr) CompareFields(*source, *move->Destination(), report);
  }
}

void CheckDiskSpace(const MergeTables& t, const MergeCheckOptions& options, MergeCheckReport& report) {
  // Each commit writes the changed tables anew beside the old files and then
  // replaces them: the old database's three tables keep their size, the
  // active ones grow by the share of the old records appended. The old
  // database also keeps a copy of its files until the active one is written.
  std::uintmax_t oldNeeded = 2 * kJournalBytes, activeNeeded = kJournalBytes;
  const TableCheck* checks[] = {&report.patients, &report.sessions, &report.data};
  const TBatchMove* moves[] = {t.patients, t.sessions, t.data};
  for (int i = 0; i < 3; ++i) {
    const auto* source = dynamic_cast<const TTable*>(moves[i]->Source());
    const std::uintmax_t oldBytes = source ? TableBytes(report.oldDirectory, source->TableName()) : 0;
    oldNeeded += 2 * oldBytes;
    const TableCheck& check = *checks[i];
    const std::int64_t appended = check.admitted - static_cast<std::int64_t>(check.appendCollisions.size());
    std::uintmax_t growth = 0;
    if (check.total > 0 && appended > 0) {
      growth = static_cast<std::uintmax_t>(static_cast<long double>(oldBytes) * appended / check.total);
    }
    activeNeeded += TableBytes(report.activeDirectory, moves[i]->Destination()->TableName()) + growth;
  }
  activeNeeded += TableBytes(report.activeDirectory, t.index->TableName());

  report.spaceNeeded = oldNeeded + activeNeeded;
  const std::uintmax_t oldFree = FreeBytes(options, report.oldDirectory);
  const std::uintmax_t activeFree = FreeBytes(options, report.activeDirectory);
  const bool shared = px::sameVolume(report.oldDirectory, report.activeDirectory);
  report.spaceFree = shared ? activeFree : std::min(oldFree, activeFree);
  auto tooLittle = [&report](std::uintmax_t needed, std::uintmax_t free, const fs::path& directory) {
    report.Add(CheckSeverity::Error, CheckTopic::DiskSpace,
               "Zu wenig Speicherplatz: benötigt etwa " + Size(needed) + ", frei " + Size(free) + " (" +
                   directory.string() + ").");
  };
  if (shared) {
    if (report.spaceNeeded > activeFree) tooLittle(report.spaceNeeded, activeFree, report.activeDirectory);
  } else {
    if (oldNeeded > oldFree) tooLittle(oldNeeded, oldFree, report.oldDirectory);
    if (activeNeeded > activeFree) tooLittle(activeNeeded, activeFree, report.activeDirectory);
  }
}

std::string FormatBytes(std::uintmax_t bytes) { return Size(bytes); }
