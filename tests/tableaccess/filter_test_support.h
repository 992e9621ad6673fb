// Helpers of the filter-expression tests: a field lookup over a fixed list of
// field objects, a readable rendering of engine filter trees, and the message
// of whatever a build throws.
#pragma once

#include <charconv>
#include <string>
#include <vector>

#include "engine/access/filter_tree.h"
#include "framework/core/component.h"
#include "tableaccess/db_errors.h"
#include "tableaccess/filter_expression.h"

namespace filter_test {

class Fields {
 public:
  explicit Fields(std::vector<FilterField> fields) : fields_(std::move(fields)) {}
  // A lookup by name without regard to case.
  FilterFieldLookup lookup() const;

 private:
  std::vector<FilterField> fields_;
};

// render: "(Gender#9 <> Alpha'x')", "text(= ci 2: Gender#9, Alpha'ab')", "(a AND b)",
// "NOT a", "Gender#9 IS NULL", "Gender#9 IN (Alpha'a', Alpha'b')", "Null".
// build: with "." as the decimal separator unless given another.
// failure: the message of what the build throws, after its class
// ("EDatabaseError: ...", "EConvertError: ..."), or "(no error)".


inline FilterFieldLookup Fields::lookup() const {
  return [this](std::string_view name) -> const FilterField* {
    for (const auto& f : fields_)
      if (SameText(f.name, name)) return &f;
    return nullptr;
  };
}

inline const Fields& sampleFields() {
  using enum TFieldType;
  static const Fields fields({
      {"Patient", ftString, 20, 2, true},
      {"SessionID", ftString, 20, 1, true},
      {"Gender", ftString, 12, 9, true},
      {"Remark", ftMemo, 60, 13, true},
      {"Data", ftBlob, 240, 10, true},
      {"Raw", ftBytes, 8, 30, true},
      {"Anzeige", ftBoolean, 0, 15, true},
      {"FlowR075", ftFloat, 0, 16, true},
      {"FlowIRa", ftSmallint, 0, 25, true},
      {"Count", ftInteger, 0, 31, true},
      {"Tag", ftWord, 0, 32, true},
      {"Price", ftCurrency, 0, 33, true},
      {"Amount", ftBCD, 2, 34, true},
      {"Big", ftLargeint, 0, 35, true},
      {"LastVisit", ftDate, 0, 11, true},
      {"Creation", ftDateTime, 0, 4, true},
      {"At", ftTime, 0, 36, true},
      {"Label Text", ftString, 10, 37, true},
      {"Field1", ftString, 40, 5, true},
      {"Lookup", ftString, 20, 38, false},
  });
  return fields;
}

namespace detail {

inline const char* opText(px::FilterOp op) {
  switch (op) {
    case px::FilterOp::Eq: return "=";
    case px::FilterOp::Ne: return "<>";
    case px::FilterOp::Lt: return "<";
    case px::FilterOp::Le: return "<=";
    case px::FilterOp::Gt: return ">";
    case px::FilterOp::Ge: return ">=";
    case px::FilterOp::Like: return "LIKE";
  }
  return "?";
}

inline std::string valueText(const px::Value& v) {
  if (px::isNull(v)) return "Null";
  if (const auto* s = std::get_if<std::string>(&v)) return "'" + *s + "'";
  if (const auto* i = std::get_if<std::int32_t>(&v)) return std::to_string(*i);
  if (const auto* d = std::get_if<double>(&v)) {
    char buffer[64];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, *d);
    return "d" + std::string(buffer, result.ptr);
  }
  if (const auto* b = std::get_if<bool>(&v)) return *b ? "true" : "false";
  if (const auto* dec = std::get_if<px::Decimal>(&v)) return "dec" + dec->text;
  return "bytes";
}

}  // namespace detail

inline std::string render(const px::FilterNode& n) {
  using px::FilterKind;
  auto sub = [](const px::FilterNode::Ptr& p) { return p ? render(*p) : std::string("<none>"); };
  switch (n.kind) {
    case FilterKind::Field: return n.name + "#" + std::to_string(n.field);
    case FilterKind::Constant:
      return px::isNull(n.value) ? "Null" : std::string(px::typeName(n.type)) + detail::valueText(n.value);
    case FilterKind::Compare: return "(" + sub(n.left) + " " + detail::opText(n.op) + " " + sub(n.right) + ")";
    case FilterKind::CompareText:
      return std::string("text(") + detail::opText(n.op) + (n.caseInsensitive ? " ci" : "") + " " +
             std::to_string(n.partialLength) + ": " + sub(n.left) + ", " + sub(n.right) + ")";
    case FilterKind::And: return "(" + sub(n.left) + " AND " + sub(n.right) + ")";
    case FilterKind::Or: return "(" + sub(n.left) + " OR " + sub(n.right) + ")";
    case FilterKind::Not: return "NOT " + sub(n.left);
    case FilterKind::IsNull: return sub(n.left) + " IS NULL";
    case FilterKind::IsNotNull: return sub(n.left) + " IS NOT NULL";
    case FilterKind::In: {
      std::string out = sub(n.left) + " IN (";
      for (std::size_t i = 0; i < n.list.size(); ++i) out += (i ? ", " : "") + sub(n.list[i]);
      return out + ")";
    }
  }
  return "?";
}

inline px::FilterNode::Ptr build(const std::string& text, TFilterOptions options = {}, char32_t separator = U'.',
                                 const TComponent* view = nullptr) {
  return BuildFilterTree(text, options, sampleFields().lookup(), view, FilterLocale{separator});
}

inline std::string rendered(const std::string& text, TFilterOptions options = {}, char32_t separator = U'.') {
  try {
    return render(*build(text, options, separator));
  } catch (const Exception& e) {
    return "threw: " + e.Message();
  }
}

inline std::string failure(const std::string& text, TFilterOptions options = {}, char32_t separator = U'.',
                           const TComponent* view = nullptr) {
  try {
    build(text, options, separator, view);
  } catch (const EDatabaseError& e) {
    return "EDatabaseError: " + e.Message();
  } catch (const EConvertError& e) {
    return "EConvertError: " + e.Message();
  }
  return "(no error)";
}

}  // namespace filter_test
