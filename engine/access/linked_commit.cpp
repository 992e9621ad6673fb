// The linked commit model.
//
// Each database commits through its own journal (commit_journal.h), which
// makes one directory all-or-nothing. Two directories become one step like
// this, with the first side's commit kept undoable until the second's is done:
//
//  1. While the first side's flush has its files planned and unlocked, the
//     present contents of every file it will replace are written beside it
//     as "<target>.pxundo", each synced, and then the link journal
//     "pxlink.jnl", synced, and the directory synced:
//        PXLINK <tab> version <tab> token <tab> second directory
//        copy <tab> size <tab> checksum <tab> copy name <tab> target name
//        new <tab> target name               (a file the commit creates)
//        ...
//        end <tab> entry count <tab> checksum
//     The token is a random 64-bit number in 16 hex digits; checksums are
//     CommitJournal::checksum, the last one over every byte before it.
//  2. The first side commits.
//  3. The second side commits, and with it the marker "pxlink.mrk":
//        PXLINK <tab> version <tab> token <tab> first directory
//     Its commit point is the decision for both sides.
//  4. The link journal goes (directory synced), then the copies, then the
//     marker.
//
// Recovery, on opening either directory (after its own journal's recovery):
//  - a complete link journal: the second directory's own journal is
//    recovered first, so that its commit is wholly there or not at all. Its
//    marker with the journal's token means the second side committed: the
//    first keeps its changes and the link's files go. Otherwise every copy
//    is committed back over its target (a commit through the first side's
//    journal, so a cut here is finished or undone by the next recovery),
//    the files the commit created are removed, then the link journal and the
//    copies. A copy that is gone counts when its target already holds it;
//    any other mismatch stops recovery with rc::kFileCorrupt and leaves all
//    in place, since it cannot tell which contents are right.
//  - an incomplete link journal (a crash while step 1 wrote it): the first
//    side's commit never began; the journal and the copies go.
//  - copies without a link journal are strays of step 1 or of step 4: they go.
//  - a marker whose first directory holds no link journal of its token is
//    left from step 4: it goes.
//
// On Windows the syncs and renames are those of commit_journal.cpp's note:
// flushed handles and written-through renames put each step on the disk
// before the next begins, which is all the order above needs, so the link
// is all-or-nothing there too, also when the two directories lie on
// different drives or shares.
#include "engine/access/linked_commit.h"

#include <chrono>
#include <cstring>
#include <random>
#include <span>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include "engine/storage/commit_journal.h"

