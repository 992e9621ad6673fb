// A cursor walks one table in the order of its primary key, a secondary index
// or (unkeyed tables) insertion order, under its filters and range. It stands
// before the first record, on a record, or after the last; moving past either
// end is an outcome (kAtBeginning, kAtEnd), not an error. After a modify the
// cursor stands on the modified record at its new place in the order.
// Cursors of one database share its tables and its record locks.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "engine/format/value.h"
#include "engine/status.h"
#include "engine/storage/record_ordering.h"
#include "engine/storage/writable_table.h"

namespace px {

class Database;

struct CursorOptions {
  std::string index;       // "" = primary key (or insertion order)
  bool readOnly = false;
  bool exclusive = false;
};

class Cursor {
 public:
  using RecordId = WritableTable::RecordId;
  using Filter = std::function<bool(const std::uint8_t* record)>;
  struct Bookmark {
    RecordId id = 0;
  };

  Cursor(Database& database, WritableTable& table, RecordOrdering& ordering, const CursorOptions& options);
  ~Cursor();
  Cursor(const Cursor&) = delete;
  Cursor& operator=(const Cursor&) = delete;

  WritableTable& table() { return *table_; }
  const WritableTable& table() const { return *table_; }
  std::size_t recordSize() const { return table_->header().recordSize; }
  static constexpr std::size_t bookmarkSize() { return sizeof(RecordId); }
  bool changesAllowed() const { return !options_.readOnly; }
  const CursorOptions& options() const { return options_; }

  void moveToBegin();
  void moveToEnd();
  Status next(Bytes& record);
  Status prior(Bytes& record);
  // kRecordNotFound when the cursor stands at either end or its record is gone.
  Status current(Bytes& record) const;
  Status currentLocked(Bytes& record);
  // Replaces the current record and releases this cursor's lock on it.
  Status modify(const Bytes& record);
  // Inserts and stands on the new record.
  Status insert(const Bytes& record);
  Status removeCurrent();
  void releaseLock();

  Status bookmark(Bookmark& out) const;
  Status gotoBookmark(const Bookmark& mark);

  // Filters: every move yields only records that all active filters admit.
  int addFilter(Filter filter);
  Status activateFilter(int handle, bool active);
  Status dropFilter(int handle);

  // Restricts the cursor to records whose leading `fields` key fields lie
  // between the key fields of `low` and `high` (record buffers), both inclusive.
  Status setRange(const Bytes& low, const Bytes& high, std::size_t fields);
  void resetRange();

  bool admits(RecordId id) const;
  // Whether a move could stop at the record: it exists, lies inside the
  // range and the active filters admit it.
  bool shows(RecordId id) const;

 private:
  enum class Place { BeforeFirst, OnRecord, AfterLast };
  RecordOrdering::Set::const_iterator locate() const;
  bool aboveRange(RecordId id) const;
  bool belowRange(RecordId id) const;
  int compareRange(RecordId id, const Bytes& key) const;
  bool exists(RecordId id) const;
  void standOn(RecordId id);
  Status refuseChange() const;

  Database* database_;
  WritableTable* table_;
  RecordOrdering* ordering_;
  CursorOptions options_;
  // The records that a prior() stepped over without stopping at any
  // (filtered out or above the range): `top` down to `bottom`, next to each
  // other in the order. A walk that raises each key it visits puts every
  // record above them, so the next prior() would step over them all again;
  // it jumps over them instead while they are known unchanged, that is while
  // the table's change count shows no change since but this cursor's modify
  // of a record outside them. Moving the cursor leaves them known, so a
  // caller that goes back to its bookmark before each step keeps the walk
  // linear; a change of filter or range forgets them.
  struct PassedRun {
    bool known = false;
    RecordOrdering::Set::const_iterator top, bottom;
    std::uint64_t changes = 0;
  };
  void forgetPassed() { passed_.known = false; }
  // REQUIRES: passed_.known, with no change to the table since.
  bool withinPassed(RecordId id) const;
  PassedRun passed_;

  Place place_ = Place::BeforeFirst;
  RecordId id_ = 0;
  Bytes snapshot_;  // the current record as last seen, to find the place when it is gone
  struct FilterEntry {
    int handle;
    Filter filter;
    bool active;
  };
  std::vector<FilterEntry> filters_;
  int nextHandle_ = 1;
  std::optional<Bytes> low_, high_;
  KeyOrder rangeOrder_;
};

}  // namespace px
