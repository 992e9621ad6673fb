// Conversion of text between a table's code page and UTF-8. Single-byte code
// pages are table driven; a code page without a table is reported, never guessed.
// The code pages are immutable static objects, safe to use from any thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "engine/status.h"

namespace px {

class CodePage {
 public:
  // HP Roman-8 has no Windows code page number; 1051 is the number it is
  // conventionally given. Tables with the Roman-8 driver store 0 as their code
  // page (docs/paradox-format.md section 10.1), so the caller maps that to this.
  static constexpr int kRoman8 = 1051;

  // The code page with this number (the DOS pages 437, 737, 775, 850, 852, 855,
  // 857, 860-866, 869 and 874, the Windows pages 1250-1258, 936 and kRoman8), or
  // nullptr when the engine has no table for it. The object lives for the whole
  // program.
  static const CodePage* find(int number);

  int number() const { return number_; }

  // Converts stored bytes (no terminator handling: pass exactly the text's bytes)
  // to UTF-8, replacing the content of utf8. Bytes that the code page leaves
  // undefined, and a double-byte lead byte without its trail, give kInvalidValue.
  // REQUIRES: stored does not point into utf8.
  Status toUtf8(std::string_view stored, std::string& utf8) const;
  // Converts UTF-8 to the code page, replacing the content of stored. A character
  // the code page cannot hold, or malformed UTF-8, gives kInvalidValue and names
  // the character. REQUIRES: utf8 does not point into stored.
  Status fromUtf8(std::string_view utf8, std::string& stored) const;

  // Opaque table data, set up by code_page_tables.cpp.
  struct Tables;
  constexpr CodePage(int number, const Tables* tables) : number_(number), tables_(tables) {}

 private:
  int number_;
  const Tables* tables_;
};

// The layout of the table data, shared by the conversion code (code_page.cpp) and
// the generated data (code_page_tables.cpp, written by tools/gen_code_page_tables.py,
// which repeats the double-byte constants below). Not for use elsewhere.
struct CodePage::Tables {
  // The UTF-8 form of one byte's character; length 0 means the byte is undefined
  // on its own (for a double-byte page this includes the lead bytes).
  struct Utf8Char {
    std::uint8_t length;
    char bytes[3];
  };
  // A non-ASCII character that one byte encodes.
  struct ByteForChar {
    std::uint16_t unicode;
    std::uint8_t byte;
  };

  // Double-byte layout (GBK): a lead byte, then a trail byte from a range with a gap.
  static constexpr unsigned kLeadFirst = 0x81;
  static constexpr unsigned kLeadLast = 0xFE;
  static constexpr unsigned kTrailFirst = 0x40;
  static constexpr unsigned kTrailLast = 0xFE;
  static constexpr unsigned kTrailGap = 0x7F;
  static constexpr unsigned kTrailsPerLead = kTrailLast - kTrailFirst;  // range less the gap

  const char* name;                  // for messages: "code page 1252"
  const Utf8Char* byteToUtf8;        // 256 entries
  const ByteForChar* byteForChar;    // sorted by unicode
  std::size_t byteForCharCount;
  // Double-byte pages only, nullptr and 0 otherwise.
  const std::uint16_t* pairToUnicode;   // by pair index (see pairIndex), 0 = undefined
  const std::uint16_t* pairsByUnicode;  // defined pairs (lead << 8 | trail), sorted by character
  std::size_t pairCount;

  bool isDoubleByte() const { return pairToUnicode != nullptr; }
  static bool isLead(unsigned byte) { return byte >= kLeadFirst && byte <= kLeadLast; }
  static bool isTrail(unsigned byte) {
    return byte >= kTrailFirst && byte <= kTrailLast && byte != kTrailGap;
  }
  // REQUIRES: isLead(lead) && isTrail(trail).
  static std::size_t pairIndex(unsigned lead, unsigned trail) {
    unsigned column = trail - kTrailFirst - (trail > kTrailGap ? 1 : 0);
    return static_cast<std::size_t>(lead - kLeadFirst) * kTrailsPerLead + column;
  }
};

}  // namespace px
