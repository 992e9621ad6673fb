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
//     CommitJournal::Checksum (below); the final one covers every byte
//     before it. A complete journal
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

#include <algorithm>
#include <cstring>
#include <set>
#include <string_view>

#include "engine/storage/file_patch.h"

namespace px {

namespace fs = std::filesystem;

namespace {

constexpr std::string_view kMagic = "PXCOMMIT";
// Version 2 journals may hold patch entries; version 1 ones, written when
// there is none, only whole files.
constexpr std::string_view kVersion = "1";
constexpr std::string_view kPatchVersion = "2";
constexpr std::string_view kEntryTag = "file";
constexpr std::string_view kPatchTag = "patch";
constexpr std::string_view kEndTag = "end";
constexpr char kFieldSeparator = '\t';
constexpr char kLineEnd = '\n';
constexpr std::size_t kEntryFields = 5;
constexpr std::size_t kEndFields = 3;
constexpr std::size_t kChecksumDigits = 16;
constexpr std::size_t kMaxDecimalDigits = 19;  // below 2^63, so no overflow

constexpr std::uint64_t kFnvOffset = 14695981039346656037ull;
constexpr std::uint64_t kFnvPrime = 1099511628211ull;

const std::string_view kSuffix = CommitJournal::kTemporarySuffix;

bool endsWith(std::string_view text, std::string_view end) {
  return text.size() >= end.size() && text.substr(text.size() - end.size()) == end;
}

bool isTemporaryName(std::string_view name) { return endsWith(name, kSuffix) && name.size() > kSuffix.size(); }

// A plain file name: nothing that could reach outside the directory.
bool isSafeName(std::string_view name) {
  if (name.empty() || name.find("..") != std::string_view::npos) return false;
  return std::none_of(name.begin(), name.end(), [](char c) {
    const auto u = static_cast<unsigned char>(c);
    return u < 0x20 || u == 0x7F || c == '/' || c == '\\' || c == ':';
  });
}

std::string hex16(std::uint64_t value) {
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string out(kChecksumDigits, '0');
  for (std::size_t i = kChecksumDigits; i-- > 0; value >>= 4) out[i] = kDigits[value & 0xF];
  return out;
}

bool parseHex16(std::string_view text, std::uint64_t& value) {
  if (text.size() != kChecksumDigits) return false;
  value = 0;
  for (char c : text) {
    int digit;
    if (c >= '0' && c <= '9') digit = c - '0';
    else if (c >= 'a' && c <= 'f') digit = c - 'a' + 10;
    else return false;
    value = (value << 4) | static_cast<std::uint64_t>(digit);
  }
  return true;
}

bool parseDecimal(std::string_view text, std::uint64_t& value) {
  if (text.empty() || text.size() > kMaxDecimalDigits) return false;
  value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
    value = value * 10 + static_cast<std::uint64_t>(c - '0');
  }
  return true;
}

std::vector<std::string_view> splitFields(std::string_view line) {
  std::vector<std::string_view> fields;
  std::size_t start = 0;
  for (;;) {
    const std::size_t end = line.find(kFieldSeparator, start);
    fields.push_back(line.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start));
    if (end == std::string_view::npos) return fields;
    start = end + 1;
  }
}

Status corrupt(std::size_t line, const std::string& what) {
  return Status(rc::kFileCorrupt, std::string(CommitJournal::kFileName) + ": line " + std::to_string(line) + ": " + what);
}

// "dir/" and "dir" name the same directory.
fs::path normalizedDirectory(const fs::path& path) {
  fs::path p = path.lexically_normal();
  if (!p.has_filename() && p.has_parent_path()) p = p.parent_path();
  return p == "." ? fs::path() : p;
}

// Whether the file exists with this size and checksum; a read error is reported, not taken for a mismatch.
Status contentMatches(FileSystem& fs, const fs::path& path, std::uint64_t size, std::uint64_t checksum, bool& matches) {
  matches = false;
  if (!fs.exists(path)) return Status::Ok();
  Bytes bytes;
  PX_RETURN_IF_ERROR(fs.readFile(path, bytes));
  matches = bytes.size() == size && CommitJournal::checksum(bytes) == checksum;
  return Status::Ok();
}

