#include "tableaccess/field_types.h"

std::string_view FieldTypeName(TFieldType type) {
  switch (type) {
    case TFieldType::ftUnknown: return "Unknown";
    case TFieldType::ftString: return "String";
    case TFieldType::ftSmallint: return "SmallInt";
    case TFieldType::ftInteger: return "Integer";
    case TFieldType::ftWord: return "Word";
    case TFieldType::ftBoolean: return "Boolean";
    case TFieldType::ftFloat: return "Float";
    case TFieldType::ftCurrency: return "Currency";
    case TFieldType::ftBCD: return "BCD";
    case TFieldType::ftDate: return "Date";
    case TFieldType::ftTime: return "Time";
    case TFieldType::ftDateTime: return "DateTime";
    case TFieldType::ftBytes: return "Bytes";
    case TFieldType::ftVarBytes: return "VarBytes";
    case TFieldType::ftAutoInc: return "AutoInc";
    case TFieldType::ftBlob: return "Blob";
    case TFieldType::ftMemo: return "Memo";
    case TFieldType::ftGraphic: return "Graphic";
    case TFieldType::ftFmtMemo: return "FmtMemo";
    case TFieldType::ftParadoxOle: return "ParadoxOle";
    case TFieldType::ftDBaseOle: return "DBaseOle";
    case TFieldType::ftTypedBinary: return "TypedBinary";
    case TFieldType::ftCursor: return "Cursor";
    case TFieldType::ftFixedChar: return "FixedChar";
    case TFieldType::ftWideString: return "WideString";
    case TFieldType::ftLargeint: return "LargeInt";
    case TFieldType::ftADT: return "ADT";
    case TFieldType::ftArray: return "Array";
    case TFieldType::ftReference: return "Reference";
    case TFieldType::ftDataSet: return "DataSet";
    case TFieldType::ftOraBlob: return "OraBlob";
    case TFieldType::ftOraClob: return "OraClob";
    case TFieldType::ftVariant: return "Variant";
    case TFieldType::ftInterface: return "Interface";
    case TFieldType::ftIDispatch: return "IDispatch";
    case TFieldType::ftGuid: return "Guid";
    case TFieldType::ftTimeStamp: return "TimeStamp";
    case TFieldType::ftFMTBcd: return "FMTBcd";
    case TFieldType::ftFixedWideChar: return "FixedWideChar";
    case TFieldType::ftWideMemo: return "WideMemo";
  }
  return "Unknown";
}

int FieldTypeGroup(TFieldType type) {
  using enum TFieldType;
  switch (type) {
    case ftString: case ftFixedChar: case ftGuid: return 1;
    case ftSmallint: case ftInteger: case ftWord: case ftAutoInc: return 2;
    case ftFloat: case ftCurrency: return 3;
    case ftDate: case ftTime: case ftDateTime: return 4;
    case ftBlob: case ftMemo: case ftGraphic: case ftFmtMemo: case ftParadoxOle: case ftDBaseOle:
    case ftTypedBinary: case ftOraBlob: case ftOraClob: case ftWideMemo: return 5;
    case ftWideString: case ftFixedWideChar: return 6;
    case ftUnknown: case ftCursor: return 7;
    case ftInterface: case ftIDispatch: return 8;
    default: return 100 + static_cast<int>(type);  // a group of its own
  }
}

bool IsTextType(TFieldType type) {
  return type == TFieldType::ftString || type == TFieldType::ftFixedChar || type == TFieldType::ftWideString ||
         type == TFieldType::ftFixedWideChar;
}

bool IsLargeObjectType(TFieldType type) { return FieldTypeGroup(type) == 5; }

TFieldType FieldTypeOf(px::FieldType type) {
  using px::FieldType;
  switch (type) {
    case FieldType::Alpha: return TFieldType::ftString;
    case FieldType::Date: return TFieldType::ftDate;
    case FieldType::Short: return TFieldType::ftSmallint;
    case FieldType::Long: return TFieldType::ftInteger;
    case FieldType::Currency: return TFieldType::ftCurrency;
    case FieldType::Number: return TFieldType::ftFloat;
    case FieldType::Logical: return TFieldType::ftBoolean;
    case FieldType::Memo: return TFieldType::ftMemo;
    case FieldType::Blob: return TFieldType::ftBlob;
    case FieldType::FmtMemo: return TFieldType::ftFmtMemo;
    case FieldType::OLE: return TFieldType::ftParadoxOle;
    case FieldType::Graphic: return TFieldType::ftGraphic;
    case FieldType::Time: return TFieldType::ftTime;
    case FieldType::Timestamp: return TFieldType::ftDateTime;
    case FieldType::AutoInc: return TFieldType::ftAutoInc;
    case FieldType::BCD: return TFieldType::ftBCD;
    case FieldType::Bytes: return TFieldType::ftBytes;
  }
  return TFieldType::ftUnknown;
}

int FieldSizeOf(px::FieldType type, int recordBytes, int sizeByte) {
  switch (type) {
    case px::FieldType::Alpha: case px::FieldType::Bytes: return recordBytes;
    case px::FieldType::BCD: return sizeByte;
    case px::FieldType::Memo: case px::FieldType::Blob: case px::FieldType::FmtMemo:
    case px::FieldType::OLE: case px::FieldType::Graphic: return recordBytes - px::kBlobDescriptorSize;
    default: return 0;
  }
}
