// An open table family for reading: the records of the .DB in chain order, its
// primary index, blob store and secondary indexes, each checked at open.
// Values decode to typed values with text converted from the table's code page.
#pragma once

#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "engine/format/code_page.h"
#include "engine/format/table_header.h"
#include "engine/format/value.h"
#include "engine/io/file_system.h"
#include "engine/status.h"
#include "engine/storage/blob_file.h"
#include "engine/storage/data_file.h"
#include "engine/storage/index_tree.h"
#include "engine/storage/table_family.h"

namespace px {

struct SecondaryIndex {
  SecondaryIndexFiles files;
  DataFile data;                    // the .Xnn / .XGn records
  std::optional<IndexTree> tree;    // the .Ynn / .YGn
  bool consistent = true;           // false: a non-maintained index that no longer matches
};

// Code page number of HP Roman-8, which tables with the BLROM800 driver use
// while their header names code page 0.
inline constexpr int kCodePageRoman8 = CodePage::kRoman8;
// Code page assumed for files of level 3, whose headers name none.
inline constexpr int kCodePageDosDefault = 437;

class Table {
 public:
  static Status open(FileSystem& fs, const std::filesystem::path& directory, std::string_view name,
                     std::unique_ptr<Table>& out);
  // The same keeping only the first `keptBytes` of each record in memory
  // (DataFile::loadLeading).
  static Status open(FileSystem& fs, const std::filesystem::path& directory, std::string_view name,
                     std::size_t keptBytes, std::unique_ptr<Table>& out);

  const TableFamily& family() const { return family_; }
  const TableHeader& header() const { return data_.header(); }
  const std::vector<FieldDescriptor>& fields() const { return data_.header().fields; }
  const DataFile& data() const { return data_; }
  const IndexTree* primaryIndex() const { return primary_ ? &*primary_ : nullptr; }
  const BlobFile* blobFile() const { return blobs_ ? &*blobs_ : nullptr; }
  const std::vector<SecondaryIndex>& secondaryIndexes() const { return secondary_; }
  // Harmless findings: a keyed table without .PX, stale non-maintained indexes.
  const std::vector<std::string>& warnings() const { return warnings_; }

  std::size_t recordCount() const { return data_.recordCount(); }
  // Frees the records (a writer that copied them keeps its own).
  void releaseRecords() { data_.releaseRecords(); }
  // Hands the records over (DataFile::takeRecords).
  Bytes takeRecords() { return data_.takeRecords(); }
  // Hands the blob store over to a writer, which keeps the only copy from
  // then on; blob values are then read through the store passed in.
  std::optional<BlobFile> takeBlobFile() { return std::exchange(blobs_, std::nullopt); }
  const std::uint8_t* record(std::size_t i) const { return data_.record(i); }

  // The code page of the table's text: its header's, or the level-3 default.
  int codePageNumber() const { return codePageNumber_; }

  // Text in the table's code page to UTF-8; kUnsupportedCodePage when the
  // engine has no table for it.
  Status decodeText(std::string_view stored, std::string& utf8) const;
  Status encodeText(std::string_view utf8, std::string& stored) const;
  Status fieldName(std::size_t field, std::string& utf8) const;

  // Decodes field `field` of `record` (any record buffer of this table's layout).
  Status readValue(const std::uint8_t* record, std::size_t field, Value& out) const {
    return readValue(record, field, out, blobFile());
  }
  // The same with blob values taken from `blobs` (a writer's copy of the store).
  Status readValue(const std::uint8_t* record, std::size_t field, Value& out, const BlobFile* blobs) const;
  Status readValue(std::size_t recordIndex, std::size_t field, Value& out) const {
    return readValue(record(recordIndex), field, out);
  }
  // The stored bytes of a blob field: from the leader when it fits there,
  // otherwise from the .MB. Empty for a blank value.
  Status readBlobBytes(const std::uint8_t* record, std::size_t field, Bytes& out) const {
    return readBlobBytes(record, field, out, blobFile());
  }
  Status readBlobBytes(const std::uint8_t* record, std::size_t field, Bytes& out, const BlobFile* blobs) const;

 private:
  static Status open(FileSystem& fs, const std::filesystem::path& directory, std::string_view name,
                     std::optional<std::size_t> keptBytes, std::unique_ptr<Table>& out);
  Status openIndexes(FileSystem& fs);

  TableFamily family_;
  DataFile data_;
  std::optional<IndexTree> primary_;
  std::optional<BlobFile> blobs_;
  std::vector<SecondaryIndex> secondary_;
  std::vector<std::string> warnings_;
  int codePageNumber_ = 0;
  const CodePage* codePage_ = nullptr;
};

}  // namespace px