// Writes a patch entry's changes, kept in its temporary, into its target.
Status applyPatchEntry(FileSystem& fs, const fs::path& dir, const CommitJournal::Entry& entry) {
  Bytes patch;
  PX_RETURN_IF_ERROR(fs.readFile(dir / entry.temporary, patch));
  return applyFilePatch(fs, dir / entry.target, patch);
}

// Writes a temporary a piece at a time, summing it as it goes: short pieces
// gathered in a buffer, long ones written from where they lie. The file is
// synced with its last byte.
class TemporaryWriter {
 public:
  static constexpr std::size_t kPiece = 1024 * 1024;

  TemporaryWriter(FileSystem& fs, fs::path path, std::uint64_t total)
      : fs_(fs), path_(std::move(path)), total_(total), sum_(total) {}

  Status add(std::span<const std::uint8_t> bytes) {
    if (bytes.size() < kPiece / 4) {
      buffer_.insert(buffer_.end(), bytes.begin(), bytes.end());
      return buffer_.size() >= kPiece ? flush() : Status::Ok();
    }
    PX_RETURN_IF_ERROR(flush());
    return put(bytes);
  }
  // The bytes of a stretch, from `from` on, `length` of them.
  Status add(const ChangedStretch& stretch, std::uint64_t from, std::uint64_t length) {
    if (stretch.fill == nullptr)
      return add(stretch.bytes.subspan(static_cast<std::size_t>(from), static_cast<std::size_t>(length)));
    for (std::uint64_t done = 0; done < length;) {
      piece_.resize(static_cast<std::size_t>(std::min<std::uint64_t>(kPiece, length - done)));
      stretch.fill(from + done, piece_);
      PX_RETURN_IF_ERROR(add(piece_));
      done += piece_.size();
    }
    return Status::Ok();
  }
  // REQUIRES: every byte added. Returns the checksum of the whole.
  Status finish(std::uint64_t& checksum) {
    PX_RETURN_IF_ERROR(flush());
    if (written_ != total_) return Status(rc::kInvalidParameter, path_.string() + ": temporary of the wrong size");
    if (total_ == 0) PX_RETURN_IF_ERROR(fs_.writeFile(path_, {}, true));
    checksum = sum_.value();
    return Status::Ok();
  }

 private:
  Status flush() {
    if (buffer_.empty()) return Status::Ok();
    Status s = put(buffer_);
    buffer_.clear();
    return s;
  }
  Status put(std::span<const std::uint8_t> bytes) {
    sum_.add(bytes);
    const bool last = written_ + bytes.size() == total_;
    Status s = written_ == 0 ? fs_.writeFile(path_, bytes, last) : fs_.writeRange(path_, written_, bytes, last);
    written_ += bytes.size();
    return s;
  }

  FileSystem& fs_;
  fs::path path_;
  std::uint64_t total_;
  CommitJournal::Checksum sum_;
  std::uint64_t written_ = 0;
  Bytes buffer_, piece_;
};

// A patch range's length has 32 bits; longer stretches take several ranges.
constexpr std::uint64_t kLongestRange = 0xFFFF0000;

std::uint64_t rangeCount(const std::vector<ChangedStretch>& stretches) {
  std::uint64_t count = 0;
  for (const ChangedStretch& s : stretches) count += (s.length + kLongestRange - 1) / kLongestRange;
  return count;
}

// Writes the patch of `stretches` to `path`; returns its size and checksum.
Status writePatch(FileSystem& fs, const fs::path& path, std::uint64_t newSize,
                  const std::vector<ChangedStretch>& stretches, std::uint64_t& size, std::uint64_t& sum) {
  const std::uint64_t ranges = rangeCount(stretches);
  size = filePatchHeader(0, 0).size() + ranges * filePatchRangeHeader(0, 0).size();
  for (const ChangedStretch& s : stretches) size += s.length;
  TemporaryWriter out(fs, path, size);
  PX_RETURN_IF_ERROR(out.add(filePatchHeader(newSize, static_cast<std::uint32_t>(ranges))));
  for (const ChangedStretch& s : stretches) {
    for (std::uint64_t from = 0; from < s.length; from += kLongestRange) {
      const std::uint64_t length = std::min(kLongestRange, s.length - from);
      PX_RETURN_IF_ERROR(out.add(filePatchRangeHeader(s.offset + from, static_cast<std::uint32_t>(length))));
      PX_RETURN_IF_ERROR(out.add(s, from, length));
    }
  }
  return out.finish(sum);
}

