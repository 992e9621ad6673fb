// The records of a table open for change, by record id. A record that was
// inserted, changed or read for a change is held whole in memory; every other
// one stays in the .DB, where its place in the chain finds it, and memory
// holds only its leading bytes: enough for the key orders, the indexes and
// the auto-increment counter. A removed record keeps its id.
// Not thread-safe.
#pragma once

#include <cstdint>
#include <limits>
#include <utility>
#include <vector>

#include "engine/format/value.h"
#include "engine/status.h"
#include "engine/storage/record_reader.h"

namespace px {

class TableRecords {
 public:
  using RecordId = std::uint32_t;

  // The `count` records of a file: `leading` holds the first `keptBytes` of
  // each, in chain order, and the reader finds them whole.
  void reset(std::size_t count, Bytes leading, std::size_t keptBytes, std::size_t recordSize, RecordReader reader);

  std::size_t slots() const { return places_.size(); }
  bool isRemoved(RecordId id) const { return removed_[id]; }
  // The record's leading bytes: its key fields, indexed fields and
  // auto-increment fields are there, the rest only for a record in memory.
  const std::uint8_t* key(RecordId id) const {
    const Bytes& whole = memory_[id];
    return whole.empty() ? leading_.data() + static_cast<std::size_t>(places_[id]) * kept_ : whole.data();
  }
  // The whole record; one in the file is read (see RecordReader::record for
  // how long the bytes stay).
  const std::uint8_t* record(RecordId id) const {
    const Bytes& whole = memory_[id];
    return whole.empty() ? reader_.record(places_[id]) : whole.data();
  }
  std::size_t keptBytes() const { return kept_; }
  // The first error met reading records from the file, or Ok.
  const Status& status() const { return reader_.status(); }
  // The file can no longer be read from: reads fail with `why`.
  void failReads(Status why) { reader_.fail(std::move(why)); }

  // A new record, held in memory.
  RecordId add(const Bytes& record);
  // Takes back the record added last.
  void takeBackLast();
  // Holds the record whole in memory from now on.
  void hold(RecordId id);
  // Replaces a record's contents (held in memory from then on); the old
  // contents go to `old`.
  void replace(RecordId id, const Bytes& record, Bytes& old);
  // Puts back contents taken by replace().
  void restore(RecordId id, Bytes& old);
  void remove(RecordId id);

  // After a commit wrote the records `order` into the file packed in
  // `runs`: the file is the new base, and the records are no longer held.
  void rebase(const std::vector<RecordId>& order, std::vector<BlockRun> runs);

 private:
  static constexpr std::uint32_t kNoPlace = std::numeric_limits<std::uint32_t>::max();

  std::vector<Bytes> memory_;          // by id: the whole record, or empty when it is in the file
  std::vector<std::uint32_t> places_;  // by id: its place in the file's chain; kNoPlace for none
  std::vector<bool> removed_;
  Bytes leading_;                      // the kept bytes of the file's records, by place
  std::size_t kept_ = 0;
  std::size_t recordSize_ = 0;
  mutable RecordReader reader_;
};

}  // namespace px
