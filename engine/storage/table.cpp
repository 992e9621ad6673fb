#include "engine/storage/table.h"

#include <cstring>

#include "engine/format/blob_format.h"
#include "engine/format/field_codec.h"

namespace px {

Status Table::open(FileSystem& fs, const std::filesystem::path& directory, std::string_view name,
                   std::unique_ptr<Table>& out) {
  return open(fs, directory, name, std::nullopt, out);
}

Status Table::open(FileSystem& fs, const std::filesystem::path& directory, std::string_view name,
                   std::size_t keptBytes, std::unique_ptr<Table>& out) {
  return open(fs, directory, name, std::optional<std::size_t>(keptBytes), out);
}

Status Table::open(FileSystem& fs, const std::filesystem::path& directory, std::string_view name,
                   std::optional<std::size_t> keptBytes, std::unique_ptr<Table>& out) {
  auto table = std::make_unique<Table>();
  PX_RETURN_IF_ERROR(locateFamily(fs, directory, name, table->family_));
  if (keptBytes) PX_RETURN_IF_ERROR(table->data_.loadLeading(fs, table->family_.dataFile, *keptBytes));
  else PX_RETURN_IF_ERROR(table->data_.load(fs, table->family_.dataFile));
  const TableHeader& h = table->data_.header();
  if (h.isSecondaryData())
    return Status(rc::kFileCorrupt, table->data_.name() + ": is a secondary index, not a table");

  if (!h.hasExtension) {
    table->codePageNumber_ = kCodePageDosDefault;
  } else if (h.codePage == 0 && lowerAscii(h.sortOrderName) == "blrom800") {
    table->codePageNumber_ = kCodePageRoman8;
  } else {
    table->codePageNumber_ = h.codePage;
  }
  table->codePage_ = CodePage::find(table->codePageNumber_);

  if (h.hasBlobFields() && table->family_.blobFile) {
    table->blobs_.emplace();
    PX_RETURN_IF_ERROR(table->blobs_->load(fs, *table->family_.blobFile));
  }
  PX_RETURN_IF_ERROR(table->openIndexes(fs));
  out = std::move(table);
  return Status::Ok();
}

Status Table::openIndexes(FileSystem& fs) {
  const TableHeader& h = data_.header();
  auto prefixMatches = [](const DataFile& data, std::size_t keySize) {
    return [&data, keySize](const BlockRun& run, const Bytes& key) {
      return key.size() == keySize && std::memcmp(data.record(run.firstRecord), key.data(), keySize) == 0;
    };
  };

  if (h.isKeyed()) {
    if (!family_.primaryIndex) {
      warnings_.push_back(data_.name() + ": keyed table without its primary index (.PX)");
    } else {
      primary_.emplace();
      PX_RETURN_IF_ERROR(primary_->load(fs, *family_.primaryIndex));
      std::size_t keySize = 0;
      for (std::size_t i = 0; i < h.primaryKeyFields; ++i) keySize += static_cast<std::size_t>(h.fields[i].size);
      if (primary_->keySize() != keySize)
        return Status(rc::kIndexCorrupt, primary_->name() + ": key of " + std::to_string(primary_->keySize()) +
                                             " bytes, the table's key fields take " + std::to_string(keySize));
      PX_RETURN_IF_ERROR(primary_->checkAgainst(data_.blocks(), data_.name(), prefixMatches(data_, keySize)));
    }
  }

  for (const auto& files : family_.secondaryIndexes) {
    SecondaryIndex index;
    index.files = files;
    PX_RETURN_IF_ERROR(index.data.load(fs, files.dataFile));
    const TableHeader& xh = index.data.header();
    if (!xh.isSecondaryData())
      return Status(rc::kIndexCorrupt, index.data.name() + ": is not a secondary index file");
    const bool maintained = xh.isMaintainedSecondary();
    auto problem = [&](const Status& s) -> Status {
      if (s.ok() || maintained) return s;
      index.consistent = false;
      warnings_.push_back(s.message() + " (non-maintained index, rebuilt by its user)");
      return Status::Ok();
    };
    if (!files.treeFile) {
      PX_RETURN_IF_ERROR(problem(Status(rc::kIndexCorrupt, index.data.name() + ": its tree file (.Y*) is missing")));
    } else {
      index.tree.emplace();
      Status s = index.tree->load(fs, *files.treeFile);
      if (s.ok() && index.tree->keySize() > xh.recordSize)
        s = Status(rc::kIndexCorrupt, index.tree->name() + ": key longer than the records of " + index.data.name());
      if (s.ok())
        s = index.tree->checkAgainst(index.data.blocks(), index.data.name(),
                                     prefixMatches(index.data, index.tree->keySize()));
      PX_RETURN_IF_ERROR(problem(s));
    }
    if (xh.numRecords != h.numRecords)
      PX_RETURN_IF_ERROR(problem(Status(rc::kIndexOutOfDate, index.data.name() + ": index is out of date: " +
                                                                 std::to_string(xh.numRecords) + " entries for " +
                                                                 std::to_string(h.numRecords) + " records")));
    secondary_.push_back(std::move(index));
  }
  return Status::Ok();
}

Status Table::decodeText(std::string_view stored, std::string& utf8) const {
  if (!codePage_)
    return Status(rc::kUnsupportedCodePage, data_.name() + ": code page " + std::to_string(codePageNumber_) +
                                                " has no conversion table; its text cannot be read");
  Status s = codePage_->toUtf8(stored, utf8);
  if (!s.ok()) return s.withContext(data_.name());
  return s;
}

Status Table::fieldName(std::size_t field, std::string& utf8) const {
  if (field >= fields().size()) return Status(rc::kInvalidFieldNumber, data_.name() + ": no field " + std::to_string(field + 1));
  const std::string& stored = fields()[field].name;
  // Names are nearly always ASCII; they need no code page then.
  bool ascii = true;
  for (unsigned char c : stored) ascii = ascii && c < 0x80;
  if (ascii) {
    utf8 = stored;
    return Status::Ok();
  }
  return decodeText(stored, utf8);
}

Status Table::encodeText(std::string_view utf8, std::string& stored) const {
  if (!codePage_)
    return Status(rc::kUnsupportedCodePage, data_.name() + ": code page " + std::to_string(codePageNumber_) +
                                                " has no conversion table; text cannot be written");
  return codePage_->fromUtf8(utf8, stored).withContext(data_.name());
}

Status Table::readBlobBytes(const std::uint8_t* record, std::size_t field, Bytes& out, const BlobFile* blobs) const {
  out.clear();
  const FieldDescriptor& f = fields()[field];
  const std::uint8_t* p = record + f.offset;
  if (codec::isBlank(p, static_cast<std::size_t>(f.size))) return Status::Ok();
  const std::size_t leader = static_cast<std::size_t>(f.size) - kBlobDescriptorSize;
  const blob::Descriptor desc = blob::decodeDescriptor(p + leader);
  if (desc.length == 0) return Status::Ok();
  if (desc.length <= leader) {
    out.assign(p, p + desc.length);
    return Status::Ok();
  }
  if (!blobs)
    return Status(rc::kFileNotFound, data_.name() + ": field " + f.name +
                                         " keeps its value in the blob file, which is missing");
  return blobs->read(desc, out);
}

Status Table::readValue(const std::uint8_t* record, std::size_t field, Value& out, const BlobFile* blobs) const {
  if (field >= fields().size()) return Status(rc::kInvalidFieldNumber, data_.name() + ": no field " + std::to_string(field + 1));
  const FieldDescriptor& f = fields()[field];
  const std::uint8_t* p = record + f.offset;
  if (f.type == FieldType::Alpha) {
    const auto* begin = reinterpret_cast<const char*>(p);
    const std::size_t length = strnlen(begin, static_cast<std::size_t>(f.size));
    if (length == 0) {
      out = Null{};
      return Status::Ok();
    }
    // Decoding into the string `out` already holds reuses its buffer: a scan that
    // reads every value into one Value then allocates nothing per text.
    if (!std::holds_alternative<std::string>(out)) out.emplace<std::string>();
    Status s = decodeText(std::string_view(begin, length), std::get<std::string>(out));
    if (!s.ok()) out = Null{};
    return s;
  }
  if (isBlobType(f.type)) {
    Bytes bytes;
    PX_RETURN_IF_ERROR(readBlobBytes(record, field, bytes, blobs));
    if (bytes.empty()) {
      out = Null{};
    } else if (isTextBlobType(f.type)) {
      std::string text;
      PX_RETURN_IF_ERROR(decodeText(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()), text));
      out = std::move(text);
    } else {
      out = std::move(bytes);
    }
    return Status::Ok();
  }
  // The context text is built only on failure; this runs for every value read.
  Status s = codec::decodeFixed(f.type, f.sizeByte, p, out);
  if (!s.ok()) return s.withContext(data_.name() + ": field " + f.name);
  return s;
}

}  // namespace px
