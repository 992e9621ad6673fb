// The text lines of the engine's journals, the commit journal and a linked
// commit's journal (docs/paradox-format.md section 12.3): fields separated by
// TAB, lines ended by LF, sizes in decimal and checksums in 16 lower-case hex
// digits. Pure: no I/O.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace px::journal_text {

inline constexpr char kFieldSeparator = '\t';
inline constexpr char kLineEnd = '\n';
inline constexpr std::size_t kChecksumDigits = 16;
// Decimal numbers of at most this many digits stay below 2^63, so reading
// one cannot overflow.
inline constexpr std::size_t kMaxDecimalDigits = 19;

// A checksum as written: kChecksumDigits lower-case hex digits.
std::string hex16(std::uint64_t value);
// False for anything but exactly kChecksumDigits lower-case hex digits.
bool parseHex16(std::string_view text, std::uint64_t& value);
// False for anything but 1 to kMaxDecimalDigits decimal digits.
bool parseDecimal(std::string_view text, std::uint64_t& value);
// The fields of one line (without its end); an empty line is one empty field.
std::vector<std::string_view> splitFields(std::string_view line);

}  // namespace px::journal_text
