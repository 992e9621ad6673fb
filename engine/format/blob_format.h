// The blob store (.MB) and the 10-byte descriptor that blob fields keep after
// their in-record leader (docs/paradox-format.md section 8).
#pragma once

#include <cstddef>
#include <cstdint>

#include "engine/format/byte_order.h"

namespace px::blob {

inline constexpr std::uint32_t kBlockUnit = 4096;  // .MB blocks are multiples of this

// Block types (byte 0 of every .MB block).
inline constexpr std::uint8_t kTypeHeader = 0;
inline constexpr std::uint8_t kTypeSingle = 2;
inline constexpr std::uint8_t kTypeSuballocated = 3;
inline constexpr std::uint8_t kTypeFree = 4;

inline constexpr std::size_t kBlockType = 0;     // byte
inline constexpr std::size_t kBlockUnits = 1;    // word, length in 4K units
inline constexpr std::size_t kHeaderModCount = 3;  // word, header block only

// Type 2: one blob longer than the threshold.
inline constexpr std::size_t kSingleLength = 3;  // dword
inline constexpr std::size_t kSingleMod = 7;     // word
inline constexpr std::size_t kSingleData = 9;

// Type 3: up to 64 small blobs in 16-byte chunks.
inline constexpr std::size_t kSlotTable = 0x0C;
inline constexpr std::size_t kSlotSize = 5;
inline constexpr std::size_t kSlotCount = 64;
inline constexpr std::size_t kChunkSize = 16;
inline constexpr std::size_t kFirstDataChunk = 0x150 / kChunkSize;
inline constexpr std::size_t kSlotChunkOffset = 0;  // byte, 0 = free
inline constexpr std::size_t kSlotChunkCount = 1;   // byte
inline constexpr std::size_t kSlotMod = 2;          // word
inline constexpr std::size_t kSlotLastChunk = 4;    // byte, 1..16
inline constexpr std::uint32_t kSuballocThreshold = 2048;  // longer blobs get a type-2 block

// The descriptor after the leader, little-endian.
inline constexpr std::size_t kDescOffsetIndex = 0;  // dword: block offset | slot index
inline constexpr std::size_t kDescLength = 4;       // dword
inline constexpr std::size_t kDescMod = 8;          // word
inline constexpr std::uint8_t kSingleBlockIndex = 0xFF;

struct Descriptor {
  std::uint32_t blockOffset = 0;  // file offset of the .MB block
  std::uint8_t index = 0;         // slot, or 0xFF for a type-2 block
  std::uint32_t length = 0;
  std::uint16_t mod = 0;
};

inline Descriptor decodeDescriptor(const std::uint8_t* p) {
  const std::uint32_t offsetIndex = le32(p + kDescOffsetIndex);
  return {offsetIndex & ~std::uint32_t{0xFF}, static_cast<std::uint8_t>(offsetIndex & 0xFF), le32(p + kDescLength),
          le16(p + kDescMod)};
}

inline void encodeDescriptor(std::uint8_t* p, const Descriptor& d) {
  putLe32(p + kDescOffsetIndex, d.blockOffset | d.index);
  putLe32(p + kDescLength, d.length);
  putLe16(p + kDescMod, d.mod);
}

}  // namespace px::blob
