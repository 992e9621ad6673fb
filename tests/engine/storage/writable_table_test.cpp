// Changing tables in memory and writing whole families: the files read back
// with every index consistent, records in key order, blobs intact, and the
// change counters moved as the original engine expects.
#include "engine/storage/writable_table.h"

#include <gtest/gtest.h>

#include <cstring>
#include <map>

#include "engine/format/block_format.h"
#include "engine/format/byte_order.h"
#include "engine/format/header_format.h"
#include "engine/storage/commit_journal.h"
#include "engine/storage/index_builder.h"
#include "engine/storage/secondary_builder.h"
#include "tests/support/pxlib_reader.h"
#include "tests/support/test_support.h"

namespace px {
namespace {

void writeImages(const std::vector<FileImage>& images) {
  for (const auto& image : images) ASSERT_TRUE(localFileSystem().writeFile(image.path, image.bytes, false).ok());
}

std::unique_ptr<WritableTable> openWritable(const std::filesystem::path& dir, const std::string& name) {
  std::unique_ptr<WritableTable> t;
  Status s = WritableTable::open(localFileSystem(), dir, name, t);
  EXPECT_TRUE(s.ok()) << s.message();
  return t;
}

std::unique_ptr<Table> reopen(const std::filesystem::path& dir, const std::string& name) {
  std::unique_ptr<Table> t;
  Status s = Table::open(localFileSystem(), dir, name, t);
  EXPECT_TRUE(s.ok()) << s.message();
  return t;
}

std::string text(const Table& t, std::size_t record, std::size_t field) {
  Value v;
  EXPECT_TRUE(t.readValue(record, field, v).ok());
  if (isNull(v)) return "<null>";
  if (auto* s = std::get_if<std::string>(&v)) return *s;
  if (auto* i = std::get_if<std::int32_t>(&v)) return std::to_string(*i);
  return "?";
}

// Every maintained index of the reopened table equals one rebuilt from its records.
void expectIndexesMatchRecords(const Table& t) {
  const Collation* c = Collation::find(t.header().sortOrderName, t.header().sortOrderCode);
  ASSERT_NE(c, nullptr);
  for (const auto& index : t.secondaryIndexes()) {
    if (!index.data.header().isMaintainedSecondary()) continue;
    SecondaryLayout layout;
    ASSERT_TRUE(SecondaryLayout::describe(t.header(), index.data.header(), index.data.name(), *c, layout).ok());
    const Bytes built = buildSecondaryRecords(layout, t.header(), t.recordCount() ? t.record(0) : nullptr,
                                              t.data().blocks());
    ASSERT_EQ(built.size(), index.data.recordCount() * layout.recordSize);
    if (!built.empty()) {
      EXPECT_EQ(std::memcmp(built.data(), index.data.record(0), built.size()), 0) << index.data.name();
    }
  }
}

TEST(WritableTable, UnchangedTableProducesNoImages) {
  test::TempDir dir;
  dir.copySet("set05");
  auto t = openWritable(dir.path(), "pay");
  std::vector<FileImage> images;
  ASSERT_TRUE(t->buildImages(images).ok());
  EXPECT_TRUE(images.empty());
  EXPECT_FALSE(t->modified());
}

TEST(WritableTable, RenumberingTextKeysMovesRecordsAndKeepsEveryIndex) {
  test::TempDir dir;
  dir.copySet("set05");
  auto t = openWritable(dir.path(), "Counts");
  ASSERT_EQ(t->recordCount(), 415u);
  // Prefix every account number with "9": the records move within key order.
  std::map<std::string, std::string> expected;
  for (auto id : t->orderedIds()) {
    Bytes rec(t->record(id), t->record(id) + t->header().recordSize);
    Value key, date;
    ASSERT_TRUE(t->readValue(rec.data(), 0, key).ok());
    ASSERT_TRUE(t->readValue(rec.data(), 1, date).ok());
    const std::string renumbered = "9" + std::get<std::string>(key).substr(0, 12);
    ASSERT_TRUE(t->setValue(rec, 0, renumbered).ok());
    Status s = t->update(id, rec);
    if (s.code() == rc::kKeyViolation) continue;  // a truncated key may collide: nothing must change then
    ASSERT_TRUE(s.ok()) << s.message();
  }
  std::vector<FileImage> images;
  ASSERT_TRUE(t->buildImages(images).ok());
  EXPECT_EQ(images.size(), 4u);  // DB, PX, XG0, YG0
  const auto before = test::readBytes(dir.path() / "Counts.DB");
  const auto beforePx = test::readBytes(dir.path() / "Counts.PX");
  const auto beforeX = test::readBytes(dir.path() / "Counts.XG0");
  ASSERT_NO_FATAL_FAILURE(writeImages(images));

  auto r = reopen(dir.path(), "Counts");  // checks .PX, .XG0, .YG0 against the records
  ASSERT_EQ(r->recordCount(), 415u);
  for (std::size_t i = 0; i < r->recordCount(); ++i) EXPECT_EQ(text(*r, i, 0)[0], '9');
  for (std::size_t i = 1; i < r->recordCount(); ++i)
    EXPECT_LT(std::memcmp(r->record(i - 1), r->record(i), 17), 0) << "key order at " << i;
  expectIndexesMatchRecords(*r);

  // Counters: .DB 2D and .PX 2C move together, .X 2F follows the .PX, 2E stays.
  const auto after = test::readBytes(dir.path() / "Counts.DB");
  const auto afterPx = test::readBytes(dir.path() / "Counts.PX");
  const auto afterX = test::readBytes(dir.path() / "Counts.XG0");
  const auto d = static_cast<std::uint8_t>(after[header::kChangeCount] - before[header::kChangeCount]);
  EXPECT_NE(d, 0);
  EXPECT_EQ(static_cast<std::uint8_t>(afterPx[header::kIndexChangeCount] - beforePx[header::kIndexChangeCount]), d);
  EXPECT_EQ(afterX[header::kLinkByte], afterPx[header::kIndexChangeCount]);
  EXPECT_EQ(after[header::kFamilyStamp], before[header::kFamilyStamp]);
  EXPECT_EQ(afterX[header::kFamilyStamp], beforeX[header::kFamilyStamp]);
  EXPECT_EQ(le32(after.data() + header::kUpdateTime), le32(before.data() + header::kUpdateTime));
}

TEST(WritableTable, DuplicateKeyIsAViolationAndChangesNothing) {
  test::TempDir dir;
  dir.copySet("set04");
  auto t = openWritable(dir.path(), "ZIPCODES");
  const auto first = t->orderedIds().front();
  Bytes copy(t->record(first), t->record(first) + t->header().recordSize);
  EXPECT_EQ(t->insert(copy).code(), rc::kKeyViolation);
  EXPECT_FALSE(t->modified());

  const auto second = t->orderedIds()[1];
  Bytes moved(t->record(second), t->record(second) + t->header().recordSize);
  std::memcpy(moved.data(), t->record(first), 5);
  EXPECT_EQ(t->update(second, moved).code(), rc::kKeyViolation);
  EXPECT_EQ(t->orderedIds()[1], second);
  EXPECT_NE(std::memcmp(t->record(second), t->record(first), 5), 0);
}

TEST(WritableTable, InsertedKeysLandInStringOrderAcrossTwoLevels) {
  test::TempDir dir;
  dir.copySet("set04");
  auto t = openWritable(dir.path(), "ZIPCODES");
  Bytes rec = t->blankRecord();
  for (const char* zip : {"00000", "99999", "5", "50000", "1"}) {
    ASSERT_TRUE(t->setValue(rec, 0, std::string(zip)).ok());
    ASSERT_TRUE(t->setValue(rec, 1, std::string("ZZ")).ok());
    ASSERT_TRUE(t->setValue(rec, 2, std::string("Neustadt")).ok());
    ASSERT_TRUE(t->insert(rec).ok()) << zip;
  }
  std::vector<FileImage> images;
  ASSERT_TRUE(t->buildImages(images).ok());
  ASSERT_NO_FATAL_FAILURE(writeImages(images));
  auto r = reopen(dir.path(), "ZIPCODES");
  ASSERT_EQ(r->recordCount(), 43185u + 5);
  EXPECT_EQ(text(*r, 0, 0), "00000");
  EXPECT_EQ(text(*r, r->recordCount() - 1, 0), "99999");
  for (std::size_t i = 1; i < r->recordCount(); ++i) ASSERT_LT(std::memcmp(r->record(i - 1), r->record(i), 5), 0);
  ASSERT_NE(r->primaryIndex(), nullptr);
  EXPECT_EQ(r->primaryIndex()->header().indexLevels, 2);
}

TEST(WritableTable, BlobsWrittenAndReplacedReadBackAcrossTables) {
  test::TempDir dir;
  dir.copySet("set01");
  auto memo = openWritable(dir.path(), "memo");
  auto graphic = openWritable(dir.path(), "graphic240");
  // Copy the 20,086-byte graphic into the memo table's leader-10 sibling: here
  // we store it in graphic240 again as a new record, and give every memo a new text.
  Bytes stored;
  const auto gid = graphic->orderedIds().front();
  ASSERT_TRUE(graphic->readBlobBytes(graphic->record(gid), 1, stored).ok());
  ASSERT_EQ(stored.size(), 20086u);
  Bytes grec = graphic->blankRecord();
  ASSERT_TRUE(graphic->setValue(grec, 0, std::int32_t{100}).ok());
  ASSERT_TRUE(graphic->setBlobBytes(grec, 1, stored).ok());
  ASSERT_TRUE(graphic->insert(grec).ok());

  const std::string longText(3000, 'x');
  const std::string shortText = "kurz: Größe";
  std::size_t n = 0;
  for (auto id : memo->orderedIds()) {
    Bytes rec(memo->record(id), memo->record(id) + memo->header().recordSize);
    ASSERT_TRUE(memo->setValue(rec, 1, n++ % 2 ? longText : shortText + std::string(300, '.')).ok());
    ASSERT_TRUE(memo->update(id, rec).ok());
  }
  std::vector<FileImage> images;
  ASSERT_TRUE(memo->buildImages(images).ok());
  ASSERT_TRUE(graphic->buildImages(images).ok());
  ASSERT_NO_FATAL_FAILURE(writeImages(images));

  auto m = reopen(dir.path(), "memo");
  ASSERT_EQ(m->recordCount(), 2u);
  EXPECT_EQ(text(*m, 0, 1), shortText + std::string(300, '.'));
  EXPECT_EQ(text(*m, 1, 1), longText);
  auto g = reopen(dir.path(), "graphic240");
  ASSERT_EQ(g->recordCount(), 2u);
  Bytes back;
  ASSERT_TRUE(g->readBlobBytes(g->record(1), 1, back).ok());
  EXPECT_EQ(back, stored);
  ASSERT_TRUE(g->readBlobBytes(g->record(0), 1, back).ok());
  EXPECT_EQ(back, stored);
  // The leader of a graphic holds the start of the picture, after the 8-byte prefix.
  EXPECT_EQ(std::memcmp(g->record(1) + g->fields()[1].offset, stored.data() + 8, 16), 0);
}

TEST(WritableTable, ASecondCommitAfterInsertsKeepsTheBlobValuesOfTheFirst) {
  test::TempDir dir;
  dir.copySet("set01");
  auto memo = openWritable(dir.path(), "memo");
  const auto firstId = memo->orderedIds().front();
  Bytes rec(memo->record(firstId), memo->record(firstId) + memo->header().recordSize);
  const std::string first(5000, 'a'), second(7000, 'b'), third(4000, 'c');
  ASSERT_TRUE(memo->setValue(rec, 1, first).ok());
  ASSERT_TRUE(memo->update(firstId, rec).ok());
  std::vector<FileImage> images;
  ASSERT_TRUE(memo->buildImages(images).ok());
  ASSERT_NO_FATAL_FAILURE(writeImages(images));
  memo->markCommitted();

  // After the commit the table still reads the stored value from its own
  // store, and a second commit starts from what the first one wrote.
  Value value;
  ASSERT_TRUE(memo->readValue(memo->record(firstId), 1, value).ok());
  EXPECT_EQ(std::get<std::string>(value), first);
  Bytes added = memo->blankRecord();
  ASSERT_TRUE(memo->setValue(added, 0, std::int32_t{500}).ok());
  ASSERT_TRUE(memo->setValue(added, 1, second).ok());
  ASSERT_TRUE(memo->insert(added).ok());
  ASSERT_TRUE(memo->setValue(rec, 1, third).ok());
  ASSERT_TRUE(memo->update(firstId, rec).ok());
  images.clear();
  ASSERT_TRUE(memo->buildImages(images).ok());
  ASSERT_NO_FATAL_FAILURE(writeImages(images));

  auto m = reopen(dir.path(), "memo");
  ASSERT_EQ(m->recordCount(), 3u);
  EXPECT_EQ(text(*m, 0, 1), third);
  EXPECT_EQ(text(*m, 2, 1), second);
}

// Counts the bytes read from each file.
// Counts the bytes read of each file; fails every read while `failing`.
class ReadCounter : public FileSystem {
 public:
  std::map<std::string, std::uint64_t> read;
  bool failing = false;
  Status readFile(const std::filesystem::path& p, Bytes& out) override {
    if (failing) return Status(rc::kReadFailed, p.filename().string() + ": the disk is gone");
    return count(p, base_.readFile(p, out), out);
  }
  Status readRange(const std::filesystem::path& p, std::uint64_t offset, std::size_t size, Bytes& out) override {
    if (failing) return Status(rc::kReadFailed, p.filename().string() + ": the disk is gone");
    return count(p, base_.readRange(p, offset, size, out), out);
  }
  Status fileSize(const std::filesystem::path& p, std::uint64_t& size) override { return base_.fileSize(p, size); }
  Status listDirectory(const std::filesystem::path& d, std::vector<std::string>& names) override {
    return base_.listDirectory(d, names);
  }
  bool isDirectory(const std::filesystem::path& p) override { return base_.isDirectory(p); }
  bool exists(const std::filesystem::path& p) override { return base_.exists(p); }
  bool isReadOnly(const std::filesystem::path& p) override { return base_.isReadOnly(p); }
  Status writeFile(const std::filesystem::path& p, std::span<const std::uint8_t> data, bool sync) override {
    return base_.writeFile(p, data, sync);
  }
  Status writeRange(const std::filesystem::path& p, std::uint64_t offset, std::span<const std::uint8_t> data,
                    bool sync) override {
    return base_.writeRange(p, offset, data, sync);
  }
  Status rename(const std::filesystem::path& from, const std::filesystem::path& to) override {
    return base_.rename(from, to);
  }
  Status remove(const std::filesystem::path& p) override { return base_.remove(p); }
  Status syncDirectory(const std::filesystem::path& d) override { return base_.syncDirectory(d); }

