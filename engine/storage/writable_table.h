// A table opened for change. Its records stand in key order (insertion order
// for unkeyed tables); the records it changes are held in memory, the others
// are read from the .DB when asked for, and memory keeps only their key
// fields (table_records.h). Inserts, updates that move a record to its new key
// place, and deletions change only memory. planImages() then produces the new
// contents of every family file, one at a time as a commit writes them
// (family_images.h): the .DB packed in fresh blocks, the .PX and every
// maintained .X/.Y rebuilt from the records, the .MB with its new values, and
// the change counters moved on as the original engine's staleness check
// expects (docs/paradox-format.md sections 7.2 and 11.2). Files that mostly stay
// as they are are given as their changes only: the .MB's header, freed blocks
// and new end, and the header and last blocks of a .DB whose changes all sort
// above its other records.
// Not thread-safe; one writer per table.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "engine/format/collation.h"
#include "engine/format/value.h"
#include "engine/io/file_system.h"
#include "engine/status.h"
#include "engine/storage/file_image.h"
#include "engine/storage/key_order.h"
#include "engine/storage/record_ordering.h"
#include "engine/storage/table.h"
#include "engine/storage/table_records.h"

namespace px {

class WritableTable {
 public:
  using RecordId = std::uint32_t;

  // Opens for writing. Refuses what it cannot write faithfully: encrypted
  // tables, unknown sort orders, a keyed table without its .PX.
  static Status open(FileSystem& fs, const std::filesystem::path& directory, std::string_view name,
                     std::unique_ptr<WritableTable>& out);

  const Table& table() const { return *table_; }
  const TableHeader& header() const { return table_->header(); }
  const std::vector<FieldDescriptor>& fields() const { return table_->fields(); }
  const Collation& collation() const { return *collation_; }
  const KeyOrder& keyOrder() const { return keyOrder_; }
  bool isKeyed() const { return header().isKeyed(); }

  std::size_t recordCount() const { return order_.size(); }
  // Record ids in key order (insertion order for unkeyed tables).
  std::vector<RecordId> orderedIds() const { return {order_.begin(), order_.end()}; }
  // The whole record. One that is not held in memory is read from the .DB;
  // its bytes stay valid until a few other stretches of the file were read.
  const std::uint8_t* record(RecordId id) const { return records_.record(id); }
  // The first error met reading records from the .DB (a failed read gives a
  // blank record), or Ok; every later change and commit refuses with it.
  const Status& readStatus() const { return records_.status(); }
  // Ids run from 0 to recordSlots() - 1; a removed record keeps its id.
  std::size_t recordSlots() const { return records_.slots(); }
  bool isRemoved(RecordId id) const { return records_.isRemoved(id); }
  // The record whose key equals the key fields of `keyRecord`, or false.
  bool findByKey(const std::uint8_t* keyRecord, RecordId& id) const;
  // Ids from the first record whose key is not less than `keyRecord` on.
  std::vector<RecordId> idsFrom(const std::uint8_t* keyRecord) const;

  // A blank record of this table's layout.
  Bytes blankRecord() const { return Bytes(header().recordSize, 0); }
  // Puts a value into a record buffer: text into the code page, blob values
  // into the leader or the blob store. Null stores a blank.
  Status setValue(Bytes& record, std::size_t field, const Value& value);
  // Decodes a field of a record buffer, including blobs stored this session.
  Status readValue(const std::uint8_t* record, std::size_t field, Value& out) const;
  // The stored bytes of a blob field (no code-page conversion).
  Status readBlobBytes(const std::uint8_t* record, std::size_t field, Bytes& out) const;
  // Stores blob bytes as they are, as copying a value between tables needs.
  Status setBlobBytes(Bytes& record, std::size_t field, const Bytes& stored);

  // kKeyViolation (nothing changed) when the key is taken.
  Status insert(const Bytes& record, RecordId* id = nullptr);
  // Replaces the record; a changed key moves it. kKeyViolation leaves it as it was.
  Status update(RecordId id, const Bytes& record);
  Status remove(RecordId id);
  // Frees the blob values of a record buffer that will not be inserted.
  void discardRecord(const Bytes& record) {
    if (record.size() == header().recordSize) releaseBlobs(record.data(), nullptr);
  }

