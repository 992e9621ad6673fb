// pxdump: shows a Paradox table's structure and its records as UTF-8 CSV.
//   pxdump TABLE [--records N] [--csv]
// TABLE is the path of the .DB (the extension may be left out). --csv prints
// only the records, with a line of field names first. Exit code 0 on success;
// otherwise the engine's error text goes to stderr. A table whose blob file
// is missing is still listed: the values kept there read "(unavailable)",
// and a warning on stderr says why.
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <memory>
#include <string>

#include "engine/io/path_text.h"
#include "engine/io/platform.h"
#include "engine/format/value_text.h"
#include "engine/storage/table.h"

namespace {

int usage() {
  std::cerr << "usage: pxdump TABLE [--records N] [--csv]\n";
  return 2;
}

// What a blob value kept in a missing blob file is listed as.
constexpr const char* kUnavailable = "(unavailable)";

int failure(const px::Status& s) {
  std::cerr << "pxdump: " << s.message() << " (error $" << std::hex << s.code() << ")\n";
  return 1;
}

std::string keyFieldName(const px::Table& t, std::size_t i) {
  std::string name;
  if (!t.fieldName(i, name).ok()) name = t.fields()[i].name;
  return name;
}

void printStructure(const px::Table& t) {
  const px::TableHeader& h = t.header();
  std::cout << "Table:        " << t.family().dataFile.string() << "\n"
            << "Kind:         " << (h.isKeyed() ? "keyed" : "unkeyed") << "\n"
            << "File version: " << px::versionName(h.fileVersion) << " (" << int(h.fileVersion) << ")\n"
            << "Block size:   " << h.blockSize << " bytes\n"
            << "Records:      " << h.numRecords << " (record size " << h.recordSize << ")\n"
            << "Blocks:       " << h.usedBlocks << " in use, " << h.fileBlocks << " in the file\n"
            << "Code page:    " << t.codePageNumber() << "\n"
            << "Sort order:   " << (h.sortOrderName.empty() ? "(none)" : h.sortOrderName) << " (code 0x"
            << std::hex << int(h.sortOrderCode) << std::dec << ")\n";
  std::cout << "Fields:       " << h.fields.size() << "\n";
  for (std::size_t i = 0; i < h.fields.size(); ++i) {
    const px::FieldDescriptor& f = h.fields[i];
    std::cout << "  " << (i + 1) << (i < h.primaryKeyFields && h.isKeyed() ? " * " : "   ") << keyFieldName(t, i)
              << "  " << px::typeName(f.type) << " (" << px::typeLetter(f.type);
    if (f.type == px::FieldType::Alpha || f.type == px::FieldType::Bytes || px::isBlobType(f.type) ||
        f.type == px::FieldType::BCD)
      std::cout << int(f.sizeByte);
    std::cout << ")\n";
  }
  if (h.isKeyed()) {
    std::cout << "Key fields:   " << h.primaryKeyFields << "\n";
    if (const auto* px = t.primaryIndex())
      std::cout << "Index:        " << px->name() << " primary, " << px->leaves().size() << " leaf entries, "
                << int(px->header().indexLevels) << " level(s)\n";
  }
  for (const auto& index : t.secondaryIndexes()) {
    const px::TableHeader& xh = index.data.header();
    std::cout << "Index:        " << index.data.name();
    if (!xh.indexName.empty()) std::cout << " \"" << xh.indexName << "\"";
    std::cout << (xh.isMaintainedSecondary() ? " maintained" : " non-maintained");
    if (xh.indexFlags & px::header::kIndexCaseInsensitive) std::cout << ", case-insensitive";
    if (xh.indexFlags & px::header::kIndexDescending) std::cout << ", descending";
    if (xh.indexFlags & px::header::kIndexUnique) std::cout << ", unique";
    std::cout << ", on";
    for (std::size_t i = 0; i < xh.primaryKeyFields && i < xh.fields.size(); ++i) std::cout << " " << xh.fields[i].name;
    std::cout << ", " << xh.numRecords << " entries" << (index.consistent ? "" : " (stale)") << "\n";
  }
  if (t.blobFile()) std::cout << "Blob file:    " << t.blobFile()->name() << "\n";
  for (const auto& w : t.warnings()) std::cout << "Warning:      " << w << "\n";
}

}  // namespace

int main(int argc, char** argv) {
  px::useUtf8Console();
  const std::vector<std::string> args = px::commandLineArguments(argc, argv);
  const int argCount = static_cast<int>(args.size());
  std::string tablePath;
  long limit = -1;
  bool csvOnly = false;
  for (int i = 1; i < argCount; ++i) {
    const std::string& arg = args[i];
    if (arg == "--csv") {
      csvOnly = true;
    } else if (arg == "--records") {
      if (++i >= argCount) return usage();
      char* end = nullptr;
      limit = std::strtol(args[i].c_str(), &end, 10);
      if (*end != '\0' || limit < 0) return usage();
    } else if (!arg.empty() && arg[0] == '-') {
      return usage();
    } else if (tablePath.empty()) {
      tablePath = arg;
    } else {
      return usage();
    }
  }
  if (tablePath.empty()) return usage();

  const std::filesystem::path path = px::pathFromUtf8(tablePath);
  std::filesystem::path dir = path.parent_path();
  if (dir.empty()) dir = ".";
  std::unique_ptr<px::Table> table;
  px::Status s = px::Table::open(px::localFileSystem(), dir, px::pathText(path.filename()), table);
  if (!s.ok()) return failure(s);

  // Without the blob file only the values kept in the records can be shown.
  const bool blobFileMissing = table->header().hasBlobFields() && table->blobFile() == nullptr;
  if (blobFileMissing) {
    std::cerr << "pxdump: warning: " << table->family().name
              << ".MB, the blob file, is missing; blob values kept there are listed as " << kUnavailable << "\n";
  }
  if (!csvOnly) {
    printStructure(*table);
    if (blobFileMissing) std::cout << "Blob file:    " << table->family().name << ".MB missing\n";
    std::cout << "\n";
  }
  const auto& fields = table->fields();
  for (std::size_t f = 0; f < fields.size(); ++f) std::cout << (f ? "," : "") << px::csvCell(keyFieldName(*table, f));
  std::cout << "\n";
  std::string line;
  const std::size_t count = limit < 0 ? table->recordCount()
                                      : std::min<std::size_t>(table->recordCount(), static_cast<std::size_t>(limit));
  for (std::size_t r = 0; r < count; ++r) {
    line.clear();
    for (std::size_t f = 0; f < fields.size(); ++f) {
      px::Value v;
      s = table->readValue(r, f, v);
      if (f) line += ',';
      if (!s.ok() && blobFileMissing && px::isBlobType(fields[f].type) && s.code() == px::rc::kFileNotFound) {
        line += kUnavailable;
        continue;
      }
      if (!s.ok()) {
        std::cout << std::flush;
        return failure(s.withContext("record " + std::to_string(r + 1)));
      }
      line += px::csvCell(px::valueToText(fields[f].type, v));
    }
    line += '\n';
    std::cout << line;
  }
  return 0;
}
