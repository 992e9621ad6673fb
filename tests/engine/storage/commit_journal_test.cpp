// The commit journal: a commit cut at any write operation, by any kind of
// fault, must recover to exactly the files before it or exactly the files
// after it; so must a recovery that is itself cut short.
#include "engine/storage/commit_journal.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <map>
#include <string>

#include "engine/io/fault_injecting_file_system.h"
#include "tests/support/test_support.h"

namespace px {
namespace {

namespace fs = std::filesystem;

using Snapshot = std::map<std::string, Bytes>;

const std::vector<std::string> kFamily = {"long.db", "long.px", "memo.db", "memo.px", "memo.mb"};
constexpr Fault kFaults[] = {Fault::Die, Fault::DiskFull, Fault::IOError};

const char* faultName(Fault fault) {
  switch (fault) {
    case Fault::Die: return "Die";
    case Fault::DiskFull: return "DiskFull";
    case Fault::IOError: return "IOError";
  }
  return "?";
}

Snapshot snapshot(FileSystem& fs, const fs::path& dir) {
  std::vector<std::string> names;
  EXPECT_TRUE(fs.listDirectory(dir, names).ok());
  Snapshot files;
  for (const std::string& name : names) EXPECT_TRUE(fs.readFile(dir / name, files[name]).ok()) << name;
  return files;
}

void restore(FileSystem& fs, const fs::path& dir, const Snapshot& state) {
  std::vector<std::string> names;
  ASSERT_TRUE(fs.listDirectory(dir, names).ok());
  for (const std::string& name : names) ASSERT_TRUE(fs.remove(dir / name).ok());
  for (const auto& [name, bytes] : state) ASSERT_TRUE(fs.writeFile(dir / name, bytes, false).ok());
}

std::string describe(const Snapshot& state) {
  std::string text;
  for (const auto& [name, bytes] : state) text += name + "(" + std::to_string(bytes.size()) + ") ";
  return text;
}

// A table family before and after a commit that rewrites the data file,
// grows the blob file and creates a secondary index.
struct Scenario {
  fs::path dir;
  Snapshot before;
  Snapshot after;
  std::vector<FileImage> images;
};

Scenario makeScenario(FileSystem& fs, const fs::path& dir) {
  Scenario s;
  s.dir = dir;
  for (const std::string& name : kFamily) {
    const auto bytes = test::readBytes(test::fixtureSet("set01") / name);
    s.before[name] = Bytes(bytes.begin(), bytes.end());
  }
  Bytes data = s.before["long.db"];
  for (std::size_t i = 0x800; i < data.size(); i += 7) data[i] ^= 0x5A;
  Bytes blob = s.before["memo.mb"];
  blob.resize(blob.size() + 4096, 0xC3);
  const Bytes index(2048, 0x11);
  s.images = {{dir / "long.db", data}, {dir / "memo.mb", blob}, {dir / "long.X02", index}};
  s.after = s.before;
  for (const FileImage& image : s.images) s.after[image.path.filename().string()] = image.bytes;
  restore(fs, dir, s.before);
  return s;
}

// Index (1-based) of the write operation that writes the journal in a clean
// commit: one temporary per image comes first.
std::uint64_t journalWriteOf(const Scenario& s) { return s.images.size() + 1; }

void crashLoop(FileSystem& base, const Scenario& s) {
  FaultInjectingFileSystem faulty(base);
  ASSERT_TRUE(CommitJournal::commit(faulty, s.dir, s.images).ok());
  ASSERT_EQ(snapshot(base, s.dir), s.after);
  const std::uint64_t total = faulty.operations();
  const std::uint64_t journalWrite = journalWriteOf(s);
  ASSERT_EQ(faulty.history().at(journalWrite - 1), "write " + (s.dir / CommitJournal::kFileName).string());
  ASSERT_GT(total, journalWrite + 1);

  for (std::uint64_t n = 1; n <= total; ++n) {
    for (Fault fault : kFaults) {
      ASSERT_NO_FATAL_FAILURE(restore(base, s.dir, s.before));
      faulty.reset();
      faulty.failAt(n, fault);
      bool committed = false;
      const Status status = CommitJournal::commit(faulty, s.dir, s.images, committed);
      SCOPED_TRACE(std::string(faultName(fault)) + " at operation " + std::to_string(n) + " (" +
                   faulty.history().at(n - 1) + "): " + status.message());
      if (fault != Fault::Die) {
        // A process that survives the fault cleans up after itself.
        const Snapshot left = snapshot(base, s.dir);
        EXPECT_TRUE(left == s.before || left == s.after) << describe(left);
      }

      ASSERT_TRUE(CommitJournal::recover(base, s.dir).ok());
      const Snapshot got = snapshot(base, s.dir);
      const bool isBefore = got == s.before;
      const bool isAfter = got == s.after;
      ASSERT_TRUE(isBefore || isAfter) << describe(got);
      EXPECT_EQ(committed, isAfter);
      if (n <= journalWrite) {
        // Before the journal is on disk nothing may have changed.
        EXPECT_TRUE(isBefore);
        EXPECT_FALSE(status.ok());
      } else if (n == journalWrite + 1) {
        // The directory sync after the journal: a living process withdraws.
        EXPECT_FALSE(status.ok());
        EXPECT_EQ(isAfter, fault == Fault::Die);
      } else {
        // Past the commit point: finished now, or by the recovery above.
        EXPECT_TRUE(isAfter);
        EXPECT_EQ(status.ok(), fault != Fault::Die);
      }
    }
  }
}

TEST(CommitJournalCrash, EveryCutOfACommitRecoversToBeforeOrAfter) {
  MemoryFileSystem memory;
  ASSERT_NO_FATAL_FAILURE(crashLoop(memory, makeScenario(memory, "db")));
}

TEST(CommitJournalCrash, EveryCutOfACommitRecoversOnTheLocalFileSystem) {
  test::TempDir dir;
  ASSERT_NO_FATAL_FAILURE(crashLoop(localFileSystem(), makeScenario(localFileSystem(), dir.path())));
}

// The files a commit cut at `cut` by a crash leaves before any recovery.
Snapshot crashedAt(FileSystem& base, const Scenario& s, std::uint64_t cut) {
  restore(base, s.dir, s.before);
  FaultInjectingFileSystem faulty(base);
  faulty.failAt(cut, Fault::Die);
  EXPECT_FALSE(CommitJournal::commit(faulty, s.dir, s.images).ok());
  return snapshot(base, s.dir);
}

TEST(CommitJournalCrash, EveryCutOfARecoveryConverges) {
  MemoryFileSystem memory;
  const Scenario s = makeScenario(memory, "db");
  const std::uint64_t journalWrite = journalWriteOf(s);
  // A torn journal rolls back; a complete one with one rename done rolls forward.
  const std::pair<Snapshot, const Snapshot*> cases[] = {
      {crashedAt(memory, s, journalWrite), &s.before},
      {crashedAt(memory, s, journalWrite + 3), &s.after},
  };
  for (const auto& [interrupted, expected] : cases) {
    ASSERT_TRUE(interrupted.count(CommitJournal::kFileName));
    FaultInjectingFileSystem faulty(memory);
    ASSERT_NO_FATAL_FAILURE(restore(memory, s.dir, interrupted));
    ASSERT_TRUE(CommitJournal::recover(faulty, s.dir).ok());
    ASSERT_EQ(snapshot(memory, s.dir), *expected);
    const std::uint64_t total = faulty.operations();
    ASSERT_GT(total, 0u);

    faulty.reset();
    ASSERT_TRUE(CommitJournal::recover(faulty, s.dir).ok());
    EXPECT_EQ(faulty.operations(), 0u) << "a second recovery must find nothing to do";

    for (std::uint64_t n = 1; n <= total; ++n) {
      for (Fault fault : kFaults) {
        SCOPED_TRACE(std::string(faultName(fault)) + " at recovery operation " + std::to_string(n));
        ASSERT_NO_FATAL_FAILURE(restore(memory, s.dir, interrupted));
        faulty.reset();
        faulty.failAt(n, fault);
        EXPECT_FALSE(CommitJournal::recover(faulty, s.dir).ok());
        ASSERT_TRUE(CommitJournal::recover(memory, s.dir).ok());
        EXPECT_EQ(snapshot(memory, s.dir), *expected);
      }
    }
  }
}

TEST(CommitJournalRecovery, AnyFlippedJournalByteRollsBack) {
  MemoryFileSystem memory;
  const Scenario s = makeScenario(memory, "db");
  // Cut at the sync after the journal: the journal and every temporary are complete.
  const Snapshot interrupted = crashedAt(memory, s, journalWriteOf(s) + 1);
  const Bytes journal = interrupted.at(CommitJournal::kFileName);
  for (std::size_t i = 0; i < journal.size(); ++i) {
    SCOPED_TRACE("byte " + std::to_string(i));
    Snapshot damaged = interrupted;
    damaged[CommitJournal::kFileName][i] ^= 0x01;
    ASSERT_NO_FATAL_FAILURE(restore(memory, s.dir, damaged));
    ASSERT_TRUE(CommitJournal::recover(memory, s.dir).ok());
    ASSERT_EQ(snapshot(memory, s.dir), s.before);
  }
}

TEST(CommitJournalRecovery, StrayTemporariesWithoutJournalAreRemoved) {
  MemoryFileSystem memory;
  const Scenario s = makeScenario(memory, "db");
  Snapshot withStrays = s.before;
  withStrays["long.db.pxnew"] = {1, 2};
  withStrays["other.pxnew"] = {3};
  withStrays["notes.pxnewer"] = {4};
  ASSERT_NO_FATAL_FAILURE(restore(memory, s.dir, withStrays));
  ASSERT_TRUE(CommitJournal::recover(memory, s.dir).ok());
  Snapshot expected = s.before;
  expected["notes.pxnewer"] = {4};
  EXPECT_EQ(snapshot(memory, s.dir), expected);
}

TEST(CommitJournalRecovery, ContentMatchingNeitherSideIsReportedNotGuessed) {
  MemoryFileSystem memory;
  const Scenario s = makeScenario(memory, "db");
  Snapshot damaged = crashedAt(memory, s, journalWriteOf(s) + 1);
  damaged["memo.mb.pxnew"][100] ^= 0xFF;
  ASSERT_NO_FATAL_FAILURE(restore(memory, s.dir, damaged));
  const Status status = CommitJournal::recover(memory, s.dir);
  EXPECT_EQ(status.code(), rc::kFileCorrupt);
  EXPECT_NE(status.message().find("memo.mb"), std::string::npos) << status.message();
  EXPECT_EQ(snapshot(memory, s.dir), damaged) << "nothing may be renamed before every entry checks out";
  // A commit will not run over it either.
  EXPECT_EQ(CommitJournal::commit(memory, s.dir, s.images).code(), rc::kFileCorrupt);
}

TEST(CommitJournalRecovery, CompleteJournalWithUnsafeNamesIsRejected) {
  const std::pair<std::string, std::string> bad[] = {
      {"../x.pxnew", "../x"},       {"sub/x.db.pxnew", "sub/x.db"}, {"a\\b.db.pxnew", "a\\b.db"},
      {"..", ".."},                 {"...pxnew", ".."},             {"other.pxnew", "long.db"},
      {".pxnew", ""},
      {"x.db.pxnew.pxnew", "x.db.pxnew"}, {"pxcommit.jnl.pxnew", "pxcommit.jnl"},
  };
  const Bytes content = {2};
  for (const auto& [temporary, target] : bad) {
    SCOPED_TRACE(target);
    // The temporary it names exists with the recorded content, so a journal
    // that were accepted would be rolled forward.
    MemoryFileSystem memory;
    if (temporary != "..") memory.addFile(fs::path("db") / temporary, content);
    memory.addFile("db/long.db", {1});
    memory.addFile(fs::path("db") / CommitJournal::kFileName,
                   CommitJournal::encode({{temporary, target, content.size(), CommitJournal::checksum(content)}}));
    auto everything = [&] { return std::vector{snapshot(memory, ""), snapshot(memory, "db"), snapshot(memory, "db/sub")}; };
    const auto before = everything();
    EXPECT_EQ(CommitJournal::recover(memory, "db").code(), rc::kFileCorrupt);
    EXPECT_EQ(everything(), before);
  }
}

std::string withChecksum(std::string text) {
  char hex[17];
  std::snprintf(hex, sizeof hex, "%016llx",
                static_cast<unsigned long long>(CommitJournal::checksum(
                    {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()})));
  return text + hex + "\n";
}

TEST(CommitJournalFormat, RoundTripsAndEveryPrefixIsIncomplete) {
  const std::vector<CommitJournal::Entry> entries = {
      {"a.db.pxnew", "a.db", 4096, 0x0123456789abcdefull},
      {"a.px.pxnew", "a.px", 0, 0},
      {"a.mb.pxnew", "a.mb", 8200, 0xfedcba9876543210ull, true}};
  const Bytes journal = CommitJournal::encode(entries);
  std::vector<CommitJournal::Entry> decoded;
  bool complete = false;
  ASSERT_TRUE(CommitJournal::decode(journal, decoded, complete).ok());
  EXPECT_TRUE(complete);
  EXPECT_EQ(decoded, entries);
  for (std::size_t n = 0; n < journal.size(); ++n) {
    ASSERT_TRUE(CommitJournal::decode(std::span(journal).first(n), decoded, complete).ok()) << n;
    EXPECT_FALSE(complete) << "prefix of " << n << " bytes";
    EXPECT_TRUE(decoded.empty());
  }
}

TEST(CommitJournalFormat, CompleteButMalformedJournalsAreRejected) {
  const std::pair<std::string, ResultCode> cases[] = {
      {"PXCOMMIT\t3\nend\t0\t", rc::kUnsupportedVersion},
      // Patches need version 2.
      {"PXCOMMIT\t1\npatch\t1\t0000000000000000\ta.pxnew\ta\nend\t1\t", rc::kFileCorrupt},
      {"PXCOMMIT\t2\npatch\t1\t0000000000000000\ta.pxnew\ta\tb\nend\t1\t", rc::kFileCorrupt},
      {"NOTAJNL\t1\nend\t0\t", rc::kFileCorrupt},
      {"end\t0\t", rc::kFileCorrupt},
      {"PXCOMMIT\t1\nend\t1\t", rc::kFileCorrupt},
      {"PXCOMMIT\t1\nfile\t-1\t0000000000000000\ta.pxnew\ta\nend\t1\t", rc::kFileCorrupt},
      {"PXCOMMIT\t1\nfile\t1\t00000000000000\ta.pxnew\ta\nend\t1\t", rc::kFileCorrupt},
      {"PXCOMMIT\t1\nfile\t1\t0000000000000000\ta.pxnew\ta\tb\nend\t1\t", rc::kFileCorrupt},
      {"PXCOMMIT\t1\nfile\t1\t0000000000000000\ta.pxnew\ta\nfile\t1\t0000000000000000\ta.pxnew\ta\nend\t2\t",
       rc::kFileCorrupt},
  };
  for (const auto& [text, code] : cases) {
    const std::string journal = withChecksum(text);
    std::vector<CommitJournal::Entry> decoded;
    bool complete = false;
    const Status status = CommitJournal::decode(Bytes(journal.begin(), journal.end()), decoded, complete);
    EXPECT_EQ(status.code(), code) << text;
    EXPECT_TRUE(complete) << text;
  }
}

TEST(CommitJournalCommit, BadImagesAreRefusedBeforeAnyWrite) {
  MemoryFileSystem memory;
  memory.addFile("db/a.db", {1});
  FaultInjectingFileSystem faulty(memory);
  const std::vector<FileImage> bad[] = {
      {{"elsewhere/a.db", {2}}},
      {{"db/a.db", {2}}, {"a.db", {3}}},
      {{"db/a.db.pxnew", {2}}},
      {{fs::path("db") / CommitJournal::kFileName, {2}}},
  };
  for (const auto& images : bad) {
    EXPECT_EQ(CommitJournal::commit(faulty, "db", images).code(), rc::kInvalidParameter)
        << images.front().path;
  }
  EXPECT_EQ(faulty.operations(), 0u);

  // A bare name and "db/" both mean the directory.
  ASSERT_TRUE(CommitJournal::commit(faulty, "db/", {{"a.db", {7}}, {"db/b.db", {8}}}).ok());
  EXPECT_EQ(snapshot(memory, "db"), (Snapshot{{"a.db", {7}}, {"b.db", {8}}}));
}

// Pending images over the scenario's images: each records, when it is made,
// how many write operations the commit had done by then.
std::vector<PendingImage> pendingOf(const Scenario& s, const FaultInjectingFileSystem& faulty,
                                    std::vector<std::uint64_t>& madeAfter) {
  std::vector<PendingImage> pending;
  for (const FileImage& image : s.images) {
    pending.push_back({image.path, [&image, &faulty, &madeAfter](Bytes& storage, std::span<const std::uint8_t>& contents) {
                         madeAfter.push_back(faulty.operations());
                         // The first image is made into the commit's storage, the others lent.
                         if (madeAfter.size() == 1) {
                           storage = image.bytes;
                           contents = storage;
                         } else {
                           contents = image.bytes;
                         }
                         return Status::Ok();
                       }});
  }
  return pending;
}

TEST(CommitJournalPending, EachImageIsMadeOnlyAfterThePreviousOneIsWritten) {
  MemoryFileSystem memory;
  const Scenario s = makeScenario(memory, "db");
  FaultInjectingFileSystem faulty(memory);
  std::vector<std::uint64_t> madeAfter;
  ASSERT_TRUE(CommitJournal::commit(faulty, s.dir, pendingOf(s, faulty, madeAfter)).ok());
  EXPECT_EQ(madeAfter, (std::vector<std::uint64_t>{0, 1, 2}));
  EXPECT_EQ(snapshot(memory, s.dir), s.after);
}

TEST(CommitJournalPending, AFailureToMakeAnImageChangesNothing) {
  MemoryFileSystem memory;
  const Scenario s = makeScenario(memory, "db");
  FaultInjectingFileSystem faulty(memory);
  std::vector<std::uint64_t> madeAfter;
  std::vector<PendingImage> pending = pendingOf(s, faulty, madeAfter);
  int laterCalls = 0;
  pending.insert(pending.begin() + 2, PendingImage{"db/long.px", [](Bytes&, std::span<const std::uint8_t>&) {
                                                      return Status(rc::kTableFull, "long.px: index needs too many blocks");
                                                    }});
  pending.push_back({"db/late.db", [&laterCalls](Bytes&, std::span<const std::uint8_t>&) {
                       ++laterCalls;
                       return Status::Ok();
                     }});
  bool committed = true;
  const Status status = CommitJournal::commit(faulty, s.dir, pending, committed);
  EXPECT_EQ(status.code(), rc::kTableFull);
  EXPECT_FALSE(committed);
  EXPECT_EQ(laterCalls, 0);
  EXPECT_EQ(snapshot(memory, s.dir), s.before) << "the temporaries already written must be gone";
}

TEST(CommitJournalPending, ACrashAfterTheJournalRecoversTheImagesAsMade) {
  MemoryFileSystem memory;
  const Scenario s = makeScenario(memory, "db");
  FaultInjectingFileSystem faulty(memory);
  // Cut among the renames: recovery must find the sizes and checksums of
  // the images as they were made and finish the commit.
  faulty.failAt(journalWriteOf(s) + 3, Fault::Die);
  std::vector<std::uint64_t> madeAfter;
  EXPECT_FALSE(CommitJournal::commit(faulty, s.dir, pendingOf(s, faulty, madeAfter)).ok());
  ASSERT_TRUE(CommitJournal::recover(memory, s.dir).ok());
  EXPECT_EQ(snapshot(memory, s.dir), s.after);
}

}  // namespace
}  // namespace px
