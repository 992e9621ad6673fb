// Filter programs over records of real tables: which records the program's own
// conditions admit, how blank fields, case, partial compares and the table's
// collation decide, and which trees compile refuses.
#include "engine/access/filter_tree.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

#include "engine/format/blob_format.h"
#include "engine/storage/writable_table.h"
#include "tests/support/test_support.h"

namespace px {
namespace {

using Ptr = FilterNode::Ptr;

Ptr field(int number) { return FilterNode::fieldRef(number, ""); }
Ptr text(const char* utf8) { return FilterNode::text(utf8); }
Ptr cmp(FilterOp op, int number, Ptr constant) { return FilterNode::compare(op, field(number), std::move(constant)); }

// A copy of one fixture table, and records of its layout built from values.
class Fixture {
 public:
  Fixture(const std::string& set, const std::string& name) {
    dir_.copySet(set);
    const Status s = WritableTable::open(localFileSystem(), dir_.path(), name, table_);
    EXPECT_TRUE(s.ok()) << s.message();
  }
  WritableTable& table() { return *table_; }

  // One record per value, in field `number`; the others blank.
  std::vector<Bytes> records(int number, const std::vector<Value>& values) {
    std::vector<Bytes> out;
    for (const Value& v : values) {
      out.push_back(table_->blankRecord());
      const Status s = table_->setValue(out.back(), static_cast<std::size_t>(number - 1), v);
      EXPECT_TRUE(s.ok()) << s.message();
    }
    return out;
  }

  FilterProgram compile(const Ptr& tree) {
    FilterProgram program;
    const Status s = FilterProgram::compile(*tree, *table_, program);
    EXPECT_TRUE(s.ok()) << s.message();
    return program;
  }

  // The values (of `number`) whose records `tree` admits.
  std::vector<std::string> admittedTexts(const Ptr& tree, int number, const std::vector<std::string>& values) {
    const FilterProgram program = compile(tree);
    std::vector<std::string> out;
    if (!program.valid()) return out;
    std::vector<Value> asValues(values.begin(), values.end());
    const auto recs = records(number, asValues);
    for (std::size_t i = 0; i < recs.size(); ++i)
      if (program.admits(recs[i].data())) out.push_back(values[i]);
    return out;
  }

  // 1-based positions, in key order, of the table's own records that `tree` admits.
  std::vector<int> admittedRecords(const Ptr& tree) {
    const FilterProgram program = compile(tree);
    std::vector<int> out;
    if (!program.valid()) return out;
    const auto ids = table_->orderedIds();
    for (std::size_t i = 0; i < ids.size(); ++i) {
      bool admitted = false;
      const Status s = program.evaluate(table_->record(ids[i]), admitted);
      EXPECT_TRUE(s.ok()) << s.message();
      if (admitted) out.push_back(static_cast<int>(i + 1));
    }
    return out;
  }

