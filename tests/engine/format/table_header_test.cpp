// Header decoding on real files of every level, and the checks that refuse
// headers which cannot be right.
#include "engine/format/table_header.h"

#include <gtest/gtest.h>

#include "engine/format/byte_order.h"
#include "tests/support/test_support.h"

namespace px {
namespace {

TableHeader headerOf(const std::string& set, const std::string& file) {
  auto bytes = test::readBytes(test::fixtureSet(set) / file);
  TableHeader h;
  Status s = decodeTableHeader(bytes, file, h);
  EXPECT_TRUE(s.ok()) << s.message();
  return h;
}

TEST(TableHeader, Level3FileHasNoExtensionAndAShortHeader) {
  TableHeader h = headerOf("set03", "FILMS.DB");
  EXPECT_EQ(h.fileVersion, 3);
  EXPECT_FALSE(h.hasExtension);
  EXPECT_EQ(h.headerSize, 305);
  EXPECT_EQ(h.blockSize, 1024u);
  EXPECT_EQ(h.primaryKeyFields, 1);
  ASSERT_EQ(h.fields.size(), 9u);
  EXPECT_EQ(h.fields[0].name, "Film #");
  EXPECT_EQ(h.fields[2].type, FieldType::Short);
  EXPECT_EQ(h.fields[2].offset, 35);
  EXPECT_TRUE(h.sortOrderName.empty());
}

TEST(TableHeader, Level7TableWithLargeBlocks) {
  TableHeader h = headerOf("set02", "AREACODES.DB");
  EXPECT_EQ(h.fileVersion, 12);
  EXPECT_TRUE(h.hasExtension);
  EXPECT_EQ(h.blockSize, 16384u);
  EXPECT_EQ(h.codePage, 1252);
  EXPECT_EQ(h.sortOrderName, "DBWINUS0");
  EXPECT_EQ(h.sortOrderCode, 0x4C);
  EXPECT_EQ(h.numRecords, 370u);
  EXPECT_EQ(h.fields[2].name, "Cities");
  EXPECT_EQ(h.fields[2].size, 157);
}

TEST(TableHeader, CompositeIndexCarriesItsNameOptionsAndDescendingFields) {
  TableHeader h = headerOf("set05", "Counts.XG0");
  EXPECT_EQ(h.fileType, header::FileType::CompositeMaintained);
  EXPECT_EQ(h.indexName, "MainIndex");
  EXPECT_EQ(h.indexFlags & header::kIndexDescending, header::kIndexDescending);
  EXPECT_EQ(h.indexFlags & header::kIndexCaseInsensitive, header::kIndexCaseInsensitive);
  EXPECT_EQ(h.primaryKeyFields, h.fields.size() - 1);
  EXPECT_EQ(h.fields.back().type, FieldType::Short);  // the block hint
  EXPECT_NE(h.fields[0].number & header::kDescendingFieldBit, 0);

  TableHeader x = headerOf("set05", "ValutC.X03");
  EXPECT_EQ(x.fileType, header::FileType::SecondaryMaintained);
  EXPECT_EQ(x.indexFieldNumber, 3);
  EXPECT_TRUE(x.indexName.empty());
}

TEST(TableHeader, IndexTreeFilesHaveOnlyTheirKeyFields) {
  TableHeader h = headerOf("set04", "ZIPCODES.PX");
  EXPECT_TRUE(h.isIndexTree());
  EXPECT_EQ(h.fields.size(), 1u);
  EXPECT_EQ(h.recordSize, 5 + 6);
  EXPECT_EQ(h.indexLevels, 2);
  EXPECT_EQ(h.numRecords, 690u);
}

TEST(TableHeader, EncryptionIsRecognisedAtEveryLevel) {
  EXPECT_TRUE(headerOf("set11", "encrypted.db").encrypted);
  EXPECT_TRUE(headerOf("set11", "encrypted35.db").encrypted);
  EXPECT_FALSE(headerOf("set01", "long.db").encrypted);
}

class BrokenHeader : public ::testing::Test {
 protected:
  void SetUp() override { bytes = test::readBytes(test::fixtureSet("set01") / "long.db"); }
  ResultCode decode() {
    TableHeader h;
    Status s = decodeTableHeader(bytes, "long.db", h);
    if (!s.ok()) {
      EXPECT_NE(s.message().find("long.db"), std::string::npos) << s.message();
    }
    return s.code();
  }
  std::vector<unsigned char> bytes;
};

TEST_F(BrokenHeader, EachInconsistencyHasItsCode) {
  auto original = bytes;
  bytes.resize(0x40);
  EXPECT_EQ(decode(), rc::kHeaderCorrupt);

  bytes = original;
  bytes[header::kFileType] = 9;
  EXPECT_EQ(decode(), rc::kHeaderCorrupt);

  bytes = original;
  bytes[header::kMaxTableSize] = 5;
  EXPECT_EQ(decode(), rc::kHeaderCorrupt);

  bytes = original;
  bytes[header::kFileVersion] = 13;
  EXPECT_EQ(decode(), rc::kUnsupportedVersion);

  bytes = original;
  putLe16(bytes.data() + header::kRecordSize, 9);  // fields take 8 bytes
  EXPECT_EQ(decode(), rc::kHeaderCorrupt);

  bytes = original;
  bytes[header::kExtensionEnd] = 0x42;  // first field's type code
  EXPECT_EQ(decode(), rc::kUnsupportedFieldType);

  bytes = original;
  putLe16(bytes.data() + header::kHeaderSize, 0xF000);
  EXPECT_EQ(decode(), rc::kHeaderCorrupt);

  bytes = original;
  putLe16(bytes.data() + header::kSortOrderNameOffset, 0x7FF0);
  EXPECT_EQ(decode(), rc::kHeaderCorrupt);
}

}  // namespace
}  // namespace px