// Writes the whole new contents to `path`: the stretches, and between them
// what the target holds there now. Returns the size and checksum.
Status writeWhole(FileSystem& fs, const fs::path& target, const fs::path& path, std::uint64_t newSize,
                  const std::vector<ChangedStretch>& stretches, std::uint64_t& size, std::uint64_t& sum) {
  size = newSize;
  TemporaryWriter out(fs, path, newSize);
  Bytes kept;
  auto copyKept = [&](std::uint64_t from, std::uint64_t to) -> Status {
    for (std::uint64_t at = from; at < to;) {
      const std::size_t length = static_cast<std::size_t>(std::min<std::uint64_t>(TemporaryWriter::kPiece, to - at));
      PX_RETURN_IF_ERROR(fs.readRange(target, at, length, kept));
      kept.resize(length, 0);  // past the end of the target: zeros
      PX_RETURN_IF_ERROR(out.add(kept));
      at += length;
    }
    return Status::Ok();
  };
  std::uint64_t at = 0;
  for (const ChangedStretch& s : stretches) {
    PX_RETURN_IF_ERROR(copyKept(at, s.offset));
    PX_RETURN_IF_ERROR(out.add(s, 0, s.length));
    at = s.offset + s.length;
  }
  PX_RETURN_IF_ERROR(copyKept(at, newSize));
  return out.finish(sum);
}

// Writes stretches still in memory into their target and syncs it.
Status applyStretches(FileSystem& fs, const fs::path& target, const std::vector<ChangedStretch>& stretches) {
  Bytes piece;
  for (std::size_t i = 0; i < stretches.size(); ++i) {
    const ChangedStretch& s = stretches[i];
    const bool lastStretch = i + 1 == stretches.size();
    if (s.fill == nullptr) {
      PX_RETURN_IF_ERROR(fs.writeRange(target, s.offset, s.bytes, lastStretch));
      continue;
    }
    for (std::uint64_t from = 0; from < s.length;) {
      piece.resize(static_cast<std::size_t>(std::min<std::uint64_t>(TemporaryWriter::kPiece, s.length - from)));
      s.fill(from, piece);
      const bool last = lastStretch && from + piece.size() == s.length;
      PX_RETURN_IF_ERROR(fs.writeRange(target, s.offset + from, piece, last));
      from += piece.size();
    }
  }
  return Status::Ok();
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
    entries.push_back({name + std::string(kSuffix), name, 0, 0});
  }
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

}  // namespace

// A 64-bit multiply-xorshift hash with FNV's offset and prime, but not FNV-1a:
// the offset is mixed with the total length; the body is taken a native 64-bit
// word at a time (little-endian on both our targets): xor, multiply by the
// prime, xor in the result shifted right by 29; the tail of under 8 bytes goes
// in byte by byte; the result gets a last xor-shift by 32 and multiply. A
// commit hashes every byte it writes, so the per-byte multiply of plain FNV-1a
// would cost more than the write itself on large tables.
CommitJournal::Checksum::Checksum(std::uint64_t total) : hash_(kFnvOffset ^ total) {}

void CommitJournal::Checksum::add(std::span<const std::uint8_t> bytes) {
  auto word = [this](const std::uint8_t* p) {
    std::uint64_t w;
    std::memcpy(&w, p, sizeof w);
    hash_ = (hash_ ^ w) * kFnvPrime;
    hash_ ^= hash_ >> 29;
  };
  std::size_t i = 0;
  if (carried_ > 0) {
    while (carried_ < sizeof carry_ && i < bytes.size()) carry_[carried_++] = bytes[i++];
    if (carried_ < sizeof carry_) return;
    word(carry_);
    carried_ = 0;
  }
  for (; i + 8 <= bytes.size(); i += 8) word(bytes.data() + i);
  while (i < bytes.size()) carry_[carried_++] = bytes[i++];
}

