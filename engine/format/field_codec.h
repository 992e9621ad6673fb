// Encoding and decoding of fixed-size field values inside records
// (docs/paradox-format.md section 3). The order-preserving big-endian encodings
// make encoded keys of numeric types comparable byte by byte.
// Alpha text and blob fields are handled by their callers (code pages, blob store).
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "engine/format/field_type.h"
#include "engine/format/value.h"
#include "engine/status.h"

namespace px::codec {

// True when all `size` bytes are zero: the blank value of every type.
bool isBlank(const std::uint8_t* p, std::size_t size);

// 16- and 32-bit integers: big-endian with the top bit inverted.
// The all-zero pattern (the most negative value) is blank.
std::optional<std::int32_t> decodeShort(const std::uint8_t* p);
std::optional<std::int32_t> decodeLong(const std::uint8_t* p);
void encodeShort(std::uint8_t* p, std::int16_t v);
void encodeLong(std::uint8_t* p, std::int32_t v);

// Number, Currency and Timestamp: IEEE double, big-endian, sign-flipped.
std::optional<double> decodeDouble(const std::uint8_t* p);
void encodeDouble(std::uint8_t* p, double v);

// Logical: 0x80 false, 0x81 true, 0 blank; any other byte is invalid.
inline constexpr std::uint8_t kLogicalFalse = 0x80;
inline constexpr std::uint8_t kLogicalTrue = 0x81;

// BCD: 17 bytes, sign and decimals in byte 0, 32 digit nibbles after it.
// The decimals count stored in byte 0 governs (it equals the field's size byte in
// every table seen); fails on a count above 32. Digits end at the first nibble
// above 9 (the original engine leaves such nibbles behind ~20 significant digits).
Status decodeBcd(const std::uint8_t* p, int decimals, std::optional<Decimal>& out);
// Encodes decimal text with at most `decimals` fraction digits (more are an
// error, not rounded) and at most 32 digits in all.
Status encodeBcd(std::uint8_t* p, int decimals, const std::string& text);

// Decodes every fixed-size type (not Alpha, not blobs) at `p`, `size` bytes.
Status decodeFixed(FieldType type, int sizeByte, const std::uint8_t* p, Value& out);
// Encodes a value of the kind that decodeFixed yields for the type; Null writes a blank.
Status encodeFixed(FieldType type, int sizeByte, const Value& value, std::uint8_t* p);

}  // namespace px::codec
