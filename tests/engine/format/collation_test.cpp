#include "engine/format/collation.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

namespace px {
namespace {

const char* const kByteOrderDrivers[] = {"ascii", "DBWINUS0", "DBWINWE0", "china", "BLROM800"};
const char* const kIntlDrivers[] = {"intl", "intl850", "ANSIINTL", "ANSII850"};

const Collation& driver(const std::string& name) {
  const Collation* collation = Collation::find(name, 0xFF);
  if (collation == nullptr) throw std::runtime_error("no driver " + name);
  return *collation;
}

std::vector<std::string> allDrivers() {
  std::vector<std::string> names(std::begin(kByteOrderDrivers), std::end(kByteOrderDrivers));
  names.insert(names.end(), std::begin(kIntlDrivers), std::end(kIntlDrivers));
  return names;
}

int sign(int value) { return (value > 0) - (value < 0); }

// The German letters in a driver's code page.
struct Umlauts {
  std::string name;
  std::string ae, AE, oe, ue, UE, sz;
};

std::vector<Umlauts> intlDrivers() {
  const Umlauts dos{"", "\x84", "\x8E", "\x94", "\x81", "\x9A", "\xE1"};
  const Umlauts ansi{"", "\xE4", "\xC4", "\xF6", "\xFC", "\xDC", "\xDF"};
  std::vector<Umlauts> list;
  for (const char* name : kIntlDrivers) {
    list.push_back(std::string(name).starts_with("ANSI") ? ansi : dos);
    list.back().name = name;
  }
  return list;
}

void PrintTo(const Umlauts& umlauts, std::ostream* out) { *out << umlauts.name; }

std::string driverName(const testing::TestParamInfo<std::string>& info) { return info.param; }
std::string umlautName(const testing::TestParamInfo<Umlauts>& info) { return info.param.name; }

TEST(CollationFindTest, NamesCodesAndUnknownDrivers) {
  for (const std::string& name : allDrivers()) {
    const Collation* collation = Collation::find(name, 0x00);
    ASSERT_NE(collation, nullptr) << name;
    EXPECT_EQ(collation->name(), name);
  }
  // The name identifies the driver; the code byte is not unique.
  EXPECT_EQ(Collation::find("ANSIINTL", 0x00)->name(), "ANSIINTL");
  EXPECT_EQ(Collation::find("ansiintl", 0x62)->name(), "ANSIINTL");
  EXPECT_EQ(Collation::find(std::string_view("intl\0\0\0", 7), 0xB7)->name(), "intl");
  EXPECT_EQ(Collation::find("nordan", 0x82), nullptr);
  EXPECT_EQ(Collation::find("intl85", 0x54), nullptr);

  // Level-3 files carry only the code.
  EXPECT_EQ(Collation::find("", 0x00), &Collation::byteOrder());
  EXPECT_EQ(Collation::find("", 0xB7)->name(), "intl");
  EXPECT_EQ(Collation::find("", 0x62), nullptr);
  EXPECT_EQ(Collation::find("", 0x99), nullptr);
  EXPECT_EQ(Collation::byteOrder().name(), "ascii");
}

class CollationEveryDriverTest : public testing::TestWithParam<std::string> {};

TEST_P(CollationEveryDriverTest, DigitStringsSortAsBytes) {
  const Collation& collation = driver(GetParam());
  const std::vector<std::string> expected = {" 7", "+1", "-1", "0", "00", "1",
                                             "10", "100", "11", "2", "9"};
  std::vector<std::string> keys = expected;
  std::reverse(keys.begin(), keys.end());
  for (const bool caseless : {false, true}) {
    std::sort(keys.begin(), keys.end(), [&](const std::string& a, const std::string& b) {
      return (caseless ? collation.compareCaseInsensitive(a, b) : collation.compare(a, b)) < 0;
    });
    EXPECT_EQ(keys, expected) << (caseless ? "case-insensitive" : "case-sensitive");
  }
}

TEST_P(CollationEveryDriverTest, ValueEndsAtFirstNul) {
  const Collation& collation = driver(GetParam());
  using namespace std::string_view_literals;
  for (const bool caseless : {false, true}) {
    auto cmp = [&](std::string_view a, std::string_view b) {
      return sign(caseless ? collation.compareCaseInsensitive(a, b) : collation.compare(a, b));
    };
    EXPECT_EQ(cmp("abc\0zzz"sv, "abc"sv), 0);
    EXPECT_EQ(cmp("abc\0zzz"sv, "abc\0aaa"sv), 0);
    EXPECT_EQ(cmp("abc\0zzz"sv, "abd"sv), -1);
    EXPECT_EQ(cmp("\0x"sv, ""sv), 0);
    EXPECT_EQ(cmp(""sv, "\x01"sv), -1);
    EXPECT_EQ(cmp("a"sv, ""sv), 1);
    EXPECT_EQ(cmp(""sv, " "sv), -1);
    EXPECT_EQ(cmp("ab"sv, "abc"sv), -1);
  }
}

TEST_P(CollationEveryDriverTest, DistinctBytesNeverTie) {
  // A tie between two different characters would leave index order to chance.
  const Collation& collation = driver(GetParam());
  for (int x = 1; x < 256; ++x) {
    for (int y = 1; y < 256; ++y) {
      const std::string a(1, static_cast<char>(x)), b(1, static_cast<char>(y));
      ASSERT_EQ(collation.compare(a, b) == 0, x == y) << std::hex << x << " " << y;
    }
  }
}

// Random strings from all bytes must sort consistently: a comparator that
// is not a strict weak order corrupts any index built with it.
TEST_P(CollationEveryDriverTest, RandomStringsSortConsistently) {
  const Collation& collation = driver(GetParam());
  std::mt19937 random(20240611);
  std::vector<std::string> values;
  const std::string common[] = {"a", "A", "e", "s", "\x84", "\xE4", "\xDF", "\xFC", "_", "0", "1", "9", " "};
  for (int i = 0; i < 300; ++i) {
    std::string value;
    const int length = static_cast<int>(random() % 7);
    for (int j = 0; j < length; ++j) {
      if (random() % 2) value += common[random() % std::size(common)];
      else value += static_cast<char>(1 + random() % 255);
    }
    values.push_back(value);
  }
  for (const bool caseless : {false, true}) {
    auto cmp = [&](const std::string& a, const std::string& b) {
      return sign(caseless ? collation.compareCaseInsensitive(a, b) : collation.compare(a, b));
    };
    for (const std::string& a : values) {
      for (const std::string& b : values) ASSERT_EQ(cmp(a, b), -cmp(b, a)) << a << " / " << b;
    }
    std::vector<std::string> sorted = values;
    std::sort(sorted.begin(), sorted.end(),
              [&](const std::string& a, const std::string& b) { return cmp(a, b) < 0; });
    for (std::size_t i = 0; i < sorted.size(); ++i) {
      for (std::size_t j = i + 1; j < sorted.size(); ++j) {
        ASSERT_LE(cmp(sorted[i], sorted[j]), 0) << sorted[i] << " / " << sorted[j];
      }
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Drivers, CollationEveryDriverTest, testing::ValuesIn(allDrivers()),
                         driverName);

TEST(CollationByteOrderTest, UnsignedBytesWithAccentsAfterZ) {
  for (const char* name : kByteOrderDrivers) {
    const Collation& collation = driver(name);
    EXPECT_LT(collation.compare("Z", "a"), 0) << name;
    EXPECT_LT(collation.compare("_", "a"), 0) << name;
    for (const bool caseless : {false, true}) {
      auto cmp = [&](std::string_view a, std::string_view b) {
        return caseless ? collation.compareCaseInsensitive(a, b) : collation.compare(a, b);
      };
      EXPECT_LT(cmp("z", "\x7F"), 0) << name;
      EXPECT_LT(cmp("\x7F", "\x80"), 0) << name;
      EXPECT_LT(cmp("zzz", "\x8E"), 0) << name;  // Ä in 437/850
      EXPECT_LT(cmp("z", "\xC4"), 0) << name;    // Ä in 1252
      EXPECT_LT(cmp("\xD7", "\xF7"), 0) << name;
    }
  }
}

TEST(CollationByteOrderTest, CaseInsensitiveUsesTheDriversUpperCase) {
  for (const char* name : kByteOrderDrivers) {
    const Collation& collation = driver(name);
    EXPECT_EQ(collation.compareCaseInsensitive("Meier Ltd", "MEIER ltd"), 0) << name;
    EXPECT_LT(collation.compareCaseInsensitive("apple", "Banana"), 0) << name;
    EXPECT_GT(collation.compare("apple", "Banana"), 0) << name;
    // Upper-casing moves the lower-case letters, not the punctuation between the cases.
    EXPECT_LT(collation.compareCaseInsensitive("Z", "_"), 0) << name;
    EXPECT_GT(collation.compareCaseInsensitive("_", "a"), 0) << name;
  }
  const Collation& ansi = driver("DBWINWE0");
  EXPECT_EQ(ansi.compareCaseInsensitive("m\xFCller", "M\xDCLLER"), 0);
  EXPECT_EQ(ansi.compareCaseInsensitive("\x9A\x9C\x9E\xFF", "\x8A\x8C\x8E\x9F"), 0);
  EXPECT_NE(ansi.compareCaseInsensitive("\xF7", "\xD7"), 0);  // ÷ is not a lower-case ×
  const Collation& dos = driver("ascii");
  EXPECT_EQ(dos.compareCaseInsensitive("\x84\x94\x81", "\x8E\x99\x9A"), 0);
  EXPECT_NE(dos.compareCaseInsensitive("\xE4", "\xC4"), 0);
  const Collation& china = driver("china");
  EXPECT_NE(china.compareCaseInsensitive("\x84", "\x8E"), 0);
}

class CollationIntlTest : public testing::TestWithParam<Umlauts> {};

TEST_P(CollationIntlTest, GermanLettersExpand) {
  const Umlauts& u = GetParam();
  const Collation& collation = driver(u.name);
  const std::string mueller = "M" + u.ue + "ller";
  EXPECT_EQ(collation.compareCaseInsensitive(mueller, "Mueller"), 0);
  EXPECT_EQ(collation.compareCaseInsensitive(mueller, "MUELLER"), 0);
  EXPECT_LT(collation.compare("Mueller", mueller), 0);
  EXPECT_LT(collation.compare("MUELLER", mueller), 0);
  EXPECT_LT(collation.compare(mueller, "M" + u.UE + "LLER"), 0);
  EXPECT_LT(collation.compare("Mudd", mueller), 0);
  EXPECT_LT(collation.compare(mueller, "Muff"), 0);
  EXPECT_EQ(collation.compareCaseInsensitive("Stra" + u.sz + "e", "STRASSE"), 0);
  EXPECT_LT(collation.compare("Strasse", "Stra" + u.sz + "e"), 0);
  EXPECT_LT(collation.compare("Stra" + u.sz + "e", "Strasses"), 0);
  EXPECT_EQ(collation.compareCaseInsensitive(u.ae + u.oe, "AEoe"), 0);
  EXPECT_EQ(collation.compareCaseInsensitive(u.ae, u.AE), 0);
  EXPECT_LT(collation.compare(u.ae, u.AE), 0);

  // The primaries of the expansion decide before any secondary does.
  EXPECT_LT(collation.compare("M" + u.ue + "a", "Muez"), 0);
  EXPECT_LT(collation.compare("Mu", "M" + u.ue), 0);
  EXPECT_LT(collation.compare("Mue", "M" + u.ue), 0);
  EXPECT_LT(collation.compare("M" + u.ue, "Muea"), 0);
}

TEST_P(CollationIntlTest, CaseTiesAndPunctuation) {
  const Collation& collation = driver(GetParam().name);
  EXPECT_LT(collation.compare("a", "A"), 0);
  EXPECT_LT(collation.compare("ab", "Ba"), 0);
  EXPECT_LT(collation.compare("aB", "Ab"), 0);
  EXPECT_LT(collation.compare("Abc", "abd"), 0);
  EXPECT_EQ(collation.compareCaseInsensitive("aBc", "AbC"), 0);
  EXPECT_LT(collation.compareCaseInsensitive("abc", "ABD"), 0);

  // Punctuation that lies between Z and a in ASCII sorts after every letter.
  EXPECT_LT(collation.compare("z", "["), 0);
  EXPECT_LT(collation.compare("Z", "_"), 0);
  EXPECT_LT(collation.compare("zz", "`"), 0);
  EXPECT_LT(collation.compare("@", "A"), 0);
  EXPECT_LT(collation.compare("-", "0"), 0);
  EXPECT_LT(collation.compare("~", "\x7F"), 0);
  EXPECT_LT(collation.compare("\x7F", "\xB0"), 0);  // a symbol in all three code pages
}

// Random strings over a small alphabet, checked against a model of the
// documented rules written independently of the weight tables.
TEST_P(CollationIntlTest, MatchesModelOfTheRules) {
  const Umlauts& u = GetParam();
  const Collation& collation = driver(u.name);
  struct Unit {
    int primary, secondary;
  };
  // Primary: 0 < A < B < E < S < U < _ ; secondaries in the documented order.
  const std::map<std::string, std::vector<Unit>> model = {
      {"0", {{0, 0}}},           {"a", {{1, 0}}},          {"A", {{1, 1}}},
      {u.ae, {{1, 2}, {3, 0}}},  {u.AE, {{1, 2}, {3, 1}}}, {"b", {{2, 0}}},
      {"B", {{2, 1}}},           {"e", {{3, 0}}},          {"E", {{3, 1}}},
      {"s", {{4, 0}}},           {"S", {{4, 1}}},          {u.sz, {{4, 2}, {4, 0}}},
      {"u", {{5, 0}}},           {"U", {{5, 1}}},          {u.ue, {{5, 2}, {3, 0}}},
      {u.UE, {{5, 2}, {3, 1}}},  {"_", {{6, 0}}},
  };
  std::vector<std::string> alphabet;  // each entry is one byte
  for (const auto& entry : model) alphabet.push_back(entry.first);
  auto unitsOf = [&](const std::string& value, std::vector<int>& primaries,
                     std::vector<int>& secondaries) {
    for (const char byte : value) {
      for (const Unit& unit : model.at(std::string(1, byte))) {
        primaries.push_back(unit.primary);
        secondaries.push_back(unit.secondary);
      }
    }
  };
  auto lexicographic = [](const std::vector<int>& a, const std::vector<int>& b) {
    return a < b ? -1 : (b < a ? 1 : 0);
  };

  std::mt19937 random(7);
  auto randomValue = [&] {
    std::string value;
    for (int i = static_cast<int>(random() % 6); i > 0; --i) {
      value += alphabet[random() % alphabet.size()];
    }
    return value;
  };
  for (int round = 0; round < 5000; ++round) {
    const std::string a = randomValue();
    std::string b = randomValue();
    // Long shared prefixes reach the cases where an expansion meets its spelled-out twin.
    if (round % 3 == 0) b = a.substr(0, random() % (a.size() + 1)) + b;
    std::vector<int> pa, sa, pb, sb;
    unitsOf(a, pa, sa);
    unitsOf(b, pb, sb);
    const int primary = lexicographic(pa, pb);
    const int expected = primary != 0 ? primary : lexicographic(sa, sb);
    ASSERT_EQ(sign(collation.compare(a, b)), expected) << a << " / " << b;
    ASSERT_EQ(sign(collation.compareCaseInsensitive(a, b)), primary) << a << " / " << b;
  }
}

INSTANTIATE_TEST_SUITE_P(Drivers, CollationIntlTest, testing::ValuesIn(intlDrivers()), umlautName);

TEST(CollationIntlLettersTest, AnsiAccentOrder) {
  const Collation& collation = driver("ANSIINTL");
  // e ë é è ê E Ë É È Ê, then f.
  const std::vector<std::string> expected = {"e",    "\xEB", "\xE9", "\xE8", "\xEA", "E",
                                             "\xCB", "\xC9", "\xC8", "\xCA", "f"};
  std::vector<std::string> letters(expected.rbegin(), expected.rend());
  std::sort(letters.begin(), letters.end(), [&](const std::string& a, const std::string& b) {
    return collation.compare(a, b) < 0;
  });
  EXPECT_EQ(letters, expected);
  for (std::size_t i = 0; i + 1 < expected.size(); ++i) {
    EXPECT_EQ(collation.compareCaseInsensitive(expected[i], "E"), 0) << expected[i];
  }
  EXPECT_LT(collation.compare("\xF8", "O"), 0);  // ø is a lower-case o variant
  EXPECT_LT(collation.compare("\xF1", "o"), 0);   // ñ sorts with n
}

TEST(CollationIntlLettersTest, RingAndAshHaveOwnPrimariesOutside850) {
  // å Å æ Æ in 437 and in 1252.
  const std::map<std::string, std::vector<std::string>> letters = {
      {"intl", {"\x86", "\x8F", "\x91", "\x92"}},
      {"intl850", {"\x86", "\x8F", "\x91", "\x92"}},
      {"ANSIINTL", {"\xE5", "\xC5", "\xE6", "\xC6"}},
      {"ANSII850", {"\xE5", "\xC5", "\xE6", "\xC6"}},
  };
  for (const auto& [name, ring] : letters) {
    const Collation& collation = driver(name);
    const bool folds = name.ends_with("850");
    for (const std::string& letter : ring) {
      EXPECT_EQ(collation.compare("zz", letter) < 0, !folds) << name;
      EXPECT_EQ(collation.compare(letter + "z", "b") < 0, folds) << name;
      EXPECT_LT(collation.compare(letter, "["), 0) << name;
    }
    EXPECT_EQ(collation.compareCaseInsensitive(ring[0], ring[1]), 0) << name;
  }
  // ª folds into A and º into O only in ANSII850.
  EXPECT_EQ(driver("ANSII850").compareCaseInsensitive("\xAA\xBA", "ao"), 0);
  EXPECT_GT(driver("ANSIINTL").compare("\xAA", "z"), 0);
}

}  // namespace
}  // namespace px
