#!/usr/bin/env python3
"""Writes engine/format/collation_tables.cpp: the weight tables of the
international sort orders (docs/paradox-format.md section 10.2).

Every byte of the driver's code page is decoded with Python's own codec and
given weights by the rules below, which are written in Unicode characters so
that one rule set serves code pages 437, 850 and 1252.

Usage: tools/gen_collation_tables.py > engine/format/collation_tables.cpp
"""

import sys
import unicodedata

# Secondary order inside each letter, as section 10.2 lists it for ANSIINTL.
# Characters in one tuple share a secondary weight. Letters not named here
# get [lower, upper]; œ/Œ are not in the reference and are placed after ö.
LETTER_ORDER = {
    "A": ["a", "á", "à", "â", "ã", "A", "Á", "À", "Â", "Ã", ("ä", "Ä")],
    "E": ["e", "ë", "é", "è", "ê", "E", "Ë", "É", "È", "Ê"],
    "I": ["i", "ï", "í", "ì", "î", "I", "Ï", "Í", "Ì", "Î"],
    "O": ["o", "ó", "ò", "ô", "õ", "ø", "O", "Ó", "Ò", "Ô", "Õ", "Ø", ("ö", "Ö"),
          "œ", "Œ"],
    "U": ["u", "ú", "ù", "û", "U", "Ú", "Ù", "Û", ("ü", "Ü")],
    "S": ["s", "S", "ß"],
    "T": ["t", "T", ("þ", "Þ")],
    "Y": ["y", "ÿ", "ý", "Y", "Ý"],
    "N": ["n", "ñ", "N", "Ñ"],
    "C": ["c", "ç", "C", "Ç"],
    "D": ["d", "ð", "D", "Ð"],
}

# Characters that weigh as two letters: the first unit keeps the character's
# own secondary, the second unit is the second letter itself.
EXPANSIONS = {
    "ä": "ae", "Ä": "AE", "ö": "oe", "Ö": "OE", "ü": "ue", "Ü": "UE",
    "ß": "ss", "þ": "th", "Þ": "TH", "œ": "oe", "Œ": "OE",
}

# The "850" drivers fold these into a base letter, after its listed members;
# the others give them primaries of their own right after Z.
FOLDED_850 = {"A": ["å", "Å", "æ", "Æ", "ª"], "O": ["º"]}
OWN_PRIMARIES = [["å", "Å"], ["æ", "Æ"]]

DRIVERS = [
    # (C++ name, driver name, code page, folds å/æ into A)
    ("kIntlWeights", "intl", "cp437", False),
    ("kIntl850Weights", "intl850", "cp850", True),
    ("kAnsiIntlWeights", "ANSIINTL", "cp1252", False),
    ("kAnsiIntl850Weights", "ANSII850", "cp1252", True),
]


def decode(byte, codec):
    try:
        return bytes([byte]).decode(codec)
    except UnicodeDecodeError:
        return None  # undefined in the code page: weighs as a symbol


def base_letter(ch):
    """A-Z for an accented Latin letter that the lists above do not name."""
    decomposed = unicodedata.normalize("NFD", ch)
    first = decomposed[0]
    if len(decomposed) > 1 and first.isascii() and first.isalpha():
        return first.upper()
    return None


def build(codec, fold850):
    """Returns ({char: (primary, secondary)}, [(byte, char)])."""
    chars = [(b, decode(b, codec)) for b in range(256)]
    present = {ch for _, ch in chars if ch is not None}

    # Secondary lists per primary, extended by the code page's other
    # accented letters (lower before upper, in code-point order).
    orders = {}
    for letter in "ABCDEFGHIJKLMNOPQRSTUVWXYZ":
        order = list(LETTER_ORDER.get(letter, [letter.lower(), letter]))
        if fold850:
            order += FOLDED_850.get(letter, [])
        named = {c for item in order for c in (item if isinstance(item, tuple) else (item,))}
        extras = sorted((ch for ch in present
                         if ch not in named and base_letter(ch) == letter),
                        key=lambda c: (ord(c.lower()), c.isupper()))
        orders[letter] = order + extras

    weights = {}
    primary = 1  # 0 is left for the NUL that ends a value

    def assign(order):
        nonlocal primary
        for secondary, item in enumerate(order):
            for ch in item if isinstance(item, tuple) else (item,):
                weights[ch] = (primary, secondary)
        primary += 1

    def assign_ascii(first, last):
        for code in range(first, last + 1):
            assign([chr(code)])

    assign_ascii(0x01, 0x40)  # controls, space, punctuation, digits, : ; < = > ? @
    for letter in "ABCDEFGHIJKLMNOPQRSTUVWXYZ":
        assign(orders[letter])
    if not fold850:
        for order in OWN_PRIMARIES:
            assign(order)
    assign_ascii(0x5B, 0x60)  # [ \ ] ^ _ `
    assign_ascii(0x7B, 0x7F)  # { | } ~ DEL
    for byte, ch in chars:
        if byte >= 0x80 and (ch is None or ch not in weights):
            weights[(byte,)] = (primary, 0)
            primary += 1
    assert primary <= 256, "primary weights must fit a byte"
    return weights, chars


def entry(byte, ch, weights):
    if byte == 0:
        return (0, 0, 0, 0)
    if ch is None or ch not in weights:
        return weights[(byte,)] + (0, 0)
    p, s = weights[ch]
    if ch in EXPANSIONS:
        p2, s2 = weights[EXPANSIONS[ch][1]]
        return (p, s, p2, s2)
    return (p, s, 0, 0)


def shown(ch):
    if ch is None:
        return "--"
    if unicodedata.category(ch)[0] in "CZ":
        return "%04X" % ord(ch)
    return ch


def emit(out, name, driver, codec, fold850):
    weights, chars = build(codec, fold850)
    out.write("\n// %s (%s).\n" % (driver, codec))
    out.write("extern const std::uint8_t %s[256][4] = {\n" % name)
    for row in range(0, 256, 8):
        cells = ", ".join("{%d,%d,%d,%d}" % entry(b, ch, weights)
                          for b, ch in chars[row:row + 8])
        labels = " ".join(shown(ch) for _, ch in chars[row:row + 8])
        out.write("    // %02X: %s\n    %s,\n" % (row, labels, cells))
    out.write("};\n")


def main():
    out = sys.stdout
    out.write("// Generated by tools/gen_collation_tables.py; edit the script, not this file.\n")
    out.write("// Weights of the international sort orders (docs/paradox-format.md section 10.2).\n")
    out.write("// Per byte: primary, secondary, then primary and secondary of the second\n")
    out.write("// unit of an expansion (0, 0 when the byte weighs as one unit).\n")
    out.write("#include <cstdint>\n\nnamespace px::collation_tables {\n")
    for name, driver, codec, fold850 in DRIVERS:
        emit(out, name, driver, codec, fold850)
    out.write("\n}  // namespace px::collation_tables\n")


if __name__ == "__main__":
    main()
