// The typed expression tree that the parser builds from a filter text and the
// writer turns into the engine's filter tree. Every node carries the data type
// and size it was given; a constant keeps its text until it is written.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <variant>
#include <vector>

#include "tableaccess/field_types.h"

enum class FilterExprKind : std::uint8_t { Field, Constant, Operator };

enum class FilterExprOp : std::uint8_t { None, Or, And, Not, Eq, Ne, Ge, Le, Gt, Lt, Like, IsNull, IsNotNull, In };

// Null, text (a quoted or numeric literal as written) or a truth value.
using FilterConstant = std::variant<std::monostate, std::string, bool>;

struct FilterExpr {
  using Ptr = std::unique_ptr<FilterExpr>;

  FilterExprKind kind = FilterExprKind::Constant;
  FilterExprOp op = FilterExprOp::None;  // Operator
  std::string fieldName;                 // Field: the field object's name
  int fieldNo = 0;                       // Field: 1-based table field number
  FilterConstant value;                  // Constant
  Ptr left, right;                       // Operator operands; unary ones use left
  std::vector<Ptr> args;                 // IN list
  TFieldType dataType = TFieldType::ftUnknown;
  int dataSize = 0;
  bool partial = false;  // the parser sets it on no node
  int depth = 1;         // levels of nodes from this one down to its deepest operand

  bool IsField() const { return kind == FilterExprKind::Field; }
  bool IsConstant() const { return kind == FilterExprKind::Constant; }
  bool IsNullConstant() const { return IsConstant() && std::holds_alternative<std::monostate>(value); }
};
