// New table families on disk: the engine's reader and pxlib both open them,
// a family that exists is never touched, and a failed write leaves nothing.
#include "engine/storage/table_creator.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "engine/format/header_format.h"
#include "engine/io/fault_injecting_file_system.h"
#include "engine/storage/table.h"
#include "tests/support/pxlib_reader.h"
#include "tests/support/test_support.h"

namespace px {
namespace {

namespace fs = std::filesystem;
namespace h = header;

// A patient-like table: Alpha key, text, dates, a memo and a graphic, a
// case-insensitive named index, a descending one and an unnamed one.
TableDefinition patientDefinition() {
  TableDefinition definition;
  definition.sortOrder = "ANSIINTL";
  definition.keyFields = 1;
  definition.fields = {{"PatientID", FieldType::Alpha, 20}, {"Name", FieldType::Alpha, 40},
                 {"Born", FieldType::Date, 4},        {"Weight", FieldType::Number, 8},
                 {"Visits", FieldType::Short, 2},     {"Created", FieldType::Timestamp, 8},
                 {"Active", FieldType::Logical, 1},   {"Fee", FieldType::BCD, 2},
                 {"Remark", FieldType::Memo, 70},     {"Photo", FieldType::Graphic, 250},
                 {"Größe", FieldType::Long, 4}};
  definition.indexes = {{"XName", {1}, true}, {"XBorn", {2, 0}, false, true}, {"", {10}}};
  return definition;
}

std::vector<std::string> filesIn(const fs::path& dir) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(dir)) names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

TableHeader headerOf(const fs::path& path) {
  TableHeader out;
  Status s = decodeTableHeader(test::readBytes(path), path.string(), out);
  EXPECT_TRUE(s.ok()) << s.message();
  return out;
}

TEST(TableCreator, CreatedFamilyOpensEmptyWithItsFieldsAndIndexes) {
  test::TempDir dir;
  const TableDefinition definition = patientDefinition();
  Status s = createTable(localFileSystem(), dir.path(), "patient", definition);
  ASSERT_TRUE(s.ok()) << s.message();
  EXPECT_EQ(filesIn(dir.path()), (std::vector<std::string>{"patient.DB", "patient.MB", "patient.PX", "patient.X0B",
                                                           "patient.XG0", "patient.XG1", "patient.Y0B", "patient.YG0",
                                                           "patient.YG1"}));

  std::unique_ptr<Table> table;
  s = Table::open(localFileSystem(), dir.path(), "PATIENT", table);
  ASSERT_TRUE(s.ok()) << s.message();
  EXPECT_EQ(table->recordCount(), 0u);
  EXPECT_TRUE(table->warnings().empty());
  ASSERT_EQ(table->fields().size(), definition.fields.size());
  for (std::size_t i = 0; i < definition.fields.size(); ++i) {
    std::string name;
    ASSERT_TRUE(table->fieldName(i, name).ok());
    EXPECT_EQ(name, definition.fields[i].name);
    EXPECT_EQ(table->fields()[i].type, definition.fields[i].type);
    EXPECT_EQ(table->fields()[i].sizeByte, definition.fields[i].sizeByte);
  }
  EXPECT_EQ(table->header().sortOrderName, "ANSIINTL");
  EXPECT_EQ(table->codePageNumber(), 1252);
  ASSERT_NE(table->primaryIndex(), nullptr);
  ASSERT_NE(table->blobFile(), nullptr);
  ASSERT_EQ(table->secondaryIndexes().size(), 3u);
  const TableHeader& byName = table->secondaryIndexes()[1].data.header();
  EXPECT_EQ(byName.indexName, "XName");
  EXPECT_EQ(byName.fileType, h::FileType::CompositeMaintained);
  EXPECT_EQ(byName.indexFlags, h::kIndexCaseInsensitive);
  const TableHeader& byBirth = table->secondaryIndexes()[2].data.header();
  EXPECT_EQ(byBirth.fields[0].number, 3 | h::kDescendingFieldBit);
  EXPECT_EQ(byBirth.fields[1].number, 1 | h::kDescendingFieldBit);
  EXPECT_EQ(byBirth.fields.size(), 4u);  // Born, PatientID, key copy PatientID, Blk Num

  // The family relations of section 7 hold across the files as written.
  const TableHeader db = headerOf(dir.path() / "patient.DB");
  const TableHeader pxh = headerOf(dir.path() / "patient.PX");
  EXPECT_EQ(pxh.indexChangeCount, db.changeCount);
  for (const char* suffix : {"X0B", "XG0", "XG1"}) {
    const TableHeader x = headerOf(dir.path() / ("patient." + std::string(suffix)));
    std::string tree = suffix;
    tree[0] = 'Y';
    EXPECT_EQ(x.familyStamp, db.familyStamp) << suffix;
    EXPECT_EQ(x.linkByte, pxh.indexChangeCount) << suffix;
    EXPECT_EQ(headerOf(dir.path() / ("patient." + tree)).indexChangeCount, x.changeCount) << suffix;
  }
}

// pxlib, an independent reader, reports the same fields for the .DB and opens
// every index file of the family.
TEST(TableCreator, PxlibReadsTheCreatedFiles) {
  if (!test::pxlibReads()) GTEST_SKIP() << test::kWithoutPxlib;
  test::TempDir dir;
  TableDefinition definition = patientDefinition();
  definition.fields.back().name = "Size";  // pxlib is given no encoding: keep names ASCII
  ASSERT_TRUE(createTable(localFileSystem(), dir.path(), "patient", definition).ok());

  for (const std::string& file : filesIn(dir.path())) {
    if (file.ends_with(".MB")) continue;
    const test::PxlibTable table = test::readWithPxlib(dir.path() / file);
    ASSERT_TRUE(table.opened) << file;
    EXPECT_EQ(table.records, 0) << file;
    if (file.ends_with(".DB")) {
      ASSERT_EQ(table.fields.size(), definition.fields.size());
      for (std::size_t i = 0; i < definition.fields.size(); ++i) {
        EXPECT_EQ(table.fields[i].name, definition.fields[i].name);
        EXPECT_EQ(static_cast<std::uint8_t>(table.fields[i].type), static_cast<std::uint8_t>(definition.fields[i].type));
        const int size = definition.fields[i].type == FieldType::BCD ? kBcdRecordSize : definition.fields[i].sizeByte;
        EXPECT_EQ(table.fields[i].size, size) << definition.fields[i].name;
      }
    }
  }
}

TEST(TableCreator, UnkeyedTableGetsNonMaintainedIndexesAndNoPrimaryIndex) {
  test::TempDir dir;
  TableDefinition definition;
  definition.fileVersion = h::kVersion5x;
  definition.codePage = 850;
  definition.fields = {{"Counter", FieldType::Long, 4}, {"Label", FieldType::Alpha, 30}};
  definition.indexes = {{"", {1}}, {"ByCounter", {0}, true}};
  ASSERT_TRUE(createTable(localFileSystem(), dir.path(), "index", definition).ok());
  EXPECT_EQ(filesIn(dir.path()), (std::vector<std::string>{"index.DB", "index.X02", "index.XG0", "index.Y02",
                                                           "index.YG0"}));
  std::unique_ptr<Table> table;
  Status s = Table::open(localFileSystem(), dir.path(), "index", table);
  ASSERT_TRUE(s.ok()) << s.message();
  EXPECT_EQ(table->primaryIndex(), nullptr);
  ASSERT_EQ(table->secondaryIndexes().size(), 2u);
  const TableHeader& x = table->secondaryIndexes()[0].data.header();
  EXPECT_EQ(x.fileType, h::FileType::SecondaryNonMaintained);
  ASSERT_EQ(x.fields.size(), 4u);
  EXPECT_EQ(x.fields[1].name, h::kHintRecordNumber);
  EXPECT_EQ(table->secondaryIndexes()[0].tree->keySize(), 30u + 4 + 2);  // all but "Tup Offset"
}

TEST(TableCreator, NeverTouchesAnExistingFamily) {
  test::TempDir dir;
  TableDefinition definition = patientDefinition();
  test::writeBytes(dir.path() / "Patient.txt", {1});  // not a family file
  ASSERT_TRUE(createTable(localFileSystem(), dir.path(), "patient", definition).ok());
  const auto before = test::readBytes(dir.path() / "patient.DB");
  Status s = createTable(localFileSystem(), dir.path(), "PATIENT", definition);
  EXPECT_EQ(s.code(), rc::kInvalidParameter);
  EXPECT_NE(s.message().find("already exists"), std::string::npos) << s.message();
  EXPECT_EQ(test::readBytes(dir.path() / "patient.DB"), before);

  // A stray validity file alone is enough: a new .DB would not match its stamp.
  test::writeBytes(dir.path() / "session.val", {0});
  EXPECT_EQ(createTable(localFileSystem(), dir.path(), "Session", definition).code(), rc::kInvalidParameter);
  EXPECT_FALSE(fs::exists(dir.path() / "Session.DB"));

  EXPECT_EQ(createTable(localFileSystem(), dir.path() / "missing", "t", definition).code(), rc::kDirectoryNotFound);
  EXPECT_EQ(createTable(localFileSystem(), dir.path(), "a.b", definition).code(), rc::kInvalidParameter);
  EXPECT_EQ(createTable(localFileSystem(), dir.path(), "sub/t", definition).code(), rc::kInvalidParameter);
  definition.fields[0].sizeByte = 0;
  EXPECT_EQ(createTable(localFileSystem(), dir.path(), "bad", definition).code(), rc::kInvalidParameter);
  EXPECT_EQ(filesIn(dir.path()).size(), 11u);  // patient's nine, Patient.txt, session.val: nothing new
}

// Every write operation of a creation fails once; afterwards no family file is
// left, and the next attempt succeeds.
TEST(TableCreator, FailedWriteLeavesNoFamilyBehind) {
  const TableDefinition definition = patientDefinition();
  const fs::path dir = "db";
  for (Fault fault : {Fault::IOError, Fault::DiskFull}) {
    for (std::uint64_t n = 1;; ++n) {
      MemoryFileSystem memory;
      memory.addFile(dir / "other.txt", {1});  // a directory exists while it holds a file
      FaultInjectingFileSystem faulty(memory);
      faulty.failAt(n, fault);
      Status s = createTable(faulty, dir, "patient", definition);
      if (s.ok()) {
        EXPECT_EQ(n, 11u);  // nine files and the directory sync come first
        break;
      }
      std::vector<std::string> left;
      ASSERT_TRUE(memory.listDirectory(dir, left).ok());
      EXPECT_EQ(left, std::vector<std::string>{"other.txt"}) << "fault at operation " << n;
      faulty.reset();
      EXPECT_TRUE(createTable(faulty, dir, "patient", definition).ok()) << "retry after fault " << n;
    }
  }
}

}  // namespace
}  // namespace px
