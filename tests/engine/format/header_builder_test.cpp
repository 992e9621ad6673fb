// The headers of new tables compared byte for byte with files the original
// engine wrote: every fixture table of version 9, 11 and 12 is described as a
// TableDefinition, its headers are rebuilt, and every byte must match except the
// offsets listed below, which legitimately differ between two families.
#include "engine/format/header_builder.h"

#include <gtest/gtest.h>

#include <optional>
#include <sstream>

#include "engine/format/byte_order.h"
#include "engine/format/code_page.h"
#include "engine/format/table_header.h"
#include "engine/storage/table_family.h"
#include "engine/storage/table.h"
#include "tests/support/test_support.h"

namespace px {
namespace {

namespace fs = std::filesystem;
namespace h = header;

struct Range {
  std::size_t from, to;  // [from, to)
  const char* why;
};
using Exclusions = std::vector<Range>;

// Offsets that differ between any two families: the write sequence, the
// run-time pointers of the fixed part, the change counters and family stamp,
// the update time (data and X files), and in the variable part the name
// pointers and the table name (the fixtures mostly say "resttemp.DB").
Exclusions alwaysDiffer(const TableHeader& theirs) {
  const std::size_t n = theirs.fields.size();
  const std::size_t nameSize = theirs.fileVersion >= h::kVersion70 ? h::kTableNameSizeV12 : h::kTableNameSizeOld;
  Exclusions e = {{0x12, 0x14, "write sequence"}, {0x16, 0x1E, "run-time pointers"},
                  {0x30, 0x38, "run-time pointers"}};
  if (theirs.isIndexTree()) {
    e.push_back({0x2C, 0x2D, "tree change counter"});
    if (theirs.fileVersion < h::kFirstVersion5x) e.push_back({0x2D, 0x2E, "level-4 tree change counter"});
    const std::size_t at = h::kFixedPartEnd + 2 * n;
    e.push_back({at, at + 4 + nameSize, "table-name pointer, table name"});
  } else {
    e.push_back({0x2D, 0x30, "change counter, family stamp, link byte"});
    e.push_back({0x60, 0x64, "update time"});
    const std::size_t at = h::kExtensionEnd + 2 * n;
    e.push_back({at, at + 4 + 4 * n + nameSize, "name pointers, table name"});
  }
  return e;
}

// What a file that has held records shows besides: counts, blocks, tree root
// and levels, the running counter at 0x49 (AutoInc value in a .DB).
const Exclusions kUsedFile = {{0x06, 0x12, "records and blocks"}, {0x1E, 0x21, "tree root and levels"},
                              {0x3A, 0x3C, "maxBlocks"},          {0x49, 0x4D, "autoInc / running counter"}};
// Data files only: the referential-integrity flags (0x55 = 2 in a parent, 0x6C
// = 02 in a child), and the change words at 0x70 and the unknown 0x74 that
// edits move.
const Exclusions kUsedTable = {{0x55, 0x56, "referential-integrity parent"},
                               {0x6C, 0x6D, "referential-integrity child"},
                               {0x70, 0x78, "changeCount4, unknown 0x74"}};

TableHeader decode(const Bytes& bytes, const std::string& name) {
  TableHeader out;
  Status s = decodeTableHeader(bytes, name, out);
  EXPECT_TRUE(s.ok()) << s.message();
  return out;
}

// Compares the whole header (up to headerSize) and lists the differences.
std::string differences(const Bytes& ours, const Bytes& theirs, const Exclusions& excluded) {
  std::ostringstream out;
  const std::size_t theirSize = le16(theirs.data() + h::kHeaderSize);
  if (ours.size() != theirSize) out << "header size " << ours.size() << " != " << theirSize << "; ";
  for (std::size_t i = 0; i < std::min(ours.size(), theirSize); ++i) {
    bool skip = false;
    for (const Range& r : excluded) skip = skip || (i >= r.from && i < r.to);
    if (!skip && ours[i] != theirs[i])
      out << std::hex << "0x" << i << ": " << int(ours[i]) << " != " << int(theirs[i]) << "; ";
  }
  return out.str();
}

void expectMatches(const Bytes& ours, const fs::path& fixture, Exclusions extra) {
  const Bytes theirs = test::readBytes(fixture);
  Exclusions e = alwaysDiffer(decode(theirs, fixture.string()));
  e.insert(e.end(), extra.begin(), extra.end());
  EXPECT_EQ(differences(ours, theirs, e), "") << fixture;
}

std::string utf8Of(const std::string& stored, int codePage) {
  std::string out;
  Status s = CodePage::find(codePage)->toUtf8(stored, out);
  EXPECT_TRUE(s.ok()) << s.message();
  return out;
}

// The description the fixture table was created from, as far as its header shows it.
TableDefinition definitionOf(const TableHeader& db) {
  TableDefinition definition;
  definition.codePage = db.codePage == 0 ? CodePage::kRoman8 : db.codePage;
  for (const FieldDescriptor& f : db.fields) definition.fields.push_back({utf8Of(f.name, definition.codePage), f.type, f.sizeByte});
  definition.keyFields = db.isKeyed() ? db.primaryKeyFields : 0;
  definition.blockSizeKiB = db.blockSizeKiB;
  definition.sortOrder = db.sortOrderName;
  definition.fileVersion = db.fileVersion;
  return definition;
}

SecondaryIndexDefinition indexOf(const TableHeader& x, const TableHeader& db, int codePage) {
  SecondaryIndexDefinition index;
  const std::size_t added = db.isKeyed() ? db.primaryKeyFields + 1u : 3u;
  for (std::size_t i = 0; i + added < x.fields.size(); ++i) {
    index.fields.push_back((x.fields[i].number & ~h::kDescendingFieldBit) - 1);
    index.descending = (x.fields[i].number & h::kDescendingFieldBit) != 0;
  }
  index.name = utf8Of(x.indexName, codePage);
  index.caseInsensitive = (x.indexFlags & h::kIndexCaseInsensitive) != 0;
  index.unique = (x.indexFlags & h::kIndexUnique) != 0;
  return index;
}

bool numberedInOrder(const TableHeader& db) {
  for (std::size_t i = 0; i < db.fields.size(); ++i)
    if (db.fields[i].number != i + 1) return false;
  return db.hiFieldId == db.fields.size() + 1;
}

TEST(HeaderBuilder, RebuildsEveryFixtureFamilyOfLevels4To7) {
  const CreationStamps stamps = CreationStamps::at(0);
  int families = 0;
  for (const fs::path& path : test::allFixtureTables()) {
    const Bytes bytes = test::readBytes(path);
    const TableHeader db = decode(bytes, path.string());
    if (db.fileVersion < h::kVersion4x || db.encrypted) continue;
    SCOPED_TRACE(path.string());
    TableDefinition definition = definitionOf(db);
    TableFamily family;
    ASSERT_TRUE(locateFamily(localFileSystem(), path.parent_path(), path.filename().string(), family).ok());
    for (const SecondaryIndexFiles& files : family.secondaryIndexes)
      definition.indexes.push_back(indexOf(decode(test::readBytes(files.dataFile), files.suffix), db, definition.codePage));
    // Every table the original engine wrote must pass the rules for new ones.
    Status valid = validate(definition);
    ASSERT_TRUE(valid.ok()) << valid.message();
    ++families;

    Bytes ours;
    ASSERT_TRUE(buildDataHeader(definition, "t", stamps, ours).ok());
    Exclusions e = kUsedFile;
    e.insert(e.end(), kUsedTable.begin(), kUsedTable.end());
    if (!numberedInOrder(db)) {  // restructured: numbers of deleted fields are gone
      const std::size_t at = h::kExtensionBase + le16(bytes.data() + h::kFieldNumbersOffset);
      e.push_back({h::kHiFieldId, h::kHiFieldId + 2, "hiFieldID after restructure"});
      e.push_back({at, at + 2 * db.fields.size(), "field numbers after restructure"});
    }
    expectMatches(ours, path, e);

    if (db.isKeyed() && family.primaryIndex) {
      ASSERT_TRUE(buildPrimaryIndexHeader(definition, "t", stamps, ours).ok());
      e = kUsedFile;
      // set01 alone keeps its .PX in 4K blocks beside 2K data blocks.
      if (path.parent_path().filename() == "set01") e.push_back({0x05, 0x06, "set01 .PX block size"});
      expectMatches(ours, *family.primaryIndex, e);
    }
    for (std::size_t i = 0; i < family.secondaryIndexes.size(); ++i) {
      const SecondaryIndexFiles& files = family.secondaryIndexes[i];
      ASSERT_EQ(secondaryIndexSuffix(definition, i), files.suffix);
      Bytes x, y;
      ASSERT_TRUE(buildSecondaryHeaders(definition, i, "t", stamps, x, y).ok());
      expectMatches(x, files.dataFile, kUsedFile);
      ASSERT_TRUE(files.treeFile.has_value());
      expectMatches(y, *files.treeFile, kUsedFile);
    }
  }
  EXPECT_GE(families, 60);
}

// Hand-written descriptions of fixture tables, compared with fewer exclusions:
// these families never held a record (or only the counts moved).
TEST(HeaderBuilder, HandWrittenDefinitionsMatchTheirFixtures) {
  const CreationStamps stamps = CreationStamps::at(0);
  Bytes ours, x, y;

  // set05 Counts: two-field key, a descending case-insensitive composite index.
  TableDefinition counts;
  counts.sortOrder = "DBWINUS0";
  counts.keyFields = 2;
  counts.fields = {{"KodCount", FieldType::Alpha, 13}, {"Date", FieldType::Date, 4}};
  for (const char* name : {"Summa", "SummaBY", "TurnoverD", "TurnOverK", "TurnOverDBY", "TurnOverKBY"})
    counts.fields.push_back({name, FieldType::Number, 8});
  counts.fields.push_back({"QuantityDok", FieldType::Short, 2});
  counts.indexes = {{"MainIndex", {0, 1}, true, true, false}};
  const fs::path set05 = test::fixtureSet("set05");
  ASSERT_TRUE(buildPrimaryIndexHeader(counts, "Counts", stamps, ours).ok());
  expectMatches(ours, set05 / "Counts.PX", kUsedFile);
  ASSERT_TRUE(buildSecondaryHeaders(counts, 0, "Counts", stamps, x, y).ok());
  expectMatches(x, set05 / "Counts.XG0", kUsedFile);
  expectMatches(y, set05 / "Counts.YG0", kUsedFile);

  // set10 fk3 (version 11, never filled): an unnamed index on field 3.
  TableDefinition fk3;
  fk3.fileVersion = h::kVersion5x;
  fk3.codePage = 850;
  fk3.keyFields = 1;
  fk3.fields = {{"ID", FieldType::AutoInc, 4}, {"FK", FieldType::Long, 4}, {"FK2", FieldType::Long, 4}};
  fk3.indexes = {{"", {2}}};
  const fs::path set10 = test::fixtureSet("set10");
  ASSERT_TRUE(buildDataHeader(fk3, "fk3", stamps, ours).ok());
  expectMatches(ours, set10 / "fk3.db", {});
  ASSERT_TRUE(buildPrimaryIndexHeader(fk3, "fk3", stamps, ours).ok());
  expectMatches(ours, set10 / "fk3.px", {});
  ASSERT_TRUE(buildSecondaryHeaders(fk3, 0, "fk3", stamps, x, y).ok());
  expectMatches(x, set10 / "fk3.x03", {});
  expectMatches(y, set10 / "fk3.y03", {});

  // set09 logo (version 12, never filled): unkeyed, one graphic, header-only .MB.
  TableDefinition logo;
  logo.sortOrder = "DBWINUS0";
  logo.fields = {{"LOGO", FieldType::Graphic, 10}};
  ASSERT_TRUE(buildDataHeader(logo, "logo", stamps, ours).ok());
  expectMatches(ours, test::fixtureSet("set09") / "logo.db", {});
  EXPECT_EQ(buildBlobFileHeader(), test::readBytes(test::fixtureSet("set09") / "logo.MB"));
  EXPECT_EQ(buildBlobFileHeader(), test::readBytes(test::fixtureSet("set09") / "Imagem.MB"));
}

TEST(HeaderBuilder, StampsGoWhereTheFamilyRulesPutThem) {
  TableDefinition definition;
  definition.keyFields = 1;
  definition.fields = {{"Id", FieldType::Long, 4}, {"Name", FieldType::Alpha, 20}};
  definition.indexes = {{"", {1}}, {"ByName", {1}, true}};
  const CreationStamps stamps{0x41, 0x42, 0x90, 0x12345678, 7};
  Bytes db, px, x0, y0, x1, y1;
  ASSERT_TRUE(buildDataHeader(definition, "t", stamps, db).ok());
  ASSERT_TRUE(buildPrimaryIndexHeader(definition, "t", stamps, px).ok());
  ASSERT_TRUE(buildSecondaryHeaders(definition, 0, "t", stamps, x0, y0).ok());
  ASSERT_TRUE(buildSecondaryHeaders(definition, 1, "t", stamps, x1, y1).ok());
  EXPECT_EQ(db[h::kFamilyStamp], 0x41);
  EXPECT_EQ(db[h::kChangeCount], 0x42);
  EXPECT_EQ(px[h::kIndexChangeCount], 0x42);
  for (const Bytes* x : {&x0, &x1}) {
    EXPECT_EQ((*x)[h::kFamilyStamp], 0x41);
    EXPECT_EQ((*x)[h::kLinkByte], 0x42);
    EXPECT_EQ(le32(x->data() + h::kUpdateTime), 0x12345678u);
  }
  EXPECT_EQ(x0[h::kChangeCount], y0[h::kIndexChangeCount]);
  EXPECT_EQ(x1[h::kChangeCount], y1[h::kIndexChangeCount]);
  EXPECT_NE(x0[h::kChangeCount], x1[h::kChangeCount]);
  // Write sequence: DB, PX, then each X before its Y.
  EXPECT_EQ(le16(db.data() + h::kWriteSequence), 7);
  EXPECT_EQ(le16(px.data() + h::kWriteSequence), 8);
  EXPECT_EQ(le16(x1.data() + h::kWriteSequence), 11);
  EXPECT_EQ(le16(y1.data() + h::kWriteSequence), 12);
}

TEST(HeaderBuilder, LargeKeysAndTablesGetLargerHeadersAndTreeBlocks) {
  TableDefinition definition;
  definition.blockSizeKiB = 32;
  definition.keyFields = 4;
  for (int i = 0; i < 60; ++i) definition.fields.push_back({"Field number " + std::to_string(i), FieldType::Alpha, 255});
  Bytes db, px;
  ASSERT_TRUE(buildDataHeader(definition, "wide", CreationStamps::at(0), db).ok());
  ASSERT_TRUE(buildPrimaryIndexHeader(definition, "wide", CreationStamps::at(0), px).ok());
  const TableHeader dh = decode(db, "wide.DB");
  EXPECT_EQ(dh.headerSize, 0x1000);  // 60 longest names do not fit 0x800
  EXPECT_EQ(dh.fields[59].name, "Field number 59");
  // 1026-byte entries: a 2K tree block would hold only one.
  EXPECT_EQ(decode(px, "wide.PX").blockSizeKiB, 4);
}

// One broken rule per row; each must be refused with its code.
TEST(TableDefinitionValidation, RefusesWhatTheOriginalEngineWouldNotWrite) {
  auto base = [] {
    TableDefinition s;
    s.keyFields = 1;
    s.fields = {{"Id", FieldType::Alpha, 20}, {"Note", FieldType::Memo, 70}, {"When", FieldType::Timestamp, 8}};
    return s;
  };
  ASSERT_TRUE(validate(base()).ok());
  struct Case {
    const char* what;
    void (*change)(TableDefinition&);
    ResultCode code;
  };
  const Case cases[] = {
      {"name twice, other case", [](TableDefinition& s) { s.fields[1].name = "ID"; }, rc::kInvalidParameter},
      {"26-character name", [](TableDefinition& s) { s.fields[1].name = std::string(26, 'n'); }, rc::kInvalidParameter},
      {"bracket in a name", [](TableDefinition& s) { s.fields[1].name = "a[1]"; }, rc::kInvalidParameter},
      {"empty name", [](TableDefinition& s) { s.fields[1].name = ""; }, rc::kInvalidParameter},
      {"name outside the code page", [](TableDefinition& s) { s.fields[1].name = "\xE4\xB8\xAD"; }, rc::kInvalidParameter},
      {"memo without leader", [](TableDefinition& s) { s.fields[1].sizeByte = 10; }, rc::kInvalidParameter},
      {"BCD with 33 decimals", [](TableDefinition& s) { s.fields[2] = {"B", FieldType::BCD, 33}; }, rc::kInvalidParameter},
      {"memo in the key", [](TableDefinition& s) { s.keyFields = 2; }, rc::kInvalidParameter},
      {"more key fields than fields", [](TableDefinition& s) { s.keyFields = 4; }, rc::kInvalidParameter},
      {"timestamp at level 4", [](TableDefinition& s) { s.fileVersion = h::kVersion4x; }, rc::kUnsupportedFieldType},
      {"version 10", [](TableDefinition& s) { s.fileVersion = 10; }, rc::kUnsupportedVersion},
      {"record larger than a block", [](TableDefinition& s) { s.fields[0].sizeByte = 255; s.blockSizeKiB = 1;
         s.fields.push_back({"X", FieldType::Alpha, 255}); s.fields.push_back({"Y", FieldType::Alpha, 255});
         s.fields.push_back({"Z", FieldType::Alpha, 255}); }, rc::kRecordTooLarge},
      {"16K blocks at level 5", [](TableDefinition& s) { s.blockSizeKiB = 16; s.fileVersion = h::kVersion5x; },
       rc::kNotSupported},
      {"3K blocks", [](TableDefinition& s) { s.blockSizeKiB = 3; }, rc::kInvalidParameter},
      {"unknown code page", [](TableDefinition& s) { s.codePage = 1234; }, rc::kUnsupportedCodePage},
      {"listed but unsupported sort order", [](TableDefinition& s) { s.sortOrder = "nordan"; }, rc::kUnsupportedSortOrder},
      {"unknown sort order", [](TableDefinition& s) { s.sortOrder = "klingon"; }, rc::kUnsupportedSortOrder},
      {"unnamed composite", [](TableDefinition& s) { s.indexes = {{"", {0, 2}}}; }, rc::kInvalidParameter},
      {"unnamed case-insensitive", [](TableDefinition& s) { s.indexes = {{"", {2}, true}}; }, rc::kInvalidParameter},
      {"two unnamed on one field", [](TableDefinition& s) { s.indexes = {{"", {2}}, {"", {2}}}; }, rc::kInvalidParameter},
      {"index on a memo", [](TableDefinition& s) { s.indexes = {{"ByNote", {1}}}; }, rc::kInvalidParameter},
      {"index on a missing field", [](TableDefinition& s) { s.indexes = {{"Gone", {3}}}; }, rc::kInvalidParameter},
      {"index names twice", [](TableDefinition& s) { s.indexes = {{"A", {0}}, {"a", {2}}}; }, rc::kInvalidParameter},
      {"descending at level 5",
       [](TableDefinition& s) { s.fileVersion = h::kVersion5x; s.indexes = {{"D", {2}, false, true}}; }, rc::kNotSupported},
      {"eleven named indexes", [](TableDefinition& s) {
         for (int i = 0; i < 11; ++i) s.indexes.push_back({"I" + std::to_string(i), {2}}); }, rc::kNotSupported},
  };
  for (const Case& c : cases) {
    TableDefinition definition = base();
    c.change(definition);
    EXPECT_EQ(validate(definition).code(), c.code) << c.what << ": " << validate(definition).message();
  }
}

TEST(TableDefinitionValidation, NamesIndexFilesInHexAndInOrder) {
  TableDefinition definition;
  definition.keyFields = 1;
  for (int i = 0; i < 12; ++i) definition.fields.push_back({"F" + std::to_string(i), FieldType::Short, 2});
  definition.indexes = {{"", {1}}, {"First", {3}}, {"", {9}}, {"Second", {4, 5}}, {"", {11}}};
  ASSERT_TRUE(validate(definition).ok());
  EXPECT_EQ(secondaryIndexSuffix(definition, 0), "X02");
  EXPECT_EQ(secondaryIndexSuffix(definition, 1), "XG0");
  EXPECT_EQ(secondaryIndexSuffix(definition, 2), "X0A");
  EXPECT_EQ(secondaryIndexSuffix(definition, 3), "XG1");
  EXPECT_EQ(secondaryIndexSuffix(definition, 4), "X0C");
}

}  // namespace
}  // namespace px
