#include "engine/format/table_header.h"

#include <algorithm>

#include "engine/format/block_format.h"
#include "engine/format/byte_order.h"

namespace px {

namespace h = header;

bool TableHeader::isDataFile() const { return !isIndexTree(); }

bool TableHeader::isIndexTree() const {
  return fileType == h::FileType::PrimaryIndex || fileType == h::FileType::SecondaryTree ||
         fileType == h::FileType::CompositeTree;
}

bool TableHeader::isSecondaryData() const {
  return fileType == h::FileType::SecondaryNonMaintained || fileType == h::FileType::SecondaryMaintained ||
         fileType == h::FileType::CompositeNonMaintained || fileType == h::FileType::CompositeMaintained;
}

bool TableHeader::isMaintainedSecondary() const {
  return fileType == h::FileType::SecondaryMaintained || fileType == h::FileType::CompositeMaintained;
}

bool TableHeader::hasBlobFields() const {
  return std::any_of(fields.begin(), fields.end(), [](const FieldDescriptor& f) { return isBlobType(f.type); });
}

std::string versionName(std::uint8_t v) {
  if (v == 3) return "3.0";
  if (v == 4) return "3.5";
  if (v >= 5 && v <= 9) return "4.x";
  if (v == 10 || v == 11) return "5.x";
  if (v == 12) return "7.x";
  return "unknown (" + std::to_string(v) + ")";
}

namespace {

Status corrupt(const std::string& file, const std::string& what) {
  return Status(rc::kHeaderCorrupt, file + ": corrupt header: " + what);
}

// Reads a NUL-terminated string at `pos` that must end before `limit`.
bool readCString(std::span<const std::uint8_t> bytes, std::size_t pos, std::size_t limit, std::string& out,
                 std::size_t& end) {
  limit = std::min(limit, bytes.size());
  for (std::size_t i = pos; i < limit; ++i) {
    if (bytes[i] == 0) {
      out.assign(reinterpret_cast<const char*>(bytes.data() + pos), i - pos);
      end = i + 1;
      return true;
    }
  }
  return false;
}

}  // namespace

Status decodeTableHeader(std::span<const std::uint8_t> bytes, const std::string& file, TableHeader& out) {
  out = TableHeader{};
  if (bytes.size() < h::kFixedPartEnd)
    return corrupt(file, "the file has " + std::to_string(bytes.size()) + " bytes, fewer than a header");
  const std::uint8_t* p = bytes.data();

  if (p[h::kFileType] > h::kLastFileType)
    return corrupt(file, "unknown file type " + std::to_string(p[h::kFileType]));
  out.fileType = static_cast<h::FileType>(p[h::kFileType]);
  out.recordSize = le16(p + h::kRecordSize);
  out.headerSize = le16(p + h::kHeaderSize);
  out.blockSizeKiB = p[h::kMaxTableSize];
  out.numRecords = le32(p + h::kNumRecords);
  out.usedBlocks = le16(p + h::kUsedBlocks);
  out.fileBlocks = le16(p + h::kFileBlocks);
  out.firstBlock = le16(p + h::kFirstBlock);
  out.lastBlock = le16(p + h::kLastBlock);
  out.indexFieldNumber = p[h::kIndexFieldNumber];
  out.indexRoot = le16(p + h::kIndexRoot);
  out.indexLevels = p[h::kIndexLevels];
  const std::uint16_t numFields = le16(p + h::kNumFields);
  out.primaryKeyFields = le16(p + h::kPrimaryKeyFields);
  const std::uint32_t encryption1 = le32(p + h::kEncryption1);
  out.sortOrderCode = p[h::kSortOrder];
  out.indexChangeCount = p[h::kIndexChangeCount];
  out.changeCount = p[h::kChangeCount];
  out.familyStamp = p[h::kFamilyStamp];
  out.linkByte = p[h::kLinkByte];
  out.writeProtected = p[h::kWriteProtected] != 0;
  out.fileVersion = p[h::kFileVersion];
  out.maxBlocks = le16(p + h::kMaxBlocks);
  out.autoInc = le32(p + h::kAutoInc);
  out.firstFreeBlock = le16(p + h::kFirstFreeBlock);
  out.realHeaderSize = le16(p + h::kRealHeaderSize);
  out.indexFlags = p[h::kIndexFlags];

  if (out.fileVersion < h::kVersion30 || out.fileVersion > h::kVersion70)
    return Status(rc::kUnsupportedVersion,
                  file + ": file version " + std::to_string(out.fileVersion) + " is not supported (3 to 12 are)");
  if (!h::isValidBlockSizeKiB(out.blockSizeKiB))
    return corrupt(file, "block size of " + std::to_string(out.blockSizeKiB) + " KiB");
  out.blockSize = static_cast<std::uint32_t>(out.blockSizeKiB) * 1024;
  if (out.headerSize < h::kFixedPartEnd || out.headerSize > bytes.size())
    return corrupt(file, "header size " + std::to_string(out.headerSize) + " does not fit a file of " +
                             std::to_string(bytes.size()) + " bytes");
  if (numFields == 0) return corrupt(file, "no fields");
  if (out.recordSize == 0 || block::capacity(out.blockSize, out.recordSize) == 0)
    return corrupt(file, "record size " + std::to_string(out.recordSize) + " does not fit a block of " +
                             std::to_string(out.blockSize) + " bytes");
  if (out.fileBlocks != 0 && out.usedBlocks > out.fileBlocks)
    return corrupt(file, "more blocks in use (" + std::to_string(out.usedBlocks) + ") than in the file (" +
                             std::to_string(out.fileBlocks) + ")");

  out.hasExtension = out.isDataFile() && out.fileVersion >= h::kFirstVersionWithExtension;
  const std::size_t limit = out.headerSize;
  std::size_t pos = out.hasExtension ? h::kExtensionEnd : h::kFixedPartEnd;
  if (out.hasExtension) {
    if (limit < h::kExtensionEnd) return corrupt(file, "header too short for its version");
    out.encrypted = le32(p + h::kEncryption2) != 0;
    out.codePage = le16(p + h::kCodePage);
    out.hiFieldId = le16(p + h::kHiFieldId);
  } else {
    // Index trees keep their key here; level-3 data files their password key.
    out.encrypted = encryption1 != 0 && encryption1 != h::kEncryptionMovedMarker;
  }

  // Field descriptors.
  if (pos + numFields * h::kFieldDescriptorSize > limit) return corrupt(file, "field list runs past the header");
  int offset = 0;
  out.fields.resize(numFields);
  for (std::uint16_t i = 0; i < numFields; ++i) {
    const std::uint8_t code = p[pos + 2 * i];
    const std::uint8_t sizeByte = p[pos + 2 * i + 1];
    if (!isKnownFieldType(code))
      return Status(rc::kUnsupportedFieldType,
                    file + ": field " + std::to_string(i + 1) + " has unknown type code " + std::to_string(code));
    FieldDescriptor& f = out.fields[i];
    f.type = static_cast<FieldType>(code);
    f.sizeByte = sizeByte;
    f.size = recordSizeOf(f.type, sizeByte);
    if (f.size == 0)
      return corrupt(file, "field " + std::to_string(i + 1) + " (" + std::string(typeName(f.type)) +
                               ") has invalid size " + std::to_string(sizeByte));
    f.offset = offset;
    offset += f.size;
  }
  pos += numFields * h::kFieldDescriptorSize;

  // Index trees carry three trailing words (block, count, unused) after their key fields.
  const int expectedRecordSize = out.isIndexTree() ? offset + 6 : offset;
  if (expectedRecordSize != out.recordSize)
    return corrupt(file, "record size " + std::to_string(out.recordSize) + " but the fields take " +
                             std::to_string(expectedRecordSize) + " bytes");
  if (out.fileType == h::FileType::KeyedData && (out.primaryKeyFields == 0 || out.primaryKeyFields > numFields))
    return corrupt(file, std::to_string(out.primaryKeyFields) + " key fields of " + std::to_string(numFields));
  if (out.isSecondaryData() && out.primaryKeyFields >= numFields)
    return corrupt(file, std::to_string(out.primaryKeyFields) + " sort fields of " + std::to_string(numFields));

  pos += h::kPointerSize;  // table name pointer
  if (out.isDataFile()) pos += numFields * h::kPointerSize;
  const std::size_t nameSize = out.fileVersion >= h::kVersion70 ? h::kTableNameSizeV12 : h::kTableNameSizeOld;
  if (pos + nameSize > limit) return corrupt(file, "table name runs past the header");
  {
    const char* name = reinterpret_cast<const char*>(p + pos);
    out.tableName.assign(name, std::find(name, name + nameSize, '\0'));
  }
  pos += nameSize;
  if (out.isIndexTree()) return Status::Ok();

  for (auto& f : out.fields) {
    std::size_t end = 0;
    if (!readCString(bytes, pos, limit, f.name, end)) return corrupt(file, "field names run past the header");
    pos = end;
  }
  if (out.encrypted) return Status::Ok();  // the rest of the header sits behind the crypt info

  if (out.hasExtension) {
    const std::size_t numbersAt = h::kExtensionBase + le16(p + h::kFieldNumbersOffset);
    if (numbersAt + numFields * 2 <= limit && le16(p + h::kFieldNumbersOffset) != 0) {
      for (std::uint16_t i = 0; i < numFields; ++i) out.fields[i].number = le16(p + numbersAt + 2 * i);
    } else {
      return corrupt(file, "field-number list outside the header");
    }
    const std::uint16_t sortAt = le16(p + h::kSortOrderNameOffset);
    std::size_t end = 0;
    if (sortAt != 0 && !readCString(bytes, h::kExtensionBase + sortAt, limit, out.sortOrderName, end))
      return corrupt(file, "sort-order name outside the header");
    const std::uint16_t indexNameAt = le16(p + h::kIndexNameOffset);
    if (indexNameAt != 0 && !readCString(bytes, h::kExtensionBase + indexNameAt, limit, out.indexName, end))
      return corrupt(file, "index name outside the header");
  }
  return Status::Ok();
}

}  // namespace px
