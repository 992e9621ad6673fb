// The engine trees written for typed filter expressions: operands put in
// field-first order, lone Boolean fields, NULL tests, case and prefix
// compares, IN lists, and constants converted by their field's type.
#include <gtest/gtest.h>

#include <locale>

#include "tests/tableaccess/filter_test_support.h"

namespace {

using filter_test::failure;
using filter_test::rendered;

constexpr TFilterOptions kCaseless{TFilterOption::foCaseInsensitive};
constexpr TFilterOptions kWhole{TFilterOption::foNoPartialCompare};

TEST(FilterWriter, TheProgramsFilters) {
  EXPECT_EQ(rendered("Gender<>'x'"), "(Gender#9 <> Alpha'x')");
  EXPECT_EQ(rendered("Gender='x'"), "(Gender#9 = Alpha'x')");
  // The number is a text constant: the field is text.
  EXPECT_EQ(rendered("SessionID>0"), "(SessionID#1 > Alpha'0')");
  EXPECT_EQ(rendered("Patient>0"), "(Patient#2 > Alpha'0')");
  EXPECT_EQ(rendered("Anzeige='True'"), "(Anzeige#15 = Logicaltrue)");
  EXPECT_EQ(rendered("Field1='A'"), "(Field1#5 = Alpha'A')");
  EXPECT_EQ(rendered("Field1='S'"), "(Field1#5 = Alpha'S')");
}

TEST(FilterWriter, AConstantBeforeAFieldMovesBehindIt) {
  EXPECT_EQ(rendered("0<Patient"), rendered("Patient>0"));
  EXPECT_EQ(rendered("0>Patient"), "(Patient#2 < Alpha'0')");
  EXPECT_EQ(rendered("0<=Patient"), "(Patient#2 >= Alpha'0')");
  EXPECT_EQ(rendered("0>=Patient"), "(Patient#2 <= Alpha'0')");
  EXPECT_EQ(rendered("'x'<>Gender"), "(Gender#9 <> Alpha'x')");
  EXPECT_EQ(rendered("'ab*'=Gender"), "text(= 2: Gender#9, Alpha'ab')");
  EXPECT_EQ(rendered("NULL=Gender"), "Gender#9 IS NULL");
  // LIKE keeps its order; two fields are compared as they stand.
  EXPECT_EQ(rendered("'x' LIKE Gender"), "(Alpha'x' LIKE Gender#9)");
  EXPECT_EQ(rendered("Patient = SessionID"), "(Patient#2 = SessionID#1)");
}

TEST(FilterWriter, ABooleanFieldWhereAConditionStandsIsComparedWithFalse) {
  EXPECT_EQ(rendered("Anzeige"), "(Anzeige#15 <> Logicalfalse)");
  EXPECT_EQ(rendered("NOT Anzeige"), "NOT (Anzeige#15 <> Logicalfalse)");
  EXPECT_EQ(rendered("Anzeige OR Gender='x'"), "((Anzeige#15 <> Logicalfalse) OR (Gender#9 = Alpha'x'))");
  EXPECT_EQ(rendered("Gender='x' AND (Anzeige)"), "((Gender#9 = Alpha'x') AND (Anzeige#15 <> Logicalfalse))");
  // As an operand it is a plain field.
  EXPECT_EQ(rendered("Anzeige = true"), "(Anzeige#15 = Logicaltrue)");
  EXPECT_EQ(rendered("Anzeige IS NULL"), "Anzeige#15 IS NULL");
}

TEST(FilterWriter, NullComparisons) {
  EXPECT_EQ(rendered("Gender = NULL"), "Gender#9 IS NULL");
  EXPECT_EQ(rendered("Gender <> null"), "Gender#9 IS NOT NULL");
  EXPECT_EQ(rendered("FlowR075 <> NULL"), "FlowR075#16 IS NOT NULL");
  EXPECT_EQ(failure("Gender LIKE NULL"), "EDatabaseError: NULL only allowed with '=' and '<>'");
  // Other operators reach the engine as they stand, which refuses them.
  EXPECT_EQ(rendered("Gender > NULL"), "(Gender#9 > Null)");
  // A memo is tested for blankness only with IS NULL.
  EXPECT_EQ(failure("Remark = NULL"), "EDatabaseError: Type mismatch in expression");
}

TEST(FilterWriter, TrailingAsteriskAsksForAPrefixCompare) {
  EXPECT_EQ(rendered("Gender = 'ab*'"), "text(= 2: Gender#9, Alpha'ab')");
  EXPECT_EQ(rendered("Gender <> 'ab*'"), "text(<> 2: Gender#9, Alpha'ab')");
  EXPECT_EQ(rendered("Gender LIKE 'a*'"), "text(LIKE 1: Gender#9, Alpha'a')");
  EXPECT_EQ(rendered("Gender = 'Mü*'"), "text(= 2: Gender#9, Alpha'Mü')");
  EXPECT_EQ(rendered("Gender = '**'"), "text(= 1: Gender#9, Alpha'*')");
  // The asterisk alone, an inner asterisk, other operators: whole compares.
  EXPECT_EQ(rendered("Gender = '*'"), "(Gender#9 = Alpha'*')");
  EXPECT_EQ(rendered("Gender = 'a*b'"), "(Gender#9 = Alpha'a*b')");
  EXPECT_EQ(rendered("Gender > 'ab*'"), "(Gender#9 > Alpha'ab*')");
  EXPECT_EQ(rendered("Gender = 'ab*'", kWhole), "(Gender#9 = Alpha'ab*')");
  // A prefix longer than a written text is cut with it.
  EXPECT_EQ(rendered("Gender = '" + std::string(300, 'p') + "*'"),
            "text(= 255: Gender#9, Alpha'" + std::string(255, 'p') + "')");
}

TEST(FilterWriter, CaseInsensitiveTextCompares) {
  EXPECT_EQ(rendered("Gender = 'x'", kCaseless), "text(= ci 0: Gender#9, Alpha'x')");
  EXPECT_EQ(rendered("Gender <> 'x'", kCaseless), "text(<> ci 0: Gender#9, Alpha'x')");
  EXPECT_EQ(rendered("Gender = 'ab*'", kCaseless), "text(= ci 2: Gender#9, Alpha'ab')");
  EXPECT_EQ(rendered("Gender = 'ab*'", {TFilterOption::foCaseInsensitive, TFilterOption::foNoPartialCompare}),
            "text(= ci 0: Gender#9, Alpha'ab*')");
  // Only "=", "<>" and LIKE with a non-empty text take the flag.
  EXPECT_EQ(rendered("Gender > 'x'", kCaseless), "(Gender#9 > Alpha'x')");
  EXPECT_EQ(rendered("Gender = ''", kCaseless), "(Gender#9 = Alpha'')");
  EXPECT_EQ(rendered("Anzeige = 'True'", kCaseless), "(Anzeige#15 = Logicaltrue)");
}

TEST(FilterWriter, InLists) {
  EXPECT_EQ(rendered("Gender IN ('m', 'w')"), "Gender#9 IN (Alpha'm', Alpha'w')");
  // Every element is written in the field's type.
  EXPECT_EQ(rendered("Patient IN (1, 'x', True)"), "Patient#2 IN (Alpha'1', Alpha'x', Alpha'True')");
  EXPECT_EQ(rendered("FlowIRa IN (1, '2')"), "FlowIRa#25 IN (Short1, Short2)");
  EXPECT_EQ(rendered("LastVisit IN ('0001-01-02', '2000-01-01')"), "LastVisit#11 IN (Date2, Date730120)");
  EXPECT_EQ(failure("FlowIRa IN (1, 40000)"), "EDatabaseError: Constant out of range");
}

TEST(FilterWriter, IntegerConstantsRoundAndStayInRange) {
  EXPECT_EQ(rendered("FlowIRa > 32767"), "(FlowIRa#25 > Short32767)");
  EXPECT_EQ(rendered("FlowIRa > -32768"), "(FlowIRa#25 > Short-32768)");
  EXPECT_EQ(rendered("FlowIRa > 2.5"), "(FlowIRa#25 > Short2)");
  EXPECT_EQ(rendered("FlowIRa > 3.5"), "(FlowIRa#25 > Short4)");
  EXPECT_EQ(rendered("Count = -2147483648"), "(Count#31 = Long-2147483648)");
  EXPECT_EQ(rendered("Tag = 65535"), "(Tag#32 = Long65535)");
  for (const char* text : {"FlowIRa > 32768", "FlowIRa > -32769", "Count > 2147483648", "Tag > -1", "Tag > 65536",
                           "Count > 1e300"})
    EXPECT_EQ(failure(text), "EDatabaseError: Constant out of range") << text;
  EXPECT_EQ(failure("FlowIRa > 'abc'"), "EConvertError: 'abc' is not a valid integer value");
  EXPECT_EQ(failure("Count > '1e'"), "EConvertError: '1e' is not a valid integer value");
}

TEST(FilterWriter, FloatingPointConstantsUseTheDecimalSeparator) {
  EXPECT_EQ(rendered("FlowR075 > 1.25"), "(FlowR075#16 > Numberd1.25)");
  EXPECT_EQ(rendered("FlowR075 > ' 1.25 '"), "(FlowR075#16 > Numberd1.25)");
  EXPECT_EQ(rendered("FlowR075 > '+2E-1'"), "(FlowR075#16 > Numberd0.2)");
  EXPECT_EQ(rendered("FlowR075 > '1,25'", {}, U','), "(FlowR075#16 > Numberd1.25)");
  EXPECT_EQ(failure("FlowR075 > '1.25'", {}, U','), "EConvertError: '1.25' is not a valid floating point value");
  EXPECT_EQ(failure("FlowR075 > '1,25'"), "EConvertError: '1,25' is not a valid floating point value");
  for (const char* text : {"FlowR075 > ''", "FlowR075 > 'inf'", "FlowR075 > 'nan'", "FlowR075 > '1e999'",
                           "FlowR075 > True"})
    EXPECT_NE(failure(text).find("EConvertError: "), std::string::npos) << text;
  EXPECT_EQ(rendered("Price >= 10"), "(Price#33 >= Currencyd10)");
  EXPECT_EQ(rendered("Amount = 1.5e1"), "(Amount#34 = BCDdec15)");
  EXPECT_EQ(rendered("Amount = '-0.125'"), "(Amount#34 = BCDdec-0.125)");
}

TEST(FilterWriter, BooleanConstantsFromText) {
  EXPECT_EQ(rendered("Anzeige = 'false'"), "(Anzeige#15 = Logicalfalse)");
  EXPECT_EQ(rendered("Anzeige = 'TRUE'"), "(Anzeige#15 = Logicaltrue)");
  EXPECT_EQ(rendered("Anzeige = 0"), "(Anzeige#15 = Logicalfalse)");
  EXPECT_EQ(rendered("Anzeige = -2"), "(Anzeige#15 = Logicaltrue)");
  EXPECT_EQ(rendered("Anzeige = '0,5'", {}, U','), "(Anzeige#15 = Logicaltrue)");
  EXPECT_EQ(rendered("Anzeige <> False"), "(Anzeige#15 <> Logicalfalse)");
  for (const char* text : {"Anzeige = 'ja'", "Anzeige = ''", "Anzeige = 'Truex'"})
    EXPECT_EQ(failure(text), "EConvertError: Could not convert variant of type (String) into type (Boolean)") << text;
  // The truth words are text beside a text field.
  EXPECT_EQ(rendered("Gender = false"), "(Gender#9 = Alpha'False')");
}

TEST(FilterWriter, DateAndTimeConstants) {
  EXPECT_EQ(rendered("LastVisit >= '2000-01-01'"), "(LastVisit#11 >= Date730120)");
  EXPECT_EQ(rendered("LastVisit = '2024-02-29'"), "(LastVisit#11 = Date738945)");
  EXPECT_EQ(rendered("At < '12:30'"), "(At#36 < Time45000000)");
  EXPECT_EQ(rendered("At < '00:00:01.250'"), "(At#36 < Time1250)");
  EXPECT_EQ(rendered("Creation > '2000-01-01 00:00:01'"), "(Creation#4 > Timestampd63082368001000)");
  EXPECT_EQ(rendered("Creation > '2000-01-01T00:01'"), "(Creation#4 > Timestampd63082368060000)");
  EXPECT_EQ(rendered("Creation > '0001-01-01'"), "(Creation#4 > Timestampd86400000)");
  EXPECT_EQ(failure("LastVisit = '2023-02-29'"), "EConvertError: '2023-02-29' is not a valid date");
  EXPECT_EQ(failure("LastVisit = 20000101"), "EConvertError: '20000101' is not a valid date");
  EXPECT_EQ(failure("At = '24:00'"), "EConvertError: '24:00' is not a valid time");
  EXPECT_EQ(failure("Creation = '2000-01-01 1:00'"), "EConvertError: '2000-01-01 1:00' is not a valid date and time");
}

TEST(FilterWriter, TypesWithoutAnEngineFormFail) {
  EXPECT_EQ(failure("Big > 1"), "EDatabaseError: Constant is not correct type LargeInt");
}

TEST(FilterLocale, TheUsersSeparatorComesFromTheGlobalLocale) {
  struct Comma : std::numpunct<char> {
    char do_decimal_point() const override { return ','; }
  };
  const std::locale saved = std::locale::global(std::locale(std::locale::classic(), new Comma));
  const char32_t separator = FilterLocale::User().decimalSeparator;
  std::locale::global(std::locale::classic());
  const char32_t classic = FilterLocale::User().decimalSeparator;
  std::locale::global(saved);
  EXPECT_EQ(separator, U',');
  EXPECT_EQ(classic, U'.');
}

}  // namespace
