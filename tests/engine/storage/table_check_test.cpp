// The table check on real families: every fixture the original engine wrote
// passes without an error, its known habits show up as warnings, and each kind
// of damage, made on a copy, gives its own error while the rest is still checked.
#include "engine/storage/table_check.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "engine/format/block_format.h"
#include "engine/format/byte_order.h"
#include "engine/format/field_type.h"
#include "engine/format/header_format.h"
#include "engine/format/index_format.h"
#include "engine/storage/table.h"
#include "tests/support/test_support.h"

namespace px {
namespace {

using Severity = CheckFinding::Severity;

std::vector<CheckFinding> check(const std::filesystem::path& dir, const std::string& table, bool rebuild = false) {
  std::vector<CheckFinding> findings;
  CheckOptions options;
  options.rebuild = rebuild;
  Status s = checkTable(localFileSystem(), dir, table, options, findings);
  EXPECT_TRUE(s.ok()) << s.message();
  return findings;
}

std::vector<CheckFinding> ofSeverity(const std::vector<CheckFinding>& findings, Severity severity) {
  std::vector<CheckFinding> out;
  std::copy_if(findings.begin(), findings.end(), std::back_inserter(out),
               [&](const CheckFinding& f) { return f.severity == severity; });
  return out;
}

std::string listed(const std::vector<CheckFinding>& findings) {
  std::string out;
  for (const auto& f : findings)
    out += std::string(f.severity == Severity::Error ? "error: " : "warning: ") + f.file + ": " + f.text + "\n";
  return out;
}

bool has(const std::vector<CheckFinding>& findings, Severity severity, const std::string& file,
         const std::string& text) {
  return std::any_of(findings.begin(), findings.end(), [&](const CheckFinding& f) {
    return f.severity == severity && f.file == file && f.text.find(text) != std::string::npos;
  });
}

// ---------------------------------------------------------------------------
// Every fixture table.

class FixtureCheck : public ::testing::TestWithParam<std::filesystem::path> {};

TEST_P(FixtureCheck, HasNoErrorWithOrWithoutRebuild) {
  const auto path = GetParam();
  for (bool rebuild : {false, true}) {
    const auto findings = check(path.parent_path(), path.filename().string(), rebuild);
    const auto errors = ofSeverity(findings, Severity::Error);
    if (path.parent_path().filename() == "set11") {
      // Encrypted: one error and nothing else.
      ASSERT_EQ(findings.size(), 1u) << listed(findings);
      EXPECT_EQ(findings[0].text, "encrypted, not checked");
      EXPECT_EQ(findings[0].severity, Severity::Error);
    } else {
      EXPECT_TRUE(errors.empty()) << (rebuild ? "with rebuild:\n" : "") << listed(findings);
    }
  }
}

std::string testName(const ::testing::TestParamInfo<std::filesystem::path>& info) {
  std::string name = info.param.parent_path().filename().string() + "_" + info.param.stem().string();
  for (char& c : name)
    if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
  return name;
}

INSTANTIATE_TEST_SUITE_P(Fixtures, FixtureCheck, ::testing::ValuesIn(test::allFixtureTables()), testName);

TEST(TableCheck, HabitsOfTheOriginalEngineAreWarnings) {
  // Splits leave stale hints; the rebuild counts the same ones.
  for (bool rebuild : {false, true}) {
    const auto valut = check(test::fixtureSet("set05"), "Valut", rebuild);
    EXPECT_TRUE(has(valut, Severity::Warning, "Valut.XG0", "4285 of 8232 entries carry a stale block hint"))
        << listed(valut);
  }
  // The DOS engine leaves the tail of the last block unwritten.
  EXPECT_TRUE(has(check(test::fixtureSet("set04"), "ZIPCODES"), Severity::Warning, "ZIPCODES.DB",
                  "ends 1024 bytes before the end of its last block"));
  EXPECT_TRUE(
      has(check(test::fixtureSet("set04"), "STATES"), Severity::Warning, "STATES.DB", "without its primary index"));
  // Blobs of deleted or replaced values stay behind.
  const auto produto = check(test::fixtureSet("set09"), "Produto");
  EXPECT_TRUE(has(produto, Severity::Warning, "Produto.MB", "9 single-blob block(s)")) << listed(produto);
  EXPECT_TRUE(has(produto, Severity::Warning, "Produto.XG0", "non-maintained")) << listed(produto);
  // One maintained index in the fixtures carries a family stamp one above its table's.
  EXPECT_TRUE(has(check(test::fixtureSet("set10"), "fk4"), Severity::Warning, "fk4.XG0",
                  "family stamp (byte 2E) is 133, the table's is 132"));
}

TEST(TableCheck, DirectoryChecksEveryTableInNameOrder) {
  std::vector<TableCheckResult> results;
  ASSERT_TRUE(checkDirectory(localFileSystem(), test::fixtureSet("set10"), {}, results).ok());
  ASSERT_EQ(results.size(), 18u);
  EXPECT_EQ(results.front().table, "A.db");
  EXPECT_TRUE(
      std::is_sorted(results.begin(), results.end(), [](const auto& a, const auto& b) { return a.table < b.table; }));
  for (const auto& r : results) EXPECT_EQ(r.errors(), 0u) << r.table << "\n" << listed(r.findings);

  std::vector<CheckFinding> findings;
  Status s = checkTable(localFileSystem(), test::fixtureSet("set10"), "nosuch", {}, findings);
  EXPECT_EQ(s.code(), rc::kFileNotFound);
  EXPECT_TRUE(findings.empty());
}

// ---------------------------------------------------------------------------
// Damaged copies.

// Offsets into a copied file, found the way the engine finds them.
class Damage : public ::testing::Test {
 protected:
  Bytes read(const std::string& name) { return test::readBytes(dir_.path() / name); }
  void write(const std::string& name, const Bytes& bytes) { test::writeBytes(dir_.path() / name, bytes); }
  void patch(const std::string& name, std::size_t offset, std::uint8_t value) {
    Bytes bytes = read(name);
    ASSERT_LT(offset, bytes.size());
    bytes[offset] = value;
    write(name, bytes);
  }
  std::vector<CheckFinding> errorsOf(const std::string& table, bool rebuild = false) {
    return ofSeverity(check(dir_.path(), table, rebuild), Severity::Error);
  }