std::uint64_t CommitJournal::Checksum::value() const {
  std::uint64_t hash = hash_;
  for (std::size_t i = 0; i < carried_; ++i) hash = (hash ^ carry_[i]) * kFnvPrime;
  hash ^= hash >> 32;
  return hash * kFnvPrime;
}

std::uint64_t CommitJournal::checksum(std::span<const std::uint8_t> bytes) {
  Checksum sum(bytes.size());
  sum.add(bytes);
  return sum.value();
}

Bytes CommitJournal::encode(const std::vector<Entry>& entries) {
  std::string text;
  const char sep = kFieldSeparator;
  const bool anyPatch = std::any_of(entries.begin(), entries.end(), [](const Entry& e) { return e.patch; });
  text.append(kMagic).append(1, sep).append(anyPatch ? kPatchVersion : kVersion).append(1, kLineEnd);
  for (const Entry& e : entries) {
    text.append(e.patch ? kPatchTag : kEntryTag).append(1, sep).append(std::to_string(e.size)).append(1, sep);
    text.append(hex16(e.checksum)).append(1, sep).append(e.temporary).append(1, sep).append(e.target);
    text.append(1, kLineEnd);
  }
  text.append(kEndTag).append(1, sep).append(std::to_string(entries.size())).append(1, sep);
  const auto* data = reinterpret_cast<const std::uint8_t*>(text.data());
  text.append(hex16(checksum({data, text.size()}))).append(1, kLineEnd);
  return Bytes(text.begin(), text.end());
}

