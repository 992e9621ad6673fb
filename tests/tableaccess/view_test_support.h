// Tables for the view tests: a small patient/session database created with
// the engine in a temporary directory, an engine configuration of the test's
// own (so no user configuration is read), and the end of the default session
// after each test.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "engine/format/table_definition.h"
#include "tests/support/test_support.h"

namespace viewtest {

struct Row {
  std::vector<std::string> texts;  // Alpha fields, in order; "" = blank
};

// patient.db: ID A20 (key), Name A60, Gender A12, Count Long; index XName on Name.
px::TableDefinition PatientDefinition();
// session.db: SessionID A20 (key), Patient A20, Title A60; index XPat on Patient.
px::TableDefinition SessionDefinition();

// Creates the table and inserts the rows; the Long field of patient.db gets
// the row's position (1, 2, ...).
void CreateTable(const std::filesystem::path& dir, const std::string& name, const px::TableDefinition& definition,
                 const std::vector<std::vector<std::string>>& rows);

// The directory name a view uses for `dir`: its path with a trailing backslash.
std::string DirectoryName(const std::filesystem::path& dir);

// Reads all Alpha field `field` values of a table through the engine, in key order.
std::vector<std::string> ColumnOf(const std::filesystem::path& dir, const std::string& table, std::size_t field);

// Points the engine at a configuration file of the test (alias winvelda5 to
// `aliasDir` when given) and ends the default session when the test ends.
class ViewTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;
  void WriteConfig(const std::string& text);

  px::test::TempDir dir_;
  px::test::TempDir configDir_;
};

}  // namespace viewtest
