#include "engine/access/filter_typing.h"

#include <charconv>

namespace px::filter_typing {

ValueClass classOf(FieldType type) {
  switch (type) {
    case FieldType::Alpha: case FieldType::Memo:
      return ValueClass::Text;
    case FieldType::Short: case FieldType::Long: case FieldType::AutoInc: case FieldType::Number:
    case FieldType::Currency: case FieldType::BCD:
      return ValueClass::Number;
    case FieldType::Date: return ValueClass::Date;
    case FieldType::Time: return ValueClass::Time;
    case FieldType::Timestamp: return ValueClass::Timestamp;
    case FieldType::Logical: return ValueClass::Logical;
    default: return ValueClass::None;
  }
}

bool parseDecimal(const std::string& text, double& out) {
  const char* begin = text.data();
  const char* end = begin + text.size();
  if (begin != end && *begin == '+') ++begin;
  const auto [rest, error] = std::from_chars(begin, end, out);
  return error == std::errc() && rest == end;
}

std::string describe(const Value& value) {
  if (const auto* s = std::get_if<std::string>(&value)) return "'" + *s + "'";
  if (const auto* i = std::get_if<std::int32_t>(&value)) return std::to_string(*i);
  if (const auto* d = std::get_if<double>(&value)) {
    char buffer[32];
    const auto [end, error] = std::to_chars(buffer, buffer + sizeof buffer, *d);
    return error == std::errc() ? std::string(buffer, end) : "a number";
  }
  if (const auto* b = std::get_if<bool>(&value)) return *b ? "true" : "false";
  if (const auto* d = std::get_if<Decimal>(&value)) return d->text;
  if (isNull(value)) return "NULL";
  return "a bytes value";
}

}  // namespace px::filter_typing
