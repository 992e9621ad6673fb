#include "engine/format/table_definition.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <set>

#include "engine/format/block_format.h"
#include "engine/format/code_page.h"
#include "engine/format/collation.h"
#include "engine/format/index_format.h"

namespace px {

namespace h = header;

namespace {

// Named indexes are numbered with one digit (.XG0 ... .XG9); what the engine
// writes after the tenth is not shown by any file.
constexpr std::size_t kMaxNamedIndexes = 10;
constexpr std::size_t kMaxFields = 255;
constexpr std::size_t kMinTreeEntries = 3;
// The original engine refuses keyed tables whose blocks hold fewer records:
// its key splits need them.
constexpr std::size_t kMinKeyedRecordsPerBlock = 3;
// What a new file's block size is chosen from, smallest first.
constexpr int kChosenBlockSizesKiB[] = {2, 4, 8, 16, 32};
// Blocks above 4 KiB appear only in level-7 files (set02 AREACODES, set07).
constexpr int kLargestBlockBeforeV12 = 4;

Status invalid(const std::string& what) { return Status(rc::kInvalidParameter, "table definition: " + what); }

std::string quoted(const std::string& name) { return "\"" + name + "\""; }

bool isKeyable(FieldType type) { return !isBlobType(type) && type != FieldType::Bytes; }

// The version a field type first appears in (docs/paradox-format.md
// section 3). Formatted memo, graphic and OLE are documented for level 4 or 5
// only vaguely: level 5 here.
std::uint8_t firstVersionOf(FieldType type) {
  switch (type) {
    case FieldType::Memo:
    case FieldType::Blob:
      return h::kFirstVersionWithExtension;
    case FieldType::Long: case FieldType::Time: case FieldType::Timestamp: case FieldType::AutoInc:
    case FieldType::BCD: case FieldType::Bytes: case FieldType::Logical:
    case FieldType::FmtMemo: case FieldType::OLE: case FieldType::Graphic:
      return h::kFirstVersion5x;
    default:
      return h::kVersion30;
  }
}

// The rules the original engine's tools apply to field (and index) names:
// at most 25 characters, no leading blank, no brackets, braces or parentheses,
// no "->", not "#" alone. `stored` is the name in the table's code page.
Status checkName(const std::string& what, const std::string& utf8, const CodePage& codePage, std::string& stored) {
  if (utf8.empty()) return invalid(what + " has no name");
  Status s = codePage.fromUtf8(utf8, stored);
  if (!s.ok()) return invalid(what + " " + quoted(utf8) + " cannot be written in code page " +
                              std::to_string(codePage.number()) + ": " + s.message());
  if (stored.size() > h::kMaxFieldNameLength)
    return invalid(what + " " + quoted(utf8) + " is longer than " + std::to_string(h::kMaxFieldNameLength) +
                   " characters");
  if (stored.find('\0') != std::string::npos) return invalid(what + " " + quoted(utf8) + " holds a NUL");
  if (stored.front() == ' ') return invalid(what + " " + quoted(utf8) + " starts with a blank");
  if (stored.find_first_of("[]{}()") != std::string::npos || stored.find("->") != std::string::npos ||
      stored == "#")
    return invalid(what + " " + quoted(utf8) + " holds a character a name may not have ([ ] { } ( ) -> or # alone)");
  return Status::Ok();
}

// Names compare without regard to case under the sort order's upper-case map.
std::string foldedName(std::string stored, const Collation& collation) {
  collation.toUpper(reinterpret_cast<std::uint8_t*>(stored.data()), stored.size());
  return stored;
}

Status checkFields(const TableDefinition& definition, const CodePage& codePage, const Collation& collation) {
  if (definition.fields.empty()) return invalid("no fields");
  if (definition.fields.size() > kMaxFields)
    return invalid(std::to_string(definition.fields.size()) + " fields, more than " + std::to_string(kMaxFields));
  std::set<std::string> names;
  for (std::size_t i = 0; i < definition.fields.size(); ++i) {
    const FieldDefinition& f = definition.fields[i];
    const std::string what = "field " + std::to_string(i + 1);
    std::string stored;
    PX_RETURN_IF_ERROR(checkName(what, f.name, codePage, stored));
    if (!names.insert(foldedName(stored, collation)).second)
      return invalid(what + ": the name " + quoted(f.name) + " is used twice (letter case does not count)");
    if (!isKnownFieldType(static_cast<std::uint8_t>(f.type)))
      return Status(rc::kUnsupportedFieldType,
                    "table definition: " + what + " has unknown type code " + std::to_string(int(f.type)));
    if (f.sizeByte < 0 || f.sizeByte > 255 || recordSizeOf(f.type, static_cast<std::uint8_t>(f.sizeByte)) == 0)
      return invalid(what + " " + quoted(f.name) + ": size " + std::to_string(f.sizeByte) + " is not valid for a " +
                     std::string(typeName(f.type)) + " field");
    if (definition.fileVersion < firstVersionOf(f.type))
      return Status(rc::kUnsupportedFieldType, "table definition: " + what + " " + quoted(f.name) + ": " +
                                                   std::string(typeName(f.type)) + " fields need file version " +
                                                   std::to_string(firstVersionOf(f.type)) + " or later");
  }
  if (definition.keyFields < 0 || static_cast<std::size_t>(definition.keyFields) > definition.fields.size())
    return invalid(std::to_string(definition.keyFields) + " key fields of " + std::to_string(definition.fields.size()));
  for (int i = 0; i < definition.keyFields; ++i) {
    const FieldDefinition& f = definition.fields[static_cast<std::size_t>(i)];
    if (!isKeyable(f.type))
      return invalid("key field " + quoted(f.name) + ": " + std::string(typeName(f.type)) +
                     " fields cannot be part of a key");
  }
  const std::size_t blockSize = static_cast<std::size_t>(definition.blockSizeKiB) * 1024;
  const int recordSize = recordSizeOf(definition);
  if (block::capacity(blockSize, static_cast<std::size_t>(recordSize)) == 0)
    return Status(rc::kRecordTooLarge, "table definition: a record of " + std::to_string(recordSize) +
                                           " bytes does not fit a block of " + std::to_string(blockSize) + " bytes");
  int keySize = 0;
  for (int i = 0; i < definition.keyFields; ++i)
    keySize += recordSizeOf(definition.fields[static_cast<std::size_t>(i)].type,
                            static_cast<std::uint8_t>(definition.fields[static_cast<std::size_t>(i)].sizeByte));
  if (definition.keyFields > 0 && treeBlockSizeKiB(static_cast<std::size_t>(keySize) + index::kTrailerSize) == 0)
    return Status(rc::kRecordTooLarge,
                  "table definition: a key of " + std::to_string(keySize) + " bytes is too long for an index");
  return Status::Ok();
}

Status checkIndex(const TableDefinition& definition, std::size_t indexNo, const CodePage& codePage) {
  const SecondaryIndexDefinition& x = definition.indexes[indexNo];
  const std::string what = x.name.empty() ? "index " + std::to_string(indexNo + 1)
                                          : "index " + quoted(x.name);
  if (x.fields.empty()) return invalid(what + " indexes no field");
  std::set<int> seen;
  for (int position : x.fields) {
    if (position < 0 || static_cast<std::size_t>(position) >= definition.fields.size())
      return invalid(what + " names field position " + std::to_string(position) + ", which the table does not have");
    if (!seen.insert(position).second)
      return invalid(what + " names field " + quoted(definition.fields[static_cast<std::size_t>(position)].name) + " twice");
    const FieldDefinition& f = definition.fields[static_cast<std::size_t>(position)];
    if (!isKeyable(f.type))
      return invalid(what + ": " + std::string(typeName(f.type)) + " field " + quoted(f.name) + " cannot be indexed");
  }
  if (x.descending && definition.fileVersion < h::kVersion70)
    return Status(rc::kNotSupported, "table definition: " + what + ": descending indexes need file version " +
                                         std::to_string(h::kVersion70));
  if (x.name.empty()) {
    if (x.fields.size() != 1 || x.caseInsensitive || x.descending || x.unique)
      return invalid(what + " has no name; only single-field, case-sensitive, ascending, non-unique indexes may be "
                            "unnamed");
  } else {
    std::string stored;
    PX_RETURN_IF_ERROR(checkName(what, x.name, codePage, stored));
  }
  // The .X records live in blocks of the table's size, the .Y entries in tree blocks.
  const std::vector<IndexFieldDefinition> fields = secondaryFields(definition, indexNo);
  int xSize = 0;
  for (const IndexFieldDefinition& f : fields) xSize += recordSizeOf(f.type, static_cast<std::uint8_t>(f.sizeByte));
  const std::size_t blockSize = static_cast<std::size_t>(definition.blockSizeKiB) * 1024;
  if (block::capacity(blockSize, static_cast<std::size_t>(xSize)) == 0)
    return Status(rc::kRecordTooLarge, "table definition: " + what + ": its entries of " + std::to_string(xSize) +
                                           " bytes do not fit a block of " + std::to_string(blockSize) + " bytes");
  const int lastSize = recordSizeOf(fields.back().type, static_cast<std::uint8_t>(fields.back().sizeByte));
  if (treeBlockSizeKiB(static_cast<std::size_t>(xSize - lastSize) + index::kTrailerSize) == 0)
    return Status(rc::kRecordTooLarge, "table definition: " + what + ": its key is too long for an index tree");
  return Status::Ok();
}

Status checkIndexes(const TableDefinition& definition, const CodePage& codePage, const Collation& collation) {
  std::set<std::string> names;
  std::set<int> unnamedFields;
  std::size_t named = 0;
  for (std::size_t i = 0; i < definition.indexes.size(); ++i) {
    PX_RETURN_IF_ERROR(checkIndex(definition, i, codePage));
    const SecondaryIndexDefinition& x = definition.indexes[i];
    if (x.name.empty()) {
      const int position = x.fields.front();
      if (!unnamedFields.insert(position).second)
        return invalid("two unnamed indexes on field " + quoted(definition.fields[static_cast<std::size_t>(position)].name));
      continue;
    }
    std::string stored;
    PX_RETURN_IF_ERROR(codePage.fromUtf8(x.name, stored));
    if (!names.insert(foldedName(stored, collation)).second)
      return invalid("the index name " + quoted(x.name) + " is used twice (letter case does not count)");
    if (++named > kMaxNamedIndexes)
      return Status(rc::kNotSupported, "table definition: more than " + std::to_string(kMaxNamedIndexes) +
                                           " named indexes");
  }
  return Status::Ok();
}

}  // namespace

int recordSizeOf(const TableDefinition& definition) {
  int size = 0;
  for (const FieldDefinition& f : definition.fields) {
    if (f.sizeByte < 0 || f.sizeByte > 255) return 0;
    const int fieldSize = recordSizeOf(f.type, static_cast<std::uint8_t>(f.sizeByte));
    if (fieldSize == 0) return 0;
    size += fieldSize;
  }
  return size;
}

namespace {

int smallestBlockSizeKiB(std::size_t entrySize, std::size_t least) {
  for (int kib : kChosenBlockSizesKiB)
    if (block::capacity(static_cast<std::size_t>(kib) * 1024, entrySize) >= least) return kib;
  return 0;
}

}  // namespace

int treeBlockSizeKiB(std::size_t entrySize) { return smallestBlockSizeKiB(entrySize, kMinTreeEntries); }

int dataBlockSizeKiB(const TableDefinition& definition) {
  const std::size_t recordSize = static_cast<std::size_t>(recordSizeOf(definition));
  return smallestBlockSizeKiB(recordSize, definition.keyFields > 0 ? kMinKeyedRecordsPerBlock : 1);
}

std::vector<IndexFieldDefinition> secondaryFields(const TableDefinition& definition, std::size_t indexNo) {
  const SecondaryIndexDefinition& x = definition.indexes[indexNo];
  std::vector<IndexFieldDefinition> out;
  for (int position : x.fields) {
    const FieldDefinition& f = definition.fields[static_cast<std::size_t>(position)];
    std::uint16_t number = static_cast<std::uint16_t>(position + 1);
    if (x.descending) number |= h::kDescendingFieldBit;
    out.push_back({f.name, f.type, f.sizeByte, number});
  }
  auto append = [&out](const std::string& name, FieldType type, int sizeByte) {
    out.push_back({name, type, sizeByte, static_cast<std::uint16_t>(out.size() + 1)});
  };
  if (hasMaintainedIndexes(definition)) {
    for (int i = 0; i < definition.keyFields; ++i) {
      const FieldDefinition& f = definition.fields[static_cast<std::size_t>(i)];
      append(f.name, f.type, f.sizeByte);
    }
    append(h::kHintBlockNumber, FieldType::Short, 2);
  } else {
    append(h::kHintRecordNumber, FieldType::Long, 4);
    append(h::kHintBlockNumber, FieldType::Short, 2);
    append(h::kHintRecordOffset, FieldType::Short, 2);
  }
  return out;
}

std::string secondaryIndexSuffix(const TableDefinition& definition, std::size_t indexNo) {
  const SecondaryIndexDefinition& x = definition.indexes[indexNo];
  char suffix[8];
  if (x.name.empty()) {
    std::snprintf(suffix, sizeof suffix, "X%02X", static_cast<unsigned>(x.fields.front() + 1) & 0xFFu);
    return suffix;
  }
  std::size_t named = 0;
  for (std::size_t i = 0; i < indexNo; ++i)
    if (!definition.indexes[i].name.empty()) ++named;
  std::snprintf(suffix, sizeof suffix, "XG%zu", named);
  return suffix;
}

Status validate(const TableDefinition& definition) {
  const std::uint8_t v = definition.fileVersion;
  if (v != h::kVersion4x && v != h::kVersion5x && v != h::kVersion70)
    return Status(rc::kUnsupportedVersion, "table definition: file version " + std::to_string(v) +
                                               " cannot be created (9, 11 and 12 can)");
  if (definition.blockSizeKiB <= 0 || definition.blockSizeKiB > 255 ||
      !h::isValidBlockSizeKiB(static_cast<std::uint8_t>(definition.blockSizeKiB)) || definition.blockSizeKiB == 3)
    return invalid("block size of " + std::to_string(definition.blockSizeKiB) + " KiB (1, 2, 4, 8, 16 or 32 are valid)");
  if (definition.blockSizeKiB > kLargestBlockBeforeV12 && v < h::kVersion70)
    return Status(rc::kNotSupported, "table definition: blocks of " + std::to_string(definition.blockSizeKiB) +
                                         " KiB need file version 12");
  const CodePage* codePage = CodePage::find(definition.codePage);
  if (!codePage)
    return Status(rc::kUnsupportedCodePage,
                  "table definition: code page " + std::to_string(definition.codePage) + " is not supported");
  const h::SortOrderCode* sortOrder = h::findSortOrder(definition.sortOrder);
  const Collation* collation = sortOrder ? Collation::find(definition.sortOrder, sortOrder->code) : nullptr;
  if (!collation)
    return Status(rc::kUnsupportedSortOrder,
                  "table definition: sort order " + quoted(definition.sortOrder) + " is not supported");
  PX_RETURN_IF_ERROR(checkFields(definition, *codePage, *collation));
  return checkIndexes(definition, *codePage, *collation);
}

}  // namespace px
