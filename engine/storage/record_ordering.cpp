#include "engine/storage/record_ordering.h"

#include <string_view>

#include "engine/format/integer_text.h"

namespace px {

RecordOrdering::Number RecordOrdering::numberOf(const std::uint8_t* record) const {
  const KeyOrder::Part& part = order_.parts().front();
  Number n;
  n.valid = parseIntegerText(
      std::string_view(reinterpret_cast<const char*>(record + part.offset), static_cast<std::size_t>(part.size)), n.value);
  return n;
}

int RecordOrdering::compareNumbers(const Number& a, const Number& b) const {
  int c = 0;
  if (a.valid != b.valid) c = a.valid ? -1 : 1;
  else if (a.valid && a.value != b.value) c = a.value < b.value ? -1 : 1;
  return order_.parts().front().descending ? -c : c;
}

void RecordOrdering::add(RecordId id) {
  if (numeric_) {
    if (numbers_.size() <= id) numbers_.resize(static_cast<std::size_t>(id) + 1);
    numbers_[id] = numberOf(records_->key(id));
  }
  // Records mostly land next to the one added last (a table read in key
  // order, keys appended above the rest, a walk that raises each key from
  // the greatest down): the hint then saves the search.
  const auto it = ids_.insert(lastAdded_ ? *lastAdded_ : ids_.end(), id);
  if (places_.size() <= id) places_.resize(static_cast<std::size_t>(id) + 1, ids_.end());
  places_[id] = it;
  lastAdded_ = it;
}

void RecordOrdering::erase(RecordId id) {
  if (id >= places_.size() || places_[id] == ids_.end()) return;
  if (lastAdded_ && *lastAdded_ == places_[id]) lastAdded_.reset();
  ids_.erase(places_[id]);
  places_[id] = ids_.end();
}

bool RecordOrdering::Less::operator()(RecordId a, RecordId b) const {
  const TableRecords& records = *self->records_;
  if (self->numeric_) {
    const int n = self->compareNumbers(self->numbers_[a], self->numbers_[b]);
    if (n != 0) return n < 0;
    const int c = self->order_.compare(records.key(a), records.key(b), true);
    return c != 0 ? c < 0 : a < b;
  }
  const int c = self->order_.compare(records.key(a), records.key(b));
  return c != 0 ? c < 0 : a < b;
}

int RecordOrdering::compareProbe(const Probe& probe, RecordId id) const {
  const std::uint8_t* record = records_->key(id);
  if (!numeric_) return order_.compare(probe.key, record);
  const int n = compareNumbers(probe.number, numbers_[id]);
  return n != 0 ? n : order_.compare(probe.key, record, true);
}

bool RecordOrdering::Less::operator()(const Probe& probe, RecordId id) const {
  const int c = self->compareProbe(probe, id);
  return c != 0 ? c < 0 : !probe.after;
}

bool RecordOrdering::Less::operator()(RecordId id, const Probe& probe) const {
  const int c = self->compareProbe(probe, id);
  return c != 0 ? c > 0 : probe.after;
}

RecordOrdering::Set::const_iterator RecordOrdering::seek(const std::uint8_t* key, bool after) const {
  Probe probe;
  probe.key = key;
  probe.after = after;
  if (numeric_) probe.number = numberOf(key);
  return ids_.lower_bound(probe);
}

int RecordOrdering::compareToKey(RecordId id, const std::uint8_t* key) const {
  return order_.compare(records_->key(id), key);
}

}  // namespace px
