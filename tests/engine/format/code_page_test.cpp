#include "engine/format/code_page.h"

#include <gtest/gtest.h>

#include <set>
#include <stdexcept>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

namespace px {
namespace {

const std::vector<int> kAllPages = {437,  737,  775,  850,  852,  855,  857,  860,  861,  862,  863,  864,
                                    865,  866,  869,  874,  1250, 1251, 1252, 1253, 1254, 1255, 1256, 1257,
                                    1258, CodePage::kRoman8, 936};

const CodePage& page(int number) {
  const CodePage* cp = CodePage::find(number);
  if (cp == nullptr) throw std::runtime_error("no code page " + std::to_string(number));
  return *cp;
}

std::string bytes(std::initializer_list<unsigned> values) {
  std::string s;
  for (unsigned v : values) s.push_back(static_cast<char>(v));
  return s;
}

TEST(CodePageFind, KnowsEveryPageAndNothingElse) {
  for (int number : kAllPages) {
    const CodePage* cp = CodePage::find(number);
    ASSERT_NE(cp, nullptr) << number;
    EXPECT_EQ(cp->number(), number);
    EXPECT_EQ(CodePage::find(number), cp) << "find must return the same object each time";
  }
  for (int number : {0, -1, 1, 65001, 1200, 28591, 950, 932, 1259, 0xFFFF}) {
    EXPECT_EQ(CodePage::find(number), nullptr) << number;
  }
}

// Every byte a page defines must come back unchanged, and as a whole text
// (mixed with ASCII) too; this also proves no two bytes share a character and
// that toUtf8 writes strict UTF-8.
TEST(CodePageRoundTrip, EveryDefinedSingleByte) {
  for (int number : kAllPages) {
    const CodePage& cp = page(number);
    std::string all;
    for (unsigned b = 0; b < 256; ++b) {
      const std::string one = bytes({b});
      std::string utf8, back;
      if (!cp.toUtf8(one, utf8).ok()) continue;
      ASSERT_TRUE(cp.fromUtf8(utf8, back).ok()) << number << " byte " << b;
      EXPECT_EQ(back, one) << number << " byte " << b;
      all += one;
      all += 'x';
    }
    std::string utf8, back;
    ASSERT_TRUE(cp.toUtf8(all, utf8).ok()) << number;
    ASSERT_TRUE(cp.fromUtf8(utf8, back).ok()) << number;
    EXPECT_EQ(back, all) << number;
  }
}

TEST(CodePageRoundTrip, EveryDefinedGbkPair) {
  const CodePage& gbk = page(936);
  int defined = 0;
  std::string all;
  for (unsigned lead = 0x81; lead <= 0xFE; ++lead) {
    for (unsigned trail = 0x40; trail <= 0xFE; ++trail) {
      const std::string pair = bytes({lead, trail});
      std::string utf8, back;
      const Status s = gbk.toUtf8(pair, utf8);
      if (trail == 0x7F) {
        EXPECT_EQ(s.code(), rc::kInvalidValue) << "0x7F is never a trail byte";
        continue;
      }
      if (!s.ok()) continue;
      ++defined;
      ASSERT_TRUE(gbk.fromUtf8(utf8, back).ok()) << std::hex << lead << trail;
      EXPECT_EQ(back, pair) << std::hex << lead << trail;
      all += pair;
    }
  }
  EXPECT_GT(defined, 21000);  // GBK holds about 21,800 pairs
  std::string utf8, back;
  ASSERT_TRUE(gbk.toUtf8(all, utf8).ok());
  ASSERT_TRUE(gbk.fromUtf8(utf8, back).ok());
  EXPECT_EQ(back, all);
}

TEST(CodePageRoundTrip, AsciiAndNulAreIdentityEverywhere) {
  std::string ascii;
  for (unsigned b = 0; b < 0x80; ++b) ascii.push_back(static_cast<char>(b));
  for (int number : kAllPages) {
    std::string out;
    ASSERT_TRUE(page(number).toUtf8(ascii, out).ok());
    EXPECT_EQ(out, ascii) << number;
    ASSERT_TRUE(page(number).fromUtf8(ascii, out).ok());
    EXPECT_EQ(out, ascii) << number;
  }
}

struct Known {
  int page;
  std::string stored;
  std::string utf8;
};

TEST(CodePageKnownCharacters, MatchThePublishedTables) {
  const std::vector<Known> cases = {
      {437, "\x84", "ä"},       {437, "\xE1", "ß"},      {850, "\x81", "ü"},       {850, "\x9D", "Ø"},
      {852, "\x9F", "č"},       {852, "\xA5", "ą"},      {857, "\x8D", "ı"},       {860, "\x84", "ã"},
      {861, "\x8B", "Ð"},       {863, "\x84", "Â"},      {865, "\x9B", "ø"},       {866, "\x80", "А"},
      {1250, "\x8A", "Š"},      {1251, "\xC0", "А"},     {1252, "\x80", "€"},      {1252, "\xDF", "ß"},
      {1253, "\xC1", "Α"},      {1254, "\xD0", "Ğ"},     {1257, "\xC0", "Ą"},      {CodePage::kRoman8, "\xC0", "â"},
      {1255, "\xE0", "א"},      {1255, "\xFA", "ת"},     {1255, "\xA4", "₪"},      {1256, "\xC7", "ا"},
      {1256, "\x81", "پ"},      {1258, "\xD0", "Đ"},     {1258, "\xFE", "₫"},      {1258, "\xDE", "\u0303"},
      {737, "\x80", "Α"},       {775, "\x80", "Ć"},      {855, "\x80", "ђ"},       {862, "\x80", "א"},
      {864, "\x80", "°"},       {869, "\x86", "Ά"},      {874, "\xA1", "ก"},       {874, "\x80", "€"},
      {864, "100%", "100%"},  // the lower half stays ASCII on every page
      {CodePage::kRoman8, "\xDE", "ß"},                  {936, "\xD6\xD0\xCE\xC4", "中文"},
      {936, "\x81\x40", "丂"},  {936, "\xA1\xA1", "\u3000"},                      {936, "\x80", "€"},
      {1252, "M\xFCller, Stra\xDF" "e", "Müller, Straße"},
      {936, "ab\xD6\xD0x\x80" "c", "ab中x€c"},
  };
  for (const Known& k : cases) {
    std::string out;
    ASSERT_TRUE(page(k.page).toUtf8(k.stored, out).ok()) << k.page << " " << k.utf8;
    EXPECT_EQ(out, k.utf8) << k.page;
    ASSERT_TRUE(page(k.page).fromUtf8(k.utf8, out).ok()) << k.page << " " << k.utf8;
    EXPECT_EQ(out, k.stored) << k.page << " " << k.utf8;
  }
}

TEST(CodePageKnownCharacters, UndefinedBytesOfTheWindowsPages) {
  // The holes Microsoft leaves in these pages, and no others.
  const std::vector<std::pair<int, std::set<unsigned>>> holes = {
      {1252, {0x81, 0x8D, 0x8F, 0x90, 0x9D}},
      {1251, {0x98}},
      {1250, {0x81, 0x83, 0x88, 0x90, 0x98}},
  };
  for (const auto& [number, undefined] : holes) {
    for (unsigned b = 0x80; b < 0x100; ++b) {
      std::string out;
      EXPECT_EQ(page(number).toUtf8(bytes({b}), out).ok(), undefined.count(b) == 0)
          << number << " byte " << b;
    }
  }
}

TEST(CodePageErrors, UndefinedByteNamesPageAndByte) {
  std::string out = "previous";
  const Status s = page(1252).toUtf8("abc\x81" "d", out);
  EXPECT_EQ(s.code(), rc::kInvalidValue);
  EXPECT_NE(s.message().find("1252"), std::string::npos) << s.message();
  EXPECT_NE(s.message().find("0x81"), std::string::npos) << s.message();
  EXPECT_NE(s.message().find("offset 3"), std::string::npos) << s.message();
  EXPECT_TRUE(out.empty()) << "a failed conversion must not leave a partial text";

  EXPECT_EQ(page(936).toUtf8("\xFF", out).code(), rc::kInvalidValue);
  EXPECT_EQ(page(CodePage::kRoman8).toUtf8("\xFF", out).code(), rc::kInvalidValue);
}

TEST(CodePageErrors, BrokenGbkPairs) {
  const CodePage& gbk = page(936);
  std::string out;
  // The text ends inside a pair although the buffer goes on: the trail is not part of it.
  const std::string buffer = "\xD6\xD0\xCE\xC4";
  const Status truncated = gbk.toUtf8(std::string_view(buffer).substr(0, 3), out);
  EXPECT_EQ(truncated.code(), rc::kInvalidValue);
  EXPECT_NE(truncated.message().find("lead byte 0xCE"), std::string::npos) << truncated.message();
  EXPECT_NE(truncated.message().find("offset 2"), std::string::npos) << truncated.message();

  EXPECT_EQ(gbk.toUtf8("\xD6" "A" "\x30", out).code(), rc::kOk) << "0x41 is a valid trail byte";
  for (const std::string& bad : {bytes({0xD6, 0x30}), bytes({0xD6, 0x7F}), bytes({0xD6, 0xFF}),
                                 bytes({0xAA, 0xA1}) /* user-defined area */}) {
    const Status s = gbk.toUtf8(bad, out);
    EXPECT_EQ(s.code(), rc::kInvalidValue) << std::hex << unsigned(bad[0] & 0xFF) << unsigned(bad[1] & 0xFF);
  }
}

TEST(CodePageErrors, CharacterMissingFromPage) {
  const std::vector<std::tuple<int, std::string, std::string>> cases = {
      {437, "price 5€", "U+20AC"},  {1252, "中", "U+4E2D"},      {866, "é", "U+00E9"},
      {936, "😀", "U+1F600"},        {1252, "\xEF\xBF\xBF", "U+FFFF"}, {1252, "\xED\x9F\xBF", "U+D7FF"},
      {1252, "\xF4\x8F\xBF\xBF", "U+10FFFF"}, {1252, "\xC2\x80", "U+0080"},
  };
  for (const auto& [number, text, named] : cases) {
    std::string out = "previous";
    const Status s = page(number).fromUtf8(text, out);
    EXPECT_EQ(s.code(), rc::kInvalidValue) << number << " " << named;
    EXPECT_NE(s.message().find(named), std::string::npos) << s.message();
    EXPECT_NE(s.message().find(std::to_string(number)), std::string::npos) << s.message();
    EXPECT_EQ(s.message().find("malformed"), std::string::npos) << "valid UTF-8: " << s.message();
    EXPECT_TRUE(out.empty());
  }
}

TEST(CodePageErrors, MalformedUtf8IsRejected) {
  const std::vector<std::string> malformed = {
      "\x80",                  // continuation without a lead
      "\xC0\xAF",              // overlong '/'
      "\xC1\xBF",              // overlong
      "\xE0\x80\xAF",          // overlong, three bytes
      "\xE0\x9F\xBF",          // overlong U+07FF
      "\xF0\x8F\xBF\xBF",      // overlong U+FFFF
      "\xED\xA0\x80",          // surrogate U+D800
      "\xED\xBF\xBF",          // surrogate U+DFFF
      "\xF4\x90\x80\x80",      // beyond U+10FFFF
      "\xF5\x80\x80\x80",      // never a lead
      "\xF8\x90\x80\x80",      // never a lead, though the bits would spell U+10000
      "\xFF",                  //
      "\xC3",                  // truncated at the end
      "\xE2\x82",              // truncated at the end
      "\xC3" "A",              // lead followed by ASCII
      "\xE2\x82\xC3\xBC",      // lead cut short by another character
  };
  for (int number : {1252, 936}) {
    for (const std::string& bad : malformed) {
      for (const std::string& text : {bad, "ok " + bad + " ok"}) {
        std::string out;
        const Status s = page(number).fromUtf8(text, out);
        EXPECT_EQ(s.code(), rc::kInvalidValue) << number << " " << testing::PrintToString(text);
        EXPECT_NE(s.message().find("malformed UTF-8"), std::string::npos) << s.message();
      }
    }
  }
}

TEST(CodePageErrors, SequenceCutByTheEndOfTheText) {
  // The view ends inside the euro sign; the bytes after it must not be read.
  const std::string buffer = "a\xE2\x82\xAC";
  std::string out;
  const Status s = page(1252).fromUtf8(std::string_view(buffer).substr(0, 3), out);
  EXPECT_EQ(s.code(), rc::kInvalidValue);
  EXPECT_NE(s.message().find("incomplete"), std::string::npos) << s.message();
}

TEST(CodePageConversion, ReplacesRatherThanAppends) {
  std::string out = "stale text that is longer";
  ASSERT_TRUE(page(850).toUtf8("\x81", out).ok());
  EXPECT_EQ(out, "ü");
  ASSERT_TRUE(page(850).fromUtf8("ab", out).ok());
  EXPECT_EQ(out, "ab");
  ASSERT_TRUE(page(850).toUtf8("", out).ok());
  EXPECT_EQ(out, "");
}

}  // namespace
}  // namespace px
