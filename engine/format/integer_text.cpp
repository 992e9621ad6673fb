#include "engine/format/integer_text.h"

#include <cstring>

namespace px {

namespace {
int hexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}
}  // namespace

bool parseIntegerText(std::string_view text, std::int32_t& value) {
  if (const auto nul = text.find('\0'); nul != std::string_view::npos) text = text.substr(0, nul);
  std::size_t i = 0;
  while (i < text.size() && text[i] == ' ') ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  bool hex = false;
  if (i < text.size() && (text[i] == '$' || text[i] == 'x' || text[i] == 'X')) {
    hex = true;
    ++i;
  } else if (i + 1 < text.size() && text[i] == '0' && (text[i + 1] == 'x' || text[i + 1] == 'X')) {
    hex = true;
    i += 2;
  }
  if (i >= text.size()) return false;
  if (hex) {
    if (text.size() - i > 8) return false;
    std::uint32_t v = 0;
    for (; i < text.size(); ++i) {
      const int d = hexDigit(text[i]);
      if (d < 0) return false;
      v = (v << 4) | static_cast<std::uint32_t>(d);
    }
    const auto pattern = static_cast<std::int32_t>(v);
    value = negative ? static_cast<std::int32_t>(0u - v) : pattern;
    return true;
  }
  std::int64_t v = 0;
  for (; i < text.size(); ++i) {
    if (text[i] < '0' || text[i] > '9') return false;
    v = v * 10 + (text[i] - '0');
    if (v > 2147483648LL) return false;
  }
  if (negative) v = -v;
  if (v > 2147483647LL || v < -2147483648LL) return false;
  value = static_cast<std::int32_t>(v);
  return true;
}

}  // namespace px