Status CommitJournal::decode(std::span<const std::uint8_t> bytes, std::vector<Entry>& entries, bool& complete) {
  entries.clear();
  complete = false;
  const std::string_view text(reinterpret_cast<const char*>(bytes.data()), bytes.size());
  if (text.empty() || text.back() != kLineEnd) return Status::Ok();

  // The final line is the commit marker; without it the journal is a torn write.
  const std::size_t previousEnd = text.rfind(kLineEnd, text.size() - 2);
  const std::size_t markerStart = previousEnd == std::string_view::npos ? 0 : previousEnd + 1;
  const std::string_view marker = text.substr(markerStart, text.size() - 1 - markerStart);
  const std::vector<std::string_view> markerFields = splitFields(marker);
  std::uint64_t count = 0;
  std::uint64_t sum = 0;
  if (markerFields.size() != kEndFields || markerFields[0] != kEndTag || !parseDecimal(markerFields[1], count) ||
      !parseHex16(markerFields[2], sum))
    return Status::Ok();
  const std::size_t summed = text.size() - 1 - kChecksumDigits;
  if (checksum(bytes.first(summed)) != sum) return Status::Ok();
  complete = true;

  // From here the journal is what a commit wrote, so anything odd is corruption.
  std::string_view body = text.substr(0, markerStart);
  std::set<std::string_view> targets;
  bool patchesAllowed = false;
  for (std::size_t lineNumber = 1; !body.empty(); ++lineNumber) {
    const std::size_t end = body.find(kLineEnd);
    const std::string_view line = body.substr(0, end);
    body.remove_prefix(end + 1);
    const std::vector<std::string_view> f = splitFields(line);
    if (lineNumber == 1) {
      if (f.size() != 2 || f[0] != kMagic) return corrupt(lineNumber, "not a commit journal");
      if (f[1] != kVersion && f[1] != kPatchVersion)
        return Status(rc::kUnsupportedVersion, std::string(kFileName) + ": journal version " + std::string(f[1]) +
                                                   " is not supported");
      patchesAllowed = f[1] == kPatchVersion;
      continue;
    }
    Entry entry;
    entry.patch = patchesAllowed && !f.empty() && f[0] == kPatchTag;
    if (f.size() != kEntryFields || (f[0] != kEntryTag && !entry.patch)) return corrupt(lineNumber, "not a file entry");
    if (!parseDecimal(f[1], entry.size)) return corrupt(lineNumber, "bad size");
    if (!parseHex16(f[2], entry.checksum)) return corrupt(lineNumber, "bad checksum");
    if (!isSafeName(f[4]) || f[4] == kFileName || isTemporaryName(f[4]))
      return corrupt(lineNumber, "unsafe target name");
    if (f[3] != std::string(f[4]) + std::string(kSuffix)) return corrupt(lineNumber, "unexpected temporary name");
    if (!targets.insert(f[4]).second) return corrupt(lineNumber, "target named twice");
    entry.temporary = std::string(f[3]);
    entry.target = std::string(f[4]);
    entries.push_back(std::move(entry));
  }
  if (markerStart == 0) return corrupt(1, "no header");
  if (count != entries.size()) {
    entries.clear();
    return corrupt(1, "the commit marker counts " + std::to_string(count) + " entries");
  }
  return Status::Ok();
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

  // One image at a time: made, summed, compared with the file it replaces,
  // written whole or as a patch, and let go before the next. A file that
  // would stay as it is takes no part. An image that gives only its changes
  // becomes a patch at once, and its ranges are kept to be written into the
  // target from memory after the commit point.
  std::vector<Entry> journaled;
  std::vector<std::vector<ChangedStretch>> direct;  // per journaled patch; empty: applied from the temporary
  for (std::size_t i = 0; i < entries.size(); ++i) {
    Entry& entry = entries[i];
    const PendingImage& image = images[i];
    Status written;
    std::vector<ChangedStretch> stretches;
    if (image.produceChanges) {
      std::uint64_t newSize = 0;
      written = image.produceChanges(newSize, stretches);
      if (written.ok() && stretches.empty()) continue;
      if (written.ok()) {
        // A patch writes each changed byte twice; past half the file a
        // whole copy costs less.
        std::uint64_t changed = 0;
        for (const ChangedStretch& s : stretches) changed += s.length;
        entry.patch = changed <= newSize / 2;
        written = entry.patch ? writePatch(fs, directory / entry.temporary, newSize, stretches, entry.size, entry.checksum)
                              : writeWhole(fs, directory / entry.target, directory / entry.temporary, newSize,
                                           stretches, entry.size, entry.checksum);
        if (!entry.patch) stretches.clear();
      }
    } else {
      Bytes storage;
      std::span<const std::uint8_t> contents;
      written = image.produce(storage, contents);
      Bytes patch;
      bool identical = false;
      if (written.ok()) written = makeFilePatch(fs, directory / entry.target, contents, patch, identical);
      if (written.ok() && identical) continue;
      if (written.ok()) {
        entry.patch = !patch.empty();
        const std::span<const std::uint8_t> temporary = entry.patch ? std::span<const std::uint8_t>(patch) : contents;
        entry.size = temporary.size();
        entry.checksum = checksum(temporary);
        written = fs.writeFile(directory / entry.temporary, temporary, true);
      }
    }
    journaled.push_back(entry);
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

  Status applied = Status::Ok();
  for (std::size_t i = 0; i < entries.size(); ++i) {
    const Entry& entry = entries[i];
    if (!entry.patch) applied = fs.rename(directory / entry.temporary, directory / entry.target);
    else if (!direct[i].empty()) applied = applyStretches(fs, directory / entry.target, direct[i]);
    else applied = applyPatchEntry(fs, directory, entry);
    if (!applied.ok()) break;
  }
  if (applied.ok()) applied = fs.syncDirectory(directory);
  if (applied.ok()) applied = fs.remove(journalPath);
  if (applied.ok()) applied = fs.syncDirectory(directory);
  // The patches' targets are synced; their temporaries go once the journal
  // that names them is gone (recovery would remove them as strays).
  for (const Entry& entry : entries) {
    if (applied.ok() && entry.patch) applied = fs.remove(directory / entry.temporary);
  }
  if (applied.ok()) return Status::Ok();

  // Past the commit point the only way is forward; recovery is that way.
  Status finished = recover(fs, directory);
  if (finished.ok()) finished = fs.syncDirectory(directory);
  if (finished.ok()) return Status::Ok();
  return Status(applied.code(), "commit: " + applied.message() +
                                    "; the commit is durable and the next recovery of " + directory.string() +
                                    " completes it");
}

}  // namespace px