namespace px {

namespace fs = std::filesystem;

namespace {

constexpr std::string_view kMagic = "PXLINK";
constexpr std::string_view kVersion = "1";
constexpr std::string_view kCopyTag = "copy";
constexpr std::string_view kNewTag = "new";
constexpr std::string_view kEndTag = "end";
constexpr char kSeparator = '\t';
constexpr char kLineEnd = '\n';
constexpr std::size_t kHeaderFields = 4, kCopyFields = 5, kNewFields = 2, kEndFields = 3;
constexpr std::size_t kHexDigits = 16;
constexpr std::size_t kMaxDecimalDigits = 19;

struct LinkEntry {
  bool existed = true;  // false: the commit creates the target
  std::string copy, target;
  std::uint64_t size = 0, checksum = 0;
};

struct LinkJournal {
  std::uint64_t token = 0;
  fs::path partner;
  std::vector<LinkEntry> entries;
};

std::string hex16(std::uint64_t value) {
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string out(kHexDigits, '0');
  for (std::size_t i = kHexDigits; i-- > 0; value >>= 4) out[i] = kDigits[value & 0xF];
  return out;
}

bool parseHex16(std::string_view text, std::uint64_t& value) {
  if (text.size() != kHexDigits) return false;
  value = 0;
  for (char c : text) {
    const int digit = c >= '0' && c <= '9' ? c - '0' : c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
    if (digit < 0) return false;
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
    const std::size_t end = line.find(kSeparator, start);
    fields.push_back(line.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start));
    if (end == std::string_view::npos) return fields;
    start = end + 1;
  }
}

// A plain file name of the directory: nothing that reaches outside it.
bool isPlainName(std::string_view name) {
  if (name.empty() || name == "." || name == "..") return false;
  for (char c : name) {
    const auto u = static_cast<unsigned char>(c);
    if (u < 0x20 || u == 0x7F || c == '/' || c == '\\' || c == ':') return false;
  }
  return true;
}

// Directories travel as UTF-8 text; one that a line cannot hold is refused.
std::string directoryText(const fs::path& directory) {
  std::error_code ec;
  const fs::path absolute = fs::absolute(directory, ec);
  const std::u8string utf8 = (ec ? directory : absolute).lexically_normal().u8string();
  return std::string(utf8.begin(), utf8.end());
}

bool fitsOnALine(std::string_view text) {
  return !text.empty() && text.find(kSeparator) == std::string_view::npos &&
         text.find(kLineEnd) == std::string_view::npos;
}

fs::path directoryOf(std::string_view text) { return fs::path(std::u8string(text.begin(), text.end())); }

std::string headerLine(std::uint64_t token, const fs::path& other) {
  std::string line(kMagic);
  line.append(1, kSeparator).append(kVersion).append(1, kSeparator).append(hex16(token));
  line.append(1, kSeparator).append(directoryText(other)).append(1, kLineEnd);
  return line;
}

Bytes encodeJournal(const LinkJournal& journal) {
  std::string text = headerLine(journal.token, journal.partner);
  for (const LinkEntry& e : journal.entries) {
    if (e.existed) {
      text.append(kCopyTag).append(1, kSeparator).append(std::to_string(e.size)).append(1, kSeparator);
      text.append(hex16(e.checksum)).append(1, kSeparator).append(e.copy).append(1, kSeparator).append(e.target);
    } else {
      text.append(kNewTag).append(1, kSeparator).append(e.target);
    }
    text.append(1, kLineEnd);
  }
  text.append(kEndTag).append(1, kSeparator).append(std::to_string(journal.entries.size())).append(1, kSeparator);
  const auto* data = reinterpret_cast<const std::uint8_t*>(text.data());
  text.append(hex16(CommitJournal::checksum({data, text.size()}))).append(1, kLineEnd);
  return Bytes(text.begin(), text.end());
}

Status corrupt(const fs::path& file, const std::string& what) {
  return Status(rc::kFileCorrupt, file.string() + ": " + what);
}

// Reads the header line of a link journal or a marker.
bool decodeHeader(std::string_view line, std::uint64_t& token, fs::path& other) {
  const std::vector<std::string_view> f = splitFields(line);
  if (f.size() != kHeaderFields || f[0] != kMagic || f[1] != kVersion || !parseHex16(f[2], token) || f[3].empty())
    return false;
  other = directoryOf(f[3]);
  return true;
}

// `complete` is false (and the result Ok) for a journal without its final
// line or with a wrong checksum: what a crash while writing it leaves.
Status decodeJournal(const fs::path& file, const Bytes& bytes, LinkJournal& journal, bool& complete) {
  complete = false;
  journal = LinkJournal{};
  const std::string_view text(reinterpret_cast<const char*>(bytes.data()), bytes.size());
  if (text.empty() || text.back() != kLineEnd) return Status::Ok();
  const std::size_t previousEnd = text.rfind(kLineEnd, text.size() - 2);
  if (previousEnd == std::string_view::npos) return Status::Ok();
  const std::vector<std::string_view> end = splitFields(text.substr(previousEnd + 1, text.size() - previousEnd - 2));
  std::uint64_t count = 0, sum = 0;
  if (end.size() != kEndFields || end[0] != kEndTag || !parseDecimal(end[1], count) || !parseHex16(end[2], sum))
    return Status::Ok();
  const std::size_t sumStart = text.size() - 1 - kHexDigits;
  if (CommitJournal::checksum({bytes.data(), sumStart}) != sum) return Status::Ok();
  complete = true;

  std::size_t start = 0;
  bool header = true;
  while (start < previousEnd + 1) {
    const std::size_t stop = text.find(kLineEnd, start);
    const std::string_view line = text.substr(start, stop - start);
    start = stop + 1;
    if (header) {
      if (!decodeHeader(line, journal.token, journal.partner)) return corrupt(file, "not a link journal");
      header = false;
      continue;
    }
    const std::vector<std::string_view> f = splitFields(line);
    LinkEntry entry;
    if (f.size() == kCopyFields && f[0] == kCopyTag && parseDecimal(f[1], entry.size) &&
        parseHex16(f[2], entry.checksum) && isPlainName(f[3]) && isPlainName(f[4]) &&
        std::string(f[4]) + LinkedCommit::kCopySuffix == f[3]) {
      entry.copy = std::string(f[3]);
      entry.target = std::string(f[4]);
    } else if (f.size() == kNewFields && f[0] == kNewTag && isPlainName(f[1])) {
      entry.existed = false;
      entry.target = std::string(f[1]);
    } else {
      return corrupt(file, "a line that is no entry: " + std::string(line.substr(0, 80)));
    }
    journal.entries.push_back(std::move(entry));
  }
  if (header || count != journal.entries.size()) return corrupt(file, "the entry count does not match");
  return Status::Ok();
}

bool endsWith(std::string_view text, std::string_view end) {
  return text.size() > end.size() && text.substr(text.size() - end.size()) == end;
}

Status removeCopies(FileSystem& fs, const fs::path& dir) {
  std::vector<std::string> names;
  PX_RETURN_IF_ERROR(fs.listDirectory(dir, names));
  for (const std::string& name : names) {
    if (endsWith(name, LinkedCommit::kCopySuffix)) PX_RETURN_IF_ERROR(fs.remove(dir / name));
  }
  return Status::Ok();
}

// The link journal of `dir`, when there is one; `found` false otherwise.
Status readJournal(FileSystem& fs, const fs::path& dir, LinkJournal& journal, bool& found, bool& complete) {
  found = false;
  complete = false;
  const fs::path file = dir / LinkedCommit::kJournalName;
  if (!fs.exists(file)) return Status::Ok();
  found = true;
  Bytes bytes;
  PX_RETURN_IF_ERROR(fs.readFile(file, bytes));
  return decodeJournal(file, bytes, journal, complete);
}

// Whether `dir` holds the marker of `token`.
Status markerOf(FileSystem& fs, const fs::path& dir, std::uint64_t token, bool& present) {
  present = false;
  const fs::path file = dir / LinkedCommit::kMarkerName;
  if (!fs.exists(file)) return Status::Ok();
  Bytes bytes;
  PX_RETURN_IF_ERROR(fs.readFile(file, bytes));
  const std::string_view text(reinterpret_cast<const char*>(bytes.data()), bytes.size());
  std::uint64_t found = 0;
  fs::path other;
  present = !text.empty() && text.back() == kLineEnd && decodeHeader(text.substr(0, text.size() - 1), found, other) &&
            found == token;
  return Status::Ok();
}

// Copies are made and checked a piece at a time, so that a large table does
// not have to fit in memory beside the commit's own images.
constexpr std::size_t kPieceSize = std::size_t{4} << 20;

// Size and CommitJournal::checksum of a file's contents, read in pieces.
Status sumInPieces(FileSystem& fs, const fs::path& file, std::uint64_t& size, std::uint64_t& checksum) {
  PX_RETURN_IF_ERROR(fs.fileSize(file, size));
  CommitJournal::Checksum sum(size);
  Bytes piece;
  for (std::uint64_t offset = 0; offset < size; offset += piece.size()) {
    PX_RETURN_IF_ERROR(fs.readRange(file, offset, kPieceSize, piece));
    if (piece.empty()) return Status(rc::kReadFailed, file.string() + ": ends before its " + std::to_string(size) + " bytes");
    sum.add(piece);
  }
  checksum = sum.value();
  return Status::Ok();
}

// Writes `to` as a synced copy of `from`, and gives the copy's size and checksum.
Status copyInPieces(FileSystem& fs, const fs::path& from, const fs::path& to, std::uint64_t& size,
                    std::uint64_t& checksum) {
  PX_RETURN_IF_ERROR(fs.fileSize(from, size));
  CommitJournal::Checksum sum(size);
  Bytes piece;
  std::uint64_t offset = 0;
  do {
    PX_RETURN_IF_ERROR(fs.readRange(from, offset, kPieceSize, piece));
    if (piece.empty() && offset < size)
      return Status(rc::kReadFailed, from.string() + ": ends before its " + std::to_string(size) + " bytes");
    sum.add(piece);
    const bool last = offset + piece.size() >= size;
    if (offset == 0) {
      PX_RETURN_IF_ERROR(fs.writeFile(to, piece, last));
    } else {
      PX_RETURN_IF_ERROR(fs.writeRange(to, offset, piece, last));
    }
    offset += piece.size();
  } while (offset < size);
  checksum = sum.value();
  return Status::Ok();
}

// The link is over: the journal goes first, so that no recovery meets it
// without its copies, then the copies, then the second side's marker.
Status finishLink(FileSystem& fs, const fs::path& dir, const fs::path& partner) {
  PX_RETURN_IF_ERROR(fs.remove(dir / LinkedCommit::kJournalName));
  PX_RETURN_IF_ERROR(fs.syncDirectory(dir));
  PX_RETURN_IF_ERROR(removeCopies(fs, dir));
  if (!partner.empty()) PX_RETURN_IF_ERROR(fs.remove(partner / LinkedCommit::kMarkerName));
  return Status::Ok();
}

// Puts back every file the first side's commit replaced, and removes those it created.
Status restoreCopies(FileSystem& fs, const fs::path& dir, const LinkJournal& journal) {
  std::vector<PendingImage> images;
  for (const LinkEntry& entry : journal.entries) {
    if (!entry.existed) continue;
    const fs::path copy = dir / entry.copy;
    const fs::path target = dir / entry.target;
    const fs::path* source = nullptr;
    for (const fs::path* candidate : {&copy, &target}) {
      if (!fs.exists(*candidate)) continue;
      std::uint64_t size = 0, checksum = 0;
      PX_RETURN_IF_ERROR(sumInPieces(fs, *candidate, size, checksum));
      if (size == entry.size && checksum == entry.checksum) {
        source = candidate;
        break;
      }
    }
    if (source == nullptr) {
      return corrupt(dir / LinkedCommit::kJournalName,
                     "cannot undo the commit that waited for " + journal.partner.string() + ": neither " + entry.copy +
                         " nor " + entry.target + " holds the " + std::to_string(entry.size) +
                         " bytes it had; nothing was changed");
    }
    if (source == &target) continue;  // put back already
    images.push_back(PendingImage{target, [copy, &fs](Bytes& storage, std::span<const std::uint8_t>& contents) {
                                    PX_RETURN_IF_ERROR(fs.readFile(copy, storage));
                                    contents = storage;
                                    return Status::Ok();
                                  }});
  }
  if (!images.empty()) PX_RETURN_IF_ERROR(CommitJournal::commit(fs, dir, images));
  bool removedAny = false;
  for (const LinkEntry& entry : journal.entries) {
    if (entry.existed || !fs.exists(dir / entry.target)) continue;
    PX_RETURN_IF_ERROR(fs.remove(dir / entry.target));
    removedAny = true;
  }
  if (removedAny) PX_RETURN_IF_ERROR(fs.syncDirectory(dir));
  return Status::Ok();
}

// Step 1: the copies and the link journal, durable before the first side's
// commit writes anything.
Status writeCopies(FileSystem& fs, const fs::path& dir, const std::vector<PendingImage>& images, LinkJournal& journal) {
  for (const PendingImage& image : images) {
    LinkEntry entry;
    entry.target = image.path.filename().string();
    const fs::path target = dir / entry.target;
    if (fs.exists(target)) {
      entry.copy = entry.target + LinkedCommit::kCopySuffix;
      PX_RETURN_IF_ERROR(copyInPieces(fs, target, dir / entry.copy, entry.size, entry.checksum));
    } else {
      entry.existed = false;
    }
    journal.entries.push_back(std::move(entry));
  }
  PX_RETURN_IF_ERROR(fs.writeFile(dir / LinkedCommit::kJournalName, encodeJournal(journal), true));
  return fs.syncDirectory(dir);
}

std::uint64_t freshToken() {
  std::random_device device;
  const std::uint64_t random = (static_cast<std::uint64_t>(device()) << 32) ^ device();
  return random ^ static_cast<std::uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count());
}

}  // namespace

