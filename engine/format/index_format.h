// Entries of index trees (.PX and .Ynn/.YGn): the key fields, then three words
// stored as Short field values: block number, record count, and an unused word
// (docs/paradox-format.md sections 5.2 and 6.4).
#pragma once

#include <cstddef>
#include <cstdint>

namespace px::index {

inline constexpr std::size_t kTrailerSize = 6;  // block, count, unused
inline constexpr std::size_t kTrailerBlock = 0;
inline constexpr std::size_t kTrailerCount = 2;
inline constexpr std::size_t kTrailerUnused = 4;

// A Short field value as the trees store block numbers and counts: big-endian
// with the top bit inverted, so 1 is 80 01.
inline std::uint16_t decodeTreeWord(const std::uint8_t* p) {
  return static_cast<std::uint16_t>(((p[0] ^ 0x80) << 8) | p[1]);
}
inline void encodeTreeWord(std::uint8_t* p, std::uint16_t v) {
  p[0] = static_cast<std::uint8_t>((v >> 8) ^ 0x80);
  p[1] = static_cast<std::uint8_t>(v);
}

}  // namespace px::index
