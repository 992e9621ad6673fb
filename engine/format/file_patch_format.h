// The layout of a patch file, the changes that a commit writes into a file in
// place (docs/paradox-format.md section 12.2). Every offset of the format has
// its one home here; file_patch.cpp writes and reads it. Little-endian.
#pragma once

#include <cstddef>
#include <cstdint>
#include <limits>
#include <string_view>

namespace px::file_patch {

// The header.
inline constexpr std::string_view kMagic = "PXPATCH1";
inline constexpr std::size_t kMagicAt = 0x00;       // 8 bytes, kMagic
inline constexpr std::size_t kNewSizeAt = 0x08;     // 8 bytes: the size of the file after the patch
inline constexpr std::size_t kRangeCountAt = 0x10;  // dword
inline constexpr std::size_t kHeaderSize = 0x14;

// Each range: this header, then `length` bytes of new contents for the file
// from `offset` on. Ranges ascend, do not overlap and end within the new size.
inline constexpr std::size_t kRangeOffsetAt = 0x00;  // 8 bytes, within the range header
inline constexpr std::size_t kRangeLengthAt = 0x08;  // dword
inline constexpr std::size_t kRangeHeaderSize = 0x0C;
inline constexpr std::uint64_t kMaxRangeLength = std::numeric_limits<std::uint32_t>::max();

static_assert(kMagic.size() == kNewSizeAt - kMagicAt);

}  // namespace px::file_patch
