// Filter constants in the engine's form: the engine field type that stands for
// a framework type, and a constant's text converted to the value kind that the
// engine reads for that type. Conversion failures throw EConvertError, range
// and type failures EDatabaseError.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

#include "engine/access/filter_tree.h"
#include "tableaccess/field_types.h"
#include "tableaccess/filter_expr.h"
#include "tableaccess/filter_locale.h"

// The engine type of constants and fields of a framework type; none for the
// types that no Paradox field has.
std::optional<px::FieldType> EngineFieldType(TFieldType type);

// Longest text constant written, in characters.
inline constexpr std::size_t kMaxFilterTextChars = 255;

// The constant as the engine takes it, typed by `type`. A Boolean constant
// reads as the text "True" or "False" for every type but Boolean; null stays null.
px::FilterNode::Ptr WriteFilterConstant(const FilterConstant& value, TFieldType type, const FilterLocale& locale);

// The conversions of constant texts, with surrounding blanks ignored:
// "true" and "false" in any letter case, else a number where anything but 0 is true.
bool TextToTruthValue(std::string_view text, const FilterLocale& locale);
// Decimal digits with sign, the locale's separator and an exponent.
double TextToFloat(std::string_view text, const FilterLocale& locale);
// "yyyy-mm-dd" as a day number (0001-01-01 = 1).
std::int32_t TextToDate(std::string_view text);
// "hh:mm", "hh:mm:ss" or "hh:mm:ss.zzz" as milliseconds since midnight.
std::int32_t TextToTime(std::string_view text);
// A date, optionally followed by a blank or "T" and a time, as time-stamp milliseconds.
double TextToTimestamp(std::string_view text);
