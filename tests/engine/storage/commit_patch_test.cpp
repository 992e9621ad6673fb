// Commits that write a patch into a large file in place rather than a whole
// new copy: cut at any write operation, by any fault, they recover to exactly
// the files before or exactly the files after, and so does a recovery cut
// short; a file that stays as it is takes no part.
#include <gtest/gtest.h>

#include <map>
#include <random>
#include <string>

#include "engine/io/fault_injecting_file_system.h"
#include "engine/storage/commit_journal.h"
#include "engine/storage/file_patch.h"

namespace px {
namespace {

namespace fs = std::filesystem;
using Snapshot = std::map<std::string, Bytes>;

Bytes randomBytes(std::size_t size, unsigned seed) {
  std::mt19937 rng(seed);
  Bytes bytes(size);
  for (auto& b : bytes) b = static_cast<std::uint8_t>(rng());
  return bytes;
}

Snapshot snapshot(FileSystem& fs, const fs::path& dir) {
  std::vector<std::string> names;
  EXPECT_TRUE(fs.listDirectory(dir, names).ok());
  Snapshot files;
  for (const std::string& name : names) EXPECT_TRUE(fs.readFile(dir / name, files[name]).ok()) << name;
  return files;
}

void restore(MemoryFileSystem& fs, const fs::path& dir, const Snapshot& state) {
  std::vector<std::string> names;
  ASSERT_TRUE(fs.listDirectory(dir, names).ok());
  for (const std::string& name : names) ASSERT_TRUE(fs.remove(dir / name).ok());
  for (const auto& [name, bytes] : state) fs.addFile(dir / name, bytes);
}

// A grown blob file and a data file with two changed blocks (both patched),
// a small index rewritten whole, and a large file given back unchanged.
struct Scenario {
  Snapshot before, after;
  std::vector<FileImage> images;
};

Scenario makeScenario() {
  Scenario s;
  s.before = {{"t.mb", randomBytes(400 * 1000, 1)},
              {"t.db", randomBytes(300 * 1000, 2)},
              {"t.px", randomBytes(3000, 3)},
              {"u.db", randomBytes(200 * 1000, 4)}};
  Bytes blobs = s.before["t.mb"];
  blobs[2] ^= 0x10;
  const Bytes added = randomBytes(90 * 1000, 5);
  blobs.insert(blobs.end(), added.begin(), added.end());
  Bytes data = s.before["t.db"];
  data[0x10] ^= 1;
  data[200 * 1000] ^= 1;
  data.resize(data.size() + 8192, 0x5A);
  Bytes index = s.before["t.px"];
  index[100] ^= 1;
  s.images = {{"db/t.mb", blobs}, {"db/t.db", data}, {"db/t.px", index}, {"db/u.db", s.before["u.db"]}};
  s.after = s.before;
  for (const FileImage& image : s.images) s.after[image.path.filename().string()] = image.bytes;
  return s;
}

constexpr Fault kFaults[] = {Fault::Die, Fault::DiskFull, Fault::IOError};
// Three temporaries (two patches, one whole file), then the journal.
constexpr std::uint64_t kJournalWrite = 4;

TEST(CommitPatch, OnlyTheChangesAreWrittenAndUnchangedFilesAreLeftAlone) {
  MemoryFileSystem memory;
  const Scenario s = makeScenario();
  ASSERT_NO_FATAL_FAILURE(restore(memory, "db", s.before));
  FaultInjectingFileSystem faulty(memory);
  ASSERT_TRUE(CommitJournal::commit(faulty, "db", s.images).ok());
  EXPECT_EQ(snapshot(memory, "db"), s.after);
  std::size_t ranges = 0, renames = 0;
  for (const std::string& op : faulty.history()) {
    EXPECT_EQ(op.find("u.db"), std::string::npos) << op;
    ranges += op.rfind("write-range", 0) == 0;
    renames += op.rfind("rename", 0) == 0;
  }
  EXPECT_EQ(renames, 1u);  // t.px
  EXPECT_GE(ranges, 4u);
  EXPECT_EQ(faulty.history().at(kJournalWrite - 1), "write " + (std::filesystem::path("db") / "pxcommit.jnl").string());
}

TEST(CommitPatch, EveryCutRecoversToBeforeOrAfter) {
  MemoryFileSystem memory;
  const Scenario s = makeScenario();
  ASSERT_NO_FATAL_FAILURE(restore(memory, "db", s.before));
  FaultInjectingFileSystem faulty(memory);
  ASSERT_TRUE(CommitJournal::commit(faulty, "db", s.images).ok());
  const std::uint64_t total = faulty.operations();

  for (std::uint64_t n = 1; n <= total; ++n) {
    for (Fault fault : kFaults) {
      SCOPED_TRACE("fault " + std::to_string(static_cast<int>(fault)) + " at operation " + std::to_string(n) + " of " +
                   std::to_string(total));
      ASSERT_NO_FATAL_FAILURE(restore(memory, "db", s.before));
      faulty.reset();
      faulty.failAt(n, fault);
      bool committed = false;
      const Status status = CommitJournal::commit(faulty, "db", s.images, committed);
      SCOPED_TRACE(faulty.history().at(n - 1) + ": " + status.message());
      if (fault != Fault::Die) {
        const Snapshot left = snapshot(memory, "db");
        EXPECT_TRUE(left == s.before || left == s.after);
      }
      ASSERT_TRUE(CommitJournal::recover(memory, "db").ok());
      const Snapshot got = snapshot(memory, "db");
      ASSERT_TRUE(got == s.before || got == s.after);
      EXPECT_EQ(committed, got == s.after);
      if (n <= kJournalWrite) {
        EXPECT_EQ(got, s.before);
        EXPECT_FALSE(status.ok());
      } else if (n > kJournalWrite + 1) {
        EXPECT_EQ(got, s.after);
        EXPECT_EQ(status.ok(), fault != Fault::Die);
      }
    }
  }
}

// An image that gives only its changes: a blob file grown at its end and
// changed in its header and one block, beside a whole file. Grown a little,
// it becomes a patch; grown by more than it held, a whole copy. Either is
// written in pieces, some of them made only as they are written, and every
// cut ends before or after.
TEST(CommitPatch, ChangesGivenByTheImageCommitAllOrNothingAtEveryCut) {
  for (const std::size_t growth : {100 * 1000, 600 * 1000}) {
    SCOPED_TRACE("grown by " + std::to_string(growth));
    MemoryFileSystem memory;
    const Snapshot before = {{"t.mb", randomBytes(400 * 1000, 1)}, {"t.px", randomBytes(3000, 3)}};
    Bytes header(before.at("t.mb").begin(), before.at("t.mb").begin() + 4096);
    header[3] ^= 0x01;
    const Bytes freed = randomBytes(4096, 6);
    const Bytes added = randomBytes(growth, 5);
    Snapshot after = before;
    Bytes& grown = after["t.mb"];
    std::copy(header.begin(), header.end(), grown.begin());
    std::copy(freed.begin(), freed.end(), grown.begin() + 8192);
    grown.insert(grown.end(), added.begin(), added.end());
    after["t.px"] = randomBytes(3000, 7);
    std::size_t produced = 0;
    const std::uint64_t end = before.at("t.mb").size();
    const std::vector<PendingImage> images = {
        {"db/t.mb", nullptr,
         [&](std::uint64_t& newSize, std::vector<ChangedStretch>& stretches) {
           ++produced;
           newSize = grown.size();
           ChangedStretch made{end, added.size(), {}, [&](std::uint64_t from, std::span<std::uint8_t> out) {
                                 std::copy_n(added.begin() + static_cast<std::ptrdiff_t>(from), out.size(), out.begin());
                               }};
           stretches = {ChangedStretch::of(0, header), ChangedStretch::of(8192, freed), made};
           return Status::Ok();
         }},
        {"db/t.px", [&](Bytes&, std::span<const std::uint8_t>& contents) {
           contents = after.at("t.px");
           return Status::Ok();
         }}};

    ASSERT_NO_FATAL_FAILURE(restore(memory, "db", before));
    FaultInjectingFileSystem faulty(memory);
    ASSERT_TRUE(CommitJournal::commit(faulty, "db", images).ok());
    ASSERT_EQ(snapshot(memory, "db"), after);
    EXPECT_EQ(produced, 1u);
    std::size_t temporaryWrites = 0;
    for (const std::string& op : faulty.history()) temporaryWrites += op.find("t.mb.pxnew") != std::string::npos;
    EXPECT_GE(temporaryWrites, 2u) << "the temporary is written in pieces";
    const std::uint64_t total = faulty.operations();

    for (std::uint64_t n = 1; n <= total; ++n) {
      for (Fault fault : kFaults) {
        SCOPED_TRACE("fault " + std::to_string(static_cast<int>(fault)) + " at operation " + std::to_string(n));
        ASSERT_NO_FATAL_FAILURE(restore(memory, "db", before));
        faulty.reset();
        faulty.failAt(n, fault);
        bool committed = false;
        const Status status = CommitJournal::commit(faulty, "db", images, committed);
        SCOPED_TRACE(faulty.history().at(n - 1) + ": " + status.message());
        ASSERT_TRUE(CommitJournal::recover(memory, "db").ok());
        const Snapshot got = snapshot(memory, "db");
        ASSERT_TRUE(got == before || got == after);
        EXPECT_EQ(committed, got == after);
        if (status.ok()) {
          EXPECT_EQ(got, after);
        }
      }
    }
  }

  // Nothing to change: the file takes no part.
  MemoryFileSystem memory;
  memory.addFile("db/t.mb", randomBytes(5000, 1));
  FaultInjectingFileSystem faulty(memory);
  const std::vector<PendingImage> unchanged = {
      {"db/t.mb", nullptr, [](std::uint64_t&, std::vector<ChangedStretch>&) { return Status::Ok(); }}};
  ASSERT_TRUE(CommitJournal::commit(faulty, "db", unchanged).ok());
  EXPECT_EQ(faulty.operations(), 0u);
}

TEST(CommitPatch, EveryCutOfARecoveryConverges) {
  MemoryFileSystem memory;
  const Scenario s = makeScenario();
  // Cut at the first write into a target: the journal holds two patches.
  ASSERT_NO_FATAL_FAILURE(restore(memory, "db", s.before));
  FaultInjectingFileSystem cutter(memory);
  cutter.failAt(kJournalWrite + 2, Fault::Die);
  ASSERT_FALSE(CommitJournal::commit(cutter, "db", s.images).ok());
  ASSERT_EQ(cutter.history().at(kJournalWrite + 1).rfind("write-range", 0), 0u) << cutter.history().at(kJournalWrite + 1);
  const Snapshot interrupted = snapshot(memory, "db");
  ASSERT_NE(interrupted, s.before);
  ASSERT_NE(interrupted, s.after);

  FaultInjectingFileSystem faulty(memory);
  ASSERT_TRUE(CommitJournal::recover(faulty, "db").ok());
  ASSERT_EQ(snapshot(memory, "db"), s.after);
  const std::uint64_t total = faulty.operations();
  for (std::uint64_t n = 1; n <= total; ++n) {
    for (Fault fault : kFaults) {
      SCOPED_TRACE("fault at recovery operation " + std::to_string(n));
      ASSERT_NO_FATAL_FAILURE(restore(memory, "db", interrupted));
      faulty.reset();
      faulty.failAt(n, fault);
      EXPECT_FALSE(CommitJournal::recover(faulty, "db").ok());
      ASSERT_TRUE(CommitJournal::recover(memory, "db").ok());
      EXPECT_EQ(snapshot(memory, "db"), s.after);
    }
  }
}

TEST(CommitPatch, ADamagedPatchWithATargetHalfWrittenIsReportedNotGuessed) {
  MemoryFileSystem memory;
  const Scenario s = makeScenario();
  ASSERT_NO_FATAL_FAILURE(restore(memory, "db", s.before));
  FaultInjectingFileSystem cutter(memory);
  cutter.failAt(kJournalWrite + 2, Fault::Die);
  ASSERT_FALSE(CommitJournal::commit(cutter, "db", s.images).ok());
  Snapshot damaged = snapshot(memory, "db");
  damaged["t.mb.pxnew"][30] ^= 0xFF;
  ASSERT_NO_FATAL_FAILURE(restore(memory, "db", damaged));
  const Status status = CommitJournal::recover(memory, "db");
  EXPECT_EQ(status.code(), rc::kFileCorrupt);
  EXPECT_NE(status.message().find("t.mb"), std::string::npos) << status.message();
  EXPECT_EQ(snapshot(memory, "db"), damaged);
}

}  // namespace
}  // namespace px
