// The commit model.
//
// Changes to a database (a directory of tables) collect in memory. A commit
// receives the new full contents of every changed family file (.DB, .PX,
// .Xnn/.Ynn, .XGn/.YGn, .MB) as file images, all in one directory, and:
//
//  1. recovers first, so an earlier interrupted commit is finished or undone
//     and leftover temporaries are gone (no write operations when clean);
//  2. writes each image to "<target>.pxnew" beside its target, each synced;
//     a pending image is made just before it is written and dropped after,
//     so only one image is in memory at a time. Each image is first compared
//     with its target: a target that already holds it takes no part, and
//     one that mostly stays as it is (a table that only grew) gets a patch
//     in its temporary instead of the whole contents (file_patch.h). An
//     image that gives only its changes (a blob file that grew) becomes a
//     patch without a comparison, written a piece at a time, and its changes
//     are later written into the target from memory;
//  3. writes the journal "pxcommit.jnl", synced, then syncs the directory:
//        PXCOMMIT <tab> version
//        file <tab> size <tab> checksum <tab> temporary name <tab> target name
//        patch <tab> size <tab> checksum <tab> temporary name <tab> target name
//        ...                                      (one line per image)
//        end <tab> entry count <tab> checksum
//     The version is 1 when there is no patch line, else 2. Size and
//     checksum are the temporary's: the new contents, or the patch.
//     Checksums are 64-bit in 16 hex digits: the length-seeded word hash of
//     CommitJournal::Checksum (commit_journal_encoding.cpp); the final one
//     covers every byte before it. A complete journal
//     on disk is the commit point: from then on recovery rolls forward. If
//     the directory sync after it fails while the process lives, the commit
//     withdraws its journal and reports failure, since it cannot promise that
//     the journal would survive;
//  4. renames each whole temporary over its target and writes each patch
//     into its target in place, the target synced; then syncs the directory;
//  5. removes the journal, then syncs the directory, then removes the patch
//     temporaries: while the journal is there, so are they.
//  A failure before the commit point removes what the commit wrote (best
//  effort; recovery removes what is left) and reports it. (A failed journal
//  write that leaves a complete journal which cannot be removed counts as
//  committed.) A failure after the commit point is answered by one recovery
//  on the spot: if that succeeds the commit reports success, otherwise the
//  failure, and the next recovery finishes it. Commit's `committed` output
//  tells the caller which side of the commit point it ended on. No target is
//  touched before the commit point.
//
// Recovery (on opening the database directory, and at the start of a commit):
//  - no journal: remove stray temporaries (a commit died before its commit
//    point), nothing else;
//  - journal incomplete or its checksum wrong: roll back: remove every
//    temporary, then the journal, sync the directory;
//  - journal complete: roll forward. First every entry is checked without
//    changing anything: its temporary must exist with the recorded size and
//    checksum, or, for a whole file that was renamed already, the target
//    must carry them. If neither does, recovery stops with rc::kFileCorrupt
//    and leaves everything in place, because it cannot tell which contents
//    are right. Then the temporaries are renamed over their targets, the
//    patches written into theirs again whole (a patch gives the new contents
//    from the old ones and from any mix of old and new stretches that a cut
//    left), the strays removed, the directory synced, the journal removed,
//    the directory synced and the patch temporaries removed.
//  Each step leaves a state the next recovery handles, so a recovery cut
//  short at any point is finished by the next one.
//
// On Windows (native_file_windows.cpp) "synced" is FlushFileBuffers on the
// file's handle, which writes data and metadata through to the disk, on a
// share through the server; a rename is MoveFileExW with
// MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH, which replaces the
// target in one step and returns only when the rename is on the disk; and a
// directory sync does nothing, since Windows has no such call. It is still
// all-or-nothing: what the directory syncs order on POSIX is ordered there by
// the calls themselves. Each temporary is flushed before the journal is
// written and the journal is flushed before the first rename, so a journal
// that survives names temporaries that survive; each rename is on the disk
// before the next step begins, so the journal is removed only after every
// rename it names is durable. NTFS logs its metadata changes, so a crash
// leaves each rename done or not done, never a name without its file. A
// target that another program holds open (without sharing its deletion)
// makes MoveFileExW fail; after the commit point that is a recovery that
// the next open finishes, as any failed rename is.
//
// Names in a journal are plain file names relative to the directory. A
// complete journal naming anything else (a separator, "..", a control
// character, a temporary that is not "<target>.pxnew") is rejected as
// corrupt and nothing is touched.
#include "engine/storage/commit_journal.h"

#include <set>
#include <string>

#include "engine/storage/commit_journal_internal.h"
#include "engine/storage/file_patch.h"

