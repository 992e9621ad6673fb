// Recovery of a commit cut short (the model at the top of commit_journal.cpp):
// without a journal the temporaries go, an incomplete journal is rolled back,
// a complete one rolled forward.
#include <set>
#include <string>
#include <vector>

#include "engine/storage/commit_journal.h"
#include "engine/storage/commit_journal_internal.h"
#include "engine/storage/file_patch.h"
#include "engine/storage/journal_text.h"

namespace px {

namespace fs = std::filesystem;

using commit_internal::applyPatchEntry;
using commit_internal::isTemporaryName;
using journal_text::hex16;

namespace {

// Whether the file exists with this size and checksum; a read error is reported, not taken for a mismatch.
Status contentMatches(FileSystem& fs, const fs::path& path, std::uint64_t size, std::uint64_t checksum, bool& matches) {
  matches = false;
  if (!fs.exists(path)) return Status::Ok();
  Bytes bytes;
  PX_RETURN_IF_ERROR(fs.readFile(path, bytes));
  matches = bytes.size() == size && CommitJournal::checksum(bytes) == checksum;
  return Status::Ok();
}

// Removes every temporary in the directory except those in `keep`.
Status removeTemporaries(FileSystem& fs, const fs::path& dir, const std::vector<std::string>& names,
                         const std::set<std::string>& keep, bool& removedAny) {
  removedAny = false;
  for (const std::string& name : names) {
    if (!isTemporaryName(name) || keep.count(name) != 0) continue;
    PX_RETURN_IF_ERROR(fs.remove(dir / name));
    removedAny = true;
  }
  return Status::Ok();
}

Status rollBack(FileSystem& fs, const fs::path& dir, const std::vector<std::string>& names) {
  bool removedAny = false;
  PX_RETURN_IF_ERROR(removeTemporaries(fs, dir, names, {}, removedAny));
  PX_RETURN_IF_ERROR(fs.remove(dir / CommitJournal::kFileName));
  return fs.syncDirectory(dir);
}

Status rollForward(FileSystem& fs, const fs::path& dir, const std::vector<std::string>& names,
                   const std::vector<CommitJournal::Entry>& entries) {
  std::vector<const CommitJournal::Entry*> renames, patches;
  for (const CommitJournal::Entry& entry : entries) {
    bool temporaryReady = false;
    bool targetDone = false;
    PX_RETURN_IF_ERROR(contentMatches(fs, dir / entry.temporary, entry.size, entry.checksum, temporaryReady));
    if (temporaryReady) {
      (entry.patch ? patches : renames).push_back(&entry);
      continue;
    }
    // A whole temporary may have been renamed already; a patch stays until
    // the journal is gone, so without it the commit cannot be finished.
    if (!entry.patch) PX_RETURN_IF_ERROR(contentMatches(fs, dir / entry.target, entry.size, entry.checksum, targetDone));
    if (!targetDone) {
      const std::string which = entry.patch ? "the patch " + entry.temporary + " for " + entry.target + " does not hold"
                                            : "neither " + entry.temporary + " nor " + entry.target + " holds";
      return Status(rc::kFileCorrupt, (dir / CommitJournal::kFileName).string() +
                                          ": cannot finish the interrupted commit: " + which + " the committed " +
                                          std::to_string(entry.size) + " bytes with checksum " + hex16(entry.checksum) +
                                          "; nothing was changed");
    }
  }
  std::set<std::string> renamed;
  for (const CommitJournal::Entry* entry : renames) {
    PX_RETURN_IF_ERROR(fs.rename(dir / entry->temporary, dir / entry->target));
    renamed.insert(entry->temporary);
  }
  // Written again whole, however far the interrupted commit got with them.
  std::set<std::string> kept = renamed;
  for (const CommitJournal::Entry* entry : patches) {
    PX_RETURN_IF_ERROR(applyPatchEntry(fs, dir, *entry));
    kept.insert(entry->temporary);
  }
  bool removedAny = false;
  PX_RETURN_IF_ERROR(removeTemporaries(fs, dir, names, kept, removedAny));
  PX_RETURN_IF_ERROR(fs.syncDirectory(dir));
  PX_RETURN_IF_ERROR(fs.remove(dir / CommitJournal::kFileName));
  PX_RETURN_IF_ERROR(fs.syncDirectory(dir));
  // Strays now, which the next recovery removes if this does not get to it.
  for (const CommitJournal::Entry* entry : patches) PX_RETURN_IF_ERROR(fs.remove(dir / entry->temporary));
  return Status::Ok();
}

}  // namespace

Status commit_internal::applyPatchEntry(FileSystem& fs, const fs::path& dir, const CommitJournal::Entry& entry) {
  Bytes patch;
  PX_RETURN_IF_ERROR(fs.readFile(dir / entry.temporary, patch));
  return applyFilePatch(fs, dir / entry.target, patch);
}

Status CommitJournal::recover(FileSystem& fs, const fs::path& directory) {
  std::vector<std::string> names;
  PX_RETURN_IF_ERROR(fs.listDirectory(directory, names));
  const fs::path journalPath = directory / kFileName;

  if (!fs.exists(journalPath)) {
    bool removedAny = false;
    PX_RETURN_IF_ERROR(removeTemporaries(fs, directory, names, {}, removedAny));
    return removedAny ? fs.syncDirectory(directory) : Status::Ok();
  }

  Bytes journal;
  PX_RETURN_IF_ERROR(fs.readFile(journalPath, journal));
  std::vector<Entry> entries;
  bool complete = false;
  PX_RETURN_IF_ERROR(decode(journal, entries, complete).withContext(directory.string()));
  if (!complete) return rollBack(fs, directory, names);
  return rollForward(fs, directory, names, entries);
}

}  // namespace px
