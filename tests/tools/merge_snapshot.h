// Snapshots of the tables a merge touches, read through the engine the way
// the next program opens a database, and the comparisons the crash tests make
// with them: whole states record by record, and the active database's
// contents apart from the keys a merge hands out.
#pragma once

#include <algorithm>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "engine/access/database.h"
#include "engine/storage/commit_journal.h"

namespace merge_snapshot {

namespace fs = std::filesystem;

// One record: field names and value texts in field order.
using Record = std::vector<std::pair<std::string, std::string>>;
using Records = std::vector<Record>;  // in key order

// The tables a merge reads or writes.
inline constexpr const char* kTables[] = {"patient", "session", "data", "index"};

struct Snapshot {
  std::map<std::string, Records> tables;
  bool operator==(const Snapshot&) const = default;
};

// A value as text that tells every value apart: blobs by size and checksum.
inline std::string ValueText(const px::Value& value) {
  if (px::isNull(value)) return "(blank)";
  if (const auto* text = std::get_if<std::string>(&value)) return "'" + *text + "'";
  if (const auto* number = std::get_if<std::int32_t>(&value)) return std::to_string(*number);
  if (const auto* real = std::get_if<double>(&value)) {
    char exact[64];
    std::snprintf(exact, sizeof exact, "%a", *real);
    return exact;
  }
  if (const auto* flag = std::get_if<bool>(&value)) return *flag ? "true" : "false";
  if (const auto* decimal = std::get_if<px::Decimal>(&value)) return decimal->text;
  const auto& bytes = std::get<px::Bytes>(value);
  char digest[64];
  std::snprintf(digest, sizeof digest, "%zu bytes #%016" PRIx64, bytes.size(), px::CommitJournal::checksum(bytes));
  return digest;
}

// Opens the database as the next program would, which finishes or undoes a
// commit that was cut short, reads the merge's tables and closes it again.
// Anything that goes wrong is added to `problems`.
inline Snapshot OpenAndRead(const fs::path& dir, std::vector<std::string>& problems) {
  Snapshot snapshot;
  std::unique_ptr<px::Database> db;
  if (const px::Status opened = px::Database::open(px::localFileSystem(), dir, db); !opened.ok()) {
    problems.push_back(dir.filename().string() + " does not open: " + opened.message());
    return snapshot;
  }
  for (const auto& entry : fs::directory_iterator(dir)) {
    const std::string name = entry.path().filename().string();
    if (name == px::CommitJournal::kFileName || name.ends_with(px::CommitJournal::kTemporarySuffix))
      problems.push_back(dir.filename().string() + " keeps " + name + " after opening");
  }
  for (const char* name : kTables) {
    px::WritableTable* table = nullptr;
    if (const px::Status s = db->table(name, table); !s.ok()) {
      problems.push_back(dir.filename().string() + ": " + s.message());
      continue;
    }
    Records& records = snapshot.tables[name];
    for (const px::WritableTable::RecordId id : table->orderedIds()) {
      Record record;
      for (std::size_t f = 0; f < table->fields().size(); ++f) {
        px::Value value;
        const px::Status read = table->readValue(table->record(id), f, value);
        record.emplace_back(table->fields()[f].name, read.ok() ? ValueText(value) : "(unreadable: " + read.message() + ")");
      }
      records.push_back(std::move(record));
    }
  }
  if (const px::Status closed = db->close(); !closed.ok())
    problems.push_back(dir.filename().string() + " does not close: " + closed.message());
  return snapshot;
}

inline std::string RecordText(const Record& record) {
  std::string text;
  for (const auto& [field, value] : record) text += (text.empty() ? "" : " ") + field + "=" + value;
  return text;
}

// Where `now` first departs from `expected`, for failure messages.
inline std::string FirstDifference(const Snapshot& now, const Snapshot& expected) {
  for (const char* name : kTables) {
    const Records& a = now.tables.count(name) ? now.tables.at(name) : Records{};
    const Records& b = expected.tables.count(name) ? expected.tables.at(name) : Records{};
    for (std::size_t i = 0; i < std::max(a.size(), b.size()); ++i) {
      if (i < a.size() && i < b.size() && a[i] == b[i]) continue;
      return std::string(name) + " record " + std::to_string(i + 1) + " of " + std::to_string(a.size()) + ": " +
             (i < a.size() ? RecordText(a[i]) : "(none)") + "; expected " + (i < b.size() ? RecordText(b[i]) : "(none)");
    }
  }
  return "no difference";
}

enum class State { Before, After, Neither };

inline const char* StateName(State state) {
  return state == State::Before ? "before" : state == State::After ? "after" : "neither";
}

inline State StateOf(const Snapshot& now, const Snapshot& before, const Snapshot& after) {
  return now == before ? State::Before : now == after ? State::After : State::Neither;
}

inline const std::string& FieldOf(const Record& record, const std::string& field) {
  for (const auto& [name, value] : record)
    if (name == field) return value;
  static const std::string missing = "(no field " + field + ")";
  return missing;
}

// What the active database holds, whatever keys a merge handed out: each
// record without its key and references, followed by what its reference
// leads to, described the same way. As a multiset it shows a record that a
// merge added twice or lost.
inline std::multiset<std::string> Contents(const Snapshot& s) {
  struct Shape {
    const char* table;
    const char* key;
    const char* reference;  // the parent's key, in the table before this one
  };
  const Shape shapes[] = {{"patient", "ID", nullptr}, {"session", "SessionID", "Patient"}, {"data", "DataID", "SessionID"}};
  std::multiset<std::string> contents;
  std::map<std::string, std::string> parents;  // key text of the table before -> its description
  for (const Shape& shape : shapes) {
    std::map<std::string, std::string> described;
    const auto found = s.tables.find(shape.table);
    for (const Record& record : found == s.tables.end() ? Records{} : found->second) {
      std::string text = shape.table;
      for (const auto& [field, value] : record) {
        if (field != shape.key && (shape.reference == nullptr || field != shape.reference)) text += " " + field + "=" + value;
      }
      if (shape.reference != nullptr) {
        const auto parent = parents.find(FieldOf(record, shape.reference));
        text += " -> " + (parent == parents.end() ? std::string("(none)") : "(" + parent->second + ")");
      }
      described[FieldOf(record, shape.key)] = text;
      contents.insert(text);
    }
    parents = std::move(described);
  }
  return contents;
}

inline std::string ContentsDifference(const std::multiset<std::string>& now, const std::multiset<std::string>& expected) {
  std::string text;
  int shown = 0;
  for (const std::string& item : now) {
    if (now.count(item) > expected.count(item) && shown++ < 3) text += "\n  extra: " + item.substr(0, 200);
  }
  for (const std::string& item : expected) {
    if (expected.count(item) > now.count(item) && shown++ < 6) text += "\n  missing: " + item.substr(0, 200);
  }
  return text;
}

inline std::optional<long long> KeyValue(const std::string& text) {
  const std::string digits = text.size() >= 2 && text.front() == '\'' ? text.substr(1, text.size() - 2) : text;
  char* end = nullptr;
  const long long value = std::strtoll(digits.c_str(), &end, 10);
  if (digits.empty() || *end != '\0') return std::nullopt;
  return value;
}

// The active counters must lie beyond every key of their tables, or a later
// record would take a key that is in use.
inline void CheckCounters(const Snapshot& s, std::vector<std::string>& problems) {
  const auto index = s.tables.find("index");
  if (index == s.tables.end() || index->second.size() != 1) {
    problems.push_back("the active counter table does not hold one record");
    return;
  }
  const struct {
    const char* counter;
    const char* table;
    const char* key;
  } counters[] = {{"LastPatient", "patient", "ID"}, {"LastSession", "session", "SessionID"}, {"LastData", "data", "DataID"}};
  for (const auto& [counterName, table, key] : counters) {
    const std::string& counterText = FieldOf(index->second[0], counterName);
    const std::optional<long long> counter = KeyValue(counterText);
    const auto records = s.tables.find(table);
    if (records == s.tables.end()) continue;
    for (const Record& record : records->second) {
      const std::optional<long long> value = KeyValue(FieldOf(record, key));
      if (value && (!counter || *value >= *counter)) {
        problems.push_back(std::string(counterName) + " " + counterText + " does not pass key " + FieldOf(record, key));
        break;
      }
    }
  }
}

}  // namespace merge_snapshot
