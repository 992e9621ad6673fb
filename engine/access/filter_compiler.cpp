// Compiling a filter tree for one table: each node checked against the
// table's fields and turned into a step of the program, constants converted
// once into the form the steps read (text in the table's code page, numbers
// as doubles).
#include <optional>

#include "engine/access/filter_tree.h"
#include "engine/access/filter_typing.h"
#include "engine/format/code_page.h"
#include "engine/storage/writable_table.h"

namespace px {

using filter_typing::classOf;
using filter_typing::describe;
using filter_typing::parseDecimal;
using filter_typing::ValueClass;

namespace {

FilterOp mirrored(FilterOp op) {
  switch (op) {
    case FilterOp::Lt: return FilterOp::Gt;
    case FilterOp::Gt: return FilterOp::Lt;
    case FilterOp::Le: return FilterOp::Ge;
    case FilterOp::Ge: return FilterOp::Le;
    default: return op;
  }
}

// Bytes taken by the first `chars` characters of UTF-8 text; nullopt when it
// has fewer.
std::optional<std::size_t> utf8PrefixBytes(std::string_view text, int chars) {
  std::size_t pos = 0;
  for (int i = 0; i < chars; ++i) {
    if (pos == text.size()) return std::nullopt;
    ++pos;
    while (pos < text.size() && (static_cast<std::uint8_t>(text[pos]) & 0xC0) == 0x80) ++pos;
  }
  return pos;
}

}  // namespace

class FilterProgram::Compiler {
 public:
  Compiler(const WritableTable& table, FilterProgram& program)
      : table_(table), program_(program), tableName_(table.table().data().name()) {}

  Status condition(const FilterNode* n, std::uint32_t& index) {
    if (n == nullptr) return fail(rc::kInvalidParameter, "a condition is missing its operand");
    switch (n->kind) {
      case FilterKind::And: case FilterKind::Or: {
        Node step;
        step.step = n->kind == FilterKind::And ? Step::And : Step::Or;
        PX_RETURN_IF_ERROR(condition(n->left.get(), step.first));
        PX_RETURN_IF_ERROR(condition(n->right.get(), step.second));
        return push(step, index);
      }
      case FilterKind::Not: {
        Node step;
        step.step = Step::Not;
        PX_RETURN_IF_ERROR(condition(n->left.get(), step.first));
        return push(step, index);
      }
      case FilterKind::IsNull: case FilterKind::IsNotNull: {
        Node step;
        step.step = n->kind == FilterKind::IsNull ? Step::Blank : Step::NotBlank;
        PX_RETURN_IF_ERROR(fieldOperand(n->left.get(), "IS NULL", step.left));
        return push(step, index);
      }
      case FilterKind::Compare: return compare(*n, index);
      case FilterKind::CompareText: return compareText(*n, index);
      case FilterKind::In: return in(*n, index);
      case FilterKind::Field: case FilterKind::Constant:
        return fail(rc::kInvalidParameter, "a " + std::string(n->kind == FilterKind::Field ? "field" : "constant") +
                                               " stands where a condition is expected");
    }
    return fail(rc::kInvalidParameter, "unknown node kind " + std::to_string(static_cast<int>(n->kind)));
  }

 private:
  Status fail(ResultCode code, const std::string& text) const { return Status(code, tableName_ + ": filter: " + text); }

  Status push(const Node& step, std::uint32_t& index) {
    index = static_cast<std::uint32_t>(program_.nodes_.size());
    program_.nodes_.push_back(step);
    return Status::Ok();
  }

  std::string fieldLabel(const FilterNode& n) const {
    return n.name.empty() ? "field " + std::to_string(n.field) : "field " + n.name;
  }

  // Text in the table's code page, for comparing with stored bytes.
  Status encode(const std::string& utf8, const std::string& what, std::string& stored) const {
    const CodePage* page = CodePage::find(table_.table().codePageNumber());
    if (page == nullptr) return table_.table().encodeText(utf8, stored);  // names the missing code page
    const Status s = page->fromUtf8(utf8, stored);
    return s.ok() ? s : fail(s.code(), what + ": " + s.message());
  }