 private:
  Status count(const std::filesystem::path& p, Status s, const Bytes& out) {
    read[p.filename().string()] += out.size();
    return s;
  }
  FileSystem& base_ = localFileSystem();
};

Status commitTable(FileSystem& fs, WritableTable& t, const std::filesystem::path& dir) {
  std::vector<PendingImage> images;
  PX_RETURN_IF_ERROR(t.planImages(images));
  PX_RETURN_IF_ERROR(CommitJournal::commit(fs, dir, images));
  t.markCommitted();
  return Status::Ok();
}

// Records that the table does not change stay in the .DB and are read back
// from it, also after a commit has packed them at new places; a read that
// fails is an error, never a blank record taken for the real one.
TEST(WritableTable, RecordsLeftInTheFileReadBackAcrossCommitsAndAFailedReadIsAnError) {
  test::TempDir dir;
  dir.copySet("set06");
  ReadCounter files;
  std::unique_ptr<WritableTable> t;
  ASSERT_TRUE(WritableTable::open(files, dir.path(), "autenticacao", t).ok());
  const std::size_t size = t->header().recordSize;
  // Several blocks of records, committed: from then on they are in the file only.
  for (std::int32_t k = 10000; k < 10200; ++k) {
    Bytes r = t->blankRecord();
    ASSERT_TRUE(t->setValue(r, 0, std::to_string(k)).ok());
    ASSERT_TRUE(t->setValue(r, 2, "name " + std::to_string(k)).ok());
    ASSERT_TRUE(t->insert(r).ok());
  }
  ASSERT_TRUE(commitTable(files, *t, dir.path()).ok());
  std::map<WritableTable::RecordId, Bytes> expected;
  for (auto id : t->orderedIds()) expected[id] = Bytes(t->record(id), t->record(id) + size);
  ASSERT_GE(t->table().data().blocks().size(), 1u);
  // The lowest key moves above every other, so every record moves in the file.
  const auto moved = t->orderedIds().front();
  Bytes changed = expected[moved];
  ASSERT_TRUE(t->setValue(changed, 0, std::string("99999")).ok());
  ASSERT_TRUE(t->update(moved, changed).ok());
  expected[moved] = changed;
  Bytes added = t->blankRecord();
  ASSERT_TRUE(t->setValue(added, 0, std::string("00000")).ok());
  WritableTable::RecordId addedId = 0;
  ASSERT_TRUE(t->insert(added, &addedId).ok());
  expected[addedId] = added;
  ASSERT_TRUE(commitTable(files, *t, dir.path()).ok());
  for (const auto& [id, bytes] : expected) EXPECT_EQ(Bytes(t->record(id), t->record(id) + size), bytes) << id;
  ASSERT_TRUE(t->readStatus().ok());

  // A commit forgets what was read of the file before it.
  ASSERT_TRUE(t->setValue(added, 0, std::string("00002")).ok());
  ASSERT_TRUE(t->insert(added).ok());
  ASSERT_TRUE(commitTable(files, *t, dir.path()).ok());
  files.failing = true;
  EXPECT_EQ(t->update(moved, expected[moved]).code(), rc::kReadFailed);
  EXPECT_EQ(t->remove(moved).code(), rc::kReadFailed);
  EXPECT_EQ(t->readStatus().code(), rc::kReadFailed);
  EXPECT_FALSE(t->modified());
  ASSERT_TRUE(t->setValue(added, 0, std::string("00001")).ok());
  ASSERT_TRUE(t->insert(added).ok());
  std::vector<PendingImage> images;
  EXPECT_EQ(t->planImages(images).code(), rc::kReadFailed);
  files.failing = false;
  auto r = reopen(dir.path(), "autenticacao");
  EXPECT_EQ(r->recordCount(), expected.size() + 1);
}

// Records added above every key leave the leading blocks of the .DB as they
// are: the commit writes the header and the blocks from the last one on,
// reading back only the records of those, and the files come out as a whole
// rewrite makes them. The rewrite is forced by a change at the lowest key instead.
TEST(WritableTable, ChangesAboveEveryKeyWriteTheEndOfTheDataFileAsAWholeRewriteWould) {
  test::TempDir base;
  base.copySet("set06");
  auto recordOf = [](WritableTable& t, std::int32_t key) {
    Bytes r = t.blankRecord();
    EXPECT_TRUE(t.setValue(r, 0, std::to_string(key)).ok());
    EXPECT_TRUE(t.setValue(r, 2, "name " + std::to_string(key)).ok());
    return r;
  };
  std::int32_t count = 0;
  {
    auto t = openWritable(base.path(), "autenticacao");
    for (auto id : t->orderedIds()) ASSERT_TRUE(t->remove(id).ok());
    // Full blocks only: the last one changes all the same (its link).
    count = static_cast<std::int32_t>(block::capacity(t->header().blockSize, t->header().recordSize) * 300);
    for (std::int32_t k = 10000; k < 10000 + count; ++k) ASSERT_TRUE(t->insert(recordOf(*t, k)).ok());
    ASSERT_TRUE(commitTable(localFileSystem(), *t, base.path()).ok());
  }
  std::map<std::string, std::map<std::string, Bytes>> results;
  std::map<std::string, std::uint64_t> dataRead;
  for (const std::string variant : {"top", "bottom"}) {
    const std::filesystem::path dir = base.path() / variant;
    std::filesystem::create_directory(dir);
    for (const auto& e : std::filesystem::directory_iterator(base.path()))
      if (e.is_regular_file()) std::filesystem::copy_file(e.path(), dir / e.path().filename());
    ReadCounter counter;
    std::unique_ptr<WritableTable> t;
    ASSERT_TRUE(WritableTable::open(counter, dir, "autenticacao", t).ok());
    ASSERT_GE(t->table().data().blocks().size(), 3u);
    for (std::int32_t k = 90000; k < 90030; ++k) ASSERT_TRUE(t->insert(recordOf(*t, k)).ok());
    const auto ids = t->orderedIds();
    const auto touched = variant == "top" ? ids[static_cast<std::size_t>(count)] : ids.front();
    ASSERT_TRUE(t->update(touched, Bytes(t->record(touched), t->record(touched) + t->header().recordSize)).ok());
    counter.read.clear();
    ASSERT_TRUE(commitTable(counter, *t, dir).ok());
    dataRead[variant] = counter.read["autenticacao.db"];
    for (const auto& e : std::filesystem::directory_iterator(dir)) results[variant][e.path().filename().string()] = test::readBytes(e.path());
  }
  EXPECT_EQ(results["top"], results["bottom"]);
  // The top variant reads back only the records of the blocks it writes (a
  // window of the file), the bottom one every record.
  const std::uint64_t fileSize = results["top"]["autenticacao.db"].size();
  EXPECT_LE(dataRead["top"], 256u * 1024u);
  EXPECT_GE(dataRead["bottom"], fileSize / 2);
  EXPECT_GT(dataRead["bottom"], 0u);
  auto r = reopen(base.path() / "top", "autenticacao");
  ASSERT_EQ(r->recordCount(), static_cast<std::size_t>(count) + 30);
  EXPECT_EQ(text(*r, r->recordCount() - 1, 0), "90029");
}

TEST(WritableTable, UnkeyedTableKeepsInsertionOrder) {
  test::TempDir dir;
  dir.copySet("set02");
  auto t = openWritable(dir.path(), "CONTACTS");
  Bytes rec = t->blankRecord();
  ASSERT_TRUE(t->setValue(rec, 0, std::string("Zander")).ok());
  ASSERT_TRUE(t->insert(rec).ok());
  ASSERT_TRUE(t->setValue(rec, 0, std::string("Abel")).ok());
  ASSERT_TRUE(t->insert(rec).ok());
  EXPECT_EQ(t->setValue(rec, 0, std::string("a name far longer than ten")).code(), rc::kInvalidValue);
  std::vector<FileImage> images;
  ASSERT_TRUE(t->buildImages(images).ok());
  EXPECT_EQ(images.size(), 1u);
  ASSERT_NO_FATAL_FAILURE(writeImages(images));
  auto r = reopen(dir.path(), "CONTACTS");
  ASSERT_EQ(r->recordCount(), 57u);
  EXPECT_EQ(text(*r, 55, 0), "Zander");
  EXPECT_EQ(text(*r, 56, 0), "Abel");
}

TEST(WritableTable, RemovingEveryRecordLeavesAnEmptyConsistentFamily) {
  test::TempDir dir;
  dir.copySet("set05");
  auto t = openWritable(dir.path(), "KartA");
  for (auto id : t->orderedIds()) ASSERT_TRUE(t->remove(id).ok());
  std::vector<FileImage> images;
  ASSERT_TRUE(t->buildImages(images).ok());
  ASSERT_NO_FATAL_FAILURE(writeImages(images));
  auto r = reopen(dir.path(), "KartA");
  EXPECT_EQ(r->recordCount(), 0u);
  EXPECT_EQ(r->header().firstBlock, 0);
  EXPECT_EQ(r->primaryIndex()->header().indexLevels, 0);
}

TEST(WritableTable, RefusesWhatItCannotWriteFaithfully) {
  std::unique_ptr<WritableTable> t;
  EXPECT_EQ(WritableTable::open(localFileSystem(), test::fixtureSet("set11"), "encrypted", t).code(), rc::kEncrypted);
  EXPECT_EQ(WritableTable::open(localFileSystem(), test::fixtureSet("set04"), "STATES", t).code(), rc::kIndexOutOfDate);
}

}  // namespace
}  // namespace px

