// The options of a view's filter text: whether text comparisons ignore letter
// case, and whether a trailing asterisk keeps its meaning of a prefix compare.
// TFilterOptions is a small value set; the empty set is the default.
#pragma once

#include <cstdint>
#include <initializer_list>

enum class TFilterOption : std::uint8_t { foCaseInsensitive, foNoPartialCompare };

class TFilterOptions {
 public:
  constexpr TFilterOptions() = default;
  constexpr TFilterOptions(std::initializer_list<TFilterOption> options) {
    for (TFilterOption o : options) bits_ |= bit(o);
  }

  constexpr bool Contains(TFilterOption o) const { return (bits_ & bit(o)) != 0; }
  constexpr bool Empty() const { return bits_ == 0; }
  constexpr TFilterOptions& Include(TFilterOption o) {
    bits_ |= bit(o);
    return *this;
  }
  constexpr TFilterOptions& Exclude(TFilterOption o) {
    bits_ &= static_cast<std::uint8_t>(~bit(o));
    return *this;
  }
  constexpr bool operator==(const TFilterOptions&) const = default;

 private:
  static constexpr std::uint8_t bit(TFilterOption o) { return static_cast<std::uint8_t>(1u << static_cast<unsigned>(o)); }
  std::uint8_t bits_ = 0;
};
