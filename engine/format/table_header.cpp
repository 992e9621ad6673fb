#include "engine/format/table_header.h"

#include <algorithm>

#include "engine/format/block_format.h"
#include "engine/format/byte_order.h"
#include "engine/format/index_format.h"

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

namespace {

// decodeTableHeader's steps, in the order of the header's parts
// (docs/paradox-format.md section 2); each checks what it reads against the
// buffer and what came before.
class HeaderDecoder {
 public:
  HeaderDecoder(std::span<const std::uint8_t> bytes, const std::string& file, TableHeader& out)
      : bytes_(bytes), p_(bytes.data()), file_(file), out_(out) {}

  // Section 2.1: the fixed part, every file kind.
  Status fixedPart() {
    if (bytes_.size() < h::kFixedPartEnd)
      return corrupt(file_, "the file has " + std::to_string(bytes_.size()) + " bytes, fewer than a header");
    if (p_[h::kFileType] > h::kLastFileType)
      return corrupt(file_, "unknown file type " + std::to_string(p_[h::kFileType]));
    out_.fileType = static_cast<h::FileType>(p_[h::kFileType]);
    out_.recordSize = le16(p_ + h::kRecordSize);
    out_.headerSize = le16(p_ + h::kHeaderSize);
    out_.blockSizeKiB = p_[h::kMaxTableSize];
    out_.numRecords = le32(p_ + h::kNumRecords);
    out_.usedBlocks = le16(p_ + h::kUsedBlocks);
    out_.fileBlocks = le16(p_ + h::kFileBlocks);
    out_.firstBlock = le16(p_ + h::kFirstBlock);
    out_.lastBlock = le16(p_ + h::kLastBlock);
    out_.indexFieldNumber = p_[h::kIndexFieldNumber];
    out_.indexRoot = le16(p_ + h::kIndexRoot);
    out_.indexLevels = p_[h::kIndexLevels];
    numFields_ = le16(p_ + h::kNumFields);
    out_.primaryKeyFields = le16(p_ + h::kPrimaryKeyFields);
    encryption1_ = le32(p_ + h::kEncryption1);
    out_.sortOrderCode = p_[h::kSortOrder];
    out_.indexChangeCount = p_[h::kIndexChangeCount];
    out_.changeCount = p_[h::kChangeCount];
    out_.familyStamp = p_[h::kFamilyStamp];
    out_.linkByte = p_[h::kLinkByte];
    out_.writeProtected = p_[h::kWriteProtected] != 0;
    out_.fileVersion = p_[h::kFileVersion];
    out_.maxBlocks = le16(p_ + h::kMaxBlocks);
    out_.autoInc = le32(p_ + h::kAutoInc);
    out_.firstFreeBlock = le16(p_ + h::kFirstFreeBlock);
    out_.realHeaderSize = le16(p_ + h::kRealHeaderSize);
    out_.indexFlags = p_[h::kIndexFlags];
    return Status::Ok();
  }

  // The version, the block and header sizes and the block counts make sense.
  Status checkSizes() {
    if (out_.fileVersion < h::kVersion30 || out_.fileVersion > h::kVersion70)
      return Status(rc::kUnsupportedVersion,
                    file_ + ": file version " + std::to_string(out_.fileVersion) + " is not supported (3 to 12 are)");
    if (!h::isValidBlockSizeKiB(out_.blockSizeKiB))
      return corrupt(file_, "block size of " + std::to_string(out_.blockSizeKiB) + " KiB");
    out_.blockSize = static_cast<std::uint32_t>(out_.blockSizeKiB) * 1024;
    if (out_.headerSize < h::kFixedPartEnd || out_.headerSize > bytes_.size())
      return corrupt(file_, "header size " + std::to_string(out_.headerSize) + " does not fit a file of " +
                                std::to_string(bytes_.size()) + " bytes");
    if (numFields_ == 0) return corrupt(file_, "no fields");
    if (out_.recordSize == 0 || block::capacity(out_.blockSize, out_.recordSize) == 0)
      return corrupt(file_, "record size " + std::to_string(out_.recordSize) + " does not fit a block of " +
                                std::to_string(out_.blockSize) + " bytes");
    if (out_.fileBlocks != 0 && out_.usedBlocks > out_.fileBlocks)
      return corrupt(file_, "more blocks in use (" + std::to_string(out_.usedBlocks) + ") than in the file (" +
                                std::to_string(out_.fileBlocks) + ")");
    return Status::Ok();
  }

  // Section 2.2: the extension of data files from level 4 on; and where the
  // variable part begins.
  Status extension() {
    out_.hasExtension = out_.isDataFile() && out_.fileVersion >= h::kFirstVersionWithExtension;
    limit_ = out_.headerSize;
    pos_ = out_.hasExtension ? h::kExtensionEnd : h::kFixedPartEnd;
    if (out_.hasExtension) {
      if (limit_ < h::kExtensionEnd) return corrupt(file_, "header too short for its version");
      out_.encrypted = le32(p_ + h::kEncryption2) != 0;
      out_.codePage = le16(p_ + h::kCodePage);
      out_.hiFieldId = le16(p_ + h::kHiFieldId);
    } else {
      // Index trees keep their key here; level-3 data files their password key.
      out_.encrypted = encryption1_ != 0 && encryption1_ != h::kEncryptionMovedMarker;
    }
    return Status::Ok();
  }

