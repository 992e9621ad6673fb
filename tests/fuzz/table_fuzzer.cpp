// Fuzzes opening a table family and decoding every value of every record.
// The input is a .DB file, optionally followed by companion files; whatever
// the bytes, the engine must return a status, never crash, hang or read out
// of bounds.
//
// Input layout:
//   byte 0      which companions follow (kWith* bits below)
//   then        the .DB, then the companions in the order .PX, .MB, .X/.XG, .Y/.YG
// Every file but the last is preceded by its length as a little-endian dword
// (clamped to the bytes that remain); the last file takes the rest.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "engine/format/byte_order.h"
#include "engine/format/value_text.h"
#include "engine/io/file_system.h"
#include "engine/storage/table.h"

namespace {

constexpr std::uint8_t kWithPrimaryIndex = 0x01;
constexpr std::uint8_t kWithBlobFile = 0x02;
constexpr std::uint8_t kWithSecondaryIndex = 0x04;
constexpr std::uint8_t kSecondaryIsComposite = 0x08;
constexpr std::size_t kLengthSize = 4;

const char* const kDirectory = "t";
const char* const kTableName = "fz";

// A broken promise of the engine's interface: stop so libFuzzer records the input.
void require(bool condition, const char* what) {
  if (condition) return;
  std::fprintf(stderr, "table_fuzzer: %s\n", what);
  std::abort();
}

class InputReader {
 public:
  InputReader(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}

  px::Bytes take(bool last) {
    std::size_t length = size_;
    if (!last) {
      if (size_ < kLengthSize) {
        length = 0;
      } else {
        length = px::le32(data_);
        skip(kLengthSize);
      }
      if (length > size_) length = size_;
    }
    px::Bytes part(data_, data_ + length);
    skip(length);
    return part;
  }

 private:
  void skip(std::size_t n) {
    n = n < size_ ? n : size_;
    data_ += n;
    size_ -= n;
  }

  const std::uint8_t* data_;
  std::size_t size_;
};

void readEverything(const px::Table& table) {
  require(table.recordCount() == table.header().numRecords, "an open table lost records of its header");
  for (std::size_t field = 0; field < table.fields().size(); ++field) {
    std::string name;
    const px::Status s = table.fieldName(field, name);
    require(s.ok() || !s.message().empty(), "a failure without a message");
  }
  for (std::size_t i = 0; i < table.recordCount(); ++i) {
    for (std::size_t field = 0; field < table.fields().size(); ++field) {
      px::Value value;
      const px::Status s = table.readValue(i, field, value);
      if (!s.ok()) {
        require(!s.message().empty(), "a failure without a message");
        continue;
      }
      // The tools print every value; the formatting must cope with whatever decoded.
      (void)px::valueToText(table.fields()[field].type, value);
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const std::uint8_t flags = data[0];
  std::vector<std::string> extensions{"db"};
  if (flags & kWithPrimaryIndex) extensions.push_back("px");
  if (flags & kWithBlobFile) extensions.push_back("mb");
  if (flags & kWithSecondaryIndex) {
    const bool composite = (flags & kSecondaryIsComposite) != 0;
    extensions.push_back(composite ? "xg0" : "x02");
    extensions.push_back(composite ? "yg0" : "y02");
  }

  px::MemoryFileSystem fs;
  InputReader input(data + 1, size - 1);
  for (std::size_t i = 0; i < extensions.size(); ++i)
    fs.addFile(std::string(kDirectory) + "/" + kTableName + "." + extensions[i], input.take(i + 1 == extensions.size()));

  std::unique_ptr<px::Table> table;
  const px::Status opened = px::Table::open(fs, kDirectory, kTableName, table);
  if (!opened.ok()) {
    require(opened.code() != px::rc::kOk && !opened.message().empty(), "a failure without a message");
    return 0;
  }
  require(table != nullptr, "open succeeded without a table");
  readEverything(*table);
  return 0;
}
