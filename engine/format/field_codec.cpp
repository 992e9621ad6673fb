#include "engine/format/field_codec.h"

#include <algorithm>
#include <bit>
#include <cstring>

namespace px::codec {

namespace {

constexpr std::uint8_t kSignBit = 0x80;
constexpr std::uint8_t kBcdPositive = 0x80;
constexpr std::uint8_t kBcdMarker = 0x40;
constexpr std::uint8_t kBcdDecimalsMask = 0x3F;
constexpr int kBcdDigits = 32;

std::uint64_t readBe64(const std::uint8_t* p) {
  std::uint64_t v = 0;
  for (int i = 0; i < 8; ++i) v = (v << 8) | p[i];
  return v;
}

void writeBe64(std::uint8_t* p, std::uint64_t v) {
  for (int i = 7; i >= 0; --i) {
    p[i] = static_cast<std::uint8_t>(v);
    v >>= 8;
  }
}

Status invalid(const std::string& what) { return Status(rc::kInvalidValue, what); }

}  // namespace

bool isBlank(const std::uint8_t* p, std::size_t size) {
  return std::all_of(p, p + size, [](std::uint8_t b) { return b == 0; });
}

std::optional<std::int32_t> decodeShort(const std::uint8_t* p) {
  if (p[0] == 0 && p[1] == 0) return std::nullopt;
  auto raw = static_cast<std::uint16_t>(((p[0] ^ kSignBit) << 8) | p[1]);
  return static_cast<std::int16_t>(raw);
}

std::optional<std::int32_t> decodeLong(const std::uint8_t* p) {
  if (isBlank(p, 4)) return std::nullopt;
  std::uint32_t raw = (static_cast<std::uint32_t>(p[0] ^ kSignBit) << 24) |
                      (static_cast<std::uint32_t>(p[1]) << 16) |
                      (static_cast<std::uint32_t>(p[2]) << 8) | p[3];
  return static_cast<std::int32_t>(raw);
}

void encodeShort(std::uint8_t* p, std::int16_t v) {
  auto raw = static_cast<std::uint16_t>(v);
  p[0] = static_cast<std::uint8_t>((raw >> 8) ^ kSignBit);
  p[1] = static_cast<std::uint8_t>(raw);
}

void encodeLong(std::uint8_t* p, std::int32_t v) {
  auto raw = static_cast<std::uint32_t>(v);
  p[0] = static_cast<std::uint8_t>((raw >> 24) ^ kSignBit);
  p[1] = static_cast<std::uint8_t>(raw >> 16);
  p[2] = static_cast<std::uint8_t>(raw >> 8);
  p[3] = static_cast<std::uint8_t>(raw);
}

std::optional<double> decodeDouble(const std::uint8_t* p) {
  std::uint64_t raw = readBe64(p);
  if (raw == 0) return std::nullopt;
  if (raw & (std::uint64_t{1} << 63)) {
    raw &= ~(std::uint64_t{1} << 63);
  } else {
    raw = ~raw;
  }
  return std::bit_cast<double>(raw);
}

void encodeDouble(std::uint8_t* p, double v) {
  auto raw = std::bit_cast<std::uint64_t>(v);
  if (raw & (std::uint64_t{1} << 63)) {
    raw = ~raw;
  } else {
    raw |= std::uint64_t{1} << 63;
  }
  writeBe64(p, raw);
}

Status decodeBcd(const std::uint8_t* p, int /*fieldDecimals*/, std::optional<Decimal>& out) {
  out.reset();
  if (isBlank(p, kBcdRecordSize)) return Status::Ok();
  const bool positive = (p[0] & kBcdPositive) != 0;
  const int decimals = p[0] & kBcdDecimalsMask;
  if (decimals > kBcdMaxDecimals) return invalid("BCD value with " + std::to_string(decimals) + " decimals");
  // The original engine fills only the leading significant digits of a value
  // that came from a binary double (about 20) and leaves stray nibbles behind
  // them; the digits end at the first nibble that is not a decimal digit.
  char digits[kBcdDigits];
  bool ended = false;
  for (int i = 0; i < kBcdDigits; ++i) {
    std::uint8_t byte = p[1 + i / 2];
    if (!positive) byte = static_cast<std::uint8_t>(~byte);
    const int nibble = (i % 2 == 0) ? (byte >> 4) : (byte & 0x0F);
    ended = ended || nibble > 9;
    digits[i] = ended ? '0' : static_cast<char>('0' + nibble);
  }
  const int intDigits = kBcdDigits - decimals;
  int first = 0;
  while (first < intDigits - 1 && digits[first] == '0') ++first;
  const bool zero = std::all_of(digits, digits + kBcdDigits, [](char c) { return c == '0'; });
  // Built front to back in one buffer: sign, whole part, fraction.
  std::string text;
  text.reserve(kBcdDigits + 3);
  if (!positive && !zero) text += '-';
  if (intDigits == 0) text += '0';
  else text.append(digits + first, digits + intDigits);
  if (decimals > 0) {
    text += '.';
    text.append(digits + intDigits, digits + kBcdDigits);
  }
  out = Decimal{std::move(text)};
  return Status::Ok();
}

Status encodeBcd(std::uint8_t* p, int decimals, const std::string& text) {
  if (decimals < 0 || decimals > kBcdMaxDecimals) return invalid("BCD field with " + std::to_string(decimals) + " decimals");
  std::size_t pos = 0;
  bool negative = false;
  if (pos < text.size() && (text[pos] == '-' || text[pos] == '+')) negative = text[pos++] == '-';
  std::string intPart, fracPart;
  while (pos < text.size() && text[pos] >= '0' && text[pos] <= '9') intPart += text[pos++];
  if (pos < text.size() && (text[pos] == '.' || text[pos] == ',')) {
    ++pos;
    while (pos < text.size() && text[pos] >= '0' && text[pos] <= '9') fracPart += text[pos++];
  }
  if (pos != text.size() || (intPart.empty() && fracPart.empty())) return invalid("'" + text + "' is not a decimal number");
  while (!fracPart.empty() && static_cast<int>(fracPart.size()) > decimals && fracPart.back() == '0') fracPart.pop_back();
  if (static_cast<int>(fracPart.size()) > decimals)
    return invalid("'" + text + "' has more than " + std::to_string(decimals) + " decimals");
  intPart.erase(0, std::min(intPart.find_first_not_of('0'), intPart.size()));
  if (static_cast<int>(intPart.size()) > kBcdDigits - decimals) return invalid("'" + text + "' has too many digits");
  fracPart.append(static_cast<std::size_t>(decimals) - fracPart.size(), '0');
  std::string digits(static_cast<std::size_t>(kBcdDigits - decimals) - intPart.size(), '0');
  digits += intPart;
  digits += fracPart;
  if (std::all_of(digits.begin(), digits.end(), [](char c) { return c == '0'; })) negative = false;
  p[0] = static_cast<std::uint8_t>((negative ? 0 : kBcdPositive) | kBcdMarker | decimals);
  for (int i = 0; i < kBcdDigits / 2; ++i) {
    auto byte = static_cast<std::uint8_t>(((digits[2 * i] - '0') << 4) | (digits[2 * i + 1] - '0'));
    p[1 + i] = negative ? static_cast<std::uint8_t>(~byte) : byte;
  }
  return Status::Ok();
}

Status decodeFixed(FieldType type, int sizeByte, const std::uint8_t* p, Value& out) {
  auto setInt = [&](std::optional<std::int32_t> v) { out = v ? Value(*v) : Value(Null{}); };
  switch (type) {
    case FieldType::Short:
      setInt(decodeShort(p));
      return Status::Ok();
    case FieldType::Long: case FieldType::AutoInc: case FieldType::Date: case FieldType::Time:
      setInt(decodeLong(p));
      return Status::Ok();
    case FieldType::Number: case FieldType::Currency: case FieldType::Timestamp: {
      auto v = decodeDouble(p);
      out = v ? Value(*v) : Value(Null{});
      return Status::Ok();
    }
    case FieldType::Logical:
      if (p[0] == 0) out = Null{};
      else if (p[0] == kLogicalFalse) out = false;
      else if (p[0] == kLogicalTrue) out = true;
      else return invalid("logical value byte " + std::to_string(p[0]));
      return Status::Ok();
    case FieldType::BCD: {
      std::optional<Decimal> d;
      PX_RETURN_IF_ERROR(decodeBcd(p, sizeByte, d));
      out = d ? Value(*d) : Value(Null{});
      return Status::Ok();
    }
    case FieldType::Bytes:
      if (isBlank(p, static_cast<std::size_t>(sizeByte))) out = Null{};
      else out = Bytes(p, p + sizeByte);
      return Status::Ok();
    default:
      return Status(rc::kNotSupported, std::string(typeName(type)) + " is not a fixed-size type");
  }
}

Status encodeFixed(FieldType type, int sizeByte, const Value& value, std::uint8_t* p) {
  const int size = recordSizeOf(type, static_cast<std::uint8_t>(sizeByte));
  if (isNull(value)) {
    std::memset(p, 0, static_cast<std::size_t>(size));
    return Status::Ok();
  }
  auto wrongKind = [&] { return invalid(std::string("value of the wrong kind for a ") + std::string(typeName(type)) + " field"); };
  switch (type) {
    case FieldType::Short: {
      const auto* v = std::get_if<std::int32_t>(&value);
      if (!v) return wrongKind();
      if (*v < -32767 || *v > 32767) return invalid(std::to_string(*v) + " is out of range for a Short field");
      encodeShort(p, static_cast<std::int16_t>(*v));
      return Status::Ok();
    }
    case FieldType::Long: case FieldType::AutoInc: case FieldType::Date: case FieldType::Time: {
      const auto* v = std::get_if<std::int32_t>(&value);
      if (!v) return wrongKind();
      if (*v == INT32_MIN) return invalid("-2147483648 cannot be stored (it reads as blank)");
      encodeLong(p, *v);
      return Status::Ok();
    }
    case FieldType::Number: case FieldType::Currency: case FieldType::Timestamp: {
      const auto* v = std::get_if<double>(&value);
      if (!v) return wrongKind();
      encodeDouble(p, *v);
      return Status::Ok();
    }
    case FieldType::Logical: {
      const auto* v = std::get_if<bool>(&value);
      if (!v) return wrongKind();
      p[0] = *v ? kLogicalTrue : kLogicalFalse;
      return Status::Ok();
    }
    case FieldType::BCD: {
      const auto* v = std::get_if<Decimal>(&value);
      if (!v) return wrongKind();
      return encodeBcd(p, sizeByte, v->text);
    }
    case FieldType::Bytes: {
      const auto* v = std::get_if<Bytes>(&value);
      if (!v) return wrongKind();
      if (v->size() > static_cast<std::size_t>(size)) return invalid("bytes value longer than its field");
      std::memset(p, 0, static_cast<std::size_t>(size));
      std::memcpy(p, v->data(), v->size());
      return Status::Ok();
    }
    default:
      return Status(rc::kNotSupported, std::string(typeName(type)) + " is not a fixed-size type");
  }
}

}  // namespace px::codec
