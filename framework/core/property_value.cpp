#include "framework/core/property_value.h"

#include <limits>

#include "framework/core/exceptions.h"

namespace {

[[noreturn]] void WrongKind(const TPropertyValue& value, std::string_view wanted) {
  throw EReadError("expected " + std::string(wanted) + ", found " + std::string(ValueKindName(value.kind)));
}

}  // namespace

std::string_view ValueKindName(TValueKind kind) {
  switch (kind) {
    case TValueKind::Text: return "text";
    case TValueKind::Integer: return "whole number";
    case TValueKind::Boolean: return "true or false";
    case TValueKind::Identifier: return "identifier";
    case TValueKind::Set: return "set";
    case TValueKind::List: return "list";
  }
  return "value";
}

const std::string& ExpectText(const TPropertyValue& value) {
  if (value.kind != TValueKind::Text) WrongKind(value, "text");
  return value.text;
}

std::int32_t ExpectInteger(const TPropertyValue& value) {
  if (value.kind != TValueKind::Integer) WrongKind(value, "whole number");
  if (value.integer < std::numeric_limits<std::int32_t>::min() ||
      value.integer > std::numeric_limits<std::int32_t>::max()) {
    throw EReadError(std::to_string(value.integer) + " is out of range");
  }
  return static_cast<std::int32_t>(value.integer);
}

bool ExpectBoolean(const TPropertyValue& value) {
  if (value.kind != TValueKind::Boolean) WrongKind(value, "true or false");
  return value.boolean;
}

const std::string& ExpectIdentifier(const TPropertyValue& value) {
  if (value.kind != TValueKind::Identifier) WrongKind(value, "identifier");
  return value.text;
}

std::vector<std::string> ExpectSet(const TPropertyValue& value) {
  if (value.kind == TValueKind::Identifier) return {value.text};
  if (value.kind != TValueKind::Set) WrongKind(value, "set");
  std::vector<std::string> members;
  for (const TPropertyValue& item : value.items) members.push_back(item.text);
  return members;
}

std::vector<std::string> ExpectTextList(const TPropertyValue& value) {
  if (value.kind == TValueKind::Text) return {value.text};
  if (value.kind != TValueKind::List) WrongKind(value, "list of texts");
  std::vector<std::string> texts;
  for (const TPropertyValue& item : value.items) texts.push_back(ExpectText(item));
  return texts;
}
