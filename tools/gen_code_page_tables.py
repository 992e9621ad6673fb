#!/usr/bin/env python3
"""Writes engine/format/code_page_tables.cpp, the code page data of the engine.

The characters come from Python's built-in codecs, so the tables can be checked
against a well-known source and regenerated rather than edited by hand:

    python3 tools/gen_code_page_tables.py [output.cpp]

Without an argument the file is written in place in the source tree. The build
does not run this script; the generated file is kept in the repository.
"""

import codecs
import os
import sys

# HP Roman-8 has no Windows number; 1051 is its conventional one
# (CodePage::kRoman8 in code_page.h).
ROMAN8_NUMBER = 1051

# (number, codec, name used in messages). 0x00-0x7F is ASCII on every page.
# The DOS pages (437-874) and the Windows pages (1250-1258) of the original
# engine's language drivers, and Roman-8.
SINGLE_BYTE_PAGES = [
    (437, "cp437", "code page 437"),
    (737, "cp737", "code page 737"),
    (775, "cp775", "code page 775"),
    (850, "cp850", "code page 850"),
    (852, "cp852", "code page 852"),
    (855, "cp855", "code page 855"),
    (857, "cp857", "code page 857"),
    (860, "cp860", "code page 860"),
    (861, "cp861", "code page 861"),
    (862, "cp862", "code page 862"),
    (863, "cp863", "code page 863"),
    (864, "cp864", "code page 864"),
    (865, "cp865", "code page 865"),
    (866, "cp866", "code page 866"),
    (869, "cp869", "code page 869"),
    (874, "cp874", "code page 874"),
    (1250, "cp1250", "code page 1250"),
    (1251, "cp1251", "code page 1251"),
    (1252, "cp1252", "code page 1252"),
    (1253, "cp1253", "code page 1253"),
    (1254, "cp1254", "code page 1254"),
    (1255, "cp1255", "code page 1255"),
    (1256, "cp1256", "code page 1256"),
    (1257, "cp1257", "code page 1257"),
    (1258, "cp1258", "code page 1258"),
    (ROMAN8_NUMBER, "hp_roman8", "code page 1051 (HP Roman-8)"),
]

# Bytes below 0x80 that a codec does not decode as ASCII, and that the tables
# keep ASCII all the same, because the engine copies the lower half of every
# page unchanged (field names, keys, digits). Python's cp864 follows IBM in
# giving 0x25 the Arabic percent sign; tables written through the Windows
# conversion of that page hold the ASCII percent sign there.
ASCII_KEPT = {
    "cp864": {0x25: 0x066A},
}

GBK_NUMBER = 936
GBK_NAME = "code page 936 (GBK)"
# Microsoft's code page 936 puts the euro sign on the single byte 0x80; Python's
# 'gbk' codec (which 'cp936' is an alias of) leaves 0x80 undefined, so the byte
# is added here when the codec does not decode it.
GBK_EURO_BYTE = 0x80
GBK_EURO = 0x20AC

# The double-byte layout; must match the constants of CodePage::Tables in
# engine/format/code_page.h.
LEAD_FIRST, LEAD_LAST = 0x81, 0xFE
TRAIL_FIRST, TRAIL_LAST, TRAIL_GAP = 0x40, 0xFE, 0x7F
TRAILS = [t for t in range(TRAIL_FIRST, TRAIL_LAST + 1) if t != TRAIL_GAP]

VALUES_PER_LINE = 16
PAIRS_PER_LINE = 8


def decode(codec, data):
    """The single character these bytes decode to, or None when undefined."""
    try:
        text = data.decode(codec)
    except UnicodeDecodeError:
        return None
    if len(text) != 1:
        return None
    code = ord(text)
    if code > 0xFFFF:
        sys.exit(f"{codec}: {data.hex()} decodes outside the BMP; the tables hold 16 bits")
    return code


def high_half(codec):
    """The characters of bytes 0x80-0xFF, 0 where the codec has none."""
    kept = ASCII_KEPT.get(codec, {})
    for byte in range(0x80):
        got = decode(codec, bytes([byte]))
        if got != byte and kept.get(byte) != got:
            sys.exit(f"{codec}: byte {byte:#04x} is not ASCII")
    return [decode(codec, bytes([byte])) or 0 for byte in range(0x80, 0x100)]