  // The cursor order of the primary key ("" or the primary index's name) or of a
  // maintained secondary index, named as the table's files name it. Alpha keys
  // that read as whole numbers come first, by value, so that a walk from the
  // greatest key down meets every record once while it raises keys. The order
  // lives as long as the table and follows every change.
  Status ordering(std::string_view indexName, RecordOrdering*& out);
  // The fields an index is defined on (0-based record positions), without the
  // primary key fields that a secondary index carries to tell equal keys apart.
  Status indexFields(std::string_view indexName, std::vector<int>& out) const;
  // Names of the maintained secondary indexes.
  std::vector<std::string> indexNames() const;

  // After the images were committed: the files on disk are the new base.
  void markCommitted();
  // After a commit that passed its commit point but did not finish: the
  // files are neither the old base nor the new one until recovery has run,
  // so records not held in memory can no longer be read (readStatus()).
  void markCommitUnfinished();

  bool modified() const { return inserted_ + updated_ + deleted_ > 0 || (blobs_ && blobs_->modified()); }
  // Moves on with every insert, update and removal, also a refused one: equal
  // counts mean that no record changed or moved in between.
  std::uint64_t changeCount() const { return changes_; }

  // The new contents of every family file that the changes touch, each made
  // only when a commit comes to write it, so that one file image at a time
  // is in memory. The table must stay unchanged until that commit returns.
  Status planImages(std::vector<PendingImage>& images);
  // The same, all made at once.
  Status buildImages(std::vector<FileImage>& images);

 private:
  // A record buffer that a key search compares with the records in order_,
  // on its key fields.
  struct KeyProbe {
    const std::uint8_t* record;
  };
  // Orders record ids by their records' keys (by id for an unkeyed table);
  // transparent, so that a search takes a KeyProbe in place of an id.
  struct IdOrder {
    using is_transparent = void;
    const WritableTable* table;
    bool operator()(RecordId a, RecordId b) const;
    bool operator()(KeyProbe probe, RecordId id) const;
    bool operator()(RecordId id, KeyProbe probe) const;
  };

  using OrderSet = std::set<RecordId, IdOrder>;
  // How many leading bytes of each record the orders, indexes and counters
  // read: up to the end of the last key, indexed or auto-increment field.
  static std::size_t keptBytes(FileSystem& fs, const TableFamily& family, const TableHeader& header,
                               const Collation& collation);
  // Keeps the lowest key that a change since the last commit touched.
  void noteChange(const std::uint8_t* record);
  // How many leading blocks of the .DB a commit of `newBlocks` blocks of
  // the records `ids` (in key order) leaves as they are.
  std::size_t unchangedBlocks(std::size_t newBlocks, std::size_t perBlock, const std::vector<RecordId>& ids) const;
  // Puts a record into the key order; false when its key is taken.
  bool placeInOrder(RecordId id);
  void takeFromOrder(RecordId id);
  Status storeBlob(Bytes& record, std::size_t field, const Bytes& stored);
  void releaseBlobs(const std::uint8_t* oldRecord, const std::uint8_t* newRecord);
  std::string secondaryName(const SecondaryIndex& index) const;
  // The .MB of the table, or where a new one goes.
  std::filesystem::path blobPath() const;
  std::uint8_t changeAmount() const;

  FileSystem* fs_ = nullptr;
  std::unique_ptr<Table> table_;
  const Collation* collation_ = nullptr;
  KeyOrder keyOrder_;
  TableRecords records_;
  OrderSet order_{IdOrder{this}};
  std::vector<OrderSet::iterator> places_;    // by id: where in order_; order_.end() when not in it
  std::optional<OrderSet::iterator> lastPlaced_;
  Bytes spare_;                       // an update's old record
  std::optional<Bytes> lowestChange_;  // the lowest key changed since the last commit (kept bytes of its record)
  std::unique_ptr<BlobFile> blobs_;
  std::vector<std::pair<std::string, std::unique_ptr<RecordOrdering>>> orderings_;
  std::filesystem::path directory_;
  std::string name_;
  bool stale_ = false;  // committed since the base was read
  std::size_t committedRecords_ = 0;  // how many records the last commit wrote
  Status reloadBase();   // a private copy that takes the session's new values
  std::size_t inserted_ = 0, updated_ = 0, deleted_ = 0;
  std::uint64_t changes_ = 0;
};

}  // namespace px
