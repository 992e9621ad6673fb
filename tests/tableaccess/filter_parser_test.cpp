// Filter texts that do not parse or do not type, with the exact messages, and
// what the tokenizer makes of quotes, numbers, comments and keywords.
#include <gtest/gtest.h>

#include <random>

#include "tests/tableaccess/filter_test_support.h"

namespace {

using filter_test::failure;
using filter_test::rendered;

constexpr const char* kDb = "EDatabaseError: ";

std::string db(const std::string& text) { return kDb + text; }

TEST(FilterTokenizer, CharactersThatStartNoTokenAreNamed) {
  for (const char* c : {"!", "\"", "#", "$", "%", "&", ".", ":", ";", "?", "@", "\\", "]", "^", "`", "{", "|", "}",
                        "~", "\x7f", "\u0080", "\u00ff", "\uffff", "\ufffe"})
    EXPECT_EQ(failure(std::string("Gender ") + c), db("Invalid filter expression character: '" + std::string(c) + "'"))
        << c;
  EXPECT_EQ(failure("Gender = 'x' /* no end"), db("Invalid filter expression character: ''"));
  // Not UTF-8, or a NUL inside the text: nothing of it is read.
  EXPECT_EQ(failure("Gender = '\xe4'"), db("Invalid filter expression character: '\ufffd'"));
  EXPECT_EQ(failure(std::string("Gender = 'x'\0 OR 1=1", 20)), db("Invalid filter expression character: '\ufffd'"));
}

TEST(FilterTokenizer, BlanksCommentsAndControlCharactersSeparateTokens) {
  EXPECT_EQ(rendered("\t/* old */Gender\r\n<>/**/'x'/* end */ "), "(Gender#9 <> Alpha'x')");
  EXPECT_EQ(rendered("Gender<>'x'"), rendered("Gender <> 'x'"));
}

TEST(FilterTokenizer, StringLiterals) {
  EXPECT_EQ(rendered("Gender = 'O''Brien'"), "(Gender#9 = Alpha'O'Brien')");
  EXPECT_EQ(rendered("Gender = ''''"), "(Gender#9 = Alpha''')");
  EXPECT_EQ(rendered("Gender = 'a' OR Gender = 'b'"), "((Gender#9 = Alpha'a') OR (Gender#9 = Alpha'b'))");
  EXPECT_EQ(failure("Gender = 'x"), db("Unterminated string constant"));
  EXPECT_EQ(failure("Gender = 'x''"), db("Unterminated string constant"));
  // Characters beyond 512 are dropped, and a text constant is written with at most 255.
  const std::string longText(600, 'q');
  EXPECT_EQ(rendered("Gender = '" + longText + "'"), "(Gender#9 = Alpha'" + std::string(255, 'q') + "')");
  EXPECT_EQ(rendered("Gender = 'ÄÖü€'"), "(Gender#9 = Alpha'ÄÖü€')");
}

TEST(FilterTokenizer, FieldNames) {
  EXPECT_EQ(rendered("[Label Text] = 'a'"), "(Label Text#37 = Alpha'a')");
  EXPECT_EQ(failure("[Label Text = 'a'"), db("Unterminated field name"));
  // A symbol runs over letters, digits, "_", ".", "[" and "]".
  EXPECT_EQ(failure("Gender.x = 'a'"), db("Field 'Gender.x' not found"));
  EXPECT_EQ(failure("Gen[der] = 'a'"), db("Field 'Gen[der]' not found"));
  EXPECT_EQ(rendered("gENDER = 'a'"), "(Gender#9 = Alpha'a')");
}

TEST(FilterTokenizer, NumbersAndMinus) {
  // A number constant keeps its text until its field's type reads it.
  EXPECT_EQ(rendered("Patient > -1.50e+2"), "(Patient#2 > Alpha'-1.50e+2')");
  EXPECT_EQ(rendered("FlowR075 > -1.5e2"), "(FlowR075#16 > Numberd-150)");
  // After an operand, "-" is the operator.
  EXPECT_EQ(failure("Patient - 1 > 0"), db("Arithmetic in filter expressions not supported"));
  // Inside a number, signs are number characters.
  EXPECT_EQ(rendered("Patient > 1-1"), "(Patient#2 > Alpha'1-1')");
  EXPECT_EQ(failure("Patient > 1 -1"), db("Arithmetic in filter expressions not supported"));
  // "." belongs to a number only as the decimal separator.
  EXPECT_EQ(failure("FlowR075 > 1.5", {}, U','), db("Invalid filter expression character: '.'"));
  EXPECT_EQ(rendered("FlowR075 > 1,5", {}, U','), "(FlowR075#16 > Numberd1.5)");
  // A comma before a blank separates list elements; without the blank it is the separator.
  EXPECT_EQ(rendered("FlowR075 IN (1, 2,5)", {}, U','), "FlowR075#16 IN (Numberd1, Numberd2.5)");
  EXPECT_EQ(rendered("FlowR075 IN (1,2)", {}, U','), "FlowR075#16 IN (Numberd1.2)");
  EXPECT_EQ(rendered("FlowR075 IN (1,2)"), "FlowR075#16 IN (Numberd1, Numberd2)");
}

TEST(FilterTokenizer, Keywords) {
  EXPECT_EQ(rendered("Gender is null"), "Gender#9 IS NULL");
  EXPECT_EQ(rendered("Gender IS  Not\tNULL"), "Gender#9 IS NOT NULL");
  EXPECT_EQ(rendered("Gender like 'x'"), "(Gender#9 LIKE Alpha'x')");
  EXPECT_EQ(rendered("Gender in ('x')"), "Gender#9 IN (Alpha'x')");
  EXPECT_EQ(failure("Gender IS 'x'"), db("Invalid use of keyword"));
  EXPECT_EQ(failure("Gender IS NOT 'x'"), db("Invalid use of keyword"));
  EXPECT_EQ(failure("Gender IS NULLS"), db("Invalid use of keyword"));
  EXPECT_EQ(failure("Gender IS"), db("Invalid use of keyword"));
}

TEST(FilterParser, StructureErrorsNameTheToken) {
  EXPECT_EQ(failure("Gender = 'x' Gender = 'y'"), db("Filter expression incorrectly terminated"));
  EXPECT_EQ(failure("Patient > 0 = 1"), db("Filter expression incorrectly terminated"));
  EXPECT_EQ(failure("Gender ="), db("Expression expected but end of text found"));
  EXPECT_EQ(failure(""), db("Expression expected but end of text found"));
  EXPECT_EQ(failure("Gender = )"), db("Expression expected but ')' found"));
  EXPECT_EQ(failure("Gender = IS NULL"), db("Expression expected but 'IS NULL' found"));
  EXPECT_EQ(failure("(Gender = 'x'"), db("')' expected but end of text found"));
  EXPECT_EQ(failure("(Gender = 'x' 'y')"), db("')' expected but 'y' found"));
  EXPECT_EQ(failure("(Gender = 'x' Patient)"), db("')' expected but 'Patient' found"));
  // A digit after an operand is read as the minus operator.
  EXPECT_EQ(failure("(Gender = 'x' 12)"), db("Arithmetic in filter expressions not supported"));
  EXPECT_EQ(failure("Gender IN 'x'"), db("'(' expected but 'x' found"));
  EXPECT_EQ(failure("Gender IN ()"), db("IN predicate list may not be empty"));
  EXPECT_EQ(failure("Gender IN ('x' 'y')"), db("')' or ',' expected but 'y' found"));
  EXPECT_EQ(failure("Gender IN ('x' Patient)"), db("')' or ',' expected but 'Patient' found"));
  EXPECT_EQ(failure("Gender IN ('x'"), db("')' or ',' expected but end of text found"));
  EXPECT_EQ(failure("Gender IN ('x',"), db("')' expected but end of text found"));
  EXPECT_EQ(failure("Gender IN ('x',)"), db("Expression expected but ')' found"));
  for (const char* text : {"Patient + 1 > 0", "Patient > 0 * 2", "Patient / 2 > 0", "FlowR075 > -1 + 2"})
    EXPECT_EQ(failure(text), db("Arithmetic in filter expressions not supported")) << text;
}

TEST(FilterParser, FieldsMustExistAndBeUsable) {
  TComponent view;
  view.SetName("dPatient");
  EXPECT_EQ(failure("Gendr = 'x'", {}, U'.', &view), db("dPatient: Field 'Gendr' not found"));
  EXPECT_EQ(failure("[Gendr X] = 'x'"), db("Field 'Gendr X' not found"));
  EXPECT_EQ(failure("Lookup = 'x'", {}, U'.', &view), db("Field 'Lookup' cannot be used in a filter expression"));
  // AND, OR, NOT and NULL out of place are field names.
  EXPECT_EQ(failure("NOT NOT Anzeige"), db("Field 'NOT' not found"));
  EXPECT_EQ(failure("Gender = AND"), db("Field 'AND' not found"));
}

TEST(FilterParser, TheWholeExpressionMustBeACondition) {
  EXPECT_EQ(failure("Gender"), db("Incorrectly formed filter expression"));
  EXPECT_EQ(failure("'x'"), db("Incorrectly formed filter expression"));
  EXPECT_EQ(failure("(Patient)"), db("Incorrectly formed filter expression"));
  EXPECT_EQ(rendered("Anzeige"), "(Anzeige#15 <> Logicalfalse)");
}

TEST(FilterParser, LargeObjectsAndBytesCannotBeCompared) {
  for (const char* text : {"Remark = 'x'", "Data = 'x'", "Raw = 'x'", "'x' = Remark", "Gender = Remark",
                           "Remark IN ('x')", "Gender LIKE Remark", "Raw LIKE 'x'"})
    EXPECT_EQ(failure(text), db("Type mismatch in expression")) << text;
  // They may be tested for blankness, and LIKE reads memos and blobs as text.
  EXPECT_EQ(rendered("Remark IS NULL"), "Remark#13 IS NULL");
  EXPECT_EQ(rendered("Remark LIKE 'ab*'"), "text(LIKE 2: Remark#13, Alpha'ab')");
  EXPECT_EQ(rendered("Data LIKE 'ab'"), "(Data#10 LIKE Alpha'ab')");
}

TEST(FilterParser, PrecedenceAndGrouping) {
  EXPECT_EQ(rendered("Gender='a' OR Gender='b' AND Patient>0"),
            "((Gender#9 = Alpha'a') OR ((Gender#9 = Alpha'b') AND (Patient#2 > Alpha'0')))");
  EXPECT_EQ(rendered("(Gender='a' OR Gender='b') AND NOT Anzeige"),
            "(((Gender#9 = Alpha'a') OR (Gender#9 = Alpha'b')) AND NOT (Anzeige#15 <> Logicalfalse))");
  EXPECT_EQ(rendered("Gender='a' and Gender='b' and Gender='c'"),
            "(((Gender#9 = Alpha'a') AND (Gender#9 = Alpha'b')) AND (Gender#9 = Alpha'c'))");
  EXPECT_EQ(rendered("not Gender='a'"), "NOT (Gender#9 = Alpha'a')");
}

TEST(FilterParser, VeryDeepExpressionsFailInsteadOfExhaustingTheStack) {
  std::string chain = "Gender='x'";
  for (int i = 0; i < 998; ++i) chain += " OR Gender='x'";
  EXPECT_EQ(failure(chain), "(no error)");
  EXPECT_EQ(failure(chain + " OR Gender='y'"), db("Incorrectly formed filter expression"));
  EXPECT_EQ(failure(std::string(200, '(') + "Anzeige" + std::string(200, ')')), "(no error)");
  EXPECT_EQ(failure(std::string(100000, '(') + "Anzeige" + std::string(100000, ')')),
            db("Incorrectly formed filter expression"));
}

TEST(FilterParser, ArbitraryTextsEitherBuildOrFailWithAMessage) {
  const std::vector<std::string> pieces = {
      "Gender", "Anzeige", "Remark", "FlowIRa", "LastVisit", "'", "''", "'x'", "(", ")", "=", "<>", "<", ">=", "IS",
      "NULL", "NOT", "IN", ",", "*", "-", "+", "1", "2.5", "/*", "*/", "[", "]", " ", "AND", "OR", "LIKE", "True",
      "ä", "€", "\xff", "\t", "0,5", "e", "Lookup"};
  std::mt19937 random(20240501);
  for (int round = 0; round < 5000; ++round) {
    std::string text;
    const int count = 1 + static_cast<int>(random() % 9);
    for (int i = 0; i < count; ++i) text += pieces[random() % pieces.size()];
    for (char32_t separator : {U'.', U','}) {
      try {
        filter_test::build(text, {}, separator);
      } catch (const EDatabaseError& e) {
        EXPECT_FALSE(e.Message().empty()) << text;
      } catch (const EConvertError& e) {
        EXPECT_FALSE(e.Message().empty()) << text;
      }
    }
  }
}

}  // namespace
