// Turns the parser's typed expression tree into the engine's filter tree: a
// lone Boolean field becomes "field <> false", a constant before a field moves
// behind it, "= NULL" and "<> NULL" become blank tests, and text compares take
// the case and prefix flags. Throws EDatabaseError or EConvertError.
#pragma once

#include "engine/access/filter_tree.h"
#include "tableaccess/filter_expr.h"
#include "tableaccess/filter_locale.h"
#include "tableaccess/filter_options.h"

class FilterWriter {
 public:
  FilterWriter(TFilterOptions options, const FilterLocale& locale) : options_(options), locale_(locale) {}

  px::FilterNode::Ptr Write(const FilterExpr& root) const { return condition(root); }

 private:
  // A node where a condition is expected: the root, or an operand of NOT, AND, OR.
  px::FilterNode::Ptr condition(const FilterExpr& n) const;
  px::FilterNode::Ptr node(const FilterExpr& n) const;
  px::FilterNode::Ptr comparison(const FilterExpr& n) const;

  TFilterOptions options_;
  FilterLocale locale_;
};
