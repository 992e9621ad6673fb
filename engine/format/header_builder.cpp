// Section numbers in the comments are those of docs/paradox-format.md.
#include "engine/format/header_builder.h"

#include <algorithm>
#include <vector>

#include "engine/format/blob_format.h"
#include "engine/format/byte_order.h"
#include "engine/format/code_page.h"
#include "engine/format/header_format.h"
#include "engine/format/index_format.h"

namespace px {

namespace h = header;

namespace {

// Values the original engine gives a fresh family, as the empty fixture tables
// show them (set10 fk1..fk3, two, primary, multiple; set07 LOAD4): the word at
// 0x70 starts at 1 in a .DB and 0 in an .X; the dword at 0x49 is 0 in a .DB
// (no AutoInc value handed out yet) and an .X, 2 in a .PX and a .Y.
constexpr std::uint16_t kInitialDataChangeCount4 = 1;
constexpr std::uint32_t kInitialTreeCounter = 2;
// An empty tree has its root at block 1 and no level (section 5.2).
constexpr std::uint16_t kEmptyTreeRoot = 1;

// The room a header keeps for its field list: the original engine sizes the
// header as if every field name had the longest length, which gives 0x1800
// for set07 ANIMFORM (128 fields, 0xC1F bytes used) and 0x800 for every table
// of up to 48 fields.
constexpr std::size_t kReservedBytesPerField =
    h::kFieldDescriptorSize + h::kPointerSize + (h::kMaxFieldNameLength + 1) + h::kFieldNumberSize;

std::size_t roundUpToHeaderUnit(std::size_t bytes) {
  return (bytes + h::kHeaderSizeUnit - 1) / h::kHeaderSizeUnit * h::kHeaderSizeUnit;
}

std::size_t tableNameSize(std::uint8_t version) {
  return version >= h::kVersion70 ? h::kTableNameSizeV12 : h::kTableNameSizeOld;
}

// The field of one header: type and size byte, name in the code page, number.
struct HeaderField {
  FieldType type;
  std::uint8_t sizeByte;
  std::string storedName;
  std::uint16_t number;
};

// Everything a data-file-like header (.DB, .X) differs in.
struct DataLikeHeader {
  h::FileType fileType = h::FileType::KeyedData;
  std::uint8_t blockSizeKiB = 0;
  std::uint16_t writeSequence = 0;
  std::uint8_t indexFieldNumber = 0;
  std::uint16_t sortFields = 0;        // 0x23
  std::uint8_t indexChangeByte = 0;    // 0x2C
  std::uint8_t changeCount = 0;        // 0x2D
  std::uint8_t familyStamp = 0;        // 0x2E
  std::uint8_t linkByte = 0;           // 0x2F
  std::uint8_t indexFlags = 0;         // 0x55
  std::uint16_t changeCount4 = 0;      // 0x70
  std::vector<HeaderField> fields;
  std::string storedTableName;
  std::string sortOrderName;
  std::string storedIndexName;         // .XG only
};

// Everything a tree header (.PX, .Y) differs in.
struct TreeHeader {
  h::FileType fileType = h::FileType::PrimaryIndex;
  std::uint16_t writeSequence = 0;
  std::uint8_t indexChangeByte = 0;    // 0x2C
  std::vector<HeaderField> keyFields;
  std::string storedTableName;
};

class Context {
 public:
  Status init(const TableDefinition& definition, const std::string& tableName) {
    PX_RETURN_IF_ERROR(validate(definition));
    definition_ = &definition;
    codePage_ = CodePage::find(definition.codePage);
    sortOrder_ = h::findSortOrder(definition.sortOrder);
    if (tableName.empty()) return Status(rc::kInvalidParameter, "no table name given");
    tableName_ = tableName;
    return Status::Ok();
  }

  const TableDefinition& definition() const { return *definition_; }
  const h::SortOrderCode& sortOrder() const { return *sortOrder_; }
  std::uint16_t storedCodePage() const {
    return definition_->codePage == CodePage::kRoman8 ? 0 : static_cast<std::uint16_t>(definition_->codePage);
  }

