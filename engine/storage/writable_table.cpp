#include "engine/storage/writable_table.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <memory>
#include <span>

#include "engine/format/blob_format.h"
#include "engine/format/block_format.h"
#include "engine/format/field_codec.h"
#include "engine/format/header_format.h"
#include "engine/storage/block_packer.h"
#include "engine/storage/family_images.h"
#include "engine/storage/secondary_builder.h"

namespace px {

namespace {

// Ids run below this; a table that would need it is full.
constexpr WritableTable::RecordId kIdLimit = std::numeric_limits<WritableTable::RecordId>::max();
// A Graphic value begins with an 8-byte type and length prefix that the
// in-record leader leaves out.
constexpr std::size_t kGraphicPrefix = 8;

// Descriptors of the values a record keeps in the blob store.
std::vector<blob::Descriptor> storedBlobs(const std::vector<FieldDescriptor>& fields, const std::uint8_t* record) {
  std::vector<blob::Descriptor> out;
  for (const FieldDescriptor& f : fields) {
    if (!isBlobType(f.type)) continue;
    const std::size_t leader = static_cast<std::size_t>(f.size) - kBlobDescriptorSize;
    const blob::Descriptor d = blob::decodeDescriptor(record + f.offset + leader);
    if (d.length > leader && d.blockOffset != 0) out.push_back(d);
  }
  return out;
}

bool sameBlob(const blob::Descriptor& a, const blob::Descriptor& b) {
  return a.blockOffset == b.blockOffset && a.index == b.index;
}

}  // namespace

bool WritableTable::IdOrder::operator()(RecordId a, RecordId b) const {
  if (!table->isKeyed()) return a < b;
  return table->keyOrder_.less(table->records_.key(a), table->records_.key(b));
}

// Key searches run on keyed tables only.
bool WritableTable::IdOrder::operator()(KeyProbe probe, RecordId id) const {
  return table->keyOrder_.less(probe.record, table->records_.key(id));
}

bool WritableTable::IdOrder::operator()(RecordId id, KeyProbe probe) const {
  return table->keyOrder_.less(table->records_.key(id), probe.record);
}

std::size_t WritableTable::keptBytes(FileSystem& fs, const TableFamily& family, const TableHeader& h,
                                     const Collation& collation) {
  std::size_t end = 0;
  auto cover = [&](std::size_t position) {
    if (position >= h.fields.size()) return;
    const FieldDescriptor& f = h.fields[position];
    end = std::max(end, static_cast<std::size_t>(f.offset) + static_cast<std::size_t>(f.size));
  };
  for (std::size_t i = 0; i < h.primaryKeyFields; ++i) cover(i);
  for (std::size_t i = 0; i < h.fields.size(); ++i)
    if (h.fields[i].type == FieldType::AutoInc) cover(i);
  for (const SecondaryIndexFiles& files : family.secondaryIndexes) {
    TableHeader xh;
    // An index that cannot be read is refused when the table opens.
    if (!DataFile::readHeader(fs, files.dataFile, xh).ok() || !xh.isMaintainedSecondary() || !h.isKeyed()) continue;
    SecondaryLayout layout;
    if (!SecondaryLayout::describe(h, xh, files.dataFile.filename().string(), collation, layout).ok()) continue;
    for (int position : layout.indexedFields) cover(static_cast<std::size_t>(position));
  }
  return end;
}

Status WritableTable::open(FileSystem& fs, const std::filesystem::path& directory, std::string_view name,
                           std::unique_ptr<WritableTable>& out) {
  auto w = std::unique_ptr<WritableTable>(new WritableTable());
  w->fs_ = &fs;
  w->directory_ = directory;
  w->name_ = std::string(name);
  // The header first: which leading bytes of the records memory keeps.
  TableFamily family;
  TableHeader first;
  PX_RETURN_IF_ERROR(locateFamily(fs, directory, name, family));
  PX_RETURN_IF_ERROR(DataFile::readHeader(fs, family.dataFile, first));
  const std::string file = family.dataFile.filename().string();
  w->collation_ = Collation::find(first.sortOrderName, first.sortOrderCode);
  if (!w->collation_)
    return Status(rc::kUnsupportedSortOrder,
                  file + ": sort order '" + first.sortOrderName + "' is not supported for writing");
  const std::size_t kept = keptBytes(fs, family, first, *w->collation_);

  PX_RETURN_IF_ERROR(Table::open(fs, directory, name, kept, w->table_));
  const TableHeader& h = w->table_->header();
  if (Collation::find(h.sortOrderName, h.sortOrderCode) != w->collation_ || h.recordSize != first.recordSize ||
      h.fields.size() != first.fields.size() || h.primaryKeyFields != first.primaryKeyFields)
    return Status(rc::kFileCorrupt, file + ": the table changed while it was opened");
  if (h.isKeyed() && !w->table_->primaryIndex())
    return Status(rc::kIndexOutOfDate, file + ": keyed table without its primary index cannot be written");
  if (h.writeProtected) return Status(rc::kTableReadOnly, file + ": the table is write-protected");
  for (const SecondaryIndex& index : w->table_->secondaryIndexes()) {
    if (!index.data.header().isMaintainedSecondary()) continue;
    SecondaryLayout layout;
    PX_RETURN_IF_ERROR(SecondaryLayout::describe(h, index.data.header(), index.data.name(), *w->collation_, layout));
    for (int position : layout.indexedFields) {
      const FieldDescriptor& f = h.fields[static_cast<std::size_t>(position)];
      if (static_cast<std::size_t>(f.offset) + static_cast<std::size_t>(f.size) > kept)
        return Status(rc::kFileCorrupt, index.data.name() + ": the index changed while the table was opened");
    }
  }
  w->keyOrder_ = KeyOrder::primaryKey(h, *w->collation_);

  const DataFile& data = w->table_->data();
  RecordReader::Layout layout{w->table_->family().dataFile, h.headerSize, h.blockSize, h.recordSize, data.blocks()};
  w->records_.reset(data.recordCount(), w->table_->takeRecords(), data.keptBytes(), h.recordSize,
                    RecordReader(fs, std::move(layout)));
  // A keyed .DB holds its records in key order, so each one normally belongs
  // at the end, where the hint lets the set take it without a search.
  for (RecordId id = 0; id < w->records_.slots(); ++id) {
    if (!w->placeInOrder(id))
      return Status(rc::kKeyViolation, file + ": record " + std::to_string(id + 1) + " repeats a key");
  }
  if (std::optional<BlobFile> blobs = w->table_->takeBlobFile()) w->blobs_ = std::make_unique<BlobFile>(std::move(*blobs));
  out = std::move(w);
  return Status::Ok();
}

bool WritableTable::placeInOrder(RecordId id) {
  // A key mostly lands next to the one placed last: a table read in key
  // order, keys appended above the rest, a walk that raises each key from the
  // greatest down. The hint then saves the search.
  const std::size_t before = order_.size();
  const auto it = order_.insert(lastPlaced_ ? *lastPlaced_ : order_.end(), id);
  if (order_.size() == before) return false;
  if (places_.size() <= id) places_.resize(static_cast<std::size_t>(id) + 1, order_.end());
  places_[id] = it;
  lastPlaced_ = it;
  return true;
}

void WritableTable::takeFromOrder(RecordId id) {
  const auto it = places_[id];
  if (lastPlaced_ && *lastPlaced_ == it) lastPlaced_.reset();
  order_.erase(it);
  places_[id] = order_.end();
}

void WritableTable::noteChange(const std::uint8_t* key) {
  if (!isKeyed()) return;
  const std::size_t kept = records_.keptBytes();
  if (!lowestChange_) lowestChange_.emplace(key, key + kept);
  else if (keyOrder_.less(key, lowestChange_->data())) lowestChange_->assign(key, key + kept);
}

std::size_t WritableTable::unchangedBlocks(std::size_t newBlocks, std::size_t perBlock,
                                           const std::vector<RecordId>& ids) const {
  // Only a file laid out as this engine packs it (blocks 1..n in order, all
  // full but the last, nothing after them) keeps its leading blocks as they are.
  const DataFile& base = table_->data();
  const TableHeader& h = base.header();
  if (!isKeyed() || !lowestChange_) return 0;
  const std::vector<BlockRun> runs = chainedRuns(h.numRecords, perBlock);
  if (runs.size() < 2 || newBlocks < runs.size() || base.blocks().size() != runs.size() || h.fileBlocks != runs.size())
    return 0;
  for (std::size_t b = 0; b < runs.size(); ++b) {
    const BlockRun& was = base.blocks()[b];
    if (was.block != runs[b].block || was.firstRecord != runs[b].firstRecord || was.count != runs[b].count) return 0;
  }
  std::uint64_t size = 0;
  if (!fs_->fileSize(table_->family().dataFile, size).ok() ||
      size != h.headerSize + static_cast<std::uint64_t>(runs.size()) * h.blockSize)
    return 0;
  // The records that sort before every change stand where they stood. The
  // file's last block always changes: its link to the next one, at least.
  std::size_t before = 0;
  while (before < ids.size() && keyOrder_.less(records_.key(ids[before]), lowestChange_->data())) ++before;
  return std::min(before / perBlock, runs.size() - 1);
}

bool WritableTable::findByKey(const std::uint8_t* keyRecord, RecordId& id) const {
  if (!isKeyed()) return false;
  const auto it = order_.find(KeyProbe{keyRecord});
  if (it == order_.end()) return false;
  id = *it;
  return true;
}

std::vector<WritableTable::RecordId> WritableTable::idsFrom(const std::uint8_t* keyRecord) const {
  if (!isKeyed()) return orderedIds();
  return {order_.lower_bound(KeyProbe{keyRecord}), order_.end()};
}

Status WritableTable::readBlobBytes(const std::uint8_t* record, std::size_t field, Bytes& out) const {
  return table_->readBlobBytes(record, field, out, blobs_.get());
}

Status WritableTable::readValue(const std::uint8_t* record, std::size_t field, Value& out) const {
  return table_->readValue(record, field, out, blobs_.get());
}

Status WritableTable::storeBlob(Bytes& record, std::size_t field, const Bytes& stored) {
  const FieldDescriptor& f = fields()[field];
  std::uint8_t* p = record.data() + f.offset;
  const std::size_t leader = static_cast<std::size_t>(f.size) - kBlobDescriptorSize;
  std::memset(p, 0, static_cast<std::size_t>(f.size));
  if (stored.empty()) return Status::Ok();
  if (stored.size() > std::numeric_limits<std::uint32_t>::max())
    return Status(rc::kRecordTooLarge, table_->data().name() + ": blob value of field " + f.name + " is too large");
  blob::Descriptor desc;
  desc.length = static_cast<std::uint32_t>(stored.size());
  if (stored.size() <= leader) {
    std::memcpy(p, stored.data(), stored.size());
  } else {
    if (!blobs_) {
      blobs_ = std::make_unique<BlobFile>();
      blobs_->initialize(table_->family().name + ".mb", BlobFile::freshHeaderBlock());
    }
    desc = blobs_->store(stored);
    const std::size_t skip = f.type == FieldType::Graphic && stored.size() > kGraphicPrefix ? kGraphicPrefix : 0;
    std::memcpy(p, stored.data() + skip, std::min(leader, stored.size() - skip));
  }
  blob::encodeDescriptor(p + leader, desc);
  return Status::Ok();
}

Status WritableTable::setBlobBytes(Bytes& record, std::size_t field, const Bytes& stored) {
  if (field >= fields().size() || !isBlobType(fields()[field].type))
    return Status(rc::kInvalidFieldNumber, table_->data().name() + ": field " + std::to_string(field + 1) + " is not a blob field");
  if (record.size() != header().recordSize) return Status(rc::kInvalidParameter, "record buffer of the wrong size");
  return storeBlob(record, field, stored);
}

Status WritableTable::setValue(Bytes& record, std::size_t field, const Value& value) {
  const std::string& file = table_->data().name();
  if (field >= fields().size()) return Status(rc::kInvalidFieldNumber, file + ": no field " + std::to_string(field + 1));
  if (record.size() != header().recordSize) return Status(rc::kInvalidParameter, file + ": record buffer of the wrong size");
  const FieldDescriptor& f = fields()[field];
  std::uint8_t* p = record.data() + f.offset;
  auto wrongKind = [&] {
    return Status(rc::kInvalidValue, file + ": field " + f.name + " (" + std::string(typeName(f.type)) +
                                         ") cannot take a value of this kind");
  };

  if (f.type == FieldType::Alpha) {
    std::memset(p, 0, static_cast<std::size_t>(f.size));
    if (isNull(value)) return Status::Ok();
    const auto* text = std::get_if<std::string>(&value);
    if (!text) return wrongKind();
    std::string stored;
    PX_RETURN_IF_ERROR(table_->encodeText(*text, stored));
    if (stored.find('\0') != std::string::npos)
      return Status(rc::kInvalidValue, file + ": field " + f.name + ": text holds a NUL character");
    if (stored.size() > static_cast<std::size_t>(f.size))
      return Status(rc::kInvalidValue, file + ": field " + f.name + ": \"" + *text + "\" is longer than " +
                                           std::to_string(f.size) + " characters");
    std::memcpy(p, stored.data(), stored.size());
    return Status::Ok();
  }
  if (isBlobType(f.type)) {
    if (isNull(value)) return storeBlob(record, field, {});
    if (const auto* text = std::get_if<std::string>(&value)) {
      if (!isTextBlobType(f.type)) return wrongKind();
      std::string stored;
      PX_RETURN_IF_ERROR(table_->encodeText(*text, stored));
      return storeBlob(record, field, Bytes(stored.begin(), stored.end()));
    }
    if (const auto* bytes = std::get_if<Bytes>(&value)) return storeBlob(record, field, *bytes);
    return wrongKind();
  }
  return codec::encodeFixed(f.type, f.sizeByte, value, p).withContext(file + ": field " + f.name);
}

void WritableTable::releaseBlobs(const std::uint8_t* oldRecord, const std::uint8_t* newRecord) {
  if (!blobs_ || !oldRecord) return;
  // Most updates leave every blob field as it was (a renumbered key).
  if (newRecord && std::all_of(fields().begin(), fields().end(), [&](const FieldDescriptor& f) {
        return !isBlobType(f.type) ||
               std::memcmp(oldRecord + f.offset, newRecord + f.offset, static_cast<std::size_t>(f.size)) == 0;
      }))
    return;
  const auto kept = newRecord ? storedBlobs(fields(), newRecord) : std::vector<blob::Descriptor>{};
  for (const blob::Descriptor& d : storedBlobs(fields(), oldRecord)) {
    const bool stillUsed = std::any_of(kept.begin(), kept.end(), [&](const auto& k) { return sameBlob(k, d); });
    if (!stillUsed) blobs_->release(d);
  }
}

Status WritableTable::insert(const Bytes& record, RecordId* id) {
  if (record.size() != header().recordSize)
    return Status(rc::kInvalidParameter, table_->data().name() + ": record buffer of the wrong size");
  if (records_.slots() >= kIdLimit) return Status(rc::kTableFull, table_->data().name() + ": too many records");
  ++changes_;
  const RecordId newId = records_.add(record);
  if (!placeInOrder(newId)) {
    records_.takeBackLast();
    return Status(rc::kKeyViolation, table_->data().name() + ": key violation: the key is already in the table");
  }
  noteChange(record.data());
  for (auto& entry : orderings_) entry.second->add(newId);
  ++inserted_;
  if (id) *id = newId;
  return Status::Ok();
}

Status WritableTable::update(RecordId id, const Bytes& record) {
  const std::string& file = table_->data().name();
  if (id >= records_.slots() || records_.isRemoved(id)) return Status(rc::kRecordNotFound, file + ": no such record");
  if (record.size() != header().recordSize) return Status(rc::kInvalidParameter, file + ": record buffer of the wrong size");
  // The old contents are needed whole (their blob values).
  records_.hold(id);
  PX_RETURN_IF_ERROR(records_.status());
  ++changes_;
  takeFromOrder(id);
  for (auto& entry : orderings_) entry.second->erase(id);
  // The old contents move to the spare buffer, whose room takes the new ones.
  Bytes& old = spare_;
  records_.replace(id, record, old);
  if (!placeInOrder(id)) {
    records_.restore(id, old);
    placeInOrder(id);
    for (auto& entry : orderings_) entry.second->add(id);
    return Status(rc::kKeyViolation, file + ": key violation: the new key is already in the table");
  }
  for (auto& entry : orderings_) entry.second->add(id);
  noteChange(old.data());
  noteChange(records_.key(id));
  releaseBlobs(old.data(), records_.record(id));
  ++updated_;
  return Status::Ok();
}

Status WritableTable::remove(RecordId id) {
  if (id >= records_.slots() || records_.isRemoved(id))
    return Status(rc::kRecordNotFound, table_->data().name() + ": no such record");
  records_.hold(id);
  PX_RETURN_IF_ERROR(records_.status());
  ++changes_;
  takeFromOrder(id);
  for (auto& entry : orderings_) entry.second->erase(id);
  noteChange(records_.key(id));
  releaseBlobs(records_.record(id), nullptr);
  records_.remove(id);
  ++deleted_;
  return Status::Ok();
}

std::string WritableTable::secondaryName(const SecondaryIndex& index) const {
  const TableHeader& xh = index.data.header();
  if (!xh.indexName.empty()) return xh.indexName;
  // An unnamed single-field index goes by the name of its field.
  const int position = (xh.fields.empty() ? 0 : (xh.fields[0].number & ~header::kDescendingFieldBit)) - 1;
  if (position >= 0 && position < static_cast<int>(fields().size())) return fields()[static_cast<std::size_t>(position)].name;
  return index.files.suffix;
}

std::vector<std::string> WritableTable::indexNames() const {
  std::vector<std::string> names;
  for (const SecondaryIndex& index : table_->secondaryIndexes())
    if (index.data.header().isMaintainedSecondary()) names.push_back(secondaryName(index));
  return names;
}

Status WritableTable::ordering(std::string_view indexName, RecordOrdering*& out) {
  const std::string wanted = lowerAscii(indexName);
  for (auto& [name, ordering] : orderings_) {
    if (name == wanted) {
      out = ordering.get();
      return Status::Ok();
    }
  }
  KeyOrder order;
  if (wanted.empty() || (isKeyed() && table_->primaryIndex() && wanted == lowerAscii(table_->primaryIndex()->name()))) {
    order = keyOrder_.withIntegerTextFirst();  // no parts for an unkeyed table: insertion order
  } else {
    const SecondaryIndex* found = nullptr;
    for (const SecondaryIndex& index : table_->secondaryIndexes())
      if (lowerAscii(secondaryName(index)) == wanted || lowerAscii(index.files.suffix) == wanted) found = &index;
    if (!found) return Status(rc::kIndexNotFound,
                              table_->data().name() + ": no index named '" + std::string(indexName) + "'");
    if (!found->data.header().isMaintainedSecondary())
      return Status(rc::kNotSupported, found->data.name() + ": a non-maintained index cannot order a cursor");
    SecondaryLayout layout;
    PX_RETURN_IF_ERROR(SecondaryLayout::describe(header(), found->data.header(), found->data.name(), *collation_, layout));
    order = layout.orderOnTableRecords(header()).withIntegerTextFirst();
  }
  auto ordering = std::make_unique<RecordOrdering>(records_, std::move(order));
  for (RecordId id : order_) ordering->add(id);
  out = ordering.get();
  orderings_.emplace_back(wanted, std::move(ordering));
  return Status::Ok();
}

Status WritableTable::indexFields(std::string_view indexName, std::vector<int>& out) const {
  out.clear();
  const std::string wanted = lowerAscii(indexName);
  if (wanted.empty() || (isKeyed() && table_->primaryIndex() && wanted == lowerAscii(table_->primaryIndex()->name()))) {
    if (isKeyed()) for (int i = 0; i < header().primaryKeyFields; ++i) out.push_back(i);
    return Status::Ok();
  }
  for (const SecondaryIndex& index : table_->secondaryIndexes()) {
    if (lowerAscii(secondaryName(index)) != wanted && lowerAscii(index.files.suffix) != wanted) continue;
    SecondaryLayout layout;
    PX_RETURN_IF_ERROR(SecondaryLayout::describe(header(), index.data.header(), index.data.name(), *collation_, layout));
    out = layout.indexedFields;
    return Status::Ok();
  }
  return Status(rc::kIndexNotFound, table_->data().name() + ": no index named '" + std::string(indexName) + "'");
}

void WritableTable::markCommitted() {
  // The files now hold the records, packed in key order: memory lets go of
  // them. The headers and index baselines are read back only when another
  // commit needs them.
  stale_ = true;
  committedRecords_ = order_.size();
  const std::size_t perBlock = block::capacity(header().blockSize, header().recordSize);
  records_.rebase(std::vector<RecordId>(order_.begin(), order_.end()), chainedRuns(order_.size(), perBlock));
  lowestChange_.reset();
  if (blobs_ && blobs_->modified()) blobs_->markSaved(*fs_, blobPath());
  inserted_ = updated_ = deleted_ = 0;
}

void WritableTable::markCommitUnfinished() {
  records_.failReads(Status(rc::kReadFailed, table_->data().name() +
                                                 ": a commit was left unfinished; the records are read again once the "
                                                 "database was opened anew"));
}

Status WritableTable::reloadBase() {
  std::unique_ptr<Table> fresh;
  PX_RETURN_IF_ERROR(Table::open(*fs_, directory_, name_, records_.keptBytes(), fresh));
  // Records may have changed since; the files must hold what that commit wrote.
  if (fresh->recordCount() != committedRecords_)
    return Status(rc::kFileCorrupt, fresh->data().name() + ": the committed table holds " +
                                        std::to_string(fresh->recordCount()) + " records, " +
                                        std::to_string(committedRecords_) + " were written");
  fresh->releaseRecords();
  (void)fresh->takeBlobFile();  // blobs_ already holds what was committed
  table_ = std::move(fresh);
  stale_ = false;
  return Status::Ok();
}

std::uint8_t WritableTable::changeAmount() const {
  // The counters move by the number of changed records, mod 256, at least 1.
  const auto d = static_cast<std::uint8_t>((inserted_ + updated_ + deleted_) % 256);
  return d == 0 ? 1 : d;
}

Status WritableTable::planImages(std::vector<PendingImage>& images) {
  if (!modified()) return Status::Ok();
  PX_RETURN_IF_ERROR(records_.status());
  if (stale_) PX_RETURN_IF_ERROR(reloadBase());
  const TableHeader& h = header();
  const TableFamily& family = table_->family();

  auto plan = std::make_shared<ImagePlan>();
  plan->records = &records_;
  plan->ids.assign(order_.begin(), order_.end());
  const std::size_t count = plan->ids.size();
  const std::size_t perBlock = block::capacity(h.blockSize, h.recordSize);
  PX_RETURN_IF_ERROR(checkBlockLimit(count, perBlock, table_->data().name()));
  plan->runs = chainedRuns(count, perBlock);
  plan->change = changeAmount();

  if (const IndexTree* px = table_->primaryIndex()) {
    plan->primaryCounter = static_cast<std::uint8_t>(px->rawHeader()[header::kIndexChangeCount] + plan->change);
    images.push_back(primaryIndexImage(*family.primaryIndex, *px, plan));
  }
  for (const SecondaryIndex& index : table_->secondaryIndexes()) {
    // Non-maintained indexes are rebuilt by their user before use; they stay as they are.
    if (!index.data.header().isMaintainedSecondary() || !index.tree) continue;
    PX_RETURN_IF_ERROR(addSecondaryIndexImages(h, index, *collation_, plan, images));
  }

  // Changes at the top of the key order (records appended above the rest)
  // leave the leading blocks as they are: only the header and the blocks
  // from the first changed one on are written. A table that changed in most
  // of its records is written whole, a block at a time, without an image of
  // the whole file; one that changed a little is compared with its file.
  const std::size_t unchanged = unchangedBlocks(plan->runs.size(), perBlock, plan->ids);
  const bool mostlyChanged = 2 * (inserted_ + updated_ + deleted_) >= count;
  // The blocks that are written are made from whole records, held in memory:
  // while the commit writes, the .DB is no place to read them from.
  for (std::size_t i = std::min(count, unchanged * perBlock); i < count; ++i) records_.hold(plan->ids[i]);
  PX_RETURN_IF_ERROR(records_.status());
  images.push_back(dataFileImage(family.dataFile, table_->data(), plan, perBlock, unchanged,
                                 unchanged > 0 || mostlyChanged));
  if (blobs_ && blobs_->modified()) images.push_back(blobFileImage(blobPath(), *blobs_));
  return Status::Ok();
}

std::filesystem::path WritableTable::blobPath() const {
  const TableFamily& family = table_->family();
  return family.blobFile ? *family.blobFile : family.directory / (family.name + ".mb");
}

Status WritableTable::buildImages(std::vector<FileImage>& images) {
  std::vector<PendingImage> pending;
  PX_RETURN_IF_ERROR(planImages(pending));
  for (PendingImage& image : pending) {
    Bytes storage;
    if (image.produceChanges) {
      // The whole file: as it is, with the changes written over it.
      std::uint64_t newSize = 0;
      std::vector<ChangedStretch> stretches;
      PX_RETURN_IF_ERROR(image.produceChanges(newSize, stretches));
      PX_RETURN_IF_ERROR(fs_->readFile(image.path, storage));
      storage.resize(static_cast<std::size_t>(newSize), 0);
      for (const ChangedStretch& s : stretches) {
        const std::span<std::uint8_t> into(storage.data() + s.offset, static_cast<std::size_t>(s.length));
        if (s.fill) s.fill(0, into);
        else std::copy(s.bytes.begin(), s.bytes.end(), into.begin());
      }
    } else {
      std::span<const std::uint8_t> contents;
      PX_RETURN_IF_ERROR(image.produce(storage, contents));
      if (contents.data() != storage.data() || contents.size() != storage.size()) storage.assign(contents.begin(), contents.end());
    }
    images.push_back({std::move(image.path), std::move(storage)});
  }
  return Status::Ok();
}

}  // namespace px
