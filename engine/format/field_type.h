// The Paradox field types with their type codes and in-record sizes
// (docs/paradox-format.md section 3).
#pragma once

#include <cstdint>
#include <string_view>

namespace px {

enum class FieldType : std::uint8_t {
  Alpha = 0x01,
  Date = 0x02,
  Short = 0x03,
  Long = 0x04,
  Currency = 0x05,
  Number = 0x06,
  Logical = 0x09,
  Memo = 0x0C,
  Blob = 0x0D,
  FmtMemo = 0x0E,
  OLE = 0x0F,
  Graphic = 0x10,
  Time = 0x14,
  Timestamp = 0x15,
  AutoInc = 0x16,
  BCD = 0x17,
  Bytes = 0x18,
};

// The BCD field always takes 17 bytes; its header size byte holds the decimals.
inline constexpr int kBcdRecordSize = 17;
inline constexpr int kBcdMaxDecimals = 32;
// A blob field's size is its in-record leader plus a 10-byte descriptor.
inline constexpr int kBlobDescriptorSize = 10;

// True for a type code this engine knows.
bool isKnownFieldType(std::uint8_t code);

bool isBlobType(FieldType type);
// Memo holds text in the table's code page; the other blob types hold bytes.
bool isTextBlobType(FieldType type);

// Bytes the field takes in a record, from the type and the header's size byte;
// 0 when the size byte is not valid for the type.
int recordSizeOf(FieldType type, std::uint8_t sizeByte);

// The type letter of the format ("A", "N", "$", "+", "#", ...).
std::string_view typeLetter(FieldType type);
// A readable type name ("Alpha", "Number", ...).
std::string_view typeName(FieldType type);

}  // namespace px
