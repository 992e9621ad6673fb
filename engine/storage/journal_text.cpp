#include "engine/storage/journal_text.h"

namespace px::journal_text {

std::string hex16(std::uint64_t value) {
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string out(kChecksumDigits, '0');
  for (std::size_t i = kChecksumDigits; i-- > 0; value >>= 4) out[i] = kDigits[value & 0xF];
  return out;
}

bool parseHex16(std::string_view text, std::uint64_t& value) {
  if (text.size() != kChecksumDigits) return false;
  value = 0;
  for (char c : text) {
    int digit;
    if (c >= '0' && c <= '9') digit = c - '0';
    else if (c >= 'a' && c <= 'f') digit = c - 'a' + 10;
    else return false;
    value = (value << 4) | static_cast<std::uint64_t>(digit);
  }
  return true;
}

bool parseDecimal(std::string_view text, std::uint64_t& value) {
  if (text.empty() || text.size() > kMaxDecimalDigits) return false;
  value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
    value = value * 10 + static_cast<std::uint64_t>(c - '0');
  }
  return true;
}

std::vector<std::string_view> splitFields(std::string_view line) {
  std::vector<std::string_view> fields;
  std::size_t start = 0;
  for (;;) {
    const std::size_t end = line.find(kFieldSeparator, start);
    fields.push_back(line.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start));
    if (end == std::string_view::npos) return fields;
    start = end + 1;
  }
}

}  // namespace px::journal_text
