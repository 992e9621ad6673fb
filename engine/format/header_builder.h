// The headers of a new, empty table family: .DB, .PX, .Xnn/.XGn with their
// .Ynn/.YGn, and the .MB header block, laid out byte for byte as the original
// engine writes them (docs/paradox-format.md sections 2, 5, 6 and 8.1). Pure: no
// I/O, no clock; every value the description does not give comes in through
// CreationStamps. Each header is the whole file of an empty table (no blocks).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "engine/format/table_definition.h"
#include "engine/format/value.h"
#include "engine/status.h"

namespace px {

// The bytes of a new family that are not part of its description. The rules of
// section 7 tie them together: .X 2E = .DB 2E, .X 2F = .PX 2C, and each .Y's
// 2C pairs with its .X's 2D. The builders apply those rules from these values.
struct CreationStamps {
  std::uint8_t familyStamp = 0;       // 0x2E of the .DB and of every .X
  std::uint8_t changeCount = 0;       // .DB 0x2D = .PX 0x2C = every .X 0x2F
  std::uint8_t indexChangeCount = 0;  // index n: .X 0x2D = .Y 0x2C = this + n
  std::uint32_t updateTime = 0;       // 0x60 of .DB and .X: seconds since 1970
  std::uint16_t writeSequence = 0;    // 0x12: .DB this, .PX +1, index n: .X +2+2n, .Y +3+2n

  // Stamps for a family created at `secondsSince1970`: a family stamp taken
  // from the time, and the change count one above it as in tables the original
  // engine has just created (set10 two.db: 2E 17, 2D 18).
  static CreationStamps at(std::uint32_t secondsSince1970);
};

// The .DB header of an empty table without blocks: 0 records, first, last,
// used and file blocks 0. `tableName` is the base name (UTF-8); the header
// records it with ".DB" appended, as the original engine records the name the
// file had when created. Fails as validate(definition) does, or with
// kInvalidParameter when the name cannot be stored.
Status buildDataHeader(const TableDefinition& definition, const std::string& tableName, const CreationStamps& stamps,
                       Bytes& out);

// The .PX header of an empty keyed table: no entries, no blocks, root 1, 0 levels.
// REQUIRES (else kInvalidParameter): definition.keyFields > 0.
Status buildPrimaryIndexHeader(const TableDefinition& definition, const std::string& tableName, const CreationStamps& stamps,
                               Bytes& out);

// The two headers of secondary index `indexNo` (order of definition.indexes): its
// .X/.XG data file and its .Y/.YG tree, both empty without blocks.
Status buildSecondaryHeaders(const TableDefinition& definition, std::size_t indexNo, const std::string& tableName,
                             const CreationStamps& stamps, Bytes& x, Bytes& y);

// The 4096-byte header block of a new .MB, modification count 1: the whole
// file of a blob store that holds no blob yet.
Bytes buildBlobFileHeader();

}  // namespace px
