// Values read from the fixture tables, checked against what the tables are known
// to hold (examined byte by byte, and with pxdump): one or more tables per field
// type, blobs of every storage kind, and text in several code pages.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "engine/format/blob_format.h"
#include "engine/format/byte_order.h"
#include "engine/storage/table.h"
#include "tests/support/test_support.h"

namespace px {
namespace {

std::unique_ptr<Table> openFixture(const std::string& set, const std::string& name) {
  std::unique_ptr<Table> table;
  const Status s = Table::open(localFileSystem(), test::fixtureSet(set), name, table);
  EXPECT_TRUE(s.ok()) << s.message();
  return table;
}

std::size_t fieldIndex(const Table& t, const std::string& name) {
  for (std::size_t i = 0; i < t.fields().size(); ++i)
    if (t.fields()[i].name == name) return i;
  ADD_FAILURE() << "no field " << name;
  return 0;
}

Value valueOf(const Table& t, std::size_t record, const std::string& field) {
  Value v;
  const Status s = t.readValue(record, fieldIndex(t, field), v);
  EXPECT_TRUE(s.ok()) << s.message();
  return v;
}

// All values of one field, in record order.
std::vector<Value> column(const Table& t, const std::string& field) {
  std::vector<Value> values;
  for (std::size_t r = 0; r < t.recordCount(); ++r) values.push_back(valueOf(t, r, field));
  return values;
}

Bytes blobOf(const Table& t, std::size_t record, const std::string& field) {
  Bytes bytes;
  const Status s = t.readBlobBytes(t.record(record), fieldIndex(t, field), bytes);
  EXPECT_TRUE(s.ok()) << s.message();
  return bytes;
}

blob::Descriptor descriptorOf(const Table& t, std::size_t record, const std::string& field) {
  const FieldDescriptor& f = t.fields()[fieldIndex(t, field)];
  return blob::decodeDescriptor(t.record(record) + f.offset + f.size - kBlobDescriptorSize);
}

Value dec(const char* text) { return Decimal{text}; }
Value i32(std::int32_t v) { return v; }
const Value kNull = Null{};

TEST(FixtureValues, BcdWithTwoZeroAndThirtyTwoDecimals) {
  auto t = openFixture("set01", "bcd.db");
  ASSERT_TRUE(t);
  EXPECT_EQ(column(*t, "A"), (std::vector<Value>{dec("1.23"), dec("-1.23"), dec("0.00")}));
  // A zero with no decimals is blank only when all 17 bytes are zero.
  EXPECT_EQ(column(*t, "B"), (std::vector<Value>{dec("1"), dec("-1"), kNull}));
  // Values that came from doubles: ~19 digits, then stray nibbles that end them.
  EXPECT_EQ(column(*t, "C"), (std::vector<Value>{dec("0.12299999999999999800000000000000"),
                                                dec("-0.12299999999999999800000000000000"),
                                                dec("0.99990000000000001180000000000000")}));
}

TEST(FixtureValues, DatesAreTheSameInEveryFileVersion) {
  // 2018-01-01, 2018-02-01, 2018-01-02 as day numbers with 0001-01-01 = 1.
  const std::vector<Value> dates{i32(736695), i32(736726), i32(736696)};
  for (const char* name : {"date35.db", "date4.db", "date5.db"}) {
    SCOPED_TRACE(name);
    auto t = openFixture("set01", name);
    ASSERT_TRUE(t);
    EXPECT_EQ(column(*t, "DATE"), dates);
  }
  auto t = openFixture("set01", "date7.db");
  ASSERT_TRUE(t);
  EXPECT_EQ(column(*t, "DATE"), (std::vector<Value>{dates[0], dates[1], dates[2], kNull, dates[0]}));
  // 10:00:00, 10:30:00, 09:25:25 in milliseconds.
  EXPECT_EQ(column(*t, "TIME"),
            (std::vector<Value>{i32(36000000), i32(37800000), i32(33925000), i32(36000000), kNull}));
}

TEST(FixtureValues, TimeTimestampLogicalAndLong) {
  auto time = openFixture("set01", "time.db");
  ASSERT_TRUE(time);
  EXPECT_EQ(column(*time, "Time"), (std::vector<Value>{i32(3601000), kNull, i32(10803000)}));

  auto stamp = openFixture("set01", "timestamp.db");
  ASSERT_TRUE(stamp);
  // 2020-02-01 01:00:01 = 737456 days * 86,400,000 + 3,601,000 ms.
  EXPECT_EQ(column(*stamp, "Timestamp"), (std::vector<Value>{kNull, Value(63716202001000.0)}));

  auto logical = openFixture("set01", "logical.db");
  ASSERT_TRUE(logical);
  EXPECT_EQ(column(*logical, "BOOL"), (std::vector<Value>{true, false, true, true}));

  auto longs = openFixture("set01", "long.db");
  ASSERT_TRUE(longs);
  EXPECT_EQ(column(*longs, "Id"), (std::vector<Value>{i32(1), i32(2), i32(3)}));
  EXPECT_EQ(column(*longs, "LONG"), (std::vector<Value>{i32(1), i32(2), kNull}));
}

TEST(FixtureValues, BytesKeepTheirInnerZeros) {
  auto t = openFixture("set01", "bytes.db");
  ASSERT_TRUE(t);
  Bytes expected(255, 0);
  expected[0] = '1';
  expected[2] = '2';
  expected[4] = '3';
  EXPECT_EQ(valueOf(*t, 0, "BYTES"), Value(expected));
}

// set08 testtab: one table with every type; record 4 is blank in most fields.
TEST(FixtureValues, EveryTypeInOneTable) {
  auto t = openFixture("set08", "testtab.DB");
  ASSERT_TRUE(t);
  ASSERT_EQ(t->recordCount(), 5u);
  EXPECT_EQ(valueOf(*t, 1, "ALPHA"), Value(std::string("BBB")));
  EXPECT_EQ(valueOf(*t, 1, "NUMBER"), Value(-222.22));
  EXPECT_EQ(valueOf(*t, 1, "MONEY"), Value(-222.22));
  EXPECT_EQ(valueOf(*t, 1, "SHORT"), i32(-222));
  EXPECT_EQ(valueOf(*t, 1, "LONG"), i32(-222));
  EXPECT_EQ(valueOf(*t, 1, "BCD"), dec("-222.22"));
  EXPECT_EQ(valueOf(*t, 1, "DATE"), i32(738511));      // 2022-12-22
  EXPECT_EQ(valueOf(*t, 1, "TIME"), i32(80542000));    // 22:22:22
  EXPECT_EQ(valueOf(*t, 1, "TIMESTAMP"), Value(738511 * 86400000.0 + 80542000));
  EXPECT_EQ(valueOf(*t, 1, "LOGICAL"), Value(false));
  EXPECT_EQ(valueOf(*t, 1, "BINARY"), Value(Bytes{'1', '2', '3', 0, 0}));
  EXPECT_EQ(valueOf(*t, 1, "MEMO"), Value(std::string("222")));

  for (const char* field : {"NUMBER", "MONEY", "SHORT", "LONG", "BCD", "DATE", "TIME", "TIMESTAMP", "LOGICAL",
                            "BYTES", "MEMO"})
    EXPECT_EQ(valueOf(*t, 3, field), kNull) << field;
  EXPECT_EQ(valueOf(*t, 3, "ALPHA"), Value(std::string("DDD")));

  // The Blob field has no leader, so even its 1-byte value lives in the .MB.
  const auto desc = descriptorOf(*t, 0, "BYTES");
  EXPECT_EQ(desc.length, 1u);
  EXPECT_EQ(desc.mod, 5u);
  EXPECT_NE(desc.blockOffset, 0u);
  EXPECT_EQ(blobOf(*t, 0, "BYTES"), (Bytes{'1'}));
}

TEST(FixtureValues, MemoInTheLeaderAndInASuballocatedBlock) {
  auto t = openFixture("set01", "memo.db");
  ASSERT_TRUE(t);
  std::string line;
  for (int i = 0; i < 10; ++i) line += "01234567890";
  std::string longText;
  for (int i = 0; i < 5; ++i) longText += line + "\n";
  ASSERT_EQ(longText.size(), 555u);
  EXPECT_EQ(valueOf(*t, 0, "MEMO"), Value(longText));
  EXPECT_EQ(valueOf(*t, 1, "MEMO"), Value(std::string("01234567890\n")));

  const auto inBlock = descriptorOf(*t, 0, "MEMO");
  EXPECT_EQ(inBlock.blockOffset, blob::kBlockUnit);
  EXPECT_EQ(inBlock.index, 63u);  // slots are used from the last one down
  const auto inLeader = descriptorOf(*t, 1, "MEMO");
  EXPECT_EQ(inLeader.blockOffset | inLeader.index | inLeader.mod, 0u);
  EXPECT_EQ(inLeader.length, 12u);

  auto fmemo = openFixture("set01", "fmemo.db");
  ASSERT_TRUE(fmemo);
  EXPECT_EQ(blobOf(*fmemo, 0, "FMEMO").size(), 169u);
  EXPECT_EQ(blobOf(*fmemo, 1, "FMEMO").size(), 726u);
}

// Graphic and OLE values begin with a 4-byte kind and the payload length.
void expectPrefix(const Bytes& value, std::uint8_t kind) {
  ASSERT_GE(value.size(), 8u);
  EXPECT_EQ((Bytes(value.begin(), value.begin() + 4)), (Bytes{0x01, 0x00, 0x00, kind}));
  EXPECT_EQ(le32(value.data() + 4), value.size() - 8);
}

TEST(FixtureValues, LargeGraphicAndOleValuesInSingleBlocks) {
  auto t = openFixture("set01", "graphic.db");
  ASSERT_TRUE(t);
  const std::vector<std::size_t> sizes{20086, 9626, 2074686};
  for (std::size_t r = 0; r < sizes.size(); ++r) {
    const Bytes value = blobOf(*t, r, "Graphic");
    EXPECT_EQ(value.size(), sizes[r]);
    expectPrefix(value, 0x01);
    EXPECT_EQ(value[8], 'B');  // the payloads are BMP files
    EXPECT_EQ(value[9], 'M');
  }
  // The 2 MB graphic is one type-2 block of ceil((9 + length) / 4096) units.
  const auto desc = descriptorOf(*t, 2, "Graphic");
  EXPECT_EQ(desc.index, blob::kSingleBlockIndex);
  Bytes mb;
  ASSERT_TRUE(t->blobFile()->readBytes(desc.blockOffset, blob::kSingleData, mb).ok());
  ASSERT_EQ(mb.size(), blob::kSingleData);
  EXPECT_EQ(mb[blob::kBlockType], blob::kTypeSingle);
  EXPECT_EQ(le16(mb.data() + blob::kBlockUnits), 507u);
  EXPECT_EQ(valueOf(*t, 2, "Type"), kNull);
  EXPECT_EQ(valueOf(*t, 1, "Type"), Value(std::string("BMP")));

  auto ole = openFixture("set01", "ole.db");
  ASSERT_TRUE(ole);
  const Bytes oleValue = blobOf(*ole, 0, "OLE");
  EXPECT_EQ(oleValue.size(), 365928u);
  expectPrefix(oleValue, 0x02);
}

TEST(FixtureValues, GraphicLeaderHoldsThePayloadWithoutItsPrefix) {
  auto t = openFixture("set01", "graphic240.db");
  ASSERT_TRUE(t);
  const Bytes value = blobOf(*t, 0, "Graph");
  ASSERT_EQ(value.size(), 20086u);
  expectPrefix(value, 0x01);
  const FieldDescriptor& f = t->fields()[fieldIndex(*t, "Graph")];
  const std::uint8_t* leader = t->record(0) + f.offset;
  const std::size_t leaderSize = static_cast<std::size_t>(f.size - kBlobDescriptorSize);
  ASSERT_EQ(leaderSize, 240u);
  EXPECT_EQ(Bytes(leader, leader + leaderSize), Bytes(value.begin() + 8, value.begin() + 8 + 240));
}

TEST(FixtureValues, TextFromItsCodePage) {
  auto areas = openFixture("set02", "AREACODES.DB");
  ASSERT_TRUE(areas);
  EXPECT_EQ(areas->codePageNumber(), 1252);
  EXPECT_EQ(valueOf(*areas, 97, "Cities"), Value(std::string("San Jos\u00e9")));

  // A Roman-8 table names code page 0; its driver gives it away.
  auto roman = openFixture("set02", "ROMAN8.db");
  ASSERT_TRUE(roman);
  EXPECT_EQ(roman->codePageNumber(), CodePage::kRoman8);
  EXPECT_EQ(valueOf(*roman, 0, "A"), Value(std::string("\u0160\u00bd\u0192\u00b6")));  // EB F8 BE F4

  auto orders = openFixture("set08", "zakazky.db");
  ASSERT_TRUE(orders);
  EXPECT_EQ(valueOf(*orders, 239, "CisloMereni"), i32(240));
  EXPECT_EQ(valueOf(*orders, 239, "OPERATOR"), Value(std::string("D\u00edk")));  // 44 ED 6B
}

TEST(FixtureValues, TextOfOtherPagesIsKeptAsStored) {
  // set05 keeps code-page-1251 Cyrillic in tables marked 1252: the engine reads
  // them as 1252, and the stored bytes still spell the Russian text.
  auto t = openFixture("set05", "SPRKU.DB");
  ASSERT_TRUE(t);
  EXPECT_EQ(t->codePageNumber(), 1252);
  EXPECT_EQ(valueOf(*t, 0, "Name"), Value(std::string("\u00ca\u00f3\u00f0\u00f1 \u00d6\u00c1")));
  const FieldDescriptor& f = t->fields()[fieldIndex(*t, "Name")];
  const char* stored = reinterpret_cast<const char*>(t->record(0) + f.offset);
  std::string cyrillic;
  ASSERT_TRUE(CodePage::find(1251)->toUtf8(std::string_view(stored, strnlen(stored, f.size)), cyrillic).ok());
  EXPECT_EQ(cyrillic, "\u041a\u0443\u0440\u0441 \u0426\u0411");  // "Kurs TsB"

  // The cp866 and cp936 tables hold only ASCII text; they still need their page.
  auto conf = openFixture("set05", "Conf.DB");
  ASSERT_TRUE(conf);
  EXPECT_EQ(conf->codePageNumber(), 866);
  EXPECT_EQ(valueOf(*conf, 0, "DirSourceVa"), Value(std::string("c:\\procarry\\regbank\\in")));
  EXPECT_EQ(valueOf(*conf, 0, "DateValut"), kNull);
  EXPECT_EQ(valueOf(*conf, 0, "OrgKart"), i32(0));  // zero, not blank
  auto general = openFixture("set02", "GENERAL.DB");
  ASSERT_TRUE(general);
  EXPECT_EQ(general->codePageNumber(), 936);
  EXPECT_EQ(column(*general, "NAME"),
            (std::vector<Value>{std::string("Mari"), std::string("Katty"), std::string("Elizabet")}));
}

}  // namespace
}  // namespace px