// The independent reader sees the same records in the files we wrote.
namespace px {
namespace {

TEST(WritableTable, IndependentReaderReadsWhatWeWrote) {
  if (!test::pxlibReads()) GTEST_SKIP() << test::kWithoutPxlib;
  test::TempDir dir;
  dir.copySet("set05");
  auto t = openWritable(dir.path(), "pay");
  std::size_t n = 0;
  for (auto id : t->orderedIds()) {
    if (n++ % 3) continue;
    Bytes rec(t->record(id), t->record(id) + t->header().recordSize);
    ASSERT_TRUE(t->setValue(rec, 6, std::string("N") + std::to_string(n)).ok());
    ASSERT_TRUE(t->update(id, rec).ok());
  }
  Bytes rec = t->blankRecord();
  ASSERT_TRUE(t->setValue(rec, 0, std::int32_t{999999}).ok());
  ASSERT_TRUE(t->setValue(rec, 8, 12.5).ok());
  ASSERT_TRUE(t->insert(rec).ok());
  std::vector<FileImage> images;
  ASSERT_TRUE(t->buildImages(images).ok());
  ASSERT_NO_FATAL_FAILURE(writeImages(images));
  auto ours = reopen(dir.path(), "pay");

  const test::PxlibTable theirs = test::readWithPxlib(dir.path() / "pay.DB");
  ASSERT_TRUE(theirs.opened);
  ASSERT_EQ(theirs.recordBytes.size(), ours->recordCount());
  for (std::size_t r = 0; r < theirs.recordBytes.size(); ++r) {
    const std::uint8_t* mine = ours->record(r);
    ASSERT_EQ(theirs.recordBytes[r], std::vector<unsigned char>(mine, mine + ours->header().recordSize)) << r;
  }
}

}  // namespace
}  // namespace px
