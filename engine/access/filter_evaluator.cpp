// Running a compiled filter on one record: the steps read the record's
// fields in place and compare them with the prepared constants.
#include <algorithm>
#include <cstring>

#include "engine/access/filter_tree.h"
#include "engine/access/filter_typing.h"
#include "engine/format/blob_format.h"
#include "engine/format/collation.h"
#include "engine/format/field_codec.h"
#include "engine/storage/writable_table.h"

namespace px {

using filter_typing::parseDecimal;

namespace {

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

bool isBlankField(FieldType type, const std::uint8_t* p, std::size_t size) {
  if (type == FieldType::Alpha) return p[0] == 0;  // text ends at its first NUL
  if (codec::isBlank(p, size)) return true;
  if (isBlobType(type)) return blob::decodeDescriptor(p + size - kBlobDescriptorSize).length == 0;
  return false;
}

}  // namespace

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
