#include "engine/storage/table_records.h"

#include <algorithm>
#include <utility>

namespace px {

void TableRecords::reset(std::size_t count, Bytes leading, std::size_t keptBytes, std::size_t recordSize,
                         RecordReader reader) {
  kept_ = keptBytes;
  recordSize_ = recordSize;
  leading_ = std::move(leading);
  reader_ = std::move(reader);
  memory_.assign(count, Bytes());
  places_.resize(count);
  for (std::size_t i = 0; i < count; ++i) places_[i] = static_cast<std::uint32_t>(i);
  removed_.assign(count, false);
}

TableRecords::RecordId TableRecords::add(const Bytes& record) {
  memory_.push_back(record);
  places_.push_back(kNoPlace);
  removed_.push_back(false);
  return static_cast<RecordId>(memory_.size() - 1);
}

void TableRecords::takeBackLast() {
  memory_.pop_back();
  places_.pop_back();
  removed_.pop_back();
}

void TableRecords::hold(RecordId id) {
  if (!memory_[id].empty()) return;
  const std::uint8_t* r = reader_.record(places_[id]);
  memory_[id].assign(r, r + recordSize_);
}

void TableRecords::replace(RecordId id, const Bytes& record, Bytes& old) {
  hold(id);
  old.swap(memory_[id]);
  memory_[id].assign(record.begin(), record.end());
}

void TableRecords::restore(RecordId id, Bytes& old) { memory_[id].swap(old); }

void TableRecords::remove(RecordId id) {
  removed_[id] = true;
  Bytes().swap(memory_[id]);
}

void TableRecords::rebase(const std::vector<RecordId>& order, std::vector<BlockRun> runs) {
  Bytes leading(order.size() * kept_);
  for (std::size_t place = 0; place < order.size(); ++place) {
    const RecordId id = order[place];
    std::copy_n(key(id), kept_, leading.data() + place * kept_);
  }
  for (std::size_t id = 0; id < places_.size(); ++id) {
    places_[id] = kNoPlace;
    Bytes().swap(memory_[id]);
  }
  for (std::size_t place = 0; place < order.size(); ++place) places_[order[place]] = static_cast<std::uint32_t>(place);
  leading_ = std::move(leading);
  reader_.moveTo(std::move(runs));
}

}  // namespace px
