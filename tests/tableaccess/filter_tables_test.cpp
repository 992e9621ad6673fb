// The program's filter texts built against tables created on disk, compiled
// by the engine and run over the records read back: which records each one
// admits, with the table's own collation and blank fields.
#include <gtest/gtest.h>

#include <memory>

#include "engine/access/database.h"
#include "engine/access/filter_tree.h"
#include "engine/storage/table_creator.h"
#include "framework/core/component.h"
#include "tableaccess/field_types.h"
#include "tableaccess/filter_expression.h"
#include "tests/support/test_support.h"

namespace {

using px::FieldType;
using px::Value;
using Texts = std::vector<std::string>;

// A keyed table with a text key "ID" and the given fields after it, filled
// with one record per value of its second field and committed.
class FilterTable {
 public:
  FilterTable(const std::string& name, std::vector<px::FieldDefinition> fields, const std::string& sortOrder = "ascii")
      : name_(name) {
    px::TableDefinition definition;
    definition.fields = {{"ID", FieldType::Alpha, 20}};
    definition.fields.insert(definition.fields.end(), fields.begin(), fields.end());
    definition.keyFields = 1;
    definition.sortOrder = sortOrder;
    const px::Status s = px::createTable(px::localFileSystem(), dir_.path(), name, definition);
    EXPECT_TRUE(s.ok()) << s.message();
    reopen();
  }

  // Records whose second field holds each value in turn (the rest blank).
  void fill(const std::vector<Value>& values) {
    for (const Value& v : values) {
      px::Bytes r = table_->blankRecord();
      ASSERT_TRUE(table_->setValue(r, 0, std::string("k") + std::to_string(++keys_)).ok());
      ASSERT_TRUE(table_->setValue(r, 1, v).ok());
      const px::Status s = table_->insert(r);
      ASSERT_TRUE(s.ok()) << s.message();
    }
    // The filters then read what the table files hold.
    ASSERT_TRUE(db_->close().ok());
    db_.reset();
    ASSERT_NO_FATAL_FAILURE(reopen());
  }

  // The second field's values, as text, of the records that `filter` admits,
  // in key order.
  Texts admitted(const std::string& filter, TFilterOptions options = {}) {
    std::vector<FilterField> fields;
    const auto& descriptors = table_->fields();
    for (std::size_t i = 0; i < descriptors.size(); ++i) {
      const auto& d = descriptors[i];
      fields.push_back({d.name, FieldTypeOf(d.type), FieldSizeOf(d.type, d.size, d.sizeByte), static_cast<int>(i + 1),
                        true});
    }
    const FilterFieldLookup lookup = [&](std::string_view name) -> const FilterField* {
      for (const auto& f : fields)
        if (SameText(f.name, name)) return &f;
      return nullptr;
    };
    const px::FilterNode::Ptr tree = BuildFilterTree(filter, options, lookup, nullptr, FilterLocale{});
    px::FilterProgram program;
    const px::Status s = px::FilterProgram::compile(*tree, *table_, program);
    EXPECT_TRUE(s.ok()) << s.message();
    Texts out;
    if (!s.ok()) return out;
    for (auto id : table_->orderedIds()) {
      bool pass = false;
      EXPECT_TRUE(program.evaluate(table_->record(id), pass).ok());
      if (!pass) continue;
      Value v;
      EXPECT_TRUE(table_->readValue(table_->record(id), 1, v).ok());
      if (px::isNull(v)) out.push_back("<blank>");
      else if (const auto* b = std::get_if<bool>(&v)) out.push_back(*b ? "true" : "false");
      else out.push_back(std::get<std::string>(v));
    }
    return out;
  }

 private:
  void reopen() {
    ASSERT_TRUE(px::Database::open(px::localFileSystem(), dir_.path(), db_).ok());
    const px::Status s = db_->table(name_, table_);
    ASSERT_TRUE(s.ok()) << s.message();
  }

