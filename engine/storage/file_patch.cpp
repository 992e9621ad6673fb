#include "engine/storage/file_patch.h"

#include <algorithm>
#include <cstring>
#include <string_view>

#include "engine/format/byte_order.h"

namespace px {

using namespace file_patch;

namespace {

// The file is compared a megabyte at a time, so that a large file is never
// held twice.
constexpr std::size_t kPiece = 256 * kUnit;

void putHeader(std::uint8_t* p, std::uint64_t newSize, std::uint32_t rangeCount) {
  std::copy(kMagic.begin(), kMagic.end(), p + kMagicAt);
  putLe64(p + kNewSizeAt, newSize);
  putLe32(p + kRangeCountAt, rangeCount);
}

void putRangeHeader(std::uint8_t* p, std::uint64_t offset, std::uint32_t length) {
  putLe64(p + kRangeOffsetAt, offset);
  putLe32(p + kRangeLengthAt, length);
}

struct Stretch {
  std::uint64_t begin, end;
};

void addStretch(std::vector<Stretch>& stretches, std::uint64_t begin, std::uint64_t end) {
  if (!stretches.empty() && stretches.back().end == begin) stretches.back().end = end;
  else stretches.push_back({begin, end});
}

Status corrupt(const std::string& what) { return Status(rc::kFileCorrupt, "patch file: " + what); }

}  // namespace

Bytes filePatchHeader(std::uint64_t newSize, std::uint32_t rangeCount) {
  Bytes header(kHeaderSize);
  putHeader(header.data(), newSize, rangeCount);
  return header;
}

Bytes filePatchRangeHeader(std::uint64_t offset, std::uint32_t length) {
  Bytes header(kRangeHeaderSize);
  putRangeHeader(header.data(), offset, length);
  return header;
}

Status makeFilePatch(FileSystem& fs, const std::filesystem::path& path, std::span<const std::uint8_t> contents,
                     Bytes& patch, bool& identical) {
  patch.clear();
  identical = false;
  if (contents.size() < kMinimumSize || !fs.exists(path)) return Status::Ok();
  const std::uint64_t limit = contents.size() / 2;
  std::vector<Stretch> stretches;
  std::uint64_t changed = 0;
  std::uint64_t oldSize = 0;
  Bytes piece;
  for (std::uint64_t at = 0;; at += kPiece) {
    PX_RETURN_IF_ERROR(fs.readRange(path, at, kPiece, piece));
    oldSize = at + piece.size();
    if (oldSize > contents.size()) return Status::Ok();  // it would have to shrink
    for (std::size_t unit = 0; unit < piece.size(); unit += kUnit) {
      const std::size_t length = std::min(kUnit, piece.size() - unit);
      const std::uint64_t position = at + unit;
      if (std::memcmp(piece.data() + unit, contents.data() + position, length) == 0) continue;
      addStretch(stretches, position, position + length);
      changed += length;
    }
    if (changed > limit) return Status::Ok();
    if (piece.size() < kPiece) break;
  }
  if (oldSize < contents.size()) {
    addStretch(stretches, oldSize, contents.size());
    changed += contents.size() - oldSize;
  }
  if (stretches.empty()) {
    identical = true;
    return Status::Ok();
  }
  if (changed > limit) return Status::Ok();

  patch.reserve(kHeaderSize + changed + kRangeHeaderSize * (stretches.size() + changed / kLongestRange + 1));
  patch.resize(kHeaderSize);
  std::uint32_t count = 0;
  for (const Stretch& s : stretches) {
    for (std::uint64_t begin = s.begin; begin < s.end; begin += kLongestRange) {
      const std::uint64_t end = std::min(s.end, begin + kLongestRange);
      const std::size_t at = patch.size();
      patch.resize(at + kRangeHeaderSize);
      putRangeHeader(patch.data() + at, begin, static_cast<std::uint32_t>(end - begin));
      patch.insert(patch.end(), contents.begin() + static_cast<std::ptrdiff_t>(begin),
                   contents.begin() + static_cast<std::ptrdiff_t>(end));
      ++count;
    }
  }
  putHeader(patch.data(), contents.size(), count);
  return Status::Ok();
}

Status readFilePatch(std::span<const std::uint8_t> patch, std::uint64_t& size, std::vector<PatchRange>& ranges) {
  ranges.clear();
  if (patch.size() < kHeaderSize || std::memcmp(patch.data() + kMagicAt, kMagic.data(), kMagic.size()) != 0)
    return corrupt("no patch header");
  size = le64(patch.data() + kNewSizeAt);
  const std::uint32_t count = le32(patch.data() + kRangeCountAt);
  std::size_t at = kHeaderSize;
  std::uint64_t end = 0;
  for (std::uint32_t i = 0; i < count; ++i) {
    if (patch.size() - at < kRangeHeaderSize) return corrupt("range " + std::to_string(i + 1) + " is cut off");
    const std::uint64_t offset = le64(patch.data() + at + kRangeOffsetAt);
    const std::uint32_t length = le32(patch.data() + at + kRangeLengthAt);
    at += kRangeHeaderSize;
    if (patch.size() - at < length) return corrupt("range " + std::to_string(i + 1) + " is cut off");
    if (offset < end || offset > size || size - offset < length)
      return corrupt("range " + std::to_string(i + 1) + " overlaps another or lies beyond the new size");
    ranges.push_back({offset, patch.subspan(at, length)});
    at += length;
    end = offset + length;
  }
  if (at != patch.size()) return corrupt("bytes after the last range");
  return Status::Ok();
}

Status applyFilePatch(FileSystem& fs, const std::filesystem::path& target, std::span<const std::uint8_t> patch) {
  std::uint64_t size = 0;
  std::vector<PatchRange> ranges;
  PX_RETURN_IF_ERROR(readFilePatch(patch, size, ranges).withContext(target.string()));
  for (std::size_t i = 0; i < ranges.size(); ++i) {
    const bool last = i + 1 == ranges.size();
    PX_RETURN_IF_ERROR(fs.writeRange(target, ranges[i].offset, ranges[i].bytes, last));
  }
  return Status::Ok();
}

}  // namespace px