Status LinkedCommit::commit(Database& first, Database& second, bool& committed) {
  committed = false;
  if (!first.hasChanges() || !second.hasChanges()) {
    // One side alone is all-or-nothing through its own journal.
    Database& only = first.hasChanges() ? first : second;
    Database::FlushPlan plan;
    const Status s = only.flush(plan);
    committed = s.ok() || plan.committed;
    return s;
  }
  FileSystem& fs = first.fileSystem();
  const fs::path firstDir = first.directory();
  const fs::path secondDir = second.directory();
  const std::string firstText = directoryText(firstDir), secondText = directoryText(secondDir);
  if (!fitsOnALine(firstText) || !fitsOnALine(secondText))
    return Status(rc::kInvalidParameter, "the directories " + firstDir.string() + " and " + secondDir.string() +
                                             " cannot be written together: a name holds a tab or a line break");
  // A link this process left half finished is resolved before a new one.
  PX_RETURN_IF_ERROR(recover(fs, firstDir));

  LinkJournal journal;
  journal.token = freshToken();
  journal.partner = secondDir;
  Database::FlushPlan firstPlan;
  firstPlan.prepare = [&](const std::vector<PendingImage>& images) {
    return writeCopies(fs, firstDir, images, journal);
  };
  // A failure here leaves the second side untouched; the first side's next
  // open puts back its copies, should its commit have gone through.
  PX_RETURN_IF_ERROR(first.flush(firstPlan));

  const std::string marker = headerLine(journal.token, firstDir);
  Database::FlushPlan secondPlan;
  secondPlan.extra.push_back(
      PendingImage{secondDir / kMarkerName, [marker](Bytes&, std::span<const std::uint8_t>& contents) {
                     contents = {reinterpret_cast<const std::uint8_t*>(marker.data()), marker.size()};
                     return Status::Ok();
                   }});
  const Status s = second.flush(secondPlan);
  committed = secondPlan.committed;
  if (!s.ok()) return s;
  // Decided: both hold their changes. A failure from here on only leaves
  // the link's files, which the next recovery removes; it is reported all
  // the same, as the commit's own failures after its commit point are.
  return finishLink(fs, firstDir, secondDir);
}