def check_distinct(codec, characters):
    seen = [c for c in characters if c != 0]
    if len(seen) != len(set(seen)):
        sys.exit(f"{codec}: two codes share a character; the reverse table needs one each")


def identifier(number):
    return f"kCp{number}"


def hex_lines(values, width):
    out = []
    for start in range(0, len(values), VALUES_PER_LINE):
        chunk = values[start:start + VALUES_PER_LINE]
        out.append("    " + " ".join(f"0x{v:0{width}X}," for v in chunk))
    return out


def emit_high_half(out, ident, high):
    out.append(f"constexpr std::uint16_t {ident}High[128] = {{")
    out.extend(hex_lines(high, 4))
    out.append("};")
    out.append(f"constexpr auto {ident}Utf8 = utf8Table({ident}High);")


def emit_reverse(out, ident, high):
    pairs = sorted((c, 0x80 + i) for i, c in enumerate(high) if c != 0)
    out.append(f"constexpr Tables::ByteForChar {ident}Reverse[] = {{")
    for start in range(0, len(pairs), PAIRS_PER_LINE):
        chunk = pairs[start:start + PAIRS_PER_LINE]
        out.append("    " + " ".join(f"{{0x{c:04X}, 0x{b:02X}}}," for c, b in chunk))
    out.append("};")


def single_byte_page(out, number, codec, name):
    high = high_half(codec)
    check_distinct(codec, high)
    ident = identifier(number)
    out.append(f"// {name}: Python codec '{codec}'.")
    for byte, character in sorted(ASCII_KEPT.get(codec, {}).items()):
        out.append(f"// The codec decodes 0x{byte:02X} as U+{character:04X}; it stays ASCII here.")
    emit_high_half(out, ident, high)
    emit_reverse(out, ident, high)
    out.append(f"constexpr Tables {ident} = {{\"{name}\", {ident}Utf8.data(), {ident}Reverse,")
    out.append(f"                            std::size({ident}Reverse), nullptr, nullptr, 0}};")
    out.append("")


def gbk_codec():
    """The codec Python uses for 'cp936', else 'gbk'; and how to describe it."""
    try:
        name = codecs.lookup("cp936").name
        return name, "" if name == "cp936" else " (which 'cp936' names)"
    except LookupError:
        return codecs.lookup("gbk").name, " (Python has no 'cp936')"


def double_byte_page(out):
    codec, alias = gbk_codec()
    high = high_half(codec)
    euro_added = high[GBK_EURO_BYTE - 0x80] == 0
    if euro_added:
        high[GBK_EURO_BYTE - 0x80] = GBK_EURO
    elif high[GBK_EURO_BYTE - 0x80] != GBK_EURO:
        sys.exit(f"{codec}: byte 0x80 is not the euro sign")
    for lead in range(LEAD_FIRST, LEAD_LAST + 1):
        if high[lead - 0x80] != 0:
            sys.exit(f"{codec}: lead byte {lead:#04x} also decodes alone")

    pair_chars = []
    for lead in range(LEAD_FIRST, LEAD_LAST + 1):
        for trail in TRAILS:
            pair_chars.append(decode(codec, bytes([lead, trail])) or 0)
    check_distinct(codec, pair_chars + high)

    codes = [(lead << 8) | trail for lead in range(LEAD_FIRST, LEAD_LAST + 1) for trail in TRAILS]
    by_char = [code for _, code in sorted((c, code) for c, code in zip(pair_chars, codes) if c != 0)]

    ident = identifier(GBK_NUMBER)
    out.append(f"// {GBK_NAME}: Python codec '{codec}'{alias}.")
    if euro_added:
        out.append(f"// The codec leaves 0x80 undefined; Microsoft's code page 936 has U+20AC there.")
    emit_high_half(out, ident, high)
    emit_reverse(out, ident, high)
    out.append("")
    out.append(f"// By pair index: lead 0x{LEAD_FIRST:02X}-0x{LEAD_LAST:02X}, then trail "
               f"0x{TRAIL_FIRST:02X}-0x{TRAIL_LAST:02X} without 0x{TRAIL_GAP:02X}; 0 = undefined.")
    out.append(f"constexpr std::uint16_t {ident}Pairs[{len(pair_chars)}] = {{")
    out.extend(hex_lines(pair_chars, 4))
    out.append("};")
    out.append("")
    out.append("// The defined pairs (lead << 8 | trail) in the order of their characters.")
    out.append(f"constexpr std::uint16_t {ident}PairsByChar[{len(by_char)}] = {{")
    out.extend(hex_lines(by_char, 4))
    out.append("};")
    out.append("")
    out.append(f"static_assert(std::size({ident}Pairs) == "
               f"(Tables::kLeadLast - Tables::kLeadFirst + 1) * Tables::kTrailsPerLead);")
    out.append(f"constexpr Tables {ident} = {{\"{GBK_NAME}\", {ident}Utf8.data(), {ident}Reverse,")
    out.append(f"                           std::size({ident}Reverse), {ident}Pairs, {ident}PairsByChar,")
    out.append(f"                           std::size({ident}PairsByChar)}};")
    out.append("")


