#include "tableaccess/filter_parser.h"

#include <algorithm>

#include "tableaccess/db_errors.h"
#include "tableaccess/filter_messages.h"

namespace fm = filter_messages;

namespace {

FilterExpr::Ptr constantNode(FilterConstant value, TFieldType type, int size) {
  auto n = std::make_unique<FilterExpr>();
  n->kind = FilterExprKind::Constant;
  n->value = std::move(value);
  n->dataType = type;
  n->dataSize = size;
  return n;
}

int characterCount(std::string_view utf8) {
  int n = 0;
  for (char c : utf8)
    if ((static_cast<unsigned char>(c) & 0xC0) != 0x80) ++n;
  return n;
}

bool isDateTimeType(TFieldType t) {
  return t == TFieldType::ftDate || t == TFieldType::ftTime || t == TFieldType::ftDateTime ||
         t == TFieldType::ftTimeStamp;
}

// Types whose values no comparison reads.
bool isUncomparable(TFieldType t) {
  using enum TFieldType;
  switch (t) {
    case ftBytes: case ftVarBytes: case ftBlob: case ftMemo: case ftGraphic: case ftFmtMemo: case ftParadoxOle:
    case ftDBaseOle: case ftTypedBinary: case ftOraBlob: case ftOraClob: case ftWideMemo:
      return true;
    default:
      return false;
  }
}

// The large objects that LIKE may read as text.
bool isLikeOperand(TFieldType t) {
  using enum TFieldType;
  return t == ftBlob || t == ftMemo || t == ftOraBlob || t == ftOraClob || t == ftWideMemo;
}

void takeType(FilterExpr& to, const FilterExpr& from) {
  to.dataType = from.dataType;
  to.dataSize = from.dataSize;
}

}  // namespace

void TypeComparison(FilterExpr& n) {
  FilterExpr& left = *n.left;
  FilterExpr* right = n.right.get();
  if (right != nullptr) {
    if (left.IsField() && right->IsConstant()) takeType(*right, left);
    else if (left.IsConstant() && right->IsField()) takeType(left, *right);
  }
  if (n.op != FilterExprOp::IsNull && n.op != FilterExprOp::IsNotNull) {
    const bool like = n.op == FilterExprOp::Like && isLikeOperand(left.dataType);
    if (isUncomparable(left.dataType) && !like) DatabaseError(fm::kTypeMismatch);
    if (like && right != nullptr && right->IsConstant()) {
      right->dataType = TFieldType::ftString;
      right->dataSize = 0;
    }
    if (right != nullptr && isUncomparable(right->dataType)) DatabaseError(fm::kTypeMismatch);
  }
  if (right != nullptr) {
    if (isDateTimeType(left.dataType) && IsTextType(right->dataType)) takeType(*right, left);
    else if (isDateTimeType(right->dataType) && IsTextType(left.dataType)) takeType(left, *right);
  }
  // The engine compares like with like, so every constant of an IN list is
  // written in the type of the field it is looked for in.
  if (n.op == FilterExprOp::In && left.IsField())
    for (auto& element : n.args)
      if (element->IsConstant()) takeType(*element, left);
  n.dataType = TFieldType::ftBoolean;
  n.dataSize = 0;
}

FilterParser::FilterParser(std::string_view text, const FilterFieldLookup& lookup, const TComponent* view,
                           const FilterLocale& locale)
    : tokens_(text, locale), lookup_(lookup), view_(view) {}

FilterExpr::Ptr FilterParser::operatorNode(FilterExprOp op, FilterExpr::Ptr left, FilterExpr::Ptr right) const {
  auto n = std::make_unique<FilterExpr>();
  n->kind = FilterExprKind::Operator;
  n->op = op;
  n->depth = 1 + std::max(left->depth, right ? right->depth : 0);
  if (n->depth > kMaxDepth) DatabaseError(fm::kIncorrectlyFormed);
  n->left = std::move(left);
  n->right = std::move(right);
  n->dataType = TFieldType::ftBoolean;
  return n;
}

bool FilterParser::atWord(std::string_view word) const {
  return tokens_.Token() == FilterToken::Symbol && SameWord(tokens_.Text(), word);
}

void FilterParser::expected(const char* format) const { DatabaseErrorFmt(format, tokens_.TokenName()); }

FilterExpr::Ptr FilterParser::Parse() {
  tokens_.Next();
  FilterExpr::Ptr root = orExpression();
  if (tokens_.Token() != FilterToken::End) DatabaseError(fm::kIncorrectlyTerminated);
  if (root->dataType != TFieldType::ftBoolean) DatabaseError(fm::kIncorrectlyFormed);
  return root;
}

FilterExpr::Ptr FilterParser::orExpression() {
  FilterExpr::Ptr left = andExpression();
  while (atWord("OR")) {
    tokens_.Next();
    left = operatorNode(FilterExprOp::Or, std::move(left), andExpression());
  }
  return left;
}

FilterExpr::Ptr FilterParser::andExpression() {
  FilterExpr::Ptr left = notExpression();
  while (atWord("AND")) {
    tokens_.Next();
    left = operatorNode(FilterExprOp::And, std::move(left), notExpression());
  }
  return left;
}

