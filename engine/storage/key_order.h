// Orders records by their key fields: alpha fields under the table's collation
// (section 10 of docs/paradox-format.md), every other type by its order-preserving
// encoded bytes. Used for the primary key of a .DB and for the sort key of a
// secondary index's .X records.
#pragma once

#include <algorithm>
#include <cstdint>
#include <vector>

#include "engine/format/collation.h"
#include "engine/format/field_type.h"
#include "engine/format/table_header.h"

namespace px {

class KeyOrder {
 public:
  struct Part {
    FieldType type = FieldType::Alpha;
    int offset = 0;
    int size = 0;
    bool descending = false;
    bool caseInsensitive = false;
    // Cursor order for keys that are numbers stored as text: texts that read
    // as whole numbers come first, by value, then all other texts.
    bool integerTextFirst = false;
  };

  KeyOrder() = default;
  KeyOrder(std::vector<Part> parts, const Collation* collation) : parts_(std::move(parts)), collation_(collation) {}

  // The primary key of a keyed table: its leading key fields, ascending.
  static KeyOrder primaryKey(const TableHeader& table, const Collation& collation);

  // <0, 0, >0 as record a sorts before, with or after record b.
  int compare(const std::uint8_t* a, const std::uint8_t* b) const { return compare(a, b, false); }
  // With `integersDecided`, the whole-number step of the first part is left
  // out: the caller has already found both sides equal under it.
  int compare(const std::uint8_t* a, const std::uint8_t* b, bool integersDecided) const;
  bool less(const std::uint8_t* a, const std::uint8_t* b) const { return compare(a, b) < 0; }

  const std::vector<Part>& parts() const { return parts_; }
  // The order on the first `count` parts only.
  KeyOrder prefix(std::size_t count) const {
    return KeyOrder(std::vector<Part>(parts_.begin(), parts_.begin() + static_cast<long>(std::min(count, parts_.size()))), collation_);
  }
  // The same order with the whole-number rule on a leading alpha part.
  KeyOrder withIntegerTextFirst() const;

 private:
  std::vector<Part> parts_;
  const Collation* collation_ = nullptr;
};

}  // namespace px
