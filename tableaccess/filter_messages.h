// The message texts of the filter-expression builder, as the user sees them;
// "%s" takes a character, a token name, a field name or a type name.
#pragma once

namespace filter_messages {

inline constexpr const char* kInvalidCharacter = "Invalid filter expression character: '%s'";
inline constexpr const char* kUnterminatedString = "Unterminated string constant";
inline constexpr const char* kUnterminatedName = "Unterminated field name";
inline constexpr const char* kInvalidKeyword = "Invalid use of keyword";
inline constexpr const char* kIncorrectlyTerminated = "Filter expression incorrectly terminated";
inline constexpr const char* kExpressionExpected = "Expression expected but %s found";
inline constexpr const char* kLParenExpected = "'(' expected but %s found";
inline constexpr const char* kRParenExpected = "')' expected but %s found";
inline constexpr const char* kRParenOrCommaExpected = "')' or ',' expected but %s found";
inline constexpr const char* kEmptyInList = "IN predicate list may not be empty";
inline constexpr const char* kNoArithmetic = "Arithmetic in filter expressions not supported";
inline constexpr const char* kTypeMismatch = "Type mismatch in expression";
inline constexpr const char* kIncorrectlyFormed = "Incorrectly formed filter expression";
inline constexpr const char* kFieldNotFound = "Field '%s' not found";
inline constexpr const char* kFieldNotUsable = "Field '%s' cannot be used in a filter expression";
inline constexpr const char* kNullOnlyEqNe = "NULL only allowed with '=' and '<>'";
inline constexpr const char* kConstantOutOfRange = "Constant out of range";
inline constexpr const char* kConstantWrongType = "Constant is not correct type %s";

// Conversion errors of constant texts (EConvertError).
inline constexpr const char* kNotAnInteger = "'%s' is not a valid integer value";
inline constexpr const char* kNotAFloat = "'%s' is not a valid floating point value";
inline constexpr const char* kNotADate = "'%s' is not a valid date";
inline constexpr const char* kNotATime = "'%s' is not a valid time";
inline constexpr const char* kNotADateTime = "'%s' is not a valid date and time";
inline constexpr const char* kNotABoolean = "Could not convert variant of type (String) into type (Boolean)";

// The words for true and false.
inline constexpr const char* kTrueWord = "True";
inline constexpr const char* kFalseWord = "False";

}  // namespace filter_messages
