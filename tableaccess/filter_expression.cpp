#include "tableaccess/filter_expression.h"

#include "tableaccess/filter_parser.h"
#include "tableaccess/filter_writer.h"

px::FilterNode::Ptr BuildFilterTree(std::string_view text, TFilterOptions options, const FilterFieldLookup& lookup,
                                    const TComponent* view, const FilterLocale& locale) {
  FilterParser parser(text, lookup, view, locale);
  const FilterExpr::Ptr root = parser.Parse();
  return FilterWriter(options, locale).Write(*root);
}