  Status fieldOperand(const FilterNode* n, const char* role, Slot& slot) {
    if (n == nullptr || n->kind != FilterKind::Field)
      return fail(rc::kInvalidParameter, std::string("the operand of ") + role + " must be a field");
    const auto& fields = table_.fields();
    if (n->field < 1 || static_cast<std::size_t>(n->field) > fields.size())
      return fail(rc::kInvalidFieldNumber, "there is no " + fieldLabel(*n) + " (the table has " +
                                               std::to_string(fields.size()) + " fields)");
    const FieldDescriptor& f = fields[static_cast<std::size_t>(n->field - 1)];
    slot.type = f.type;
    slot.sizeByte = f.sizeByte;
    slot.offset = static_cast<std::uint16_t>(f.offset);
    slot.size = static_cast<std::uint16_t>(f.size);
    slot.index = static_cast<std::uint16_t>(n->field - 1);
    return Status::Ok();
  }

  // Appends the constant in the form its field's steps read.
  Status addConstant(const FilterNode& c, const FilterNode& field, ValueClass fieldClass) {
    const std::string what = "constant " + describe(c.value) + " for " + fieldLabel(field) + " (" +
                             std::string(typeName(table_.fields()[static_cast<std::size_t>(field.field - 1)].type)) + ")";
    if (classOf(c.type) != fieldClass)
      return fail(rc::kInvalidValue, what + " is of type " + std::string(typeName(c.type)));
    Constant out;
    const Value& v = c.value;
    bool fits = false;
    switch (fieldClass) {
      case ValueClass::Text:
        if (const auto* s = std::get_if<std::string>(&v)) {
          PX_RETURN_IF_ERROR(encode(*s, what, out.stored));
          fits = true;
        }
        break;
      case ValueClass::Number:
        if (const auto* i = std::get_if<std::int32_t>(&v)) {
          out.number = *i;
          fits = true;
        } else if (const auto* d = std::get_if<double>(&v)) {
          out.number = *d;
          fits = true;
        } else if (const auto* dec = std::get_if<Decimal>(&v)) {
          if (!parseDecimal(dec->text, out.number)) return fail(rc::kInvalidValue, what + " is not a number");
          fits = true;
        }
        break;
      case ValueClass::Date: case ValueClass::Time:
        if (const auto* i = std::get_if<std::int32_t>(&v)) {
          out.number = *i;
          fits = true;
        }
        break;
      case ValueClass::Timestamp:
        if (const auto* d = std::get_if<double>(&v)) {
          out.number = *d;
          fits = true;
        }
        break;
      case ValueClass::Logical:
        if (const auto* b = std::get_if<bool>(&v)) {
          out.number = *b ? 1 : 0;
          fits = true;
        }
        break;
      case ValueClass::None:
        break;
    }
    if (!fits) return fail(rc::kInvalidValue, what + " does not hold a value of its type");
    program_.constants_.push_back(std::move(out));
    return Status::Ok();
  }

  Status compare(const FilterNode& n, std::uint32_t& index) {
    if (n.op > FilterOp::Like) return fail(rc::kInvalidParameter, "unknown comparison operator");
    if (!n.left || !n.right) return fail(rc::kInvalidParameter, "a comparison is missing an operand");
    const FilterNode* field = n.left.get();
    const FilterNode* other = n.right.get();
    FilterOp op = n.op == FilterOp::Like ? FilterOp::Eq : n.op;
    if (field->kind != FilterKind::Field) {
      std::swap(field, other);
      op = mirrored(op);
    }
    if (field->kind != FilterKind::Field) return fail(rc::kInvalidParameter, "a comparison needs a field operand");
    if (other->kind != FilterKind::Field && other->kind != FilterKind::Constant)
      return fail(rc::kInvalidParameter, "a comparison operand must be a field or a constant");

    Node step;
    step.op = op;
    PX_RETURN_IF_ERROR(fieldOperand(field, "a comparison", step.left));
    if (other->kind == FilterKind::Constant && isNull(other->value)) {
      if (op != FilterOp::Eq && op != FilterOp::Ne)
        return fail(rc::kInvalidValue, "NULL compares with " + fieldLabel(*field) + " only by = and <>");
      step.step = op == FilterOp::Eq ? Step::Blank : Step::NotBlank;
      return push(step, index);
    }
    const ValueClass cls = classOf(step.left.type);
    if (cls == ValueClass::None)
      return fail(rc::kInvalidValue, fieldLabel(*field) + " (" + std::string(typeName(step.left.type)) +
                                         ") can only be tested for NULL");
    step.step = cls == ValueClass::Text ? Step::Text : Step::Number;
    if (other->kind == FilterKind::Field) {
      PX_RETURN_IF_ERROR(fieldOperand(other, "a comparison", step.right));
      if (classOf(step.right.type) != cls)
        return fail(rc::kInvalidValue, fieldLabel(*field) + " (" + std::string(typeName(step.left.type)) +
                                           ") cannot be compared with " + fieldLabel(*other) + " (" +
                                           std::string(typeName(step.right.type)) + ")");
      step.rightIsField = true;
    } else {
      step.constFirst = static_cast<std::uint32_t>(program_.constants_.size());
      step.constCount = 1;
      PX_RETURN_IF_ERROR(addConstant(*other, *field, cls));
    }
    return push(step, index);
  }

