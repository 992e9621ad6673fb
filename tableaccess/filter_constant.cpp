#include "tableaccess/filter_constant.h"

#include <charconv>
#include <cmath>
#include <limits>

#include "engine/format/date_time.h"
#include "tableaccess/db_errors.h"
#include "tableaccess/filter_messages.h"
#include "tableaccess/filter_tokenizer.h"

namespace fm = filter_messages;

namespace {

std::string_view trimmed(std::string_view text) {
  while (!text.empty() && static_cast<unsigned char>(text.front()) <= 32) text.remove_prefix(1);
  while (!text.empty() && static_cast<unsigned char>(text.back()) <= 32) text.remove_suffix(1);
  return text;
}

std::optional<double> parseNumber(std::string_view text, const FilterLocale& locale) {
  text = trimmed(text);
  const std::string separator = EncodeUtf8(locale.decimalSeparator);
  std::string plain;
  for (std::size_t i = 0; i < text.size();) {
    if (text.substr(i).starts_with(separator)) {
      plain += '.';
      i += separator.size();
      continue;
    }
    const char c = text[i];
    if (!((c >= '0' && c <= '9') || c == '+' || c == '-' || c == 'e' || c == 'E')) return std::nullopt;
    plain += c;
    ++i;
  }
  std::string_view digits = plain;
  if (digits.starts_with('+')) digits.remove_prefix(1);
  double value = 0;
  const auto [rest, error] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
  if (error != std::errc() || rest != digits.data() + digits.size() || !std::isfinite(value)) return std::nullopt;
  return value;
}

// Reads exactly `count` digits.
bool digitsAt(std::string_view text, std::size_t& pos, std::size_t count, int& out) {
  if (pos + count > text.size()) return false;
  out = 0;
  for (std::size_t i = 0; i < count; ++i) {
    const char c = text[pos + i];
    if (c < '0' || c > '9') return false;
    out = out * 10 + (c - '0');
  }
  pos += count;
  return true;
}

bool expect(std::string_view text, std::size_t& pos, char c) {
  if (pos >= text.size() || text[pos] != c) return false;
  ++pos;
  return true;
}

bool readDate(std::string_view text, std::size_t& pos, std::int32_t& day) {
  int y = 0, m = 0, d = 0;
  if (!digitsAt(text, pos, 4, y) || !expect(text, pos, '-') || !digitsAt(text, pos, 2, m) || !expect(text, pos, '-') ||
      !digitsAt(text, pos, 2, d))
    return false;
  static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  const bool leap = (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
  if (y < 1 || m < 1 || m > 12 || d < 1 || d > kDays[m - 1] + (m == 2 && leap ? 1 : 0)) return false;
  day = px::dayNumberFromCivil({y, m, d});
  return true;
}

bool readTime(std::string_view text, std::size_t& pos, std::int32_t& ms) {
  int h = 0, m = 0, s = 0, fraction = 0;
  if (!digitsAt(text, pos, 2, h) || !expect(text, pos, ':') || !digitsAt(text, pos, 2, m)) return false;
  if (pos < text.size() && text[pos] == ':') {
    ++pos;
    if (!digitsAt(text, pos, 2, s)) return false;
    if (pos < text.size() && text[pos] == '.') {
      ++pos;
      if (!digitsAt(text, pos, 3, fraction)) return false;
    }
  }
  if (h > 23 || m > 59 || s > 59) return false;
  ms = ((h * 60 + m) * 60 + s) * 1000 + fraction;
  return true;
}

[[noreturn]] void convertError(const char* format, std::string_view text) {
  throw EConvertError(FormatText(format, std::string(text)));
}

std::int32_t integerIn(const std::string& text, const FilterLocale& locale, double low, double high) {
  const auto value = parseNumber(text, locale);
  if (!value) convertError(fm::kNotAnInteger, text);
  const double whole = std::nearbyint(*value);  // halves to even, as number conversions round
  if (whole < low || whole > high) DatabaseError(fm::kConstantOutOfRange);
  return static_cast<std::int32_t>(whole);
}

std::string cutText(const std::string& utf8, std::size_t maxChars) {
  std::size_t chars = 0;
  for (std::size_t i = 0; i < utf8.size(); ++i) {
    if ((static_cast<unsigned char>(utf8[i]) & 0xC0) != 0x80 && chars++ == maxChars) return utf8.substr(0, i);
  }
  return utf8;
}

std::string decimalText(double value) {
  char buffer[400];  // fixed notation of any finite double fits
  const auto [end, error] = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed);
  if (error != std::errc()) DatabaseError(fm::kConstantOutOfRange);
  return std::string(buffer, end);
}

}  // namespace

