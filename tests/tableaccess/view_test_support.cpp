#include "tests/tableaccess/view_test_support.h"

#include <cstdlib>
#include <fstream>
#include <memory>

#include "engine/access/database.h"
#include "engine/io/path_text.h"
#include "engine/io/platform.h"
#include "engine/storage/table_creator.h"
#include "tableaccess/session.h"

namespace viewtest {

px::TableDefinition PatientDefinition() {
  px::TableDefinition definition;
  definition.fields = {{"ID", px::FieldType::Alpha, 20}, {"Name", px::FieldType::Alpha, 60},
                 {"Gender", px::FieldType::Alpha, 12}, {"Count", px::FieldType::Long, 4}};
  definition.keyFields = 1;
  definition.indexes.push_back(px::SecondaryIndexDefinition{"XName", {1}, true, false, false});
  return definition;
}

px::TableDefinition SessionDefinition() {
  px::TableDefinition definition;
  definition.fields = {{"SessionID", px::FieldType::Alpha, 20}, {"Patient", px::FieldType::Alpha, 20},
                 {"Title", px::FieldType::Alpha, 60}};
  definition.keyFields = 1;
  definition.indexes.push_back(px::SecondaryIndexDefinition{"XPat", {1}, true, false, false});
  return definition;
}

void CreateTable(const std::filesystem::path& dir, const std::string& name, const px::TableDefinition& definition,
                 const std::vector<std::vector<std::string>>& rows) {
  const std::string stem = std::filesystem::path(name).stem().string();
  const px::Status created = px::createTable(px::localFileSystem(), dir, stem, definition);
  ASSERT_TRUE(created.ok()) << name << ": " << created.message();
  std::unique_ptr<px::Database> db;
  ASSERT_TRUE(px::Database::open(px::localFileSystem(), dir, db).ok());
  std::unique_ptr<px::Cursor> cursor;
  ASSERT_TRUE(db->openCursor(name, px::CursorOptions{}, cursor).ok());
  std::int32_t position = 0;
  for (const auto& row : rows) {
    px::Bytes record = cursor->table().blankRecord();
    std::size_t text = 0;
    for (std::size_t f = 0; f < definition.fields.size(); ++f) {
      if (definition.fields[f].type == px::FieldType::Alpha) {
        if (text < row.size() && !row[text].empty()) {
          ASSERT_TRUE(cursor->table().setValue(record, f, px::Value(row[text])).ok());
        }
        ++text;
      } else if (definition.fields[f].type == px::FieldType::Long) {
        ASSERT_TRUE(cursor->table().setValue(record, f, px::Value(++position)).ok());
      }
    }
    ASSERT_TRUE(cursor->insert(record).ok()) << row.at(0);
  }
  cursor.reset();
  ASSERT_TRUE(db->close().ok());
}

std::string DirectoryName(const std::filesystem::path& dir) { return dir.string() + "\\"; }

std::vector<std::string> ColumnOf(const std::filesystem::path& dir, const std::string& table, std::size_t field) {
  std::vector<std::string> out;
  std::unique_ptr<px::Database> db;
  EXPECT_TRUE(px::Database::open(px::localFileSystem(), dir, db).ok());
  if (!db) return out;
  std::unique_ptr<px::Cursor> cursor;
  EXPECT_TRUE(db->openCursor(table, px::CursorOptions{"", true, false}, cursor).ok());
  if (!cursor) return out;
  px::Bytes record;
  while (cursor->next(record).ok()) {
    px::Value value;
    EXPECT_TRUE(cursor->table().readValue(record.data(), field, value).ok());
    out.push_back(px::isNull(value) ? std::string() : std::get<std::string>(value));
  }
  return out;
}

void ViewTest::SetUp() { WriteConfig("[aliases]\n"); }

void ViewTest::WriteConfig(const std::string& text) {
  const auto file = configDir_.path() / "pxengine.conf";
  std::ofstream(file) << text;
  px::setEnvironmentVariable("PXENGINE_CONFIG", px::pathText(file));
}

void ViewTest::TearDown() {
  EndDefaultSession();
  px::setEnvironmentVariable("PXENGINE_CONFIG", std::nullopt);
}

}  // namespace viewtest