FilterExpr::Ptr FilterParser::notExpression() {
  if (atWord("NOT")) {
    tokens_.Next();
    return operatorNode(FilterExprOp::Not, comparison(), nullptr);
  }
  return comparison();
}

FilterExpr::Ptr FilterParser::comparison() {
  FilterExpr::Ptr left = sum();
  FilterExprOp op = FilterExprOp::None;
  switch (tokens_.Token()) {
    case FilterToken::Eq: op = FilterExprOp::Eq; break;
    case FilterToken::Ne: op = FilterExprOp::Ne; break;
    case FilterToken::Ge: op = FilterExprOp::Ge; break;
    case FilterToken::Le: op = FilterExprOp::Le; break;
    case FilterToken::Gt: op = FilterExprOp::Gt; break;
    case FilterToken::Lt: op = FilterExprOp::Lt; break;
    case FilterToken::Like: op = FilterExprOp::Like; break;
    case FilterToken::IsNull: case FilterToken::IsNotNull: {
      op = tokens_.Token() == FilterToken::IsNull ? FilterExprOp::IsNull : FilterExprOp::IsNotNull;
      tokens_.Next();
      FilterExpr::Ptr n = operatorNode(op, std::move(left), nullptr);
      TypeComparison(*n);
      return n;
    }
    case FilterToken::In:
      tokens_.Next();
      return inList(std::move(left));
    default:
      return left;
  }
  tokens_.Next();
  FilterExpr::Ptr n = operatorNode(op, std::move(left), sum());
  TypeComparison(*n);
  return n;
}

FilterExpr::Ptr FilterParser::inList(FilterExpr::Ptr left) {
  if (tokens_.Token() != FilterToken::LParen) expected(fm::kLParenExpected);
  tokens_.Next();
  if (tokens_.Token() == FilterToken::RParen) DatabaseError(fm::kEmptyInList);
  FilterExpr::Ptr n = operatorNode(FilterExprOp::In, std::move(left), nullptr);
  for (;;) {
    if (tokens_.Token() == FilterToken::End) expected(fm::kRParenExpected);
    n->args.push_back(orExpression());
    n->depth = std::max(n->depth, 1 + n->args.back()->depth);
    if (n->depth > kMaxDepth) DatabaseError(fm::kIncorrectlyFormed);
    if (tokens_.Token() == FilterToken::Comma) {
      tokens_.Next();
      continue;
    }
    if (tokens_.Token() != FilterToken::RParen) expected(fm::kRParenOrCommaExpected);
    tokens_.Next();
    break;
  }
  TypeComparison(*n);
  return n;
}

FilterExpr::Ptr FilterParser::sum() {
  FilterExpr::Ptr left = term();
  if (tokens_.Token() == FilterToken::Plus || tokens_.Token() == FilterToken::Minus) DatabaseError(fm::kNoArithmetic);
  return left;
}

FilterExpr::Ptr FilterParser::term() {
  FilterExpr::Ptr left = primary();
  if (tokens_.Token() == FilterToken::Times || tokens_.Token() == FilterToken::Divide) DatabaseError(fm::kNoArithmetic);
  return left;
}

FilterExpr::Ptr FilterParser::primary() {
  FilterExpr::Ptr n;
  switch (tokens_.Token()) {
    case FilterToken::Symbol: {
      const std::string& word = tokens_.Text();
      if (SameWord(word, "NULL")) n = constantNode(std::monostate{}, TFieldType::ftUnknown, 0);
      else if (SameWord(word, fm::kTrueWord)) n = constantNode(true, TFieldType::ftBoolean, 0);
      else if (SameWord(word, fm::kFalseWord)) n = constantNode(false, TFieldType::ftBoolean, 0);
      else n = fieldNode(word);
      break;
    }
    case FilterToken::Name:
      n = fieldNode(tokens_.Text());
      break;
    case FilterToken::Literal: {
      const std::string& text = tokens_.Text();
      n = tokens_.IsNumber() ? constantNode(text, TFieldType::ftFloat, 0)
                             : constantNode(text, TFieldType::ftString, characterCount(text));
      break;
    }
    case FilterToken::LParen:
      if (++nesting_ > kMaxNesting) DatabaseError(fm::kIncorrectlyFormed);
      tokens_.Next();
      n = orExpression();
      if (tokens_.Token() != FilterToken::RParen) expected(fm::kRParenExpected);
      --nesting_;
      break;
    default:
      expected(fm::kExpressionExpected);
  }
  tokens_.Next();
  return n;
}

FilterExpr::Ptr FilterParser::fieldNode(const std::string& name) {
  const FilterField* field = lookup_ ? lookup_(name) : nullptr;
  if (field == nullptr) DatabaseErrorFmt(fm::kFieldNotFound, name, view_);
  if (!field->usable) DatabaseErrorFmt(fm::kFieldNotUsable, name);
  auto n = std::make_unique<FilterExpr>();
  n->kind = FilterExprKind::Field;
  n->fieldName = field->name;
  n->fieldNo = field->fieldNo;
  n->dataType = field->dataType;
  n->dataSize = field->size;
  return n;
}