  Status compareText(const FilterNode& n, std::uint32_t& index) {
    if (n.op != FilterOp::Eq && n.op != FilterOp::Ne && n.op != FilterOp::Like)
      return fail(rc::kInvalidParameter, "a text comparison takes only =, <> and LIKE");
    if (n.partialLength < 0) return fail(rc::kInvalidParameter, "negative partial length");
    Node step;
    step.step = Step::Text;
    step.op = n.op == FilterOp::Like ? FilterOp::Eq : n.op;
    step.caseInsensitive = n.caseInsensitive;
    PX_RETURN_IF_ERROR(fieldOperand(n.left.get(), "a text comparison", step.left));
    if (classOf(step.left.type) != ValueClass::Text)
      return fail(rc::kInvalidValue, fieldLabel(*n.left) + " (" + std::string(typeName(step.left.type)) +
                                         ") is not a text field");
    const FilterNode* c = n.right.get();
    if (c == nullptr || c->kind != FilterKind::Constant || !std::holds_alternative<std::string>(c->value))
      return fail(rc::kInvalidValue, "a text comparison on " + fieldLabel(*n.left) + " needs a text constant");
    step.constFirst = static_cast<std::uint32_t>(program_.constants_.size());
    step.constCount = 1;
    PX_RETURN_IF_ERROR(addConstant(*c, *n.left, ValueClass::Text));
    if (n.partialLength > 0) {
      // The prefix is cut in stored bytes, so that double-byte text keeps whole characters.
      const std::string& utf8 = std::get<std::string>(c->value);
      const auto bytes = utf8PrefixBytes(utf8, n.partialLength);
      if (!bytes)
        return fail(rc::kInvalidParameter, "partial length " + std::to_string(n.partialLength) +
                                               " is longer than the constant " + describe(c->value));
      std::string prefix;
      PX_RETURN_IF_ERROR(encode(utf8.substr(0, *bytes), "constant " + describe(c->value), prefix));
      program_.constants_.back().stored = prefix;
      step.prefix = static_cast<std::uint32_t>(prefix.size());
    }
    return push(step, index);
  }

  Status in(const FilterNode& n, std::uint32_t& index) {
    Node step;
    PX_RETURN_IF_ERROR(fieldOperand(n.left.get(), "IN", step.left));
    const ValueClass cls = classOf(step.left.type);
    if (cls == ValueClass::None)
      return fail(rc::kInvalidValue, fieldLabel(*n.left) + " (" + std::string(typeName(step.left.type)) +
                                         ") can only be tested for NULL");
    if (n.list.empty()) return fail(rc::kInvalidParameter, "IN with an empty list");
    step.step = cls == ValueClass::Text ? Step::TextIn : Step::NumberIn;
    step.constFirst = static_cast<std::uint32_t>(program_.constants_.size());
    for (const auto& element : n.list) {
      if (!element || element->kind != FilterKind::Constant)
        return fail(rc::kInvalidParameter, "an IN list holds only constants");
      if (isNull(element->value)) return fail(rc::kInvalidValue, "an IN list cannot hold NULL");
      PX_RETURN_IF_ERROR(addConstant(*element, *n.left, cls));
    }
    step.constCount = static_cast<std::uint32_t>(n.list.size());
    return push(step, index);
  }

  const WritableTable& table_;
  FilterProgram& program_;
  std::string tableName_;
};

Status FilterProgram::compile(const FilterNode& root, const WritableTable& table, FilterProgram& out) {
  FilterProgram program;
  program.table_ = &table;
  program.collation_ = &table.collation();
  Compiler compiler(table, program);
  std::uint32_t rootIndex = 0;
  PX_RETURN_IF_ERROR(compiler.condition(&root, rootIndex));
  out = std::move(program);
  return Status::Ok();
}

}  // namespace px
