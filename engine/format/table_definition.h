// The description of a new table: its fields, key, secondary indexes, block
// size, code page, sort order and file version, and the rules a description
// must meet before any header is built from it (docs/paradox-format.md sections 2,
// 3, 6 and 10). Plain values; validate() is pure.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/format/field_type.h"
#include "engine/format/header_format.h"
#include "engine/status.h"

namespace px {

struct FieldDefinition {
  std::string name;   // UTF-8; stored in the table's code page
  FieldType type = FieldType::Alpha;
  int sizeByte = 0;   // the header's size byte: length, decimals (BCD) or leader + 10 (blobs)
};

struct SecondaryIndexDefinition {
  std::string name;         // UTF-8; empty = an unnamed single-field index (.Xnn)
  std::vector<int> fields;  // 0-based positions in the table's record
  bool caseInsensitive = false;
  bool descending = false;  // every indexed field descending
  bool unique = false;
};

struct TableDefinition {
  std::vector<FieldDefinition> fields;
  int keyFields = 0;        // leading fields forming the primary key; 0 = unkeyed
  int blockSizeKiB = 2;
  int codePage = 1252;      // CodePage number; CodePage::kRoman8 is stored as 0
  std::string sortOrder = "ascii";
  std::uint8_t fileVersion = header::kVersion70;
  std::vector<SecondaryIndexDefinition> indexes;  // named ones become .XG0, .XG1 ... in this order
};

// Checks every rule a new table must meet so that the original engine accepts
// it; kInvalidParameter (or a more precise capability code: unsupported version,
// code page, sort order, field type; kRecordTooLarge) names the first breach.
// The rules err on the side of refusing what the format does not show to work:
// versions 9, 11 and 12 only; formatted memo, OLE and graphic fields from
// level 5 on; Bytes and blob fields neither keyed nor indexed; blocks above
// 4 KiB at version 12 only; at most ten named indexes. Indexes of an unkeyed
// table are allowed: they are created non-maintained (hasMaintainedIndexes).
Status validate(const TableDefinition& definition);

// The file suffix of index `indexNo` of the table: "XG0", "XG1" ... for named
// indexes in their order, "Xnn" for an unnamed one with nn the field's 1-based
// position as two upper-case hex digits ("X02", "X0A"). The tree file takes the
// same suffix with 'Y'. REQUIRES: validate(definition) succeeded, indexNo in range.
std::string secondaryIndexSuffix(const TableDefinition& definition, std::size_t indexNo);

// Bytes of one record of the table, or 0 when a field's size byte is invalid.
int recordSizeOf(const TableDefinition& definition);

// True when the table's secondary indexes are maintained (.X type 5/8): on a
// keyed table. An unkeyed table's indexes are non-maintained (type 3/6), the
// only kind the format shows there (section 6.1).
inline bool hasMaintainedIndexes(const TableDefinition& definition) { return definition.keyFields > 0; }

// One field of a secondary index's .X file, with its entry in the X file's
// field-number list (section 6.2).
struct IndexFieldDefinition {
  std::string name;  // UTF-8
  FieldType type = FieldType::Alpha;
  int sizeByte = 0;
  std::uint16_t number = 0;
};

// The .X fields of index `indexNo`: the indexed fields (numbered with their
// 1-based table position, bit 15 when descending), then either the primary key
// copies and "Blk Num" (keyed table) or "Tup No", "Blk Num" and "Tup Offset"
// (unkeyed), numbered with their own 1-based position in the .X record. The
// .Y key is every field but the last. REQUIRES: the positions are valid.
std::vector<IndexFieldDefinition> secondaryFields(const TableDefinition& definition, std::size_t indexNo);

// Block size (KiB) of a new index tree (.PX, .Ynn, .YGn) whose entries take
// `entrySize` bytes: 2 KiB, as the original engine writes them beside data
// blocks of any size, or the next larger size when fewer than three entries
// would fit (a tree block needs room for two entries besides the one the engine
// keeps free). 0 when even 32 KiB is too small.
int treeBlockSizeKiB(std::size_t entrySize);

// The smallest of 2, 4, 8, 16 and 32 KiB whose data blocks hold three records
// of a keyed table (the original engine refuses keyed tables whose blocks
// hold fewer: its key splits need them) or one record of an unkeyed one; 0
// when none does or a field's size byte is invalid.
int dataBlockSizeKiB(const TableDefinition& definition);

}  // namespace px