  // Section 2.3: the field descriptors, which must fill the record, and the
  // key fields among them.
  Status fieldDescriptors() {
    if (pos_ + numFields_ * h::kFieldDescriptorSize > limit_) return corrupt(file_, "field list runs past the header");
    int offset = 0;
    out_.fields.resize(numFields_);
    for (std::uint16_t i = 0; i < numFields_; ++i) {
      const std::uint8_t code = p_[pos_ + h::kFieldDescriptorSize * i];
      const std::uint8_t sizeByte = p_[pos_ + h::kFieldDescriptorSize * i + 1];
      if (!isKnownFieldType(code))
        return Status(rc::kUnsupportedFieldType,
                      file_ + ": field " + std::to_string(i + 1) + " has unknown type code " + std::to_string(code));
      FieldDescriptor& f = out_.fields[i];
      f.type = static_cast<FieldType>(code);
      f.sizeByte = sizeByte;
      f.size = recordSizeOf(f.type, sizeByte);
      if (f.size == 0)
        return corrupt(file_, "field " + std::to_string(i + 1) + " (" + std::string(typeName(f.type)) +
                                  ") has invalid size " + std::to_string(sizeByte));
      f.offset = offset;
      offset += f.size;
    }
    pos_ += numFields_ * h::kFieldDescriptorSize;

    // Index trees carry three trailing words (block, count, unused) after their key fields.
    const int expectedRecordSize = out_.isIndexTree() ? offset + static_cast<int>(index::kTrailerSize) : offset;
    if (expectedRecordSize != out_.recordSize)
      return corrupt(file_, "record size " + std::to_string(out_.recordSize) + " but the fields take " +
                                std::to_string(expectedRecordSize) + " bytes");
    if (out_.fileType == h::FileType::KeyedData && (out_.primaryKeyFields == 0 || out_.primaryKeyFields > numFields_))
      return corrupt(file_, std::to_string(out_.primaryKeyFields) + " key fields of " + std::to_string(numFields_));
    if (out_.isSecondaryData() && out_.primaryKeyFields >= numFields_)
      return corrupt(file_, std::to_string(out_.primaryKeyFields) + " sort fields of " + std::to_string(numFields_));
    return Status::Ok();
  }

  // The run-time pointers, left unread, and the table name.
  Status tableName() {
    pos_ += h::kPointerSize;  // table name pointer
    if (out_.isDataFile()) pos_ += numFields_ * h::kPointerSize;
    const std::size_t nameSize = out_.fileVersion >= h::kVersion70 ? h::kTableNameSizeV12 : h::kTableNameSizeOld;
    if (pos_ + nameSize > limit_) return corrupt(file_, "table name runs past the header");
    const char* name = reinterpret_cast<const char*>(p_ + pos_);
    out_.tableName.assign(name, std::find(name, name + nameSize, '\0'));
    pos_ += nameSize;
    return Status::Ok();
  }

  Status fieldNames() {
    for (auto& f : out_.fields) {
      std::size_t end = 0;
      if (!readCString(bytes_, pos_, limit_, f.name, end)) return corrupt(file_, "field names run past the header");
      pos_ = end;
    }
    return Status::Ok();
  }

  // What the extension points to: the field numbers, the sort-order name and
  // the index name.
  Status extensionLists() {
    const std::size_t numbersAt = h::kExtensionBase + le16(p_ + h::kFieldNumbersOffset);
    if (numbersAt + numFields_ * h::kFieldNumberSize <= limit_ && le16(p_ + h::kFieldNumbersOffset) != 0) {
      for (std::uint16_t i = 0; i < numFields_; ++i)
        out_.fields[i].number = le16(p_ + numbersAt + h::kFieldNumberSize * i);
    } else {
      return corrupt(file_, "field-number list outside the header");
    }
    const std::uint16_t sortAt = le16(p_ + h::kSortOrderNameOffset);
    std::size_t end = 0;
    if (sortAt != 0 && !readCString(bytes_, h::kExtensionBase + sortAt, limit_, out_.sortOrderName, end))
      return corrupt(file_, "sort-order name outside the header");
    const std::uint16_t indexNameAt = le16(p_ + h::kIndexNameOffset);
    if (indexNameAt != 0 && !readCString(bytes_, h::kExtensionBase + indexNameAt, limit_, out_.indexName, end))
      return corrupt(file_, "index name outside the header");
    return Status::Ok();
  }

 private:
  std::span<const std::uint8_t> bytes_;
  const std::uint8_t* p_;
  const std::string& file_;
  TableHeader& out_;
  std::uint16_t numFields_ = 0;
  std::uint32_t encryption1_ = 0;
  std::size_t pos_ = 0;    // where the variable part's next item begins
  std::size_t limit_ = 0;  // the header's end
};

}  // namespace

Status decodeTableHeader(std::span<const std::uint8_t> bytes, const std::string& file, TableHeader& out) {
  out = TableHeader{};
  HeaderDecoder decoder(bytes, file, out);
  PX_RETURN_IF_ERROR(decoder.fixedPart());
  PX_RETURN_IF_ERROR(decoder.checkSizes());
  PX_RETURN_IF_ERROR(decoder.extension());
  PX_RETURN_IF_ERROR(decoder.fieldDescriptors());
  PX_RETURN_IF_ERROR(decoder.tableName());
  if (out.isIndexTree()) return Status::Ok();
  PX_RETURN_IF_ERROR(decoder.fieldNames());
  if (out.encrypted) return Status::Ok();  // the rest of the header sits behind the crypt info
  if (!out.hasExtension) return Status::Ok();
  return decoder.extensionLists();
}

}  // namespace px