  Status stored(const std::string& utf8, std::string& out) const { return codePage_->fromUtf8(utf8, out); }

  // The name recorded in the header of the file with this extension.
  Status storedTableName(const std::string& extension, std::string& out) const {
    const std::string name = tableName_ + "." + extension;
    Status s = stored(name, out);
    if (!s.ok()) return Status(rc::kInvalidParameter, "table name " + name + ": " + s.message());
    if (out.size() >= tableNameSize(definition_->fileVersion) || out.find('\0') != std::string::npos)
      return Status(rc::kInvalidParameter, "table name " + name + " is too long for a version " +
                                               std::to_string(definition_->fileVersion) + " header");
    return Status::Ok();
  }

  HeaderField field(FieldType type, int sizeByte, std::string storedName, std::uint16_t number) const {
    return {type, static_cast<std::uint8_t>(sizeByte), std::move(storedName), number};
  }

 private:
  const TableDefinition* definition_ = nullptr;
  const CodePage* codePage_ = nullptr;
  const h::SortOrderCode* sortOrder_ = nullptr;
  std::string tableName_;
};

int bytesOf(const std::vector<HeaderField>& fields) {
  int size = 0;
  for (const HeaderField& f : fields) size += recordSizeOf(f.type, f.sizeByte);
  return size;
}

// The fixed part both header kinds share.
void putCommon(std::uint8_t* p, const Context& c, h::FileType type, std::uint8_t blockSizeKiB,
               std::uint16_t recordSize, std::uint16_t headerSize, std::uint16_t writeSequence,
               std::uint16_t numFields, std::uint16_t realHeaderSize) {
  putLe16(p + h::kRecordSize, recordSize);
  putLe16(p + h::kHeaderSize, headerSize);
  p[h::kFileType] = static_cast<std::uint8_t>(type);
  p[h::kMaxTableSize] = blockSizeKiB;
  putLe16(p + h::kWriteSequence, writeSequence);
  putLe16(p + h::kNumFields, numFields);
  p[h::kSortOrder] = c.sortOrder().code;
  p[h::kFileVersion] = c.definition().fileVersion;
  putLe16(p + h::kRealHeaderSize, realHeaderSize);
}

void putString(Bytes& out, std::size_t& pos, const std::string& text) {
  std::copy(text.begin(), text.end(), out.begin() + static_cast<std::ptrdiff_t>(pos));
  pos += text.size() + 1;  // the buffer is zeroed: the NUL is already there
}

Bytes encodeDataLike(const Context& c, const DataLikeHeader& d) {
  const std::size_t n = d.fields.size();
  const std::size_t nameSize = tableNameSize(c.definition().fileVersion);
  const bool named = !d.storedIndexName.empty();
  const std::size_t reserved = h::kExtensionEnd + n * kReservedBytesPerField + h::kPointerSize + nameSize +
                               d.sortOrderName.size() + 1 + (named ? d.storedIndexName.size() + 1 : 0);
  Bytes out(roundUpToHeaderUnit(reserved), 0);
  std::uint8_t* p = out.data();

  // Variable part (section 2.3): descriptors, pointers (left zero), table name,
  // field names, field numbers, sort-order name, index name.
  std::size_t pos = h::kExtensionEnd;
  for (const HeaderField& f : d.fields) {
    p[pos] = static_cast<std::uint8_t>(f.type);
    p[pos + 1] = f.sizeByte;
    pos += h::kFieldDescriptorSize;
  }
  pos += h::kPointerSize + n * h::kPointerSize;
  std::copy(d.storedTableName.begin(), d.storedTableName.end(), out.begin() + static_cast<std::ptrdiff_t>(pos));
  pos += nameSize;
  for (const HeaderField& f : d.fields) putString(out, pos, f.storedName);
  const std::size_t numbersAt = pos;
  std::uint16_t hiFieldId = 0;
  for (const HeaderField& f : d.fields) {
    putLe16(p + pos, f.number);
    pos += h::kFieldNumberSize;
    // The highest number in use + 1 (section 2.2), bit 15 aside.
    const auto next = static_cast<std::uint16_t>((f.number & ~h::kDescendingFieldBit) + 1);
    hiFieldId = std::max(hiFieldId, next);
  }
  const std::size_t sortNameAt = pos;
  putString(out, pos, d.sortOrderName);
  const std::size_t indexNameAt = pos;
  if (named) putString(out, pos, d.storedIndexName);

  putCommon(p, c, d.fileType, d.blockSizeKiB, static_cast<std::uint16_t>(bytesOf(d.fields)),
            static_cast<std::uint16_t>(out.size()), d.writeSequence, static_cast<std::uint16_t>(n),
            static_cast<std::uint16_t>(pos));
  p[h::kIndexFieldNumber] = d.indexFieldNumber;
  putLe16(p + h::kPrimaryKeyFields, d.sortFields);
  putLe32(p + h::kEncryption1, h::kEncryptionMovedMarker);
  p[h::kIndexChangeCount] = d.indexChangeByte;
  p[h::kChangeCount] = d.changeCount;
  p[h::kFamilyStamp] = d.familyStamp;
  p[h::kLinkByte] = d.linkByte;
  putLe16(p + h::kDataMarker, h::kDataMarkerValue);
  p[h::kIndexFlags] = d.indexFlags;
  p[h::kDataMarker2] = h::kDataMarker2Value;

  // Extension (section 2.2).
  const std::uint16_t verId = static_cast<std::uint16_t>(h::kFileVerIdBase + c.definition().fileVersion);
  putLe16(p + h::kFileVerId2, verId);
  putLe16(p + h::kFileVerId3, verId);
  putLe16(p + h::kHiFieldId, hiFieldId);
  putLe16(p + h::kFieldNumbersOffset, static_cast<std::uint16_t>(numbersAt - h::kExtensionBase));
  if (named) putLe16(p + h::kIndexNameOffset, static_cast<std::uint16_t>(indexNameAt - h::kExtensionBase));
  putLe16(p + h::kCodePage, c.storedCodePage());
  putLe16(p + h::kExtensionMarker, h::kExtensionMarkerValue);
  putLe16(p + h::kSortOrderNameOffset, static_cast<std::uint16_t>(sortNameAt - h::kExtensionBase));
  putLe16(p + h::kChangeCount4, d.changeCount4);
  return out;
}

Bytes encodeTree(const Context& c, const TreeHeader& t) {
  const std::size_t n = t.keyFields.size();
  const std::size_t used = h::kFixedPartEnd + n * h::kFieldDescriptorSize + h::kPointerSize +
                           tableNameSize(c.definition().fileVersion);
  Bytes out(roundUpToHeaderUnit(used), 0);
  std::uint8_t* p = out.data();
  std::size_t pos = h::kFixedPartEnd;
  for (const HeaderField& f : t.keyFields) {
    p[pos] = static_cast<std::uint8_t>(f.type);
    p[pos + 1] = f.sizeByte;
    pos += h::kFieldDescriptorSize;
  }
  pos += h::kPointerSize;
  std::copy(t.storedTableName.begin(), t.storedTableName.end(), out.begin() + static_cast<std::ptrdiff_t>(pos));

  const std::size_t entrySize = static_cast<std::size_t>(bytesOf(t.keyFields)) + index::kTrailerSize;
  putCommon(p, c, t.fileType, static_cast<std::uint8_t>(treeBlockSizeKiB(entrySize)),
            static_cast<std::uint16_t>(entrySize), static_cast<std::uint16_t>(out.size()), t.writeSequence,
            static_cast<std::uint16_t>(n), static_cast<std::uint16_t>(used));
  putLe16(p + h::kIndexRoot, kEmptyTreeRoot);
  p[h::kIndexChangeCount] = t.indexChangeByte;
  putLe32(p + h::kAutoInc, kInitialTreeCounter);
  return out;
}

}  // namespace

CreationStamps CreationStamps::at(std::uint32_t secondsSince1970) {
  CreationStamps s;
  const std::uint32_t t = secondsSince1970;
  s.familyStamp = static_cast<std::uint8_t>(t ^ (t >> 8) ^ (t >> 16) ^ (t >> 24));
  s.changeCount = static_cast<std::uint8_t>(s.familyStamp + 1);
  s.indexChangeCount = static_cast<std::uint8_t>((t >> 4) ^ (t >> 12));
  s.updateTime = t;
  s.writeSequence = 3;  // the value of most .DB files the original engine has just written
  return s;
}

Status buildDataHeader(const TableDefinition& definition, const std::string& tableName, const CreationStamps& stamps,
                       Bytes& out) {
  Context c;
  PX_RETURN_IF_ERROR(c.init(definition, tableName));
  DataLikeHeader d;
  d.fileType = definition.keyFields > 0 ? h::FileType::KeyedData : h::FileType::UnkeyedData;
  d.blockSizeKiB = static_cast<std::uint8_t>(definition.blockSizeKiB);
  d.writeSequence = stamps.writeSequence;
  d.sortFields = static_cast<std::uint16_t>(definition.keyFields);
  d.changeCount = stamps.changeCount;
  d.familyStamp = stamps.familyStamp;
  d.changeCount4 = kInitialDataChangeCount4;
  for (std::size_t i = 0; i < definition.fields.size(); ++i) {
    std::string name;
    PX_RETURN_IF_ERROR(c.stored(definition.fields[i].name, name));
    d.fields.push_back(c.field(definition.fields[i].type, definition.fields[i].sizeByte, std::move(name),
                               static_cast<std::uint16_t>(i + 1)));
  }
  PX_RETURN_IF_ERROR(c.storedTableName("DB", d.storedTableName));
  d.sortOrderName = c.sortOrder().name;
  out = encodeDataLike(c, d);
  putLe32(out.data() + h::kUpdateTime, stamps.updateTime);
  return Status::Ok();
}

Status buildPrimaryIndexHeader(const TableDefinition& definition, const std::string& tableName, const CreationStamps& stamps,
                               Bytes& out) {
  Context c;
  PX_RETURN_IF_ERROR(c.init(definition, tableName));
  if (definition.keyFields == 0) return Status(rc::kInvalidParameter, tableName + ": an unkeyed table has no primary index");
  TreeHeader t;
  t.fileType = h::FileType::PrimaryIndex;
  t.writeSequence = static_cast<std::uint16_t>(stamps.writeSequence + 1);
  t.indexChangeByte = stamps.changeCount;
  for (int i = 0; i < definition.keyFields; ++i) {
    const FieldDefinition& f = definition.fields[static_cast<std::size_t>(i)];
    t.keyFields.push_back(c.field(f.type, f.sizeByte, {}, 0));
  }
  PX_RETURN_IF_ERROR(c.storedTableName("PX", t.storedTableName));
  out = encodeTree(c, t);
  return Status::Ok();
}

Status buildSecondaryHeaders(const TableDefinition& definition, std::size_t indexNo, const std::string& tableName,
                             const CreationStamps& stamps, Bytes& x, Bytes& y) {
  Context c;
  PX_RETURN_IF_ERROR(c.init(definition, tableName));
  if (indexNo >= definition.indexes.size())
    return Status(rc::kInvalidParameter, tableName + ": no index " + std::to_string(indexNo + 1));
  const SecondaryIndexDefinition& index = definition.indexes[indexNo];
  const bool named = !index.name.empty();
  const bool maintained = hasMaintainedIndexes(definition);
  const std::string suffix = secondaryIndexSuffix(definition, indexNo);
  const std::uint8_t ownChangeCount = static_cast<std::uint8_t>(stamps.indexChangeCount + indexNo);

  DataLikeHeader d;
  if (maintained)
    d.fileType = named ? h::FileType::CompositeMaintained : h::FileType::SecondaryMaintained;
  else
    d.fileType = named ? h::FileType::CompositeNonMaintained : h::FileType::SecondaryNonMaintained;
  d.blockSizeKiB = static_cast<std::uint8_t>(definition.blockSizeKiB);
  d.writeSequence = static_cast<std::uint16_t>(stamps.writeSequence + 2 + 2 * indexNo);
  d.indexFieldNumber = static_cast<std::uint8_t>(index.fields.front() + 1);
  d.indexChangeByte = h::kSecondaryIndexChangeByte;
  d.changeCount = ownChangeCount;
  d.familyStamp = stamps.familyStamp;
  // A keyed table's .X mirrors the .PX byte 2C, which starts as the .DB's 2D;
  // an unkeyed table has no .PX and its indexes take the same value.
  d.linkByte = stamps.changeCount;
  if (index.caseInsensitive) d.indexFlags |= h::kIndexCaseInsensitive;
  if (index.descending) d.indexFlags |= h::kIndexDescending;
  if (index.unique) d.indexFlags |= h::kIndexUnique;
  for (const IndexFieldDefinition& f : secondaryFields(definition, indexNo)) {
    std::string name;
    PX_RETURN_IF_ERROR(c.stored(f.name, name));
    d.fields.push_back(c.field(f.type, f.sizeByte, std::move(name), f.number));
  }
  // Every field but the last (the block hint, or the record offset) sorts.
  d.sortFields = static_cast<std::uint16_t>(d.fields.size() - 1);
  PX_RETURN_IF_ERROR(c.storedTableName(suffix, d.storedTableName));
  d.sortOrderName = c.sortOrder().name;
  if (named) PX_RETURN_IF_ERROR(c.stored(index.name, d.storedIndexName));
  x = encodeDataLike(c, d);
  putLe32(x.data() + h::kUpdateTime, stamps.updateTime);

  TreeHeader t;
  t.fileType = named ? h::FileType::CompositeTree : h::FileType::SecondaryTree;
  t.writeSequence = static_cast<std::uint16_t>(d.writeSequence + 1);
  t.indexChangeByte = ownChangeCount;
  t.keyFields.assign(d.fields.begin(), d.fields.end() - 1);
  std::string treeSuffix = suffix;
  treeSuffix[0] = 'Y';
  PX_RETURN_IF_ERROR(c.storedTableName(treeSuffix, t.storedTableName));
  y = encodeTree(c, t);
  return Status::Ok();
}

Bytes buildBlobFileHeader() {
  // Section 8.1: the header block of every fixture .MB, the modification count
  // aside; the fields after the count are believed to give the block size
  // (0x1000), the sub-allocation block size, the 16-byte chunk, 64 slots and
  // the 0x800-byte threshold of single-blob blocks.
  static constexpr std::uint8_t kAfterModCount[] = {0x82, 0x73, 0x02, 0x00, 0x29, 0x00, 0x00, 0x10, 0x00,
                                                    0x10, 0x00, 0x10, 0x40, 0x00, 0x00, 0x08};
  static constexpr std::size_t kAfterModCountAt = blob::kHeaderModCount + 2;
  static constexpr std::size_t kTrailerAt = 0x29;
  static constexpr std::uint8_t kTrailer[] = {0xA1, 0x02};
  static constexpr std::uint16_t kNewModCount = 1;

  Bytes out(blob::kBlockUnit, 0);
  out[blob::kBlockType] = blob::kTypeHeader;
  putLe16(out.data() + blob::kBlockUnits, 1);
  putLe16(out.data() + blob::kHeaderModCount, kNewModCount);
  std::copy(std::begin(kAfterModCount), std::end(kAfterModCount), out.begin() + kAfterModCountAt);
  std::copy(std::begin(kTrailer), std::end(kTrailer), out.begin() + kTrailerAt);
  return out;
}

}  // namespace px
