// Fuzzes reading blob values. The tables are valid fixtures with blob fields,
// loaded once; the input's first byte picks one of them and the rest is its
// .MB file. Every blob value of the table is read: the descriptors in the
// records stay valid while the blob file under them is arbitrary.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "engine/format/field_type.h"
#include "engine/io/file_system.h"
#include "engine/storage/table.h"

#ifndef PX_FIXTURE_DIR
#error "PX_FIXTURE_DIR must name the fixture sets"
#endif

namespace {

struct HostTable {
  const char* set;
  const char* file;
};

// Tables whose blob values live in their .MB: suballocated, single-block and mixed.
constexpr HostTable kHosts[] = {
    {"set01", "memo.db"},    {"set01", "fmemo.db"}, {"set01", "graphic.db"}, {"set01", "graphic240.db"},
    {"set01", "ole.db"},     {"set08", "testtab.DB"}, {"set09", "Produto.DB"},
};
constexpr std::size_t kHostCount = sizeof kHosts / sizeof kHosts[0];

const char* const kDirectory = "t";
const char* const kTableName = "fz";

std::vector<px::Bytes>& hostBytes() {
  static std::vector<px::Bytes> bytes;
  return bytes;
}

[[noreturn]] void fail(const std::string& what) {
  std::fprintf(stderr, "blob_fuzzer: %s\n", what.c_str());
  std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* /*argc*/, char*** /*argv*/) {
  for (const HostTable& host : kHosts) {
    px::Bytes bytes;
    const std::filesystem::path path = std::filesystem::path(PX_FIXTURE_DIR) / host.set / host.file;
    const px::Status s = px::localFileSystem().readFile(path, bytes);
    if (!s.ok()) fail("cannot load the host table: " + s.message());
    hostBytes().push_back(std::move(bytes));
  }
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const std::size_t host = data[0] % kHostCount;
  px::MemoryFileSystem fs;
  fs.addFile(std::string(kDirectory) + "/" + kTableName + ".db", hostBytes()[host]);
  fs.addFile(std::string(kDirectory) + "/" + kTableName + ".mb", px::Bytes(data + 1, data + size));

  std::unique_ptr<px::Table> table;
  const px::Status opened = px::Table::open(fs, kDirectory, kTableName, table);
  if (!opened.ok()) {
    // The table itself is valid, so only the blob file can be refused, and only as such.
    if (opened.code() != px::rc::kBlobCorrupt) fail("the host table was refused: " + opened.message());
    return 0;
  }
  for (std::size_t i = 0; i < table->recordCount(); ++i) {
    for (std::size_t field = 0; field < table->fields().size(); ++field) {
      if (!px::isBlobType(table->fields()[field].type)) continue;
      px::Bytes bytes;
      const px::Status raw = table->readBlobBytes(table->record(i), field, bytes);
      px::Value value;
      const px::Status decoded = table->readValue(i, field, value);
      // Both read the same stored bytes, so they fail alike (text decoding aside).
      if (!raw.ok() && decoded.code() != raw.code()) fail("readValue and readBlobBytes disagree: " + raw.message());
      if (!raw.ok() && raw.message().empty()) fail("a failure without a message");
    }
  }
  return 0;
}
