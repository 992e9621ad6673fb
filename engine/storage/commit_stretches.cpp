// How a commit writes an image that gives only its changes, as stretches:
// into a patch temporary, into a whole temporary with the rest copied from
// the target, or, after the commit point, straight into the target.
#include <algorithm>

#include "engine/storage/commit_journal_internal.h"
#include "engine/storage/file_patch.h"

namespace px::commit_internal {

namespace fs = std::filesystem;

namespace {

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

std::uint64_t rangeCount(const std::vector<ChangedStretch>& stretches) {
  std::uint64_t count = 0;
  for (const ChangedStretch& s : stretches) count += (s.length + file_patch::kLongestRange - 1) / file_patch::kLongestRange;
  return count;
}

}  // namespace

Status writePatch(FileSystem& fs, const fs::path& path, std::uint64_t newSize,
                  const std::vector<ChangedStretch>& stretches, std::uint64_t& size, std::uint64_t& sum) {
  const std::uint64_t ranges = rangeCount(stretches);
  size = file_patch::kHeaderSize + ranges * file_patch::kRangeHeaderSize;
  for (const ChangedStretch& s : stretches) size += s.length;
  TemporaryWriter out(fs, path, size);
  PX_RETURN_IF_ERROR(out.add(filePatchHeader(newSize, static_cast<std::uint32_t>(ranges))));
  for (const ChangedStretch& s : stretches) {
    for (std::uint64_t from = 0; from < s.length; from += file_patch::kLongestRange) {
      const std::uint64_t length = std::min(file_patch::kLongestRange, s.length - from);
      PX_RETURN_IF_ERROR(out.add(filePatchRangeHeader(s.offset + from, static_cast<std::uint32_t>(length))));
      PX_RETURN_IF_ERROR(out.add(s, from, length));
    }
  }
  return out.finish(sum);
}

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

}  // namespace px::commit_internal
