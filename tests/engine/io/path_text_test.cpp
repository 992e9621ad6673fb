// Paths made from UTF-8 text and shown as UTF-8 text, the same on both
// systems; text in a code page (a configuration saved by an old editor) is
// taken as the system takes a plain string, never refused.
#include "engine/io/path_text.h"

#include <gtest/gtest.h>

namespace px {
namespace {

TEST(PathText, Utf8RoundTripsThroughPaths) {
  for (const std::string text : {"C:\\Praxis\\Müller & Söhne\\alt (2019)", "/srv/praxis/Ärzte", "Ωmega ✓ 𝄞", "plain"}) {
    EXPECT_EQ(pathText(pathFromUtf8(text)), text);
    EXPECT_EQ(pathFromUtf8(text), std::filesystem::path(std::u8string(text.begin(), text.end())));
  }
}

TEST(PathText, WellFormedUtf8) {
  struct Case {
    std::string text;
    bool utf8;
  };
  const std::vector<Case> cases{
      {"", true},
      {"Müller", true},
      {"M\xFCller", false},          // Latin-1 ü
      {"\xC3", false},               // cut short
      {"\xC0\xAF", false},           // overlong '/'
      {"\xE0\x80\xAF", false},       // overlong, three bytes
      {"\xED\xA0\x80", false},       // a surrogate
      {"\xF4\x90\x80\x80", false},   // beyond U+10FFFF
      {"\xF0\x9D\x84\x9E", true},    // U+1D11E
      {"\xE2\x9C\x93", true},        // U+2713
  };
  for (const Case& c : cases) EXPECT_EQ(isUtf8(c.text), c.utf8) << c.text;
}

TEST(PathText, CodePageTextIsTakenAsAPlainString) {
  const std::string latin1 = "C:\\Praxis\\M\xFCller";
  EXPECT_EQ(pathFromUtf8(latin1), std::filesystem::path(latin1));
}

}  // namespace
}  // namespace px
