// The filter tree's factories. The tree is compiled for a table in
// filter_compiler.cpp and evaluated record by record in filter_evaluator.cpp.
#include "engine/access/filter_tree.h"

namespace px {

namespace {

FilterNode::Ptr node(FilterKind kind) {
  auto n = std::make_unique<FilterNode>();
  n->kind = kind;
  return n;
}

FilterNode::Ptr binary(FilterKind kind, FilterNode::Ptr left, FilterNode::Ptr right) {
  auto n = node(kind);
  n->left = std::move(left);
  n->right = std::move(right);
  return n;
}

}  // namespace

FilterNode::Ptr FilterNode::fieldRef(int number, std::string name) {
  auto n = node(FilterKind::Field);
  n->field = number;
  n->name = std::move(name);
  return n;
}

FilterNode::Ptr FilterNode::constant(FieldType type, Value value) {
  auto n = node(FilterKind::Constant);
  n->type = type;
  n->value = std::move(value);
  return n;
}

FilterNode::Ptr FilterNode::compare(FilterOp op, Ptr left, Ptr right) {
  auto n = binary(FilterKind::Compare, std::move(left), std::move(right));
  n->op = op;
  return n;
}

FilterNode::Ptr FilterNode::compareText(FilterOp op, bool caseInsensitive, int partialLength, Ptr field,
                                        Ptr textConstant) {
  auto n = binary(FilterKind::CompareText, std::move(field), std::move(textConstant));
  n->op = op;
  n->caseInsensitive = caseInsensitive;
  n->partialLength = partialLength;
  return n;
}

FilterNode::Ptr FilterNode::both(Ptr left, Ptr right) { return binary(FilterKind::And, std::move(left), std::move(right)); }
FilterNode::Ptr FilterNode::either(Ptr left, Ptr right) { return binary(FilterKind::Or, std::move(left), std::move(right)); }
FilterNode::Ptr FilterNode::negation(Ptr operand) { return binary(FilterKind::Not, std::move(operand), nullptr); }
FilterNode::Ptr FilterNode::nullTest(Ptr field) { return binary(FilterKind::IsNull, std::move(field), nullptr); }
FilterNode::Ptr FilterNode::notNullTest(Ptr field) { return binary(FilterKind::IsNotNull, std::move(field), nullptr); }

FilterNode::Ptr FilterNode::in(Ptr field, std::vector<Ptr> constants) {
  auto n = binary(FilterKind::In, std::move(field), nullptr);
  n->list = std::move(constants);
  return n;
}

}  // namespace px
