#include "engine/format/field_type.h"

namespace px {

bool isKnownFieldType(std::uint8_t code) {
  switch (code) {
    case 0x01: case 0x02: case 0x03: case 0x04: case 0x05: case 0x06: case 0x09:
    case 0x0C: case 0x0D: case 0x0E: case 0x0F: case 0x10:
    case 0x14: case 0x15: case 0x16: case 0x17: case 0x18:
      return true;
    default:
      return false;
  }
}

bool isBlobType(FieldType type) {
  switch (type) {
    case FieldType::Memo: case FieldType::Blob: case FieldType::FmtMemo:
    case FieldType::OLE: case FieldType::Graphic:
      return true;
    default:
      return false;
  }
}

bool isTextBlobType(FieldType type) { return type == FieldType::Memo; }

int recordSizeOf(FieldType type, std::uint8_t sizeByte) {
  switch (type) {
    case FieldType::Alpha:
    case FieldType::Bytes:
      return sizeByte >= 1 ? sizeByte : 0;
    case FieldType::Short:
      return sizeByte == 2 ? 2 : 0;
    case FieldType::Date: case FieldType::Long: case FieldType::Time: case FieldType::AutoInc:
      return sizeByte == 4 ? 4 : 0;
    case FieldType::Currency: case FieldType::Number: case FieldType::Timestamp:
      return sizeByte == 8 ? 8 : 0;
    case FieldType::Logical:
      return sizeByte == 1 ? 1 : 0;
    case FieldType::BCD:
      return sizeByte <= kBcdMaxDecimals ? kBcdRecordSize : 0;
    case FieldType::Memo:
      // A memo keeps at least one byte of its text in the record.
      return sizeByte > kBlobDescriptorSize ? sizeByte : 0;
    case FieldType::Blob: case FieldType::FmtMemo: case FieldType::OLE: case FieldType::Graphic:
      return sizeByte >= kBlobDescriptorSize ? sizeByte : 0;
  }
  return 0;
}

std::string_view typeLetter(FieldType type) {
  switch (type) {
    case FieldType::Alpha: return "A";
    case FieldType::Date: return "D";
    case FieldType::Short: return "S";
    case FieldType::Long: return "I";
    case FieldType::Currency: return "$";
    case FieldType::Number: return "N";
    case FieldType::Logical: return "L";
    case FieldType::Memo: return "M";
    case FieldType::Blob: return "B";
    case FieldType::FmtMemo: return "F";
    case FieldType::OLE: return "O";
    case FieldType::Graphic: return "G";
    case FieldType::Time: return "T";
    case FieldType::Timestamp: return "@";
    case FieldType::AutoInc: return "+";
    case FieldType::BCD: return "#";
    case FieldType::Bytes: return "Y";
  }
  return "?";
}

std::string_view typeName(FieldType type) {
  switch (type) {
    case FieldType::Alpha: return "Alpha";
    case FieldType::Date: return "Date";
    case FieldType::Short: return "Short";
    case FieldType::Long: return "Long";
    case FieldType::Currency: return "Currency";
    case FieldType::Number: return "Number";
    case FieldType::Logical: return "Logical";
    case FieldType::Memo: return "Memo";
    case FieldType::Blob: return "Blob";
    case FieldType::FmtMemo: return "FmtMemo";
    case FieldType::OLE: return "OLE";
    case FieldType::Graphic: return "Graphic";
    case FieldType::Time: return "Time";
    case FieldType::Timestamp: return "Timestamp";
    case FieldType::AutoInc: return "AutoInc";
    case FieldType::BCD: return "BCD";
    case FieldType::Bytes: return "Bytes";
  }
  return "Unknown";
}

}  // namespace px