PREAMBLE = """\
// Generated by tools/gen_code_page_tables.py from Python's codecs; do not edit.
// Regenerate from the repository root with: python3 tools/gen_code_page_tables.py
//
// The character tables of every code page the engine converts, and the registry
// behind CodePage::find. Bytes 0x00-0x7F are ASCII on every page; the tables hold
// 0x80-0xFF, the UTF-8 form of each byte being built at compile time.

#include <array>
#include <cstdint>
#include <iterator>

#include "engine/format/code_page.h"

namespace px {
namespace {

using Tables = CodePage::Tables;

constexpr Tables::Utf8Char encodeUtf8(std::uint16_t c) {
  if (c < 0x80) return {1, {static_cast<char>(c), 0, 0}};
  if (c < 0x800) {
    return {2, {static_cast<char>(0xC0 | (c >> 6)), static_cast<char>(0x80 | (c & 0x3F)), 0}};
  }
  return {3,
          {static_cast<char>(0xE0 | (c >> 12)), static_cast<char>(0x80 | ((c >> 6) & 0x3F)),
           static_cast<char>(0x80 | (c & 0x3F))}};
}

// The UTF-8 form of all 256 bytes, from the characters of 0x80-0xFF (0 = undefined).
constexpr std::array<Tables::Utf8Char, 256> utf8Table(const std::uint16_t (&high)[128]) {
  std::array<Tables::Utf8Char, 256> table{};
  for (unsigned byte = 0; byte < 0x80; ++byte) {
    table[byte] = encodeUtf8(static_cast<std::uint16_t>(byte));
  }
  for (unsigned byte = 0x80; byte < 0x100; ++byte) {
    if (high[byte - 0x80] != 0) table[byte] = encodeUtf8(high[byte - 0x80]);
  }
  return table;
}
"""


def main():
    root = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
    target = sys.argv[1] if len(sys.argv) > 1 else os.path.join(root, "engine", "format", "code_page_tables.cpp")

    out = [PREAMBLE]
    for number, codec, name in SINGLE_BYTE_PAGES:
        single_byte_page(out, number, codec, name)
    double_byte_page(out)

    numbers = [number for number, _, _ in SINGLE_BYTE_PAGES] + [GBK_NUMBER]
    out.append("constexpr CodePage kPages[] = {")
    for number in sorted(numbers):
        number_text = "CodePage::kRoman8" if number == ROMAN8_NUMBER else str(number)
        out.append(f"    CodePage({number_text}, &{identifier(number)}),")
    out.append("};")
    out.append("")
    out.append("}  // namespace")
    out.append("")
    out.append("const CodePage* CodePage::find(int number) {")
    out.append("  for (const CodePage& page : kPages) {")
    out.append("    if (page.number() == number) return &page;")
    out.append("  }")
    out.append("  return nullptr;")
    out.append("}")
    out.append("")
    out.append("}  // namespace px")

    with open(target, "w", encoding="ascii", newline="\n") as f:
        f.write("\n".join(out) + "\n")


if __name__ == "__main__":
    main()
