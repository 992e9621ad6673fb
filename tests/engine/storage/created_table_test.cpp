// Tables created by the engine and then filled: key order under the
// international collation, case-insensitive and descending secondary indexes,
// blob values copied between fields of different in-record sizes; the result
// passes the table check and reads the same in the independent reader.
#include <gtest/gtest.h>

#include <cstring>

#include "engine/access/database.h"
#include "engine/format/code_page.h"
#include "engine/storage/table_check.h"
#include "engine/storage/table_creator.h"
#include "tests/support/pxlib_reader.h"
#include "tests/support/test_support.h"

namespace px {
namespace {

TableDefinition patientLike(const std::string& sortOrder) {
  TableDefinition s;
  s.fields = {{"ID", FieldType::Alpha, 20},
              {"Name", FieldType::Alpha, 60},
              {"Session", FieldType::Alpha, 20},
              {"Remark", FieldType::Memo, 70},
              {"Data", FieldType::Blob, 250},
              {"Flow", FieldType::Number, 8}};
  s.keyFields = 1;
  s.blockSizeKiB = 4;
  s.sortOrder = sortOrder;
  s.codePage = 1252;
  s.indexes = {{"XName", {1}, true, false, false}, {"XSess", {2}, false, true, false}};
  return s;
}

void expectNoErrors(const std::filesystem::path& dir, const std::string& table) {
  std::vector<CheckFinding> findings;
  CheckOptions rebuild;
  rebuild.rebuild = true;
  ASSERT_TRUE(checkTable(localFileSystem(), dir, table, rebuild, findings).ok());
  for (const auto& f : findings)
    EXPECT_NE(f.severity, CheckFinding::Severity::Error) << f.file << ": " << f.text;
}

std::vector<std::string> column(const Table& t, std::size_t field) {
  std::vector<std::string> out;
  for (std::size_t i = 0; i < t.recordCount(); ++i) {
    Value v;
    EXPECT_TRUE(t.readValue(i, field, v).ok());
    out.push_back(isNull(v) ? "" : std::get<std::string>(v));
  }
  return out;
}

TEST(CreatedTable, InternationalKeyOrderOnDisk) {
  test::TempDir dir;
  ASSERT_TRUE(createTable(localFileSystem(), dir.path(), "names", patientLike("ANSIINTL")).ok());
  std::unique_ptr<Database> db;
  ASSERT_TRUE(Database::open(localFileSystem(), dir.path(), db).ok());
  WritableTable* t = nullptr;
  ASSERT_TRUE(db->table("names", t).ok());
  for (const char* key : {"Muf", "Müller", "Mud", "Mueller", "Straße", "Strasse", "zeta", "Alpha"}) {
    Bytes r = t->blankRecord();
    ASSERT_TRUE(t->setValue(r, 0, std::string(key)).ok());
    ASSERT_TRUE(t->setValue(r, 1, std::string(key)).ok());
    ASSERT_TRUE(t->insert(r).ok()) << key;
  }
  ASSERT_TRUE(db->close().ok());
  std::unique_ptr<Table> back;
  ASSERT_TRUE(Table::open(localFileSystem(), dir.path(), "names", back).ok());
  EXPECT_EQ(column(*back, 0),
            (std::vector<std::string>{"Alpha", "Mud", "Mueller", "Müller", "Muf", "Strasse", "Straße", "zeta"}));
  expectNoErrors(dir.path(), "names");
}

TEST(CreatedTable, SecondaryIndexesAndBlobsSurviveACommitAndReadInTheIndependentReader) {
  test::TempDir dir;
  ASSERT_TRUE(createTable(localFileSystem(), dir.path(), "patient", patientLike("ascii")).ok());
  TableDefinition small = patientLike("ascii");
  small.fields[4].sizeByte = 10;  // a blob field that keeps nothing in the record
  ASSERT_TRUE(createTable(localFileSystem(), dir.path(), "other", small).ok());

  std::unique_ptr<Database> db;
  ASSERT_TRUE(Database::open(localFileSystem(), dir.path(), db).ok());
  WritableTable* t = nullptr;
  WritableTable* o = nullptr;
  ASSERT_TRUE(db->table("patient", t).ok());
  ASSERT_TRUE(db->table("other", o).ok());
  Bytes picture(5000);
  for (std::size_t i = 0; i < picture.size(); ++i) picture[i] = static_cast<std::uint8_t>(i * 7);
  for (int k = 1; k <= 300; ++k) {
    Bytes r = t->blankRecord();
    ASSERT_TRUE(t->setValue(r, 0, std::to_string(k)).ok());
    ASSERT_TRUE(t->setValue(r, 1, std::string(k % 2 ? "meier " : "MEIER ") + std::to_string(k % 17)).ok());
    ASSERT_TRUE(t->setValue(r, 2, std::to_string(k % 23)).ok());
    const Value remark = k % 3 == 0 ? Value(std::string(static_cast<std::size_t>(k), 'r')) : Value(Null{});
    const Value data = k % 5 == 0 ? Value(Bytes(picture.begin(), picture.begin() + k * 10)) : Value(Null{});
    ASSERT_TRUE(t->setValue(r, 3, remark).ok());
    ASSERT_TRUE(t->setValue(r, 4, data).ok());
    ASSERT_TRUE(t->setValue(r, 5, k / 4.0).ok());
    ASSERT_TRUE(t->insert(r).ok());
  }
  ASSERT_TRUE(db->flush().ok());

  // Copy every record, blobs as stored, into the table whose blob field has no leader.
  for (auto id : t->orderedIds()) {
    Bytes r = o->blankRecord();
    std::memcpy(r.data(), t->record(id), 20 + 60 + 20);
    for (std::size_t f : {3u, 4u}) {
      Bytes stored;
      ASSERT_TRUE(t->readBlobBytes(t->record(id), f, stored).ok());
      ASSERT_TRUE(o->setBlobBytes(r, f, stored).ok());
    }
    ASSERT_TRUE(o->insert(r).ok());
  }
  ASSERT_TRUE(db->close().ok());

  for (const char* name : {"patient", "other"}) {
    expectNoErrors(dir.path(), name);
    std::unique_ptr<Table> back;
    ASSERT_TRUE(Table::open(localFileSystem(), dir.path(), name, back).ok());
    ASSERT_EQ(back->recordCount(), 300u);
    for (std::size_t i = 0; i < back->recordCount(); ++i) {
      Value id, data;
      ASSERT_TRUE(back->readValue(i, 0, id).ok());
      ASSERT_TRUE(back->readValue(i, 4, data).ok());
      const int k = std::stoi(std::get<std::string>(id));
      if (k % 5 == 0) {
        ASSERT_EQ(std::get<Bytes>(data), Bytes(picture.begin(), picture.begin() + k * 10)) << name << " " << k;
      } else {
        ASSERT_TRUE(isNull(data));
      }
    }
    if (!test::pxlibReads()) continue;  // the engine's own reading above is the check there
    const test::PxlibTable theirs = test::readWithPxlib(dir.path() / (std::string(name) + ".DB"));
    ASSERT_TRUE(theirs.opened);
    ASSERT_EQ(theirs.recordBytes.size(), 300u);
    for (std::size_t r = 0; r < theirs.recordBytes.size(); ++r) {
      const std::uint8_t* mine = back->record(r);
      ASSERT_EQ(theirs.recordBytes[r], std::vector<unsigned char>(mine, mine + back->header().recordSize)) << r;
    }
  }
}

// Tables in the code pages of the other language drivers: each page's whole
// upper half, as text, is written and comes back from the committed files.
TEST(CreatedTable, TextInTheOtherWindowsAndDosPagesComesBack) {
  for (int page : {737, 775, 855, 862, 864, 869, 874, 1255, 1256, 1258}) {
    test::TempDir dir;
    TableDefinition definition;
    definition.fields = {{"ID", FieldType::Alpha, 20}, {"Text", FieldType::Alpha, 130}};
    definition.keyFields = 1;
    definition.codePage = page;
    ASSERT_TRUE(createTable(localFileSystem(), dir.path(), "texts", definition).ok()) << page;
    const CodePage* codePage = CodePage::find(page);
    ASSERT_NE(codePage, nullptr) << page;
    std::string upper, text;
    for (unsigned b = 0x80; b < 0x100; ++b) {
      std::string one(1, static_cast<char>(b)), utf8;
      if (codePage->toUtf8(one, utf8).ok()) upper += one;
    }
    ASSERT_TRUE(codePage->toUtf8(upper, text).ok()) << page;
    std::unique_ptr<Database> db;
    ASSERT_TRUE(Database::open(localFileSystem(), dir.path(), db).ok());
    WritableTable* t = nullptr;
    ASSERT_TRUE(db->table("texts", t).ok()) << page;
    Bytes r = t->blankRecord();
    ASSERT_TRUE(t->setValue(r, 0, std::string("1")).ok());
    ASSERT_TRUE(t->setValue(r, 1, text).ok()) << page;
    ASSERT_TRUE(t->insert(r).ok());
    ASSERT_TRUE(db->close().ok());
    std::unique_ptr<Table> back;
    ASSERT_TRUE(Table::open(localFileSystem(), dir.path(), "texts", back).ok()) << page;
    EXPECT_EQ(back->codePageNumber(), page);
    EXPECT_EQ(column(*back, 1), std::vector<std::string>{text}) << page;
    expectNoErrors(dir.path(), "texts");
  }
}

}  // namespace
}  // namespace px
