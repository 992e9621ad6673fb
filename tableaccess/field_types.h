// The framework's field data types, the names that messages give them, the
// groups within which a field object may bind a table field of another type,
// and the type each engine field type reads as.
#pragma once

#include <string_view>

#include "engine/format/field_type.h"

enum class TFieldType {
  ftUnknown, ftString, ftSmallint, ftInteger, ftWord, ftBoolean, ftFloat, ftCurrency, ftBCD, ftDate,
  ftTime, ftDateTime, ftBytes, ftVarBytes, ftAutoInc, ftBlob, ftMemo, ftGraphic, ftFmtMemo,
  ftParadoxOle, ftDBaseOle, ftTypedBinary, ftCursor, ftFixedChar, ftWideString, ftLargeint, ftADT,
  ftArray, ftReference, ftDataSet, ftOraBlob, ftOraClob, ftVariant, ftInterface, ftIDispatch, ftGuid,
  ftTimeStamp, ftFMTBcd, ftFixedWideChar, ftWideMemo
};

// "String", "SmallInt", "Integer", ... as messages name the type.
std::string_view FieldTypeName(TFieldType type);

// Two types in one group bind each other at open (text, integer, floating
// point, date and time, large object, wide text, ...); every other type is a
// group of its own.
int FieldTypeGroup(TFieldType type);

bool IsTextType(TFieldType type);       // ftString, ftFixedChar, ftWideString, ftFixedWideChar
bool IsLargeObjectType(TFieldType type);

// The framework type of a Paradox field type, and the size a field object of
// that type has (characters for text, bytes for bytes and BCD, else 0).
TFieldType FieldTypeOf(px::FieldType type);
int FieldSizeOf(px::FieldType type, int recordBytes, int sizeByte);