Status LinkedCommit::recover(FileSystem& fs, const fs::path& directory) {
  LinkJournal journal;
  bool found = false, complete = false;
  PX_RETURN_IF_ERROR(readJournal(fs, directory, journal, found, complete));
  if (found && !complete) {
    PX_RETURN_IF_ERROR(fs.remove(directory / kJournalName));
    PX_RETURN_IF_ERROR(fs.syncDirectory(directory));
    return removeCopies(fs, directory);
  }
  if (found) {
    if (!fs.isDirectory(journal.partner)) {
      return Status(rc::kDirectoryNotFound,
                    directory.string() + ": its last commit was made together with the database in " +
                        journal.partner.string() + ", which cannot be found; without it, it cannot be finished");
    }
    PX_RETURN_IF_ERROR(CommitJournal::recover(fs, journal.partner));
    bool decided = false;
    PX_RETURN_IF_ERROR(markerOf(fs, journal.partner, journal.token, decided));
    if (!decided) {
      PX_RETURN_IF_ERROR(restoreCopies(fs, directory, journal));
      return finishLink(fs, directory, {});
    }
    return finishLink(fs, directory, journal.partner);
  }
  PX_RETURN_IF_ERROR(removeCopies(fs, directory));

  // A marker on the second side that no first side waits for any more.
  const fs::path markerFile = directory / kMarkerName;
  if (!fs.exists(markerFile)) return Status::Ok();
  Bytes bytes;
  PX_RETURN_IF_ERROR(fs.readFile(markerFile, bytes));
  const std::string_view text(reinterpret_cast<const char*>(bytes.data()), bytes.size());
  std::uint64_t token = 0;
  fs::path first;
  if (text.empty() || text.back() != kLineEnd || !decodeHeader(text.substr(0, text.size() - 1), token, first))
    return fs.remove(markerFile);
  if (!fs.isDirectory(first)) return Status::Ok();  // perhaps a drive not there now: kept
  LinkJournal waiting;
  bool waits = false, waitingComplete = false;
  const Status read = readJournal(fs, first, waiting, waits, waitingComplete);
  if (read.ok() && waits && waitingComplete && waiting.token == token) return Status::Ok();
  if (!read.ok()) return Status::Ok();  // the first side's own open will tell
  return fs.remove(markerFile);
}

}  // namespace px