std::optional<px::FieldType> EngineFieldType(TFieldType type) {
  using enum TFieldType;
  using px::FieldType;
  switch (type) {
    case ftString: case ftFixedChar: case ftWideString: case ftFixedWideChar: case ftGuid: return FieldType::Alpha;
    case ftSmallint: return FieldType::Short;
    case ftInteger: case ftWord: return FieldType::Long;
    case ftAutoInc: return FieldType::AutoInc;
    case ftBoolean: return FieldType::Logical;
    case ftFloat: return FieldType::Number;
    case ftCurrency: return FieldType::Currency;
    case ftBCD: case ftFMTBcd: return FieldType::BCD;
    case ftDate: return FieldType::Date;
    case ftTime: return FieldType::Time;
    case ftDateTime: case ftTimeStamp: return FieldType::Timestamp;
    case ftBytes: case ftVarBytes: return FieldType::Bytes;
    case ftBlob: case ftTypedBinary: case ftOraBlob: return FieldType::Blob;
    case ftMemo: case ftOraClob: case ftWideMemo: return FieldType::Memo;
    case ftFmtMemo: return FieldType::FmtMemo;
    case ftGraphic: return FieldType::Graphic;
    case ftParadoxOle: case ftDBaseOle: return FieldType::OLE;
    default: return std::nullopt;
  }
}

bool TextToTruthValue(std::string_view text, const FilterLocale& locale) {
  const std::string_view t = trimmed(text);
  if (SameWord(t, fm::kTrueWord)) return true;
  if (SameWord(t, fm::kFalseWord)) return false;
  if (const auto number = parseNumber(t, locale)) return *number != 0;
  throw EConvertError(fm::kNotABoolean);
}

double TextToFloat(std::string_view text, const FilterLocale& locale) {
  const auto value = parseNumber(text, locale);
  if (!value) convertError(fm::kNotAFloat, text);
  return *value;
}

std::int32_t TextToDate(std::string_view text) {
  const std::string_view t = trimmed(text);
  std::size_t pos = 0;
  std::int32_t day = 0;
  if (!readDate(t, pos, day) || pos != t.size()) convertError(fm::kNotADate, text);
  return day;
}

std::int32_t TextToTime(std::string_view text) {
  const std::string_view t = trimmed(text);
  std::size_t pos = 0;
  std::int32_t ms = 0;
  if (!readTime(t, pos, ms) || pos != t.size()) convertError(fm::kNotATime, text);
  return ms;
}

double TextToTimestamp(std::string_view text) {
  const std::string_view t = trimmed(text);
  std::size_t pos = 0;
  std::int32_t day = 0, ms = 0;
  bool ok = readDate(t, pos, day);
  if (ok && pos < t.size()) ok = (t[pos] == ' ' || t[pos] == 'T') && readTime(t, ++pos, ms);
  if (!ok || pos != t.size()) convertError(fm::kNotADateTime, text);
  return static_cast<double>(day) * static_cast<double>(px::kMillisecondsPerDay) + ms;
}

px::FilterNode::Ptr WriteFilterConstant(const FilterConstant& value, TFieldType type, const FilterLocale& locale) {
  const std::optional<px::FieldType> engineType = EngineFieldType(type);
  if (std::holds_alternative<std::monostate>(value))
    return px::FilterNode::constant(engineType.value_or(px::FieldType::Alpha), px::Value(px::Null{}));
  if (type == TFieldType::ftBoolean) {
    const bool truth = std::holds_alternative<bool>(value) ? std::get<bool>(value)
                                                           : TextToTruthValue(std::get<std::string>(value), locale);
    return px::FilterNode::constant(px::FieldType::Logical, px::Value(truth));
  }
  const std::string text = std::holds_alternative<bool>(value) ? (std::get<bool>(value) ? fm::kTrueWord : fm::kFalseWord)
                                                               : std::get<std::string>(value);
  if (!engineType) DatabaseErrorFmt(fm::kConstantWrongType, std::string(FieldTypeName(type)));
  px::Value out;
  using enum TFieldType;
  switch (type) {
    case ftString: case ftFixedChar: case ftWideString: case ftFixedWideChar: case ftGuid:
      out = cutText(text, kMaxFilterTextChars);
      break;
    case ftSmallint: out = integerIn(text, locale, std::numeric_limits<std::int16_t>::min(), std::numeric_limits<std::int16_t>::max()); break;
    case ftWord: out = integerIn(text, locale, 0, std::numeric_limits<std::uint16_t>::max()); break;
    case ftInteger: case ftAutoInc:
      out = integerIn(text, locale, std::numeric_limits<std::int32_t>::min(), std::numeric_limits<std::int32_t>::max());
      break;
    case ftFloat: case ftCurrency: out = TextToFloat(text, locale); break;
    case ftBCD: case ftFMTBcd: out = px::Decimal{decimalText(TextToFloat(text, locale))}; break;
    case ftDate: out = TextToDate(text); break;
    case ftTime: out = TextToTime(text); break;
    case ftDateTime: case ftTimeStamp: out = TextToTimestamp(text); break;
    default: DatabaseErrorFmt(fm::kConstantWrongType, std::string(FieldTypeName(type)));
  }
  return px::FilterNode::constant(*engineType, std::move(out));
}
