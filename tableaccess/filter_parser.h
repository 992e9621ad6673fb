// The recursive-descent parser of filter texts: builds the typed expression
// tree against the view's field objects and checks that it is a condition.
// Failures throw EDatabaseError; only "Field '%s' not found" names the view.
#pragma once

#include <string_view>

#include "tableaccess/filter_expr.h"
#include "tableaccess/filter_field.h"
#include "tableaccess/filter_locale.h"
#include "tableaccess/filter_tokenizer.h"

class TComponent;

class FilterParser {
 public:
  // `lookup` and `view` must outlive the parser; `view` may be null.
  FilterParser(std::string_view text, const FilterFieldLookup& lookup, const TComponent* view,
               const FilterLocale& locale);

  // The whole text as one Boolean expression.
  FilterExpr::Ptr Parse();

 private:
  FilterExpr::Ptr orExpression();
  FilterExpr::Ptr andExpression();
  FilterExpr::Ptr notExpression();
  FilterExpr::Ptr comparison();
  FilterExpr::Ptr sum();
  FilterExpr::Ptr term();
  FilterExpr::Ptr primary();
  FilterExpr::Ptr inList(FilterExpr::Ptr left);
  FilterExpr::Ptr fieldNode(const std::string& name);

  bool atWord(std::string_view word) const;
  // An operator node over its operands, refused past kMaxDepth levels.
  FilterExpr::Ptr operatorNode(FilterExprOp op, FilterExpr::Ptr left, FilterExpr::Ptr right) const;
  [[noreturn]] void expected(const char* format) const;

  // Bounds the recursion of the parser, the writer and the engine's evaluation,
  // so that a long chain of conditions fails instead of exhausting the stack.
  static constexpr int kMaxDepth = 1000;
  static constexpr int kMaxNesting = 200;  // parentheses within parentheses

  FilterTokenizer tokens_;
  int nesting_ = 0;
  const FilterFieldLookup& lookup_;
  const TComponent* view_;
};

// Gives the operands of a finished comparison their types (a constant takes
// its field's type, text beside a date or time takes that type), refuses
// operands that cannot be compared, and makes the node Boolean.
void TypeComparison(FilterExpr& comparison);