  px::test::TempDir dir_;
  std::string name_;
  std::unique_ptr<px::Database> db_;
  px::WritableTable* table_ = nullptr;
  int keys_ = 0;
};

const std::vector<Value> kKeyTexts = {std::string("1"), std::string("9"), std::string("10"), std::string("00"),
                                      std::string("0"), Value(px::Null{})};

TEST(ProgramFilters, KeyFiltersCompareTextNotNumbers) {
  FilterTable session("session", {{"Patient", FieldType::Alpha, 20}});
  ASSERT_NO_FATAL_FAILURE(session.fill(kKeyTexts));
  // Key order: "00", "0" and the rest as the table orders its keys "k1".."k6".
  EXPECT_EQ(session.admitted("Patient>0"), (Texts{"1", "9", "10", "00"}));
  EXPECT_EQ(session.admitted("0<Patient"), (Texts{"1", "9", "10", "00"}));

  FilterTable data("data", {{"SessionID", FieldType::Alpha, 20}});
  ASSERT_NO_FATAL_FAILURE(data.fill(kKeyTexts));
  EXPECT_EQ(data.admitted("SessionID>0"), (Texts{"1", "9", "10", "00"}));
}

TEST(ProgramFilters, LogicalFieldAgainstTheTextTrue) {
  FilterTable data("data", {{"Anzeige", FieldType::Logical, 1}});
  ASSERT_NO_FATAL_FAILURE(data.fill({true, false, Value(px::Null{}), true}));
  EXPECT_EQ(data.admitted("Anzeige='True'"), (Texts{"true", "true"}));
  EXPECT_EQ(data.admitted("Anzeige=False"), (Texts{"false"}));
  // A lone logical field is "<> false", which a blank flag does not pass.
  EXPECT_EQ(data.admitted("Anzeige"), (Texts{"true", "true"}));
}

class GenderFilters : public testing::TestWithParam<const char*> {};

TEST_P(GenderFilters, CaseSensitiveUnderEitherSortOrder) {
  FilterTable patient("patient", {{"Gender", FieldType::Alpha, 12}}, GetParam());
  ASSERT_NO_FATAL_FAILURE(patient.fill({std::string("x"), std::string("X"), std::string("m"), std::string("w"), Value(px::Null{}),
                std::string("xx")}));
  EXPECT_EQ(patient.admitted("Gender<>'x'"), (Texts{"X", "m", "w", "<blank>", "xx"}));
  EXPECT_EQ(patient.admitted("Gender='x'"), (Texts{"x"}));
  EXPECT_EQ(patient.admitted("Gender='x'", {TFilterOption::foCaseInsensitive}), (Texts{"x", "X"}));
  EXPECT_EQ(patient.admitted("Gender = NULL"), (Texts{"<blank>"}));
  EXPECT_EQ(patient.admitted("Gender <> NULL"), (Texts{"x", "X", "m", "w", "xx"}));
  EXPECT_EQ(patient.admitted("Gender IN ('m', 'w')"), (Texts{"m", "w"}));
  EXPECT_EQ(patient.admitted("NOT Gender IN ('m', 'w') AND Gender IS NOT NULL"), (Texts{"x", "X", "xx"}));
}

INSTANTIATE_TEST_SUITE_P(SortOrders, GenderFilters, testing::Values("ascii", "ANSIINTL"));

TEST(ProgramFilters, CatalogueKinds) {
  FilterTable allerg("allerg", {{"Field1", FieldType::Alpha, 20}});
  ASSERT_NO_FATAL_FAILURE(allerg.fill({std::string("A"), std::string("a"), std::string("S"), std::string("AS"), Value(px::Null{}),
               std::string("s")}));
  EXPECT_EQ(allerg.admitted("Field1='A'"), (Texts{"A"}));
  EXPECT_EQ(allerg.admitted("Field1='S'"), (Texts{"S"}));
}

TEST(ProgramFilters, TrailingAsteriskOnATable) {
  FilterTable patient("patient", {{"Gender", FieldType::Alpha, 12}});
  ASSERT_NO_FATAL_FAILURE(patient.fill({std::string("abc"), std::string("ab"), std::string("a"), std::string("AB"), std::string("ab*"),
                std::string("*"), Value(px::Null{})}));
  EXPECT_EQ(patient.admitted("Gender = 'ab*'"), (Texts{"abc", "ab", "ab*"}));
  EXPECT_EQ(patient.admitted("Gender = 'ab*'", {TFilterOption::foNoPartialCompare}), (Texts{"ab*"}));
  EXPECT_EQ(patient.admitted("Gender = 'ab*'", {TFilterOption::foCaseInsensitive}), (Texts{"abc", "ab", "AB", "ab*"}));
  EXPECT_EQ(patient.admitted("Gender = '*'"), (Texts{"*"}));
}

}  // namespace
