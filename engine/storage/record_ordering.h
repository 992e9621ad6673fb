// An order of a writable table's records that the table keeps current through
// every insert, update and removal: the cursor order of the primary key or of a
// secondary index. Ties fall to the record id, so the order is strict.
#pragma once

#include <cstdint>
#include <optional>
#include <set>
#include <vector>

#include "engine/format/value.h"
#include "engine/storage/key_order.h"
#include "engine/storage/table_records.h"

namespace px {

class RecordOrdering {
 public:
  using RecordId = std::uint32_t;

  // `order` reads only fields that `records` keeps of every record (TableRecords::key).
  RecordOrdering(const TableRecords& records, KeyOrder order)
      : records_(&records),
        order_(std::move(order)),
        numeric_(!order_.parts().empty() && order_.parts().front().integerTextFirst),
        ids_(Less{this}) {}
  RecordOrdering(const RecordOrdering&) = delete;
  RecordOrdering& operator=(const RecordOrdering&) = delete;

 private:
  // The leading key read as a whole number, per record id: parsed once per
  // change instead of at every comparison.
  struct Number {
    bool valid = false;
    std::int32_t value = 0;
  };
  // A key that seek() compares with the records: a record buffer holding the
  // key fields. It sorts before every record with an equal key, or after
  // them with `after`.
  struct Probe {
    const std::uint8_t* key = nullptr;
    Number number;
    bool after = false;
  };

 public:
  // Transparent, so that seek() searches the set with a Probe in place of an id.
  struct Less {
    using is_transparent = void;
    const RecordOrdering* self;
    bool operator()(RecordId a, RecordId b) const;
    bool operator()(const Probe& probe, RecordId id) const;
    bool operator()(RecordId id, const Probe& probe) const;
  };
  using Set = std::set<RecordId, Less>;

  const KeyOrder& order() const { return order_; }
  const Set& ids() const { return ids_; }
  void add(RecordId id);
  void erase(RecordId id);
  // Where the record stands, without a search; ids().end() when it is not in the order.
  Set::const_iterator find(RecordId id) const { return id < places_.size() ? places_[id] : ids_.end(); }

  // The first record that does not sort before `key` (a record buffer holding
  // the key fields); with `after`, the first that sorts after it.
  Set::const_iterator seek(const std::uint8_t* key, bool after) const;
  // <0, 0, >0 for a record against a key, on the key's parts only.
  int compareToKey(RecordId id, const std::uint8_t* key) const;

 private:
  Number numberOf(const std::uint8_t* record) const;
  int compareNumbers(const Number& a, const Number& b) const;
  // <0, 0, >0 as the probe's key sorts before, with or after the record.
  int compareProbe(const Probe& probe, RecordId id) const;

  const TableRecords* records_;
  KeyOrder order_;
  bool numeric_ = false;
  std::vector<Number> numbers_;
  Set ids_;
  std::vector<Set::iterator> places_;  // by id; ids_.end() when not in the order
  std::optional<Set::iterator> lastAdded_;
};

}  // namespace px
