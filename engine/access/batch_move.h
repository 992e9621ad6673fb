// The batch move: appends every record a source cursor yields to the table of
// a destination cursor, in one engine operation. Fields pair by position, or
// by a field map; values convert between the two tables' types and sizes,
// blob in-record sizes included. A key that the destination already holds is
// a key violation, a value that cannot be written unchanged is a problem; each
// is skipped and counted, or stops the move when its abort flag is on.
#pragma once

#include <cstddef>
#include <vector>

#include "engine/access/cursor.h"
#include "engine/status.h"

namespace px {

struct BatchMoveOptions {
  // For each destination field (by position), the 1-based source field, 0 for
  // none; empty: fields pair by position.
  std::vector<int> fieldMap;
  // 0 or less: every admitted record from the source's first; N: at most N
  // records from the source's current one.
  long recordCount = 0;
  bool abortOnKeyViolation = false;
  bool abortOnProblem = false;
};

struct BatchMoveCounts {
  std::size_t moved = 0;
  std::size_t keyViolations = 0;
  std::size_t problems = 0;
  std::size_t changed = 0;
};

Status batchMoveAppend(Cursor& source, Cursor& destination, const BatchMoveOptions& options, BatchMoveCounts& counts);

}  // namespace px
