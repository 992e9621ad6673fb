#include "engine/access/filter_tree.h"

#include <algorithm>
#include <charconv>
#include <cstring>
#include <optional>

#include "engine/format/blob_format.h"
#include "engine/format/code_page.h"
#include "engine/format/collation.h"
#include "engine/format/field_codec.h"
#include "engine/storage/writable_table.h"

namespace px {

// ---- Tree factories -------------------------------------------------------

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

// ---- Typing ----------------------------------------------------------------

namespace {

// What a field's values are compared as; a constant must be of its field's class.
enum class ValueClass { Text, Number, Date, Time, Timestamp, Logical, None };

ValueClass classOf(FieldType type) {
  switch (type) {
    case FieldType::Alpha: case FieldType::Memo:
      return ValueClass::Text;
    case FieldType::Short: case FieldType::Long: case FieldType::AutoInc: case FieldType::Number:
    case FieldType::Currency: case FieldType::BCD:
      return ValueClass::Number;
    case FieldType::Date: return ValueClass::Date;
    case FieldType::Time: return ValueClass::Time;
    case FieldType::Timestamp: return ValueClass::Timestamp;
    case FieldType::Logical: return ValueClass::Logical;
    default: return ValueClass::None;
  }
}

FilterOp mirrored(FilterOp op) {
  switch (op) {
    case FilterOp::Lt: return FilterOp::Gt;
    case FilterOp::Gt: return FilterOp::Lt;
    case FilterOp::Le: return FilterOp::Ge;
    case FilterOp::Ge: return FilterOp::Le;
    default: return op;
  }
}

bool parseDecimal(const std::string& text, double& out) {
  const char* begin = text.data();
  const char* end = begin + text.size();
  if (begin != end && *begin == '+') ++begin;
  const auto [rest, error] = std::from_chars(begin, end, out);
  return error == std::errc() && rest == end;
}

std::string describe(const Value& value) {
  if (const auto* s = std::get_if<std::string>(&value)) return "'" + *s + "'";
  if (const auto* i = std::get_if<std::int32_t>(&value)) return std::to_string(*i);
  if (const auto* d = std::get_if<double>(&value)) {
    char buffer[32];
    const auto [end, error] = std::to_chars(buffer, buffer + sizeof buffer, *d);
    return error == std::errc() ? std::string(buffer, end) : "a number";
  }
  if (const auto* b = std::get_if<bool>(&value)) return *b ? "true" : "false";
  if (const auto* d = std::get_if<Decimal>(&value)) return d->text;
  if (isNull(value)) return "NULL";
  return "a bytes value";
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

bool holds(FilterOp op, int order) {
  switch (op) {
    case FilterOp::Eq: return order == 0;
    case FilterOp::Ne: return order != 0;
    case FilterOp::Lt: return order < 0;
    case FilterOp::Le: return order <= 0;
    case FilterOp::Gt: return order > 0;
    case FilterOp::Ge: return order >= 0;
    case FilterOp::Like: return order == 0;
  }
  return false;
}

// Direct comparisons, so that a NaN equals nothing and differs from everything.
bool holds(FilterOp op, double a, double b) {
  switch (op) {
    case FilterOp::Eq: return a == b;
    case FilterOp::Ne: return a != b;
    case FilterOp::Lt: return a < b;
    case FilterOp::Le: return a <= b;
    case FilterOp::Gt: return a > b;
    case FilterOp::Ge: return a >= b;
    case FilterOp::Like: return a == b;
  }
  return false;
}

}  // namespace

// ---- Compiling -------------------------------------------------------------

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

// ---- Evaluating ------------------------------------------------------------

Status FilterProgram::evaluate(const std::uint8_t* record, bool& admitted) const {
  Status error;
  const bool result = run(static_cast<std::uint32_t>(nodes_.size() - 1), record, error);
  if (!error.ok()) return error;
  admitted = result;
  return Status::Ok();
}

bool FilterProgram::admits(const std::uint8_t* record) const {
  bool admitted = false;
  return evaluate(record, admitted).ok() && admitted;
}

namespace {

bool isBlankField(FieldType type, const std::uint8_t* p, std::size_t size) {
  if (type == FieldType::Alpha) return p[0] == 0;  // text ends at its first NUL
  if (codec::isBlank(p, size)) return true;
  if (isBlobType(type)) return blob::decodeDescriptor(p + size - kBlobDescriptorSize).length == 0;
  return false;
}

}  // namespace

bool FilterProgram::run(std::uint32_t index, const std::uint8_t* record, Status& error) const {
  const Node& n = nodes_[index];
  switch (n.step) {
    case Step::And: return run(n.first, record, error) && error.ok() && run(n.second, record, error);
    case Step::Or: return (run(n.first, record, error) && error.ok()) || (error.ok() && run(n.second, record, error));
    case Step::Not: return !run(n.first, record, error);
    case Step::Blank: return isBlankField(n.left.type, record + n.left.offset, n.left.size);
    case Step::NotBlank: return !isBlankField(n.left.type, record + n.left.offset, n.left.size);
    case Step::Text: return textStep(n, record, error);
    case Step::Number: return numberStep(n, record, error);
    case Step::TextIn: case Step::NumberIn: return inStep(n, record, error);
  }
  return false;
}

bool FilterProgram::readText(const Slot& slot, const std::uint8_t* record, std::string_view& out, Bytes& buffer,
                             Status& error) const {
  const std::uint8_t* p = record + slot.offset;
  if (slot.type == FieldType::Alpha) {
    const auto* text = reinterpret_cast<const char*>(p);
    out = std::string_view(text, strnlen(text, slot.size));
    return true;
  }
  // A memo: from its leader when it fits there, else from the blob file.
  out = {};
  if (isBlankField(slot.type, p, slot.size)) return true;
  const std::size_t leader = slot.size - kBlobDescriptorSize;
  const std::uint32_t length = blob::decodeDescriptor(p + leader).length;
  if (length <= leader) {
    out = std::string_view(reinterpret_cast<const char*>(p), length);
    return true;
  }
  error = table_->readBlobBytes(record, slot.index, buffer);
  if (!error.ok()) return false;
  out = std::string_view(reinterpret_cast<const char*>(buffer.data()), buffer.size());
  return true;
}

bool FilterProgram::textStep(const Node& n, const std::uint8_t* record, Status& error) const {
  std::string_view left, right;
  Bytes leftBuffer, rightBuffer;  // used only by memos kept in the blob file
  if (!readText(n.left, record, left, leftBuffer, error)) return false;
  if (n.rightIsField) {
    if (!readText(n.right, record, right, rightBuffer, error)) return false;
  } else {
    right = constants_[n.constFirst].stored;
  }
  if (n.prefix != 0) left = left.substr(0, std::min<std::size_t>(left.size(), n.prefix));
  const int order = n.caseInsensitive ? collation_->compareCaseInsensitive(left, right) : collation_->compare(left, right);
  return holds(n.op, order);
}

bool FilterProgram::readNumber(const Slot& slot, const std::uint8_t* record, double& out, Status& error) const {
  const std::uint8_t* p = record + slot.offset;
  switch (slot.type) {
    case FieldType::Short: {
      const auto v = codec::decodeShort(p);
      if (v) out = *v;
      return v.has_value();
    }
    case FieldType::Long: case FieldType::AutoInc: case FieldType::Date: case FieldType::Time: {
      const auto v = codec::decodeLong(p);
      if (v) out = *v;
      return v.has_value();
    }
    case FieldType::Number: case FieldType::Currency: case FieldType::Timestamp: {
      const auto v = codec::decodeDouble(p);
      if (v) out = *v;
      return v.has_value();
    }
    case FieldType::Logical:
      if (p[0] == 0) return false;
      if (p[0] == codec::kLogicalFalse || p[0] == codec::kLogicalTrue) {
        out = p[0] == codec::kLogicalTrue ? 1 : 0;
        return true;
      }
      error = Status(rc::kInvalidValue, table_->table().data().name() + ": logical value byte " + std::to_string(p[0]));
      return false;
    case FieldType::BCD: {
      std::optional<Decimal> d;
      error = codec::decodeBcd(p, slot.sizeByte, d);
      if (!error.ok() || !d) return false;
      if (!parseDecimal(d->text, out)) {
        error = Status(rc::kInvalidValue, table_->table().data().name() + ": BCD value " + d->text);
        return false;
      }
      return true;
    }
    default:
      return false;  // compile admits no other type here
  }
}

bool FilterProgram::numberStep(const Node& n, const std::uint8_t* record, Status& error) const {
  double left = 0, right = 0;
  // A blank operand has no value to compare: no comparison holds, "<>" neither,
  // so a logical field standing alone ("Flag <> false") admits only true flags.
  if (!readNumber(n.left, record, left, error)) return false;
  if (n.rightIsField) {
    if (!readNumber(n.right, record, right, error)) return false;
  } else {
    right = constants_[n.constFirst].number;
  }
  return holds(n.op, left, right);
}

bool FilterProgram::inStep(const Node& n, const std::uint8_t* record, Status& error) const {
  const auto* first = constants_.data() + n.constFirst;
  const auto* last = first + n.constCount;
  if (n.step == Step::TextIn) {
    std::string_view text;
    Bytes buffer;
    if (!readText(n.left, record, text, buffer, error)) return false;
    return std::any_of(first, last, [&](const Constant& c) { return collation_->compare(text, c.stored) == 0; });
  }
  double value = 0;
  if (!readNumber(n.left, record, value, error)) return false;
  return std::any_of(first, last, [&](const Constant& c) { return value == c.number; });
}

}  // namespace px
