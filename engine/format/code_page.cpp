// Conversion between code-page bytes and UTF-8, driven by the generated tables
// of code_page_tables.cpp. Both directions run on every record written or read,
// so the common case (ASCII) is a plain copy and everything else a table lookup.

#include "engine/format/code_page.h"

#include <algorithm>
#include <cstring>

namespace px {
namespace {

using Tables = CodePage::Tables;

// A single byte becomes at most 3 UTF-8 bytes, a GBK pair (2 bytes) at most 3;
// the other way, no character takes fewer UTF-8 bytes than code-page bytes.
constexpr std::size_t kMaxUtf8PerStoredByte = 3;

std::string hex(std::uint32_t value, int minDigits) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  std::string digits;
  do {
    digits.insert(digits.begin(), kDigits[value & 0xF]);
    value >>= 4;
  } while (value != 0);
  if (static_cast<int>(digits.size()) < minDigits) digits.insert(0, minDigits - digits.size(), '0');
  return digits;
}

std::string byteText(unsigned byte) { return "0x" + hex(byte, 2); }
std::string atOffset(std::size_t offset) { return " at offset " + std::to_string(offset); }

Status invalid(std::string& output, std::string message) {
  output.clear();
  return Status(rc::kInvalidValue, std::move(message));
}

std::size_t asciiPrefix(const unsigned char* bytes, std::size_t size) {
  std::size_t i = 0;
  while (i < size && bytes[i] < 0x80) ++i;
  return i;
}

char* appendUtf8(char* out, std::uint16_t c) {
  if (c < 0x800) {
    *out++ = static_cast<char>(0xC0 | (c >> 6));
  } else {
    *out++ = static_cast<char>(0xE0 | (c >> 12));
    *out++ = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
  }
  *out++ = static_cast<char>(0x80 | (c & 0x3F));
  return out;
}

// One character read from UTF-8, or the reason the bytes are not UTF-8.
struct Decoded {
  char32_t character = 0;
  std::size_t length = 0;
  const char* problem = nullptr;
};

// Strict decoding: overlong forms, surrogates, code points past U+10FFFF and
// incomplete sequences are all rejected, so every text has one spelling.
// REQUIRES: available > 0 and bytes[0] >= 0x80.
Decoded decodeUtf8(const unsigned char* bytes, std::size_t available) {
  const unsigned first = bytes[0];
  Decoded d;
  if (first < 0xC0) {
    d.problem = "continuation byte without a lead byte";
    return d;
  }
  if (first < 0xC2) {
    d.problem = "overlong encoding";
    return d;
  }
  if (first >= 0xF5) {
    d.problem = "byte that never occurs in UTF-8";
    return d;
  }
  const std::size_t length = first < 0xE0 ? 2 : first < 0xF0 ? 3 : 4;
  char32_t c = first & (0x7F >> length);
  for (std::size_t k = 1; k < length; ++k) {
    if (k >= available || (bytes[k] & 0xC0) != 0x80) {
      d.problem = "incomplete sequence";
      return d;
    }
    c = (c << 6) | (bytes[k] & 0x3F);
  }
  if ((length == 3 && c < 0x800) || (length == 4 && c < 0x10000)) {
    d.problem = "overlong encoding";
  } else if (c >= 0xD800 && c <= 0xDFFF) {
    d.problem = "surrogate code point";
  } else if (c > 0x10FFFF) {
    d.problem = "code point beyond U+10FFFF";
  } else {
    d.character = c;
    d.length = length;
  }
  return d;
}

// The byte of a non-ASCII character on this page, or -1.
int findByte(const Tables& t, char32_t c) {
  const Tables::ByteForChar* end = t.byteForChar + t.byteForCharCount;
  const Tables::ByteForChar* it = std::lower_bound(
      t.byteForChar, end, c, [](const Tables::ByteForChar& e, char32_t key) { return e.unicode < key; });
  return it != end && it->unicode == c ? it->byte : -1;
}

std::uint16_t pairCharacter(const Tables& t, std::uint16_t pair) {
  return t.pairToUnicode[Tables::pairIndex(pair >> 8, pair & 0xFF)];
}

// The pair (lead << 8 | trail) of a character on a double-byte page, or 0.
std::uint16_t findPair(const Tables& t, char32_t c) {
  const std::uint16_t* end = t.pairsByUnicode + t.pairCount;
  const std::uint16_t* it = std::lower_bound(t.pairsByUnicode, end, c, [&t](std::uint16_t pair, char32_t key) {
    return pairCharacter(t, pair) < key;
  });
  return it != end && pairCharacter(t, *it) == c ? *it : 0;
}

}  // namespace

