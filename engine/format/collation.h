// Key order of alpha text under a table's sort order (language driver):
// byte order for "ascii" and the DBWIN* drivers, the multi-level international
// collation for "intl", "intl850", "ANSIINTL" and "ANSII850"
// (docs/paradox-format.md section 10).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace px {

class Collation {
 public:
  // The collation for a sort-order name as stored at the end of a header
  // ("ascii", "ANSIINTL", ...); nullptr when the driver is not supported.
  // Level-3 files carry no name: pass the sort-order code byte with an empty name.
  static const Collation* find(std::string_view sortOrderName, std::uint8_t sortOrderCode);

  // Plain byte order (the "ascii" driver).
  static const Collation& byteOrder();

  std::string_view name() const { return name_; }

  // Compares two stored alpha values (raw code-page bytes, each ending at its
  // first NUL or at its end). Returns <0, 0 or >0.
  int compare(std::string_view a, std::string_view b) const;
  // The same without regard to case, as case-insensitive secondary indexes order.
  int compareCaseInsensitive(std::string_view a, std::string_view b) const;

  // Upper-cases stored text in place with the driver's map, as case-insensitive
  // indexes store their alpha values.
  void toUpper(std::uint8_t* text, std::size_t size) const;

  struct Rules;
  Collation(std::string_view name, const Rules* rules);

 private:
  std::string_view name_;
  const Rules* rules_;  // nullptr = byte order with ASCII-only case folding
  bool digitsRise_ = false;
};

}  // namespace px
