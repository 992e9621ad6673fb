#include "framework/core/description_parser.h"

#include <gtest/gtest.h>

#include <string>

#include "framework/core/exceptions.h"

namespace {

std::string ErrorOf(std::string_view text) {
  try {
    ParseDescription(text, "test.fwd");
  } catch (const EReadError& e) {
    return e.Message();
  }
  return "no error";
}

TEST(DescriptionParserTest, ReadsEveryKindOfValueInOrder) {
  TDescriptionObject root = ParseDescription(R"(
# a comment before the object
TForm2 Form2 {
  Caption = "VELDATEST Mergetool"   # trailing comment with "quotes"
  ClientWidth = 476
  Offset = -5
  Mask = 0x1F
  Visible = false
  Shown = true
  Align = alTop
  DataSource = dmRA5.dsIndex
  Font.Style = [fsBold, fsItalic]
  Empty = []
  Items = ("one", 2, three)
  Text = "a \"b\" \\ \t" + "\r\n"
         + "unvollständig"
})",
                                             "form2.fwd");
  EXPECT_EQ(root.className, "TForm2");
  EXPECT_EQ(root.name, "Form2");
  EXPECT_EQ(root.line, 3);
  ASSERT_EQ(root.properties.size(), 12u);
  const auto& p = root.properties;
  EXPECT_EQ(p[0].value.kind, TValueKind::Text);
  EXPECT_EQ(p[0].value.text, "VELDATEST Mergetool");
  EXPECT_EQ(p[0].line, 4);
  EXPECT_EQ(p[1].value.integer, 476);
  EXPECT_EQ(p[2].value.integer, -5);
  EXPECT_EQ(p[3].value.integer, 31);
  EXPECT_EQ(p[4].value.kind, TValueKind::Boolean);
  EXPECT_FALSE(p[4].value.boolean);
  EXPECT_TRUE(p[5].value.boolean);
  EXPECT_EQ(p[6].value.kind, TValueKind::Identifier);
  EXPECT_EQ(p[6].value.text, "alTop");
  EXPECT_EQ(p[7].value.text, "dmRA5.dsIndex");
  EXPECT_EQ(p[8].name, "Font.Style");
  ASSERT_EQ(p[8].value.kind, TValueKind::Set);
  ASSERT_EQ(p[8].value.items.size(), 2u);
  EXPECT_EQ(p[8].value.items[1].text, "fsItalic");
  EXPECT_EQ(p[9].value.kind, TValueKind::Set);
  EXPECT_TRUE(p[9].value.items.empty());
  ASSERT_EQ(p[10].value.items.size(), 3u);
  EXPECT_EQ(p[10].value.items[1].kind, TValueKind::Integer);
  EXPECT_EQ(p[10].value.items[2].kind, TValueKind::Identifier);
  EXPECT_EQ(p[11].value.text, "a \"b\" \\ \t\r\nunvollständig");
}

TEST(DescriptionParserTest, KeepsNestedObjectsAndPropertiesApart) {
  TDescriptionObject root = ParseDescription(
      "TForm F { A = 1 TPanel P1 { B = 2 TLabel L { } } C = 3 TPanel P2 {} }", "x");
  ASSERT_EQ(root.properties.size(), 2u);
  EXPECT_EQ(root.properties[1].name, "C");
  ASSERT_EQ(root.children.size(), 2u);
  EXPECT_EQ(root.children[0].name, "P1");
  ASSERT_EQ(root.children[0].children.size(), 1u);
  EXPECT_EQ(root.children[0].children[0].className, "TLabel");
  EXPECT_EQ(root.children[1].name, "P2");
}

TEST(DescriptionParserTest, ReportsSyntaxErrorsWithSourceAndLine) {
  EXPECT_EQ(ErrorOf("TForm F {\n  Caption = \"open\n}"), "test.fwd:2: text not closed on its line");
  EXPECT_EQ(ErrorOf("TForm F {\n  A = \n}"), "test.fwd:3: expected a value, found '}'");
  EXPECT_EQ(ErrorOf("TForm F {\n  A = 1\n"), "test.fwd:1: object F is not closed");
  EXPECT_EQ(ErrorOf("TForm F { } TForm G { }"), "test.fwd:1: only one object may stand at the top of a description");
  EXPECT_EQ(ErrorOf("TForm F { A = 12ab }"), "test.fwd:1: not a whole number: 12ab");
  EXPECT_EQ(ErrorOf("TForm F { A = 99999999999999999999 }"), "test.fwd:1: not a whole number: 99999999999999999999");
  EXPECT_EQ(ErrorOf("TForm F { A = \"x\" + 1 }"), "test.fwd:1: expected a text after '+'");
  EXPECT_EQ(ErrorOf("TForm F { A = [1] }"), "test.fwd:1: a set holds identifiers only");
  EXPECT_EQ(ErrorOf("TForm F { A = (1 2) }"), "test.fwd:1: expected ',', found a number");
  EXPECT_EQ(ErrorOf("TForm F { A = \"\\q\" }"), "test.fwd:1: unknown escape \\q");
  EXPECT_EQ(ErrorOf("TForm F { A = b. }"), "test.fwd:1: a name may not end in a period: b.");
  EXPECT_EQ(ErrorOf("TForm F.G { }"), "test.fwd:1: a period in the object name: F.G");
  EXPECT_EQ(ErrorOf("TForm F { 5 }"), "test.fwd:1: expected a property or an object, found a number");
  EXPECT_EQ(ErrorOf("TForm F { A = 1 ; }"), "test.fwd:1: unexpected character ';'");
  EXPECT_EQ(ErrorOf(""), "test.fwd:1: expected class name, found the end of the text");
}

TEST(DescriptionParserTest, TrueAndFalseAreTruthValuesOnlyInLowerCase) {
  TDescriptionObject root = ParseDescription("T X { A = True B = false }", "x");
  EXPECT_EQ(root.properties[0].value.kind, TValueKind::Identifier);
  EXPECT_EQ(root.properties[1].value.kind, TValueKind::Boolean);
}

}  // namespace