Status CodePage::toUtf8(std::string_view stored, std::string& utf8) const {
  const Tables& t = *tables_;
  const auto* in = reinterpret_cast<const unsigned char*>(stored.data());
  const std::size_t size = stored.size();
  const std::size_t ascii = asciiPrefix(in, size);
  if (ascii == size) {
    utf8.assign(stored);
    return Status::Ok();
  }

  utf8.resize(size * kMaxUtf8PerStoredByte);
  char* const begin = utf8.data();
  std::memcpy(begin, in, ascii);
  char* out = begin + ascii;
  for (std::size_t i = ascii; i < size; ++i) {
    const unsigned byte = in[i];
    if (byte < 0x80) {
      *out++ = static_cast<char>(byte);
      continue;
    }
    const Tables::Utf8Char& entry = t.byteToUtf8[byte];
    if (entry.length != 0) {
      // Every entry holds 3 bytes and the buffer has room for 3 per input byte.
      std::memcpy(out, entry.bytes, sizeof entry.bytes);
      out += entry.length;
      continue;
    }
    if (!t.isDoubleByte() || !Tables::isLead(byte)) {
      return invalid(utf8, std::string(t.name) + ": byte " + byteText(byte) + atOffset(i) + " is undefined");
    }
    if (i + 1 == size) {
      return invalid(utf8, std::string(t.name) + ": lead byte " + byteText(byte) + atOffset(i) +
                               " ends the text without its trail byte");
    }
    const unsigned trail = in[i + 1];
    const std::uint16_t c = Tables::isTrail(trail) ? t.pairToUnicode[Tables::pairIndex(byte, trail)] : 0;
    if (c == 0) {
      return invalid(utf8, std::string(t.name) + ": byte pair " + byteText(byte) + " " + byteText(trail) +
                               atOffset(i) + " is undefined");
    }
    out = appendUtf8(out, c);
    ++i;
  }
  utf8.resize(static_cast<std::size_t>(out - begin));
  return Status::Ok();
}

Status CodePage::fromUtf8(std::string_view utf8, std::string& stored) const {
  const Tables& t = *tables_;
  const auto* in = reinterpret_cast<const unsigned char*>(utf8.data());
  const std::size_t size = utf8.size();
  const std::size_t ascii = asciiPrefix(in, size);
  if (ascii == size) {
    stored.assign(utf8);
    return Status::Ok();
  }

  stored.resize(size);
  char* const begin = stored.data();
  std::memcpy(begin, in, ascii);
  char* out = begin + ascii;
  std::size_t i = ascii;
  while (i < size) {
    if (in[i] < 0x80) {
      *out++ = static_cast<char>(in[i++]);
      continue;
    }
    const Decoded d = decodeUtf8(in + i, size - i);
    if (d.problem != nullptr) {
      return invalid(stored, std::string(t.name) + ": malformed UTF-8" + atOffset(i) + " (byte " +
                                 byteText(in[i]) + "): " + d.problem);
    }
    if (const int byte = findByte(t, d.character); byte >= 0) {
      *out++ = static_cast<char>(byte);
    } else if (const std::uint16_t pair = t.isDoubleByte() ? findPair(t, d.character) : 0; pair != 0) {
      *out++ = static_cast<char>(pair >> 8);
      *out++ = static_cast<char>(pair & 0xFF);
    } else {
      return invalid(stored, std::string(t.name) + " has no character U+" + hex(d.character, 4) + atOffset(i));
    }
    i += d.length;
  }
  stored.resize(static_cast<std::size_t>(out - begin));
  return Status::Ok();
}

}  // namespace px