namespace px {

namespace fs = std::filesystem;

using commit_internal::applyPatchEntry;
using commit_internal::applyStretches;
using commit_internal::isSafeName;
using commit_internal::isTemporaryName;
using commit_internal::writePatch;
using commit_internal::writeWhole;

namespace {

// "dir/" and "dir" name the same directory.
fs::path normalizedDirectory(const fs::path& path) {
  fs::path p = path.lexically_normal();
  if (!p.has_filename() && p.has_parent_path()) p = p.parent_path();
  return p == "." ? fs::path() : p;
}

// Checks the images' names and turns them into journal entries, before
// anything is written; sizes and checksums follow as each image is made.
Status planEntries(const fs::path& directory, const std::vector<PendingImage>& images,
                   std::vector<CommitJournal::Entry>& entries) {
  entries.clear();
  std::set<std::string> targets;
  const fs::path dir = normalizedDirectory(directory);
  for (const PendingImage& image : images) {
    const std::string name = image.path.filename().string();
    if (image.path.has_parent_path() && normalizedDirectory(image.path.parent_path()) != dir)
      return Status(rc::kInvalidParameter, image.path.string() + ": not in the committed directory " + directory.string());
    if (!isSafeName(name) || name == CommitJournal::kFileName || isTemporaryName(name))
      return Status(rc::kInvalidParameter, image.path.string() + ": not a name a commit can write");
    if (!targets.insert(name).second)
      return Status(rc::kInvalidParameter, image.path.string() + ": named twice in one commit");
    entries.push_back({name + CommitJournal::kTemporarySuffix, name, 0, 0});
  }
  return Status::Ok();
}

// Best-effort cleanup after a failure before the commit point; what it leaves
// behind is removed by the next recovery.
void discardTemporaries(FileSystem& fs, const fs::path& dir, const std::vector<CommitJournal::Entry>& entries,
                        std::size_t count) {
  for (std::size_t i = 0; i < count && i < entries.size(); ++i) (void)fs.remove(dir / entries[i].temporary);
}

bool completeJournalOnDisk(FileSystem& fs, const fs::path& journalPath) {
  Bytes journal;
  std::vector<CommitJournal::Entry> entries;
  bool complete = false;
  return fs.exists(journalPath) && fs.readFile(journalPath, journal).ok() &&
         CommitJournal::decode(journal, entries, complete).ok() && complete;
}

// Step 2 for one image: makes it, sums it, compares it with the file it
// replaces and writes its temporary, whole or as a patch. `unchanged`: the
// target already holds it and nothing was written. An image that gives only
// its changes becomes a patch at once; `direct` then keeps its stretches, to
// be written into the target from memory after the commit point (empty: the
// entry is applied from its temporary).
Status writeTemporary(FileSystem& fs, const fs::path& directory, const PendingImage& image,
                      CommitJournal::Entry& entry, std::vector<ChangedStretch>& direct, bool& unchanged) {
  unchanged = false;
  if (image.produceChanges) {
    std::uint64_t newSize = 0;
    PX_RETURN_IF_ERROR(image.produceChanges(newSize, direct));
    if (direct.empty()) {
      unchanged = true;
      return Status::Ok();
    }
    // A patch writes each changed byte twice; past half the file a whole
    // copy costs less.
    std::uint64_t changed = 0;
    for (const ChangedStretch& s : direct) changed += s.length;
    entry.patch = changed <= newSize / 2;
    if (entry.patch) return writePatch(fs, directory / entry.temporary, newSize, direct, entry.size, entry.checksum);
    const Status written = writeWhole(fs, directory / entry.target, directory / entry.temporary, newSize, direct,
                                      entry.size, entry.checksum);
    direct.clear();
    return written;
  }
  Bytes storage;
  std::span<const std::uint8_t> contents;
  PX_RETURN_IF_ERROR(image.produce(storage, contents));
  Bytes patch;
  bool identical = false;
  PX_RETURN_IF_ERROR(makeFilePatch(fs, directory / entry.target, contents, patch, identical));
  if (identical) {
    unchanged = true;
    return Status::Ok();
  }
  entry.patch = !patch.empty();
  const std::span<const std::uint8_t> temporary = entry.patch ? std::span<const std::uint8_t>(patch) : contents;
  entry.size = temporary.size();
  entry.checksum = CommitJournal::checksum(temporary);
  return fs.writeFile(directory / entry.temporary, temporary, true);
}

// Steps 4 and 5: the temporaries renamed over their targets and the patches
// written into theirs, then the journal removed, then the patch temporaries.
Status applyEntries(FileSystem& fs, const fs::path& directory, const std::vector<CommitJournal::Entry>& entries,
                    const std::vector<std::vector<ChangedStretch>>& direct) {
  for (std::size_t i = 0; i < entries.size(); ++i) {
    const CommitJournal::Entry& entry = entries[i];
    if (!entry.patch) PX_RETURN_IF_ERROR(fs.rename(directory / entry.temporary, directory / entry.target));
    else if (!direct[i].empty()) PX_RETURN_IF_ERROR(applyStretches(fs, directory / entry.target, direct[i]));
    else PX_RETURN_IF_ERROR(applyPatchEntry(fs, directory, entry));
  }
  PX_RETURN_IF_ERROR(fs.syncDirectory(directory));
  PX_RETURN_IF_ERROR(fs.remove(directory / CommitJournal::kFileName));
  PX_RETURN_IF_ERROR(fs.syncDirectory(directory));
  // The patches' targets are synced; their temporaries go once the journal
  // that names them is gone (recovery would remove them as strays).
  for (const CommitJournal::Entry& entry : entries) {
    if (entry.patch) PX_RETURN_IF_ERROR(fs.remove(directory / entry.temporary));
  }
  return Status::Ok();
}

}  // namespace

Status CommitJournal::commit(FileSystem& fs, const fs::path& directory, const std::vector<FileImage>& images) {
  bool committed = false;
  return commit(fs, directory, images, committed);
}

Status CommitJournal::commit(FileSystem& fs, const fs::path& directory, const std::vector<FileImage>& images,
                             bool& committed) {
  std::vector<PendingImage> pending;
  pending.reserve(images.size());
  for (const FileImage& image : images) {
    pending.push_back({image.path, [&image](Bytes&, std::span<const std::uint8_t>& contents) {
                         contents = image.bytes;
                         return Status::Ok();
                       }});
  }
  return commit(fs, directory, pending, committed);
}

Status CommitJournal::commit(FileSystem& fs, const fs::path& directory, const std::vector<PendingImage>& images) {
  bool committed = false;
  return commit(fs, directory, images, committed);
}

Status CommitJournal::commit(FileSystem& fs, const fs::path& directory, const std::vector<PendingImage>& images,
                             bool& committed) {
  committed = false;
  std::vector<Entry> entries;
  PX_RETURN_IF_ERROR(planEntries(directory, images, entries));
  PX_RETURN_IF_ERROR(recover(fs, directory).withContext("commit: recovering an earlier commit"));
  if (entries.empty()) {
    committed = true;
    return Status::Ok();
  }

  // Step 2, one image at a time; a file that would stay as it is takes no part.
  std::vector<Entry> journaled;
  std::vector<std::vector<ChangedStretch>> direct;  // per journaled entry
  for (std::size_t i = 0; i < entries.size(); ++i) {
    std::vector<ChangedStretch> stretches;
    bool unchanged = false;
    const Status written = writeTemporary(fs, directory, images[i], entries[i], stretches, unchanged);
    if (written.ok() && unchanged) continue;
    journaled.push_back(entries[i]);
    direct.push_back(std::move(stretches));
    if (!written.ok()) {
      discardTemporaries(fs, directory, journaled, journaled.size());
      return written.withContext("commit");
    }
  }
  if (journaled.empty()) {
    committed = true;
    return Status::Ok();
  }
  entries = std::move(journaled);

  // Step 3: the journal, whose completion on disk is the commit point.
  const fs::path journalPath = directory / kFileName;
  const Status journalWritten = fs.writeFile(journalPath, encode(entries), true);
  if (!journalWritten.ok()) {
    // A failure can come after the last byte (a failed flush); if such a
    // journal cannot be removed, the next recovery rolls it forward.
    if (!fs.remove(journalPath).ok()) committed = completeJournalOnDisk(fs, journalPath);
    if (!committed) discardTemporaries(fs, directory, entries, entries.size());
    return journalWritten.withContext("commit");
  }
  committed = true;

  const Status journalSynced = fs.syncDirectory(directory);
  if (!journalSynced.ok()) {
    // The journal may not survive a crash, so the commit cannot be promised:
    // withdraw it while that is still possible.
    if (fs.remove(journalPath).ok()) {
      committed = false;
      (void)fs.syncDirectory(directory);
      discardTemporaries(fs, directory, entries, entries.size());
    }
    return journalSynced.withContext("commit");
  }

  // Steps 4 and 5; past the commit point the only way is forward, and
  // recovery is that way.
  const Status applied = applyEntries(fs, directory, entries, direct);
  if (applied.ok()) return Status::Ok();
  Status finished = recover(fs, directory);
  if (finished.ok()) finished = fs.syncDirectory(directory);
  if (finished.ok()) return Status::Ok();
  return Status(applied.code(), "commit: " + applied.message() +
                                    "; the commit is durable and the next recovery of " + directory.string() +
                                    " completes it");
}

}  // namespace px
