// The journal's text (docs/paradox-format.md section 12.3) and its checksum:
// encode() writes what a commit journals, decode() reads it back and tells a
// complete journal from a torn one, and the rules for the names it holds.
#include <algorithm>
#include <cstring>
#include <set>
#include <string_view>

#include "engine/storage/commit_journal.h"
#include "engine/storage/commit_journal_internal.h"
#include "engine/storage/journal_text.h"

namespace px {

using commit_internal::isSafeName;
using commit_internal::isTemporaryName;
using namespace journal_text;  // the journals' line helpers

namespace {

constexpr std::string_view kMagic = "PXCOMMIT";
// Version 2 journals may hold patch entries; version 1 ones, written when
// there is none, only whole files.
constexpr std::string_view kVersion = "1";
constexpr std::string_view kPatchVersion = "2";
constexpr std::string_view kEntryTag = "file";
constexpr std::string_view kPatchTag = "patch";
constexpr std::string_view kEndTag = "end";
constexpr std::size_t kEntryFields = 5;
constexpr std::size_t kEndFields = 3;

constexpr std::uint64_t kFnvOffset = 14695981039346656037ull;
constexpr std::uint64_t kFnvPrime = 1099511628211ull;

const std::string_view kSuffix = CommitJournal::kTemporarySuffix;

Status corrupt(std::size_t line, const std::string& what) {
  return Status(rc::kFileCorrupt, std::string(CommitJournal::kFileName) + ": line " + std::to_string(line) + ": " + what);
}

}  // namespace

bool commit_internal::isTemporaryName(std::string_view name) {
  return name.size() > kSuffix.size() && name.substr(name.size() - kSuffix.size()) == kSuffix;
}

bool commit_internal::isSafeName(std::string_view name) {
  if (name.empty() || name.find("..") != std::string_view::npos) return false;
  return std::none_of(name.begin(), name.end(), [](char c) {
    const auto u = static_cast<unsigned char>(c);
    return u < 0x20 || u == 0x7F || c == '/' || c == '\\' || c == ':';
  });
}

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

}  // namespace px
