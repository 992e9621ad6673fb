// The rule by which a text reads as a whole number: leading spaces (code 32
// only) are skipped, an optional sign follows, then decimal digits or a
// hexadecimal number introduced by "$", "x", "X", "0x" or "0X"; nothing may
// follow the last digit. Decimal values must fit 32 bits; a hexadecimal value
// of up to 8 digits is taken as a signed 32-bit pattern ($FFFFFFFF is -1).
// Keys of the practice's tables are such texts.
#pragma once

#include <cstdint>
#include <string_view>

namespace px {

// True and the value when `text` (ending at its first NUL, if any) is a whole number.
bool parseIntegerText(std::string_view text, std::int32_t& value);

}  // namespace px
