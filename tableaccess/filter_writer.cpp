#include "tableaccess/filter_writer.h"

#include <algorithm>

#include "tableaccess/db_errors.h"
#include "tableaccess/filter_constant.h"
#include "tableaccess/filter_messages.h"

namespace fm = filter_messages;
using px::FilterNode;
using px::FilterOp;

namespace {

FilterOp engineOp(FilterExprOp op) {
  switch (op) {
    case FilterExprOp::Eq: return FilterOp::Eq;
    case FilterExprOp::Ne: return FilterOp::Ne;
    case FilterExprOp::Ge: return FilterOp::Ge;
    case FilterExprOp::Le: return FilterOp::Le;
    case FilterExprOp::Gt: return FilterOp::Gt;
    case FilterExprOp::Lt: return FilterOp::Lt;
    default: return FilterOp::Like;
  }
}

bool isOrdering(FilterExprOp op) {
  return op == FilterExprOp::Eq || op == FilterExprOp::Ne || op == FilterExprOp::Ge || op == FilterExprOp::Le ||
         op == FilterExprOp::Gt || op == FilterExprOp::Lt;
}

FilterExprOp mirrored(FilterExprOp op) {
  switch (op) {
    case FilterExprOp::Lt: return FilterExprOp::Gt;
    case FilterExprOp::Gt: return FilterExprOp::Lt;
    case FilterExprOp::Le: return FilterExprOp::Ge;
    case FilterExprOp::Ge: return FilterExprOp::Le;
    default: return op;
  }
}

std::size_t characterCount(std::string_view utf8) {
  std::size_t n = 0;
  for (char c : utf8)
    if ((static_cast<unsigned char>(c) & 0xC0) != 0x80) ++n;
  return n;
}

}  // namespace

FilterNode::Ptr FilterWriter::condition(const FilterExpr& n) const {
  if (n.IsField() && n.dataType == TFieldType::ftBoolean)
    return FilterNode::compare(FilterOp::Ne, node(n), FilterNode::constant(px::FieldType::Logical, px::Value(false)));
  return node(n);
}

FilterNode::Ptr FilterWriter::node(const FilterExpr& n) const {
  switch (n.kind) {
    case FilterExprKind::Field: return FilterNode::fieldRef(n.fieldNo, n.fieldName);
    case FilterExprKind::Constant: return WriteFilterConstant(n.value, n.dataType, locale_);
    case FilterExprKind::Operator: break;
  }
  switch (n.op) {
    case FilterExprOp::Or: return FilterNode::either(condition(*n.left), condition(*n.right));
    case FilterExprOp::And: return FilterNode::both(condition(*n.left), condition(*n.right));
    case FilterExprOp::Not: return FilterNode::negation(condition(*n.left));
    case FilterExprOp::IsNull: return FilterNode::nullTest(node(*n.left));
    case FilterExprOp::IsNotNull: return FilterNode::notNullTest(node(*n.left));
    case FilterExprOp::In: {
      std::vector<FilterNode::Ptr> elements;
      for (const auto& element : n.args) elements.push_back(node(*element));
      return FilterNode::in(node(*n.left), std::move(elements));
    }
    default: return comparison(n);
  }
}

FilterNode::Ptr FilterWriter::comparison(const FilterExpr& n) const {
  const FilterExpr* left = n.left.get();
  const FilterExpr* right = n.right.get();
  FilterExprOp op = n.op;
  if (isOrdering(op) && left->IsConstant() && right->IsField()) {
    std::swap(left, right);
    op = mirrored(op);
  }
  if (left->IsField() && right->IsConstant()) {
    if (right->IsNullConstant()) {
      if (op == FilterExprOp::Eq) return FilterNode::nullTest(node(*left));
      if (op == FilterExprOp::Ne) return FilterNode::notNullTest(node(*left));
      if (op == FilterExprOp::Like) DatabaseError(fm::kNullOnlyEqNe);
    }
    const auto* text = std::get_if<std::string>(&right->value);
    if ((op == FilterExprOp::Eq || op == FilterExprOp::Ne || op == FilterExprOp::Like) && text != nullptr &&
        !text->empty() && IsTextType(right->dataType)) {
      std::string compared = *text;
      std::size_t partial = 0;
      if (!options_.Contains(TFilterOption::foNoPartialCompare) && characterCount(compared) > 1 &&
          compared.back() == '*') {
        compared.pop_back();
        // The engine gets at most the written text's characters.
        partial = std::min(characterCount(compared), kMaxFilterTextChars);
      }
      const bool caseless = options_.Contains(TFilterOption::foCaseInsensitive);
      if (caseless || partial > 0) {
        return FilterNode::compareText(engineOp(op), caseless, static_cast<int>(partial), node(*left),
                                       WriteFilterConstant(FilterConstant(compared), right->dataType, locale_));
      }
    }
  }
  return FilterNode::compare(engineOp(op), node(*left), node(*right));
}
