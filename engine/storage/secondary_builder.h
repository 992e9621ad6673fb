// Rebuilding a maintained secondary index (.Xnn/.XGn records) from the table's
// records: each entry holds the indexed fields, a copy of the primary key and
// the number of the data block that holds the record now (docs/paradox-format.md
// sections 6.2 and 6.5).
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "engine/format/collation.h"
#include "engine/format/table_header.h"
#include "engine/format/value.h"
#include "engine/status.h"
#include "engine/storage/data_file.h"
#include "engine/storage/key_order.h"

namespace px {

struct SecondaryLayout {
  std::vector<int> indexedFields;   // positions in the .DB record, 0-based
  std::vector<bool> descending;     // per indexed field
  bool caseInsensitive = false;
  int keyFields = 0;                // copied primary key fields
  std::size_t recordSize = 0;       // of an .X record
  std::size_t hintOffset = 0;       // where "Blk Num" sits in an .X record
  KeyOrder order;                   // the .X records' sort order
  const Collation* collation = nullptr;

  // The index's order applied to table records directly (indexed fields, then
  // the primary key), as cursors along the index walk them.
  KeyOrder orderOnTableRecords(const TableHeader& table) const;

  // Reads the layout of a maintained index from its header and the table's.
  static Status describe(const TableHeader& table, const TableHeader& index, const std::string& indexName,
                         const Collation& collation, SecondaryLayout& out);
};

// The .X records for the table records laid out in `runs`, sorted;
// `records` holds them back to back.
Bytes buildSecondaryRecords(const SecondaryLayout& layout, const TableHeader& table, const std::uint8_t* records,
                            const std::vector<BlockRun>& runs);
// The same with `recordAt(i)` giving the i-th table record.
Bytes buildSecondaryRecords(const SecondaryLayout& layout, const TableHeader& table,
                            const std::function<const std::uint8_t*(std::size_t)>& recordAt,
                            const std::vector<BlockRun>& runs);

}  // namespace px
