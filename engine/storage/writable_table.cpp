#include "engine/storage/writable_table.h"

#include <algorithm>
#include <cstring>
#include <limits>

#include "engine/format/blob_format.h"
#include "engine/format/block_format.h"
#include "engine/format/byte_order.h"
#include "engine/format/field_codec.h"
#include "engine/format/header_format.h"
#include "engine/storage/block_packer.h"
#include "engine/storage/index_builder.h"
#include "engine/storage/secondary_builder.h"

namespace px {

namespace {

constexpr WritableTable::RecordId kProbe = std::numeric_limits<WritableTable::RecordId>::max();
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

// The probe buffer for key searches sits in a thread-local, so const lookups
// need no member state.
static thread_local const std::uint8_t* probeRecord = nullptr;

bool WritableTable::IdOrder::operator()(RecordId a, RecordId b) const {
  if (!table->isKeyed()) return a < b;
  const std::uint8_t* ra = a == kProbe ? probeRecord : table->records_[a].data();
  const std::uint8_t* rb = b == kProbe ? probeRecord : table->records_[b].data();
  return table->keyOrder_.less(ra, rb);
}

Status WritableTable::open(FileSystem& fs, const std::filesystem::path& directory, std::string_view name,
                           std::unique_ptr<WritableTable>& out) {
  auto w = std::unique_ptr<WritableTable>(new WritableTable());
  w->fs_ = &fs;
  w->directory_ = directory;
  w->name_ = std::string(name);
  PX_RETURN_IF_ERROR(Table::open(fs, directory, name, w->table_));
  const TableHeader& h = w->table_->header();
  const std::string& file = w->table_->data().name();
  w->collation_ = Collation::find(h.sortOrderName, h.sortOrderCode);
  if (!w->collation_)
    return Status(rc::kUnsupportedSortOrder, file + ": sort order '" + h.sortOrderName + "' is not supported for writing");
  if (h.isKeyed() && !w->table_->primaryIndex())
    return Status(rc::kIndexOutOfDate, file + ": keyed table without its primary index cannot be written");
  if (h.writeProtected) return Status(rc::kTableReadOnly, file + ": the table is write-protected");
  for (const SecondaryIndex& index : w->table_->secondaryIndexes()) {
    if (!index.data.header().isMaintainedSecondary()) continue;
    SecondaryLayout layout;
    PX_RETURN_IF_ERROR(SecondaryLayout::describe(h, index.data.header(), index.data.name(), *w->collation_, layout));
  }
  w->keyOrder_ = KeyOrder::primaryKey(h, *w->collation_);

  const DataFile& data = w->table_->data();
  w->records_.reserve(data.recordCount());
  for (std::size_t i = 0; i < data.recordCount(); ++i)
    w->records_.emplace_back(data.record(i), data.record(i) + h.recordSize);
  for (RecordId id = 0; id < w->records_.size(); ++id) {
    auto [it, added] = w->order_.insert(id);
    if (!added) return Status(rc::kKeyViolation, file + ": record " + std::to_string(id + 1) + " repeats a key");
  }
  if (const BlobFile* blobs = w->table_->blobFile()) w->blobs_ = std::make_unique<BlobFile>(*blobs);
  w->table_->releaseRecords();  // the records live in records_ from here on
  out = std::move(w);
  return Status::Ok();
}

bool WritableTable::findByKey(const std::uint8_t* keyRecord, RecordId& id) const {
  if (!isKeyed()) return false;
  probeRecord = keyRecord;
  auto it = order_.find(kProbe);
  probeRecord = nullptr;
  if (it == order_.end()) return false;
  id = *it;
  return true;
}

std::vector<WritableTable::RecordId> WritableTable::idsFrom(const std::uint8_t* keyRecord) const {
  if (!isKeyed()) return orderedIds();
  probeRecord = keyRecord;
  auto it = order_.lower_bound(kProbe);
  probeRecord = nullptr;
  return {it, order_.end()};
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
  const auto kept = newRecord ? storedBlobs(fields(), newRecord) : std::vector<blob::Descriptor>{};
  for (const blob::Descriptor& d : storedBlobs(fields(), oldRecord)) {
    const bool stillUsed = std::any_of(kept.begin(), kept.end(), [&](const auto& k) { return sameBlob(k, d); });
    if (!stillUsed) blobs_->release(d);
  }
}

Status WritableTable::insert(const Bytes& record, RecordId* id) {
  if (record.size() != header().recordSize)
    return Status(rc::kInvalidParameter, table_->data().name() + ": record buffer of the wrong size");
  if (records_.size() >= kProbe) return Status(rc::kTableFull, table_->data().name() + ": too many records");
  records_.push_back(record);
  const auto newId = static_cast<RecordId>(records_.size() - 1);
  if (!order_.insert(newId).second) {
    records_.pop_back();
    return Status(rc::kKeyViolation, table_->data().name() + ": key violation: the key is already in the table");
  }
  for (auto& entry : orderings_) entry.second->add(newId);
  ++inserted_;
  if (id) *id = newId;
  return Status::Ok();
}

Status WritableTable::update(RecordId id, const Bytes& record) {
  const std::string& file = table_->data().name();
  if (id >= records_.size() || records_[id].empty()) return Status(rc::kRecordNotFound, file + ": no such record");
  if (record.size() != header().recordSize) return Status(rc::kInvalidParameter, file + ": record buffer of the wrong size");
  order_.erase(id);
  for (auto& entry : orderings_) entry.second->erase(id);
  Bytes old = std::move(records_[id]);
  records_[id] = record;
  if (!order_.insert(id).second) {
    records_[id] = std::move(old);
    order_.insert(id);
    for (auto& entry : orderings_) entry.second->add(id);
    return Status(rc::kKeyViolation, file + ": key violation: the new key is already in the table");
  }
  for (auto& entry : orderings_) entry.second->add(id);
  releaseBlobs(old.data(), records_[id].data());
  ++updated_;
  return Status::Ok();
}

Status WritableTable::remove(RecordId id) {
  if (id >= records_.size() || records_[id].empty())
    return Status(rc::kRecordNotFound, table_->data().name() + ": no such record");
  order_.erase(id);
  for (auto& entry : orderings_) entry.second->erase(id);
  releaseBlobs(records_[id].data(), nullptr);
  records_[id].clear();
  records_[id].shrink_to_fit();
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
  // The files now hold the records; the headers and index baselines are
  // read back only when another commit needs them.
  stale_ = true;
  if (blobs_) blobs_->markSaved();
  inserted_ = updated_ = deleted_ = 0;
}

Status WritableTable::reloadBase() {
  std::unique_ptr<Table> fresh;
  PX_RETURN_IF_ERROR(Table::open(*fs_, directory_, name_, fresh));
  if (fresh->recordCount() != order_.size())
    return Status(rc::kFileCorrupt, fresh->data().name() + ": the committed table holds " +
                                        std::to_string(fresh->recordCount()) + " records, " +
                                        std::to_string(order_.size()) + " were written");
  fresh->releaseRecords();
  table_ = std::move(fresh);
  stale_ = false;
  return Status::Ok();
}

std::uint8_t WritableTable::changeAmount() const {
  // The counters move by the number of changed records, mod 256, at least 1.
  const auto d = static_cast<std::uint8_t>((inserted_ + updated_ + deleted_) % 256);
  return d == 0 ? 1 : d;
}

Status WritableTable::buildImages(std::vector<FileImage>& images) {
  if (!modified()) return Status::Ok();
  if (stale_) PX_RETURN_IF_ERROR(reloadBase());
  const TableHeader& h = header();
  const TableFamily& family = table_->family();
  const std::size_t size = h.recordSize;
  const std::size_t count = order_.size();
  const std::vector<RecordId> ids(order_.begin(), order_.end());

  const std::size_t perBlock = block::capacity(h.blockSize, size);
  PX_RETURN_IF_ERROR(checkBlockLimit(count, perBlock, table_->data().name()));
  const std::uint8_t d = changeAmount();

  Bytes dbHeader = table_->data().rawHeader();
  dbHeader[header::kChangeCount] = static_cast<std::uint8_t>(dbHeader[header::kChangeCount] + d);
  // An auto-increment field's counter must stay at or above every value in the column.
  for (const FieldDescriptor& f : h.fields) {
    if (f.type != FieldType::AutoInc) continue;
    std::uint32_t highest = le32(dbHeader.data() + header::kAutoInc);
    for (RecordId id : ids)
      if (auto v = codec::decodeLong(records_[id].data() + f.offset); v && *v > 0)
        highest = std::max(highest, static_cast<std::uint32_t>(*v));
    putLe32(dbHeader.data() + header::kAutoInc, highest);
  }
  std::vector<BlockRun> runs;
  Bytes dbFile = packFile(dbHeader, count, size, h.blockSize, perBlock,
                          [&](std::size_t i) { return records_[ids[i]].data(); }, runs);
  // Records of the new file in order, where the indexes are built from.
  const std::size_t headerSize = dbHeader.size();
  const auto packed = [&](std::size_t i) -> const std::uint8_t* {
    return dbFile.data() + headerSize + (i / perBlock) * h.blockSize + block::kHeaderSize + (i % perBlock) * size;
  };

  std::uint8_t primaryCounter = 0;
  if (const IndexTree* px = table_->primaryIndex()) {
    TreeImage tree;
    PX_RETURN_IF_ERROR(buildTree(leavesWith(packed, runs, px->keySize()), px->keySize(), px->header().blockSize,
                                 px->name(), tree));
    Bytes pxHeader = px->rawHeader();
    primaryCounter = static_cast<std::uint8_t>(pxHeader[header::kIndexChangeCount] + d);
    pxHeader[header::kIndexChangeCount] = primaryCounter;
    images.push_back({*family.primaryIndex, assembleTreeFile(pxHeader, tree)});
  }

  for (const SecondaryIndex& index : table_->secondaryIndexes()) {
    const TableHeader& xh = index.data.header();
    // Non-maintained indexes are rebuilt by their user before use; they stay as they are.
    if (!xh.isMaintainedSecondary() || !index.tree) continue;
    SecondaryLayout layout;
    PX_RETURN_IF_ERROR(SecondaryLayout::describe(h, xh, index.data.name(), *collation_, layout));
    const Bytes entries = buildSecondaryRecords(layout, h, packed, runs);
    const bool changed = index.data.recordCount() * xh.recordSize != entries.size() ||
                         (!entries.empty() && std::memcmp(index.data.record(0), entries.data(), entries.size()) != 0);
    const std::size_t xPerBlock = block::capacity(xh.blockSize, xh.recordSize);
    PX_RETURN_IF_ERROR(checkBlockLimit(count, xPerBlock, index.data.name()));
    Bytes xHeader = index.data.rawHeader();
    if (h.isKeyed()) xHeader[header::kLinkByte] = primaryCounter;
    if (changed) xHeader[header::kChangeCount] = static_cast<std::uint8_t>(xHeader[header::kChangeCount] + d);
    std::vector<BlockRun> xRuns;
    const std::size_t xSize = xh.recordSize;
    Bytes xFile = packFile(xHeader, count, xSize, xh.blockSize, xPerBlock,
                           [&](std::size_t i) { return entries.data() + i * xSize; }, xRuns);

    const IndexTree& y = *index.tree;
    TreeImage tree;
    PX_RETURN_IF_ERROR(buildTree(leavesFor(entries.data(), xSize, xRuns, y.keySize()), y.keySize(),
                                 y.header().blockSize, y.name(), tree));
    Bytes yHeader = y.rawHeader();
    if (changed) yHeader[header::kIndexChangeCount] = static_cast<std::uint8_t>(yHeader[header::kIndexChangeCount] + d);
    images.push_back({index.files.dataFile, std::move(xFile)});
    images.push_back({*index.files.treeFile, assembleTreeFile(yHeader, tree)});
  }

  images.push_back({family.dataFile, std::move(dbFile)});
  if (blobs_ && blobs_->modified()) {
    const std::filesystem::path path =
        family.blobFile ? *family.blobFile : family.directory / (family.name + ".mb");
    images.push_back({path, blobs_->bytes()});
  }
  return Status::Ok();
}

}  // namespace px