  // File offset of block `number`.
  static std::size_t blockAt(const Bytes& file, std::uint32_t number) {
    return le16(file.data() + header::kHeaderSize) + (number - 1) * file[header::kMaxTableSize] * 1024u;
  }
  // The block numbers of the chain, in order.
  static std::vector<std::uint16_t> chain(const Bytes& file) {
    std::vector<std::uint16_t> out;
    for (std::uint16_t b = le16(file.data() + header::kFirstBlock); b != 0;
         b = le16(file.data() + blockAt(file, b) + block::kNextBlock))
      out.push_back(b);
    return out;
  }
  static std::size_t recordsIn(const Bytes& file, std::uint16_t block) {
    const std::size_t size = le16(file.data() + header::kRecordSize);
    return static_cast<std::size_t>(le16s(file.data() + blockAt(file, block) + block::kAddDataSize) + size) / size;
  }
  // File offset of record `i` of block `block`.
  static std::size_t recordAt(const Bytes& file, std::uint16_t block, std::size_t i) {
    return blockAt(file, block) + block::kHeaderSize + i * le16(file.data() + header::kRecordSize);
  }
  static void swapRecords(Bytes& file, std::size_t a, std::size_t b) {
    const std::size_t size = le16(file.data() + header::kRecordSize);
    std::swap_ranges(file.begin() + static_cast<long>(a), file.begin() + static_cast<long>(a + size),
                     file.begin() + static_cast<long>(b));
  }

