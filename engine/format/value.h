// A decoded field value. Blank (null) is its own alternative, apart from zero
// and from the empty string; every field type decodes to exactly one kind:
//   Alpha, Memo               -> text (UTF-8)
//   Short, Long, AutoInc      -> integer
//   Date                      -> integer: day number, 0001-01-01 = 1
//   Time                      -> integer: milliseconds since midnight
//   Number, Currency          -> real
//   Timestamp                 -> real: milliseconds, day d starting at d * 86,400,000
//   Logical                   -> boolean
//   BCD                       -> decimal text ("-1.23"), exact
//   Bytes, Blob, FmtMemo, OLE, Graphic -> bytes, as stored
#pragma once

#include <cstdint>
#include <string>
#include <variant>
#include <vector>

namespace px {

struct Null {
  bool operator==(const Null&) const = default;
};

struct Decimal {
  std::string text;  // optional '-', digits, optional '.' and fraction digits
  bool operator==(const Decimal&) const = default;
};

using Bytes = std::vector<std::uint8_t>;

using Value = std::variant<Null, std::string, std::int32_t, double, bool, Decimal, Bytes>;

inline bool isNull(const Value& v) { return std::holds_alternative<Null>(v); }

}  // namespace px
