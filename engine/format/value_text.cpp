#include "engine/format/value_text.h"

#include <charconv>

#include "engine/format/date_time.h"

namespace px {

namespace {

std::string shortestDouble(double v) {
  char buf[64];
  auto result = std::to_chars(buf, buf + sizeof buf, v);
  return std::string(buf, result.ptr);
}

std::string hexBytes(const Bytes& bytes) {
  static const char* digits = "0123456789ABCDEF";
  std::string out;
  out.reserve(bytes.size() * 2);
  for (std::uint8_t b : bytes) {
    out += digits[b >> 4];
    out += digits[b & 0x0F];
  }
  return out;
}

}  // namespace

std::string valueToText(FieldType type, const Value& value) {
  if (isNull(value)) return {};
  if (const auto* s = std::get_if<std::string>(&value)) return *s;
  if (const auto* d = std::get_if<Decimal>(&value)) return d->text;
  if (const auto* b = std::get_if<bool>(&value)) return *b ? "true" : "false";
  if (const auto* i = std::get_if<std::int32_t>(&value)) {
    if (type == FieldType::Date) return formatDate(*i);
    if (type == FieldType::Time) return formatTime(*i);
    return std::to_string(*i);
  }
  if (const auto* d = std::get_if<double>(&value)) {
    if (type == FieldType::Timestamp) return formatTimestamp(*d);
    return shortestDouble(*d);
  }
  if (const auto* bytes = std::get_if<Bytes>(&value)) {
    if (type == FieldType::Bytes) return hexBytes(*bytes);
    return "<" + std::string(typeName(type)) + " " + std::to_string(bytes->size()) + " bytes>";
  }
  return {};
}

std::string csvCell(const std::string& text) {
  if (text.find_first_of(",\"\r\n") == std::string::npos) return text;
  std::string out = "\"";
  for (char c : text) {
    if (c == '"') out += '"';
    out += c;
  }
  out += '"';
  return out;
}

}  // namespace px