  test::TempDir dir_;
};

TEST_F(Damage, SwappedRecordsBreakKeyOrderWithinAndAcrossBlocks) {
  dir_.copyFiles("set02", {"ORDERS.DB", "ORDERS.PX"});
  const Bytes original = read("ORDERS.DB");
  const auto blocks = chain(original);
  ASSERT_GE(blocks.size(), 2u);
  ASSERT_GE(recordsIn(original, blocks[0]), 3u);

  Bytes db = original;
  swapRecords(db, recordAt(db, blocks[0], 1), recordAt(db, blocks[0], 2));
  write("ORDERS.DB", db);
  auto errors = errorsOf("ORDERS");
  ASSERT_EQ(errors.size(), 1u) << listed(errors);
  EXPECT_NE(errors[0].text.find("records 2 and 3 (in block " + std::to_string(blocks[0]) + ") are out of key order"),
            std::string::npos)
      << errors[0].text;

  // The last of block 1 and the first of block 2: the .PX then misses block 2's first key too.
  db = original;
  const std::size_t last = recordsIn(db, blocks[0]) - 1;
  swapRecords(db, recordAt(db, blocks[0], last), recordAt(db, blocks[1], 0));
  write("ORDERS.DB", db);
  errors = errorsOf("ORDERS");
  EXPECT_EQ(errors.size(), 2u) << listed(errors);
  EXPECT_TRUE(
      has(errors, Severity::Error, "ORDERS.DB",
          "(the last of block " + std::to_string(blocks[0]) + " and the first of block " + std::to_string(blocks[1])))
      << listed(errors);
  EXPECT_TRUE(has(errors, Severity::Error, "ORDERS.PX", "leaf entry 2 does not hold the first key of block"))
      << listed(errors);
}

TEST_F(Damage, RepeatedKeyIsAKeyViolation) {
  dir_.copyFiles("set02", {"ORDERS.DB", "ORDERS.PX"});
  Bytes db = read("ORDERS.DB");
  const auto blocks = chain(db);
  // Order No is a Number (8 bytes): record 3 takes record 2's key.
  std::memcpy(db.data() + recordAt(db, blocks[0], 2), db.data() + recordAt(db, blocks[0], 1), 8);
  write("ORDERS.DB", db);
  const auto errors = errorsOf("ORDERS");
  ASSERT_EQ(errors.size(), 1u) << listed(errors);
  EXPECT_NE(errors[0].text.find("records 2 and 3 repeat the key"), std::string::npos) << errors[0].text;
}

TEST_F(Damage, PrimaryIndexCountsAreCheckedAtEveryLevel) {
  dir_.copyFiles("set02", {"ORDERS.DB", "ORDERS.PX"});
  Bytes px = read("ORDERS.PX");
  const std::size_t keySize = le16(px.data() + header::kRecordSize) - index::kTrailerSize;
  ASSERT_EQ(px[header::kIndexLevels], 1);
  std::uint8_t* count = px.data() + blockAt(px, le16(px.data() + header::kIndexRoot)) + block::kHeaderSize + keySize +
                        index::kTrailerCount;
  index::encodeTreeWord(count, static_cast<std::uint16_t>(index::decodeTreeWord(count) + 1));
  write("ORDERS.PX", px);
  for (bool rebuild : {false, true}) {
    const auto errors = errorsOf("ORDERS", rebuild);
    EXPECT_TRUE(has(errors, Severity::Error, "ORDERS.PX", "leaf entry 1 names block")) << listed(errors);
    EXPECT_EQ(has(errors, Severity::Error, "ORDERS.PX", "rebuilt: key"), rebuild) << listed(errors);
  }

  // Two levels: a leaf count no longer adds up to its parent entry.
  dir_.copyFiles("set04", {"ZIPCODES.DB", "ZIPCODES.PX"});
  px = read("ZIPCODES.PX");
  ASSERT_EQ(px[header::kIndexLevels], 2);
  const std::size_t zipKey = le16(px.data() + header::kRecordSize) - index::kTrailerSize;
  const std::uint8_t* root = px.data() + blockAt(px, le16(px.data() + header::kIndexRoot));
  const std::uint16_t firstLeaf = index::decodeTreeWord(root + block::kHeaderSize + zipKey + index::kTrailerBlock);
  count = px.data() + blockAt(px, firstLeaf) + block::kHeaderSize + zipKey + index::kTrailerCount;
  index::encodeTreeWord(count, static_cast<std::uint16_t>(index::decodeTreeWord(count) - 1));
  write("ZIPCODES.PX", px);
  const auto errors = errorsOf("ZIPCODES");
  EXPECT_TRUE(has(errors, Severity::Error, "ZIPCODES.PX", "its child block " + std::to_string(firstLeaf)))
      << listed(errors);
  EXPECT_TRUE(has(errors, Severity::Error, "ZIPCODES.PX", "leaf entry 1 names block")) << listed(errors);
}

TEST_F(Damage, ChangeCountersThatMustAgree) {
  dir_.copySet("set05");
  const Bytes xg0 = read("KartA.XG0");
  ASSERT_NO_FATAL_FAILURE(patch("KartA.XG0", header::kLinkByte, static_cast<std::uint8_t>(xg0[header::kLinkByte] + 1)));
  auto errors = errorsOf("KartA");
  ASSERT_EQ(errors.size(), 1u) << listed(errors);
  EXPECT_EQ(errors[0].file, "KartA.XG0");
  EXPECT_NE(errors[0].text.find("byte 2F is"), std::string::npos) << errors[0].text;

  // The family stamp of an index is only a warning: one fixture differs by one.
  write("KartA.XG0", xg0);
  ASSERT_NO_FATAL_FAILURE(patch("KartA.XG0", header::kFamilyStamp, static_cast<std::uint8_t>(xg0[header::kFamilyStamp] + 1)));
  const auto findings = check(dir_.path(), "KartA");
  EXPECT_TRUE(ofSeverity(findings, Severity::Error).empty()) << listed(findings);
  EXPECT_TRUE(has(findings, Severity::Warning, "KartA.XG0", "family stamp (byte 2E)"));

  dir_.copySet("set03");
  const Bytes val = read("FILMS.VAL");
  ASSERT_NO_FATAL_FAILURE(patch("FILMS.VAL", 0, static_cast<std::uint8_t>(val[0] ^ 0x01)));
  errors = errorsOf("FILMS");
  ASSERT_EQ(errors.size(), 1u) << listed(errors);
  EXPECT_EQ(errors[0].file, "FILMS.VAL");
  EXPECT_NE(errors[0].text.find("byte 0 is"), std::string::npos);
}

TEST_F(Damage, RebuildFlagsMustStayZero) {
  dir_.copySet("set05");
  for (std::size_t offset : {header::kModifiedFlags1, header::kModifiedFlags2, header::kIndexUpdateRequired}) {
    const Bytes db = read("KartA.DB");
    ASSERT_NO_FATAL_FAILURE(patch("KartA.DB", offset, 1));
    const auto errors = errorsOf("KartA");
    ASSERT_EQ(errors.size(), 1u) << listed(errors);
    EXPECT_EQ(errors[0].file, "KartA.DB");
    EXPECT_NE(errors[0].text.find("header byte"), std::string::npos);
    write("KartA.DB", db);
  }
  // In a non-maintained index the original engine rebuilds anyway: a warning.
  dir_.copySet("set09");
  ASSERT_NO_FATAL_FAILURE(patch("cliente.XG0", header::kModifiedFlags1, 1));
  const auto findings = check(dir_.path(), "cliente");
  EXPECT_TRUE(ofSeverity(findings, Severity::Error).empty()) << listed(findings);
  EXPECT_TRUE(has(findings, Severity::Warning, "cliente.XG0", "header byte 14 is 1"));
}

TEST_F(Damage, TwoRecordsSharingOneBlob) {
  dir_.copyFiles("set01", {"graphic.db", "graphic.px", "graphic.mb"});
  Bytes db = read("graphic.db");
  const auto blocks = chain(db);
  // Graphic field: 10 bytes after the 4-byte Id, no leader, so all descriptor.
  constexpr std::size_t kGraphicAt = 4;
  std::memcpy(db.data() + recordAt(db, blocks[0], 1) + kGraphicAt, db.data() + recordAt(db, blocks[0], 0) + kGraphicAt,
              kBlobDescriptorSize);
  write("graphic.db", db);
  const auto findings = check(dir_.path(), "graphic");
  const auto errors = ofSeverity(findings, Severity::Error);
  ASSERT_EQ(errors.size(), 1u) << listed(findings);
  EXPECT_NE(errors[0].text.find("record 2, field Graphic and record 1, field Graphic point at the same blob"),
            std::string::npos)
      << errors[0].text;
  // Record 2's own blob is now left without a reference.
  EXPECT_TRUE(has(findings, Severity::Warning, "graphic.mb", "1 single-blob block(s)")) << listed(findings);

  // A descriptor whose length disagrees with the .MB.
  db[recordAt(db, blocks[0], 1) + kGraphicAt + 4] ^= 0x01;
  write("graphic.db", db);
  EXPECT_TRUE(has(errorsOf("graphic"), Severity::Error, "graphic.db",
                  "record 2, field Graphic: graphic.mb: blob has been modified"));
}

TEST_F(Damage, SecondaryEntriesAreMatchedToRecords) {
  dir_.copySet("set05");
  Bytes x = read("KartA.XG0");
  const auto xBlocks = chain(x);
  // Entry 1's date (the indexed field) moves to a value no record holds.
  x[recordAt(x, xBlocks[0], 0) + 3] ^= 0x01;
  write("KartA.XG0", x);
  auto errors = errorsOf("KartA");
  EXPECT_TRUE(has(errors, Severity::Error, "KartA.XG0", "entry 1 (")) << listed(errors);
  EXPECT_TRUE(has(errors, Severity::Error, "KartA.XG0", "matches no record of KartA.DB")) << listed(errors);
  EXPECT_TRUE(has(errors, Severity::Error, "KartA.XG0", "no entry for the record with")) << listed(errors);
  EXPECT_TRUE(has(errorsOf("KartA", true), Severity::Error, "KartA.XG0", "rebuilt:"));

  // A hint outside the data chain is a warning that says so.
  x = read("KartA.XG0");
  x[recordAt(x, xBlocks[0], 0) + 3] ^= 0x01;
  const std::size_t hintAt = recordAt(x, xBlocks[0], 0) + le16(x.data() + header::kRecordSize) - 2;
  x[hintAt] = 0x80;
  x[hintAt + 1] = 0xF0;  // block 240
  write("KartA.XG0", x);
  for (bool rebuild : {false, true}) {
    const auto findings = check(dir_.path(), "KartA", rebuild);
    EXPECT_TRUE(ofSeverity(findings, Severity::Error).empty()) << listed(findings);
    EXPECT_TRUE(has(findings, Severity::Warning, "KartA.XG0",
                    "1 of 120 entries carry a block hint that is not in the data chain of KartA.DB (block 240)"))
        << listed(findings);
  }
}

TEST_F(Damage, BlockChainAndFreeList) {
  dir_.copySet("set03");
  Bytes db = read("FILMS.DB");
  const auto blocks = chain(db);
  ASSERT_GE(blocks.size(), 2u);
  const std::uint16_t freeBlock = le16(db.data() + header::kFirstFreeBlock);
  ASSERT_NE(freeBlock, 0);
  // The free block claims a record, the second block links back wrongly.
  putLe16(db.data() + blockAt(db, freeBlock) + block::kAddDataSize, 0);
  putLe16(db.data() + blockAt(db, blocks[1]) + block::kPrevBlock, 0);
  write("FILMS.DB", db);
  const auto errors = errorsOf("FILMS");
  EXPECT_TRUE(has(errors, Severity::Error, "FILMS.DB", "free block " + std::to_string(freeBlock))) << listed(errors);
  EXPECT_TRUE(has(errors, Severity::Error, "FILMS.DB", "block " + std::to_string(blocks[1]) + " links back to block 0"))
      << listed(errors);

  // A 7.x file must hold all its blocks.
  dir_.copySet("set05");
  db = read("KartA.DB");
  db.resize(db.size() - 100);
  write("KartA.DB", db);
  EXPECT_TRUE(has(errorsOf("KartA"), Severity::Error, "KartA.DB", "blocks of 2048 bytes need"));
}

TEST_F(Damage, EveryProblemIsReportedNotJustTheFirst) {
  dir_.copySet("set05");
  const Bytes xg0 = read("KartA.XG0");
  ASSERT_NO_FATAL_FAILURE(patch("KartA.XG0", header::kLinkByte, static_cast<std::uint8_t>(xg0[header::kLinkByte] + 1)));
  ASSERT_NO_FATAL_FAILURE(patch("KartA.PX", header::kModifiedFlags2, 1));
  Bytes db = read("KartA.DB");
  const auto blocks = chain(db);
  swapRecords(db, recordAt(db, blocks[0], 1), recordAt(db, blocks[0], 2));
  write("KartA.DB", db);
  const auto errors = errorsOf("KartA");
  EXPECT_TRUE(has(errors, Severity::Error, "KartA.XG0", "byte 2F")) << listed(errors);
  EXPECT_TRUE(has(errors, Severity::Error, "KartA.PX", "header byte 2A")) << listed(errors);
  EXPECT_TRUE(has(errors, Severity::Error, "KartA.DB", "out of key order")) << listed(errors);
}

// ---------------------------------------------------------------------------
// Byte sweeps, in memory: whatever the damage, the check finishes, and every
// damage that makes Table::open refuse the family is an error of the check too.

struct SweepFamily {
  const char* set;
  const char* table;
  std::vector<std::string> files;
};

void sweep(const SweepFamily& family) {
  std::vector<Bytes> originals;
  for (const auto& name : family.files) originals.push_back(test::readBytes(test::fixtureSet(family.set) / name));
  auto run = [&](std::size_t damaged, const Bytes& bytes, const std::string& what) {
    MemoryFileSystem fs;
    for (std::size_t i = 0; i < family.files.size(); ++i)
      fs.addFile("t/" + family.files[i], i == damaged ? bytes : originals[i]);
    std::vector<CheckFinding> findings;
    CheckOptions options;
    options.rebuild = true;
    ASSERT_TRUE(checkTable(fs, "t", family.table, options, findings).ok()) << what;
    std::unique_ptr<Table> table;
    const Status open = Table::open(fs, "t", family.table, table);
    if (!open.ok()) {
      EXPECT_FALSE(ofSeverity(findings, Severity::Error).empty())
          << what << ": Table::open says \"" << open.message() << "\", the check finds no error\n"
          << listed(findings);
    }
  };
  for (std::size_t f = 0; f < family.files.size(); ++f) {
    const Bytes& original = originals[f];
    for (std::size_t at = 0; at < original.size(); at += at < 0x80 ? 1 : 61) {
      for (std::uint8_t value : {std::uint8_t{0x00}, std::uint8_t{0xFF}, static_cast<std::uint8_t>(original[at] + 1)}) {
        if (value == original[at]) continue;
        Bytes bytes = original;
        bytes[at] = value;
        run(f, bytes, family.files[f] + " byte " + std::to_string(at) + " = " + std::to_string(value));
        if (::testing::Test::HasFatalFailure()) return;
      }
    }
    for (std::size_t cut = 0; cut < original.size(); cut += original.size() / 16 + 1)
      run(f, Bytes(original.begin(), original.begin() + static_cast<long>(cut)),
          family.files[f] + " cut at " + std::to_string(cut));
  }
}

TEST(TableCheckSweep, KeyedTableWithSecondaryIndex) {
  ASSERT_NO_FATAL_FAILURE(sweep({"set05", "KartA", {"KartA.DB", "KartA.PX", "KartA.XG0", "KartA.YG0"}}));
}

TEST(TableCheckSweep, BlobsAndFreeBlocks) {
  ASSERT_NO_FATAL_FAILURE(sweep({"set01", "memo", {"memo.db", "memo.px", "memo.mb"}}));
  ASSERT_NO_FATAL_FAILURE(sweep({"set03", "FILMS", {"FILMS.DB", "FILMS.PX", "FILMS.VAL"}}));
}

}  // namespace
}  // namespace px
