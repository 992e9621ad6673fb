// A property value as a stored description writes it, before any class has
// given it a meaning: a text, a whole number, a truth value, an identifier
// (an enumeration value, a handler name or a component path such as
// "dmRA5.dsIndex"), a set of identifiers or a list of values.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

enum class TValueKind { Text, Integer, Boolean, Identifier, Set, List };

struct TPropertyValue {
  TValueKind kind = TValueKind::Text;
  std::string text;                   // Text and Identifier
  std::int64_t integer = 0;           // Integer
  bool boolean = false;               // Boolean
  std::vector<TPropertyValue> items;  // Set (identifiers only) and List
};

// "text", "whole number", ... for error messages.
std::string_view ValueKindName(TValueKind kind);

// The value of the expected kind; each throws EReadError naming the kind it
// wanted when the value is of another kind.
const std::string& ExpectText(const TPropertyValue& value);
std::int32_t ExpectInteger(const TPropertyValue& value);
bool ExpectBoolean(const TPropertyValue& value);
const std::string& ExpectIdentifier(const TPropertyValue& value);
// A set's members; a single identifier counts as a set of one.
std::vector<std::string> ExpectSet(const TPropertyValue& value);
// A list of texts; a single text counts as a list of one.
std::vector<std::string> ExpectTextList(const TPropertyValue& value);
