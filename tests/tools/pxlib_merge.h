// A merge checked from outside with pxlib, the independent reader: the
// tables a merge touches as pxlib reads them, and what a clean merge must
// have made of them. Shared by the Linux merge test and the one that checks
// the Windows programs' merge on the Linux side.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "tests/support/pxlib_reader.h"

namespace pxlib_merge {

namespace fs = std::filesystem;

using Row = std::map<std::string, std::string>;  // field name -> text (Alpha) or number (Long)

inline std::vector<Row> ReadTable(const fs::path& file) {
  px::test::PxlibTable table = px::test::readWithPxlib(file);
  if (!table.opened) ADD_FAILURE() << "pxlib cannot open " << file;
  return std::move(table.rows);
}

struct Snapshot {
  std::vector<Row> patients, sessions, data, index;
  bool operator==(const Snapshot&) const = default;
};

inline Snapshot Read(const fs::path& dir) {
  return Snapshot{ReadTable(dir / "patient.DB"), ReadTable(dir / "session.DB"), ReadTable(dir / "data.DB"),
                  ReadTable(dir / "index.DB")};
}

inline long Number(const std::string& text) { return std::stol(text); }
inline bool IsPositiveReference(const std::string& text) { return !text.empty() && text != "0"; }

inline std::multiset<std::string> Keys(const std::vector<Row>& rows, const std::string& field) {
  std::multiset<std::string> keys;
  for (const Row& row : rows) keys.insert(row.at(field));
  return keys;
}

// What one clean merge of `oldBefore` into `activeBefore` must give: every
// active record as it was, every old record that the filters admit with its
// keys shifted by the counters, references that follow their records, and
// counters beyond every key.
inline void ExpectMerged(const Snapshot& activeBefore, const Snapshot& oldBefore, const Snapshot& activeAfter) {
  ASSERT_EQ(activeBefore.index.size(), 1u);
  ASSERT_EQ(activeAfter.index.size(), 1u);
  const long p = Number(activeBefore.index[0].at("LastPatient"));
  const long s = Number(activeBefore.index[0].at("LastSession"));
  const long d = Number(activeBefore.index[0].at("LastData"));

  // No active record changed: every one is still there as it was.
  using Table = std::vector<Row> Snapshot::*;
  for (Table table : {&Snapshot::patients, &Snapshot::sessions, &Snapshot::data}) {
    const std::vector<Row>& after = activeAfter.*table;
    for (const Row& row : activeBefore.*table) EXPECT_NE(std::find(after.begin(), after.end(), row), after.end());
  }
  // Every old record that the filters admit arrived with its keys shifted.
  std::multiset<std::string> expectedPatients = Keys(activeBefore.patients, "ID");
  for (const Row& row : oldBefore.patients) {
    if (row.at("Gender") != "x") expectedPatients.insert(std::to_string(Number(row.at("ID")) + p));
  }
  EXPECT_EQ(Keys(activeAfter.patients, "ID"), expectedPatients);
  std::multiset<std::string> expectedSessions = Keys(activeBefore.sessions, "SessionID");
  std::set<std::string> appendedSessions;
  for (const Row& row : oldBefore.sessions) {
    if (!IsPositiveReference(row.at("Patient"))) continue;
    const std::string key = std::to_string(Number(row.at("SessionID")) + s);
    expectedSessions.insert(key);
    appendedSessions.insert(key);
  }
  EXPECT_EQ(Keys(activeAfter.sessions, "SessionID"), expectedSessions);
  std::multiset<std::string> expectedData = Keys(activeBefore.data, "DataID");
  for (const Row& row : oldBefore.data) {
    if (IsPositiveReference(row.at("SessionID"))) expectedData.insert(std::to_string(Number(row.at("DataID")) + d));
  }
  EXPECT_EQ(Keys(activeAfter.data, "DataID"), expectedData);

  // References stay consistent: an appended series points at its shifted patient.
  std::map<std::string, std::string> oldPatientOfSession;
  for (const Row& row : oldBefore.sessions) oldPatientOfSession[row.at("SessionID")] = row.at("Patient");
  for (const Row& row : activeAfter.sessions) {
    if (!appendedSessions.count(row.at("SessionID"))) continue;
    const std::string oldKey = std::to_string(Number(row.at("SessionID")) - s);
    EXPECT_EQ(Number(row.at("Patient")), Number(oldPatientOfSession.at(oldKey)) + p);
  }
  // The counters lie beyond every key now in the active tables.
  const Row& counters = activeAfter.index.at(0);
  for (const Row& row : activeAfter.patients) EXPECT_LT(Number(row.at("ID")), Number(counters.at("LastPatient")));
  for (const Row& row : activeAfter.sessions) {
    EXPECT_LT(Number(row.at("SessionID")), Number(counters.at("LastSession")));
    if (IsPositiveReference(row.at("Patient"))) {
      EXPECT_LT(Number(row.at("Patient")), Number(counters.at("LastPatient")));
    }
  }
  for (const Row& row : activeAfter.data) EXPECT_LT(Number(row.at("DataID")), Number(counters.at("LastData")));
}

}  // namespace pxlib_merge
