// The 6-byte header of data and index blocks (docs/paradox-format.md section 4.1).
#pragma once

#include <cstddef>
#include <cstdint>

#include "engine/format/byte_order.h"

namespace px::block {

inline constexpr std::size_t kNextBlock = 0;    // word, 0 = last
inline constexpr std::size_t kPrevBlock = 2;    // word, 0 = first
inline constexpr std::size_t kAddDataSize = 4;  // signed word: (records - 1) * recordSize
inline constexpr std::size_t kHeaderSize = 6;

// Records (or index entries) that fit a block.
inline constexpr std::size_t capacity(std::size_t blockSize, std::size_t recordSize) {
  return recordSize == 0 || blockSize < kHeaderSize ? 0 : (blockSize - kHeaderSize) / recordSize;
}

struct BlockHeader {
  std::uint16_t next = 0;
  std::uint16_t prev = 0;
  std::int16_t addDataSize = 0;
};

inline BlockHeader decodeBlockHeader(const std::uint8_t* p) {
  return {le16(p + kNextBlock), le16(p + kPrevBlock), le16s(p + kAddDataSize)};
}

inline void encodeBlockHeader(std::uint8_t* p, const BlockHeader& h) {
  putLe16(p + kNextBlock, h.next);
  putLe16(p + kPrevBlock, h.prev);
  putLe16(p + kAddDataSize, static_cast<std::uint16_t>(h.addDataSize));
}

// The addDataSize that describes a block holding `records` records.
inline std::int16_t addDataSizeFor(std::size_t records, std::size_t recordSize) {
  return static_cast<std::int16_t>((static_cast<long>(records) - 1) * static_cast<long>(recordSize));
}

}  // namespace px::block
