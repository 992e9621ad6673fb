// Record filters: the typed expression tree that the table access layer hands
// the engine, and its compiled form for one table, which decides record by
// record whether a scan yields it.
// A FilterNode tree is plain data. A FilterProgram is immutable once compiled and
// keeps no state between evaluations; it refers to its table, which must outlive
// it, and is as thread-safe as reading that table.
//
// How conditions read a record:
// - Text (Alpha, Memo) compares the stored code-page bytes under the table's
//   collation. A blank text field is the empty text, so it passes "<>" with any
//   non-empty constant and fails ">" with any constant.
// - Numbers (Short, Long, AutoInc, Number, Currency, BCD) compare by value,
//   dates, times and time stamps by their day, millisecond or time-stamp
//   numbers, logicals with false below true.
// - A blank field of any other type has no value to compare: every comparison
//   with it is false, "<>" included. So "Flag <> false", the form a lone
//   logical field takes, admits only true flags, as "Flag = true" does.
//   IS NULL / IS NOT NULL test blankness for every type.
// - LIKE is equality: the tree carries no wildcards; a prefix match arrives as
//   a CompareText node with a partial length.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "engine/format/field_type.h"
#include "engine/format/value.h"
#include "engine/status.h"

namespace px {

class WritableTable;
class Collation;

enum class FilterKind : std::uint8_t {
  Field,        // a field of the record
  Constant,     // a typed constant
  Compare,      // op, left, right
  CompareText,  // op (Eq, Ne, Like), case flag, partial length; left field, right text constant
  And,          // left, right
  Or,           // left, right
  Not,          // left
  IsNull,       // left: a field
  IsNotNull,    // left: a field
  In,           // left: a field; list: constants
};

enum class FilterOp : std::uint8_t { Eq, Ne, Lt, Le, Gt, Ge, Like };

struct FilterNode {
  FilterKind kind = FilterKind::Constant;

  // Field: 1-based field number, and the name for messages.
  int field = 0;
  std::string name;

  // Constant: the field type it was given and a value of the kind that type
  // decodes to (engine/format/value.h); text is UTF-8. Null is the null constant.
  FieldType type = FieldType::Alpha;
  Value value;

  // Compare, CompareText.
  FilterOp op = FilterOp::Eq;
  bool caseInsensitive = false;  // CompareText only
  int partialLength = 0;         // CompareText only: characters compared, 0 = all

  std::unique_ptr<FilterNode> left, right;
  std::vector<std::unique_ptr<FilterNode>> list;  // In

  using Ptr = std::unique_ptr<FilterNode>;
  static Ptr fieldRef(int number, std::string name);
  static Ptr constant(FieldType type, Value value);
  static Ptr text(std::string utf8) { return constant(FieldType::Alpha, Value(std::move(utf8))); }
  static Ptr compare(FilterOp op, Ptr left, Ptr right);
  static Ptr compareText(FilterOp op, bool caseInsensitive, int partialLength, Ptr field, Ptr textConstant);
  static Ptr both(Ptr left, Ptr right);    // And
  static Ptr either(Ptr left, Ptr right);  // Or
  static Ptr negation(Ptr operand);        // Not
  static Ptr nullTest(Ptr field);          // IsNull
  static Ptr notNullTest(Ptr field);       // IsNotNull
  static Ptr in(Ptr field, std::vector<Ptr> constants);
};

class FilterProgram {
 public:
  FilterProgram() = default;

  // Checks the tree against the table and prepares its constants: text in the
  // table's code page, numbers as doubles. kInvalidParameter for a malformed
  // tree (missing operands, a field number the table lacks, an operator the
  // node does not take); kInvalidValue for a constant that does not fit its
  // field or cannot be written in the table's code page. `out` is left
  // unchanged on failure.
  static Status compile(const FilterNode& root, const WritableTable& table, FilterProgram& out);

  bool valid() const { return !nodes_.empty(); }

  // Whether the record passes. Allocates nothing, except to read a memo whose
  // text lives in the blob file or a BCD value. kInvalidValue for stored bytes that no value
  // encodes (a logical byte other than blank, false or true); errors of the
  // blob file pass through.
  // REQUIRES: valid(); record holds the table's record size.
  Status evaluate(const std::uint8_t* record, bool& admitted) const;
  // The same, with a record that cannot be read counted as not admitted.
  bool admits(const std::uint8_t* record) const;

 private:
  // Number steps serve every non-text type that has a value: numbers, dates,
  // times, time stamps and logicals (0 and 1).
  enum class Step : std::uint8_t { And, Or, Not, Blank, NotBlank, Text, Number, TextIn, NumberIn };

  struct Slot {  // a field as a step reads it
    FieldType type = FieldType::Alpha;
    std::uint8_t sizeByte = 0;
    std::uint16_t offset = 0;
    std::uint16_t size = 0;
    std::uint16_t index = 0;  // 0-based, for the blob reader
  };

  struct Node {
    Step step = Step::And;
    FilterOp op = FilterOp::Eq;  // Like is compiled to Eq
    bool caseInsensitive = false;
    bool rightIsField = false;
    std::uint32_t first = 0, second = 0;  // And, Or, Not: child nodes
    Slot left, right;                     // right: when rightIsField
    std::uint32_t constFirst = 0, constCount = 0;
    std::uint32_t prefix = 0;             // stored bytes compared, 0 = all
  };

  struct Constant {
    std::string stored;  // text in the table's code page
    double number = 0;   // numbers, dates, times, logicals (0 / 1)
  };

  class Compiler;

  bool run(std::uint32_t node, const std::uint8_t* record, Status& error) const;
  bool textStep(const Node& n, const std::uint8_t* record, Status& error) const;
  bool numberStep(const Node& n, const std::uint8_t* record, Status& error) const;
  bool inStep(const Node& n, const std::uint8_t* record, Status& error) const;
  // False for a blank field.
  bool readNumber(const Slot& slot, const std::uint8_t* record, double& out, Status& error) const;
  bool readText(const Slot& slot, const std::uint8_t* record, std::string_view& out, Bytes& buffer,
                Status& error) const;

  const WritableTable* table_ = nullptr;
  const Collation* collation_ = nullptr;
  std::vector<Node> nodes_;  // children before parents; the last is the root
  std::vector<Constant> constants_;
};

}  // namespace px