 private:
  test::TempDir dir_;
  std::unique_ptr<WritableTable> table_;
};

using Texts = std::vector<std::string>;
using Ids = std::vector<int>;

// Counts: KodCount A13, code page 1252, byte order. CONTACTS: "Last Name" A10, ascii.
TEST(FilterText, KeysCompareAsTextUnderTheTablesOrderWithBlankAsEmpty) {
  Fixture counts("set05", "Counts");
  const Texts keys = {"1", "9", "10", "00", "0", "", "-1", " 7"};
  EXPECT_EQ(counts.admittedTexts(cmp(FilterOp::Gt, 1, text("0")), 1, keys), (Texts{"1", "9", "10", "00"}));
  // 0 < Patient is written back as Patient > 0.
  EXPECT_EQ(counts.admittedTexts(FilterNode::compare(FilterOp::Lt, text("0"), field(1)), 1, keys),
            (Texts{"1", "9", "10", "00"}));
  EXPECT_EQ(counts.admittedTexts(cmp(FilterOp::Le, 1, text("0")), 1, keys), (Texts{"0", "", "-1", " 7"}));
  // A constant longer than the field is compared whole, not cut to the field.
  EXPECT_EQ(counts.admittedTexts(cmp(FilterOp::Ge, 1, text("12345678901234")), 1, {"1234567890123", "2"}),
            (Texts{"2"}));

  Fixture contacts("set02", "CONTACTS");
  const Texts genders = {"x", "X", "", "y"};
  EXPECT_EQ(contacts.admittedTexts(cmp(FilterOp::Ne, 1, text("x")), 1, genders), (Texts{"X", "", "y"}));
  EXPECT_EQ(contacts.admittedTexts(cmp(FilterOp::Eq, 1, text("x")), 1, genders), (Texts{"x"}));
  EXPECT_EQ(contacts.admittedTexts(cmp(FilterOp::Like, 1, text("x")), 1, genders), (Texts{"x"}));
  EXPECT_EQ(contacts.admittedTexts(cmp(FilterOp::Eq, 1, text("")), 1, genders), (Texts{""}));
}

TEST(FilterText, PartialAndCaseInsensitiveComparesGoThroughTheCodePage) {
  auto partial = [](FilterOp op, bool caseless, int length, const char* constant) {
    return FilterNode::compareText(op, caseless, length, field(2), text(constant));
  };
  const Texts names = {"Müll", "MÜLL", "Muel", "Mül", "Mu", "Mül*"};
  Fixture intl("set08", "testtab");  // ALPHA A5, ANSIINTL
  EXPECT_EQ(intl.admittedTexts(partial(FilterOp::Eq, false, 3, "Mül"), 2, names), (Texts{"Müll", "Mül", "Mül*"}));
  EXPECT_EQ(intl.admittedTexts(partial(FilterOp::Like, true, 3, "mÜl"), 2, names),
            (Texts{"Müll", "MÜLL", "Mül", "Mül*"}));
  EXPECT_EQ(intl.admittedTexts(partial(FilterOp::Ne, false, 3, "Mül"), 2, names), (Texts{"MÜLL", "Muel", "Mu"}));
  // Only the first characters of the constant are compared.
  EXPECT_EQ(intl.admittedTexts(partial(FilterOp::Eq, false, 2, "Muxyz"), 2, names), (Texts{"Muel", "Mu"}));
  // Whole compares: the asterisk is a character, and the international order folds ü into ue.
  EXPECT_EQ(intl.admittedTexts(partial(FilterOp::Eq, false, 0, "Mül*"), 2, names), (Texts{"Mül*"}));
  EXPECT_EQ(intl.admittedTexts(partial(FilterOp::Eq, true, 0, "MUELL"), 2, names), (Texts{"Müll", "MÜLL"}));

  Fixture bytes("set05", "Counts");  // the same code page in byte order
  EXPECT_EQ(bytes.admittedTexts(FilterNode::compareText(FilterOp::Eq, true, 0, field(1), text("MUELL")), 1, names),
            Texts{});
  EXPECT_EQ(bytes.admittedTexts(FilterNode::compareText(FilterOp::Eq, true, 3, field(1), text("mül")), 1, names),
            (Texts{"Müll", "MÜLL", "Mül", "Mül*"}));
}

// logical.db holds true, false, true, true.
TEST(FilterLogical, BlankPassesOnlyTheNullTests) {
  Fixture t("set01", "logical");
  auto truth = [](bool v) { return FilterNode::constant(FieldType::Logical, v); };
  EXPECT_EQ(t.admittedRecords(cmp(FilterOp::Eq, 1, truth(true))), (Ids{1, 3, 4}));
  EXPECT_EQ(t.admittedRecords(cmp(FilterOp::Eq, 1, truth(false))), (Ids{2}));
  EXPECT_EQ(t.admittedRecords(cmp(FilterOp::Gt, 1, truth(false))), (Ids{1, 3, 4}));

  const Bytes blank = t.table().blankRecord();
  EXPECT_FALSE(t.compile(cmp(FilterOp::Eq, 1, truth(true))).admits(blank.data()));
  EXPECT_FALSE(t.compile(cmp(FilterOp::Eq, 1, truth(false))).admits(blank.data()));
  EXPECT_FALSE(t.compile(cmp(FilterOp::Lt, 1, truth(true))).admits(blank.data()));
  // A lone logical field is written "<> false": a blank flag is not admitted.
  EXPECT_FALSE(t.compile(cmp(FilterOp::Ne, 1, truth(false))).admits(blank.data()));
  EXPECT_TRUE(t.compile(FilterNode::nullTest(field(1))).admits(blank.data()));
  EXPECT_TRUE(t.compile(FilterNode::negation(cmp(FilterOp::Eq, 1, truth(true)))).admits(blank.data()));

  Bytes broken = blank;
  broken[0] = 0x05;
  bool admitted = true;
  EXPECT_EQ(t.compile(cmp(FilterOp::Eq, 1, truth(true))).evaluate(broken.data(), admitted).code(), rc::kInvalidValue);
  EXPECT_FALSE(t.compile(cmp(FilterOp::Ne, 1, truth(true))).admits(broken.data()));
}

// testtab: ID, ALPHA, NUMBER, MONEY, SHORT, LONG, BCD, DATE, TIME, TIMESTAMP,
// LOGICAL, BINARY, BYTES (blob), MEMO; record 4 is blank but for ID, ALPHA and
// BINARY; BYTES is set in record 1 only; memos are '111', '222', ... in the .MB.
class FilterEveryType : public testing::Test {
 protected:
  Fixture t{"set08", "testtab"};
  Value valueOf(int record, int number) {
    Value v;
    EXPECT_TRUE(t.table().readValue(t.table().record(t.table().orderedIds()[record - 1]), number - 1, v).ok());
    return v;
  }
};

TEST_F(FilterEveryType, NullTestsSeeBlanksOfEveryType) {
  for (int number = 1; number <= 14; ++number) {
    Ids expected = number == 1 || number == 2 || number == 12 ? Ids{} : Ids{4};
    if (number == 13) expected = {2, 3, 4, 5};
    EXPECT_EQ(t.admittedRecords(FilterNode::nullTest(field(number))), expected) << "field " << number;
    Ids others;
    for (int r = 1; r <= 5; ++r)
      if (std::find(expected.begin(), expected.end(), r) == expected.end()) others.push_back(r);
    EXPECT_EQ(t.admittedRecords(FilterNode::notNullTest(field(number))), others) << "field " << number;
  }
  // A memo whose descriptor says length 0 is blank, whatever else its bytes hold.
  const FieldDescriptor& memo = t.table().fields()[13];
  Bytes emptied(t.table().record(t.table().orderedIds()[0]),
                t.table().record(t.table().orderedIds()[0]) + t.table().header().recordSize);
  std::fill_n(emptied.begin() + memo.offset + memo.size - kBlobDescriptorSize + blob::kDescLength, 4, 0);
  EXPECT_TRUE(t.compile(FilterNode::nullTest(field(14))).admits(emptied.data()));
  // "= NULL" and "<> NULL" are the same tests.
  EXPECT_EQ(t.admittedRecords(cmp(FilterOp::Eq, 5, FilterNode::constant(FieldType::Short, Null{}))), (Ids{4}));
  EXPECT_EQ(t.admittedRecords(cmp(FilterOp::Ne, 14, FilterNode::constant(FieldType::Memo, Null{}))), (Ids{1, 2, 3, 5}));
}

TEST_F(FilterEveryType, NumbersDatesAndTimesCompareByValue) {
  auto number = [](double v) { return FilterNode::constant(FieldType::Number, v); };
  EXPECT_EQ(t.admittedRecords(cmp(FilterOp::Gt, 3, number(0))), (Ids{1, 3, 5}));
  EXPECT_EQ(t.admittedRecords(cmp(FilterOp::Eq, 4, number(111.11))), (Ids{1}));
  // A blank number has no value to differ from the constant.
  EXPECT_EQ(t.admittedRecords(cmp(FilterOp::Ne, 5, FilterNode::constant(FieldType::Short, 111))), (Ids{2, 3, 5}));
  EXPECT_EQ(t.admittedRecords(cmp(FilterOp::Eq, 6, FilterNode::constant(FieldType::Long, -222))), (Ids{2}));
  EXPECT_EQ(t.admittedRecords(cmp(FilterOp::Lt, 6, number(222.5))), (Ids{1, 2}));
  EXPECT_EQ(t.admittedRecords(cmp(FilterOp::Eq, 7, FilterNode::constant(FieldType::BCD, Decimal{"-222.22"}))), (Ids{2}));
  EXPECT_EQ(t.admittedRecords(cmp(FilterOp::Ge, 7, number(333.33))), (Ids{3, 5}));
  EXPECT_EQ(t.admittedRecords(cmp(FilterOp::Ge, 8, FilterNode::constant(FieldType::Date, valueOf(2, 8)))), (Ids{2, 3, 5}));
  EXPECT_EQ(t.admittedRecords(cmp(FilterOp::Lt, 9, FilterNode::constant(FieldType::Time, valueOf(1, 9)))), (Ids{3, 5}));
  EXPECT_EQ(t.admittedRecords(cmp(FilterOp::Eq, 10, FilterNode::constant(FieldType::Timestamp, valueOf(5, 10)))), (Ids{5}));
  // Two fields; a blank on either side admits nothing.
  EXPECT_EQ(t.admittedRecords(FilterNode::compare(FilterOp::Eq, field(3), field(4))), (Ids{1, 2, 3, 5}));
  // Memo text kept in the blob file.
  EXPECT_EQ(t.admittedRecords(FilterNode::compare(FilterOp::Eq, field(14), FilterNode::constant(FieldType::Memo, std::string("222")))),
            (Ids{2}));
}

TEST_F(FilterEveryType, ConditionsCombine) {
  auto alpha = [](FilterOp op, const char* v) { return cmp(op, 2, text(v)); };
  auto isTrue = [] { return cmp(FilterOp::Eq, 11, FilterNode::constant(FieldType::Logical, true)); };
  EXPECT_EQ(t.admittedRecords(FilterNode::both(cmp(FilterOp::Gt, 3, FilterNode::constant(FieldType::Number, 0.0)),
                                               alpha(FilterOp::Ne, "AAA"))),
            (Ids{3, 5}));
  EXPECT_EQ(t.admittedRecords(FilterNode::either(alpha(FilterOp::Eq, "BBB"), FilterNode::nullTest(field(5)))), (Ids{2, 4}));
  EXPECT_EQ(t.admittedRecords(FilterNode::negation(isTrue())), (Ids{2, 4}));
  std::vector<Ptr> texts;
  texts.push_back(text("AAA"));
  texts.push_back(text("CCC"));
  texts.push_back(text("ZZZ"));
  EXPECT_EQ(t.admittedRecords(FilterNode::in(field(2), std::move(texts))), (Ids{1, 3}));
  std::vector<Ptr> shorts;
  shorts.push_back(FilterNode::constant(FieldType::Short, 111));
  shorts.push_back(FilterNode::constant(FieldType::Number, 555.0));
  EXPECT_EQ(t.admittedRecords(FilterNode::negation(FilterNode::in(field(5), std::move(shorts)))), (Ids{2, 3, 4}));
}

TEST_F(FilterEveryType, CompileRefusesTreesThatDoNotFitTheTable) {
  struct Case {
    const char* what;
    std::function<Ptr()> tree;
    ResultCode code;
  };
  const Case cases[] = {
      {"field 0", [] { return FilterNode::nullTest(field(0)); }, rc::kInvalidFieldNumber},
      {"field past the last", [] { return FilterNode::nullTest(field(15)); }, rc::kInvalidFieldNumber},
      {"text for a logical", [] { return cmp(FilterOp::Eq, 11, text("True")); }, rc::kInvalidValue},
      {"number for a text field", [] { return cmp(FilterOp::Gt, 2, FilterNode::constant(FieldType::Number, 0.0)); },
       rc::kInvalidValue},
      {"value of another kind", [] { return cmp(FilterOp::Eq, 8, FilterNode::constant(FieldType::Date, 1.5)); },
       rc::kInvalidValue},
      {"decimal that is no number", [] { return cmp(FilterOp::Eq, 7, FilterNode::constant(FieldType::BCD, Decimal{"1x"})); },
       rc::kInvalidValue},
      {"compare on a blob", [] { return cmp(FilterOp::Eq, 13, text("a")); }, rc::kInvalidValue},
      {"text and number fields", [] { return FilterNode::compare(FilterOp::Eq, field(2), field(3)); }, rc::kInvalidValue},
      {"NULL with <", [] { return cmp(FilterOp::Lt, 3, FilterNode::constant(FieldType::Number, Null{})); }, rc::kInvalidValue},
      {"character outside the code page", [] { return cmp(FilterOp::Eq, 2, text("\u4e2d")); }, rc::kInvalidValue},
      {"text compare with <", [] { return FilterNode::compareText(FilterOp::Lt, false, 0, field(2), text("a")); },
       rc::kInvalidParameter},
      {"text compare on a number", [] { return FilterNode::compareText(FilterOp::Eq, true, 0, field(3), text("1")); },
       rc::kInvalidValue},
      {"partial longer than the text", [] { return FilterNode::compareText(FilterOp::Eq, false, 4, field(2), text("Mül")); },
       rc::kInvalidParameter},
      {"field as the condition", [] { return field(11); }, rc::kInvalidParameter},
      {"two constants", [] { return FilterNode::compare(FilterOp::Eq, text("a"), text("a")); }, rc::kInvalidParameter},
      {"AND without its right side", [] { return FilterNode::both(FilterNode::nullTest(field(2)), nullptr); },
       rc::kInvalidParameter},
      {"empty IN", [] { return FilterNode::in(field(2), {}); }, rc::kInvalidParameter},
  };
  for (const Case& c : cases) {
    FilterProgram program;
    const Status s = FilterProgram::compile(*c.tree(), t.table(), program);
    EXPECT_EQ(s.code(), c.code) << c.what << ": " << s.message();
    EXPECT_NE(s.message().find("testtab"), std::string::npos) << c.what << ": " << s.message();
    EXPECT_FALSE(program.valid()) << c.what;
  }
}

// Every record of a 43,185-record table against a count made from decoded values.
TEST(FilterScan, AdmitsExactlyWhatDecodedValuesSay) {
  Fixture zips("set04", "ZIPCODES");  // Zip A5, State A2, City A25
  std::vector<Ptr> states;
  states.push_back(text("NY"));
  states.push_back(text("TX"));
  const FilterProgram program = zips.compile(FilterNode::both(
      FilterNode::either(FilterNode::compareText(FilterOp::Eq, false, 2, field(1), text("12*")),
                         cmp(FilterOp::Gt, 3, text("Spring"))),
      FilterNode::negation(FilterNode::in(field(2), std::move(states)))));
  const FilterProgram prefix = zips.compile(FilterNode::compareText(FilterOp::Eq, false, 2, field(1), text("12")));
  std::size_t admitted = 0, expected = 0, prefixAdmitted = 0, prefixExpected = 0;
  const WritableTable& t = zips.table();
  ASSERT_EQ(t.recordCount(), 43185u);
  for (const auto id : t.orderedIds()) {
    Value zip, state, city;
    ASSERT_TRUE(t.readValue(t.record(id), 0, zip).ok());
    ASSERT_TRUE(t.readValue(t.record(id), 1, state).ok());
    ASSERT_TRUE(t.readValue(t.record(id), 2, city).ok());
    auto textOf = [](const Value& v) { return isNull(v) ? std::string() : std::get<std::string>(v); };
    const bool startsWith12 = textOf(zip).compare(0, 2, "12") == 0;
    const bool wanted = (startsWith12 || textOf(city) > "Spring") && textOf(state) != "NY" && textOf(state) != "TX";
    expected += wanted;
    prefixExpected += startsWith12;
    admitted += program.admits(t.record(id));
    prefixAdmitted += prefix.admits(t.record(id));
  }
  EXPECT_EQ(prefixAdmitted, prefixExpected);
  EXPECT_EQ(prefixExpected, 586u);
  EXPECT_EQ(admitted, expected);
  EXPECT_GT(expected, 1000u);
}

}  // namespace
}  // namespace px
