#include "engine/storage/record_reader.h"

#include <algorithm>
#include <iterator>
#include <string>
#include <utility>

#include "engine/format/block_format.h"

namespace px {

namespace {

constexpr std::size_t kWindowBytes = 256 * 1024;
constexpr std::size_t kWindows = 4;

}  // namespace

RecordReader::RecordReader(FileSystem& fs, Layout layout)
    : fs_(&fs),
      layout_(std::move(layout)),
      blocksPerWindow_(std::max<std::size_t>(1, kWindowBytes / std::max<std::uint32_t>(1, layout_.blockSize))),
      windows_(kWindows),
      blank_(layout_.recordSize, 0) {}

void RecordReader::moveTo(std::vector<BlockRun> runs) {
  layout_.runs = std::move(runs);
  for (Window& w : windows_) w.used = 0;
  status_ = Status::Ok();
}

RecordReader::Window& RecordReader::windowFor(std::uint64_t block) {
  const std::uint64_t first = block - block % blocksPerWindow_;
  Window* oldest = &windows_.front();
  for (Window& w : windows_) {
    if (w.used != 0 && w.first == first) {
      w.used = ++clock_;
      return w;
    }
    if (w.used < oldest->used) oldest = &w;
  }
  Window& w = *oldest;
  w.first = first;
  w.used = ++clock_;
  const std::size_t length = blocksPerWindow_ * layout_.blockSize;
  Status s = fs_->readRange(layout_.path, layout_.headerSize + first * layout_.blockSize, length, w.bytes);
  if (!s.ok()) {
    if (status_.ok()) status_ = s.withContext(layout_.path.filename().string() + ": reading records");
    w.used = 0;
    return w;
  }
  // A file that ends inside its last block reads as zeros there.
  w.bytes.resize(length, 0);
  return w;
}

const std::uint8_t* RecordReader::record(std::size_t place) {
  if (!status_.ok()) return blank_.data();
  const auto& runs = layout_.runs;
  auto it = std::upper_bound(runs.begin(), runs.end(), place,
                             [](std::size_t p, const BlockRun& run) { return p < run.firstRecord; });
  const bool inChain =
      it != runs.begin() && place < std::prev(it)->firstRecord + static_cast<std::size_t>(std::prev(it)->count);
  if (!inChain || !fs_) {
    if (status_.ok())
      status_ = Status(rc::kRecordNotFound, layout_.path.filename().string() + ": no record at place " +
                                                std::to_string(place + 1));
    return blank_.data();
  }
  --it;
  const std::uint64_t block = it->block - 1u;
  Window& w = windowFor(block);
  if (w.used == 0) return blank_.data();
  const std::size_t at = static_cast<std::size_t>(block - w.first) * layout_.blockSize + block::kHeaderSize +
                         (place - it->firstRecord) * layout_.recordSize;
  return w.bytes.data() + at;
}

}  // namespace px
