#include "engine/access/batch_move.h"

#include <cstring>

namespace px {

namespace {

// Converts a value to the kind a destination field of `type` takes; false when
// it cannot be done without changing the value.
bool convertValue(const Value& in, FieldType type, Value& out) {
  if (isNull(in)) {
    out = Null{};
    return true;
  }
  switch (type) {
    case FieldType::Alpha: case FieldType::Memo:
      if (auto* s = std::get_if<std::string>(&in)) { out = *s; return true; }
      if (auto* i = std::get_if<std::int32_t>(&in)) { out = std::to_string(*i); return true; }
      return false;
    case FieldType::Short: case FieldType::Long: case FieldType::AutoInc:
      if (auto* i = std::get_if<std::int32_t>(&in)) { out = *i; return true; }
      if (auto* d = std::get_if<double>(&in)) {
        if (*d != static_cast<double>(static_cast<std::int32_t>(*d))) return false;
        out = static_cast<std::int32_t>(*d);
        return true;
      }
      return false;
    case FieldType::Number: case FieldType::Currency:
      if (auto* d = std::get_if<double>(&in)) { out = *d; return true; }
      if (auto* i = std::get_if<std::int32_t>(&in)) { out = static_cast<double>(*i); return true; }
      return false;
    case FieldType::Date: case FieldType::Time:
      if (auto* i = std::get_if<std::int32_t>(&in)) { out = *i; return true; }
      return false;
    case FieldType::Timestamp:
      if (auto* d = std::get_if<double>(&in)) { out = *d; return true; }
      return false;
    case FieldType::Logical:
      if (auto* b = std::get_if<bool>(&in)) { out = *b; return true; }
      return false;
    case FieldType::BCD:
      if (auto* d = std::get_if<Decimal>(&in)) { out = *d; return true; }
      return false;
    case FieldType::Bytes: case FieldType::Blob: case FieldType::FmtMemo: case FieldType::OLE: case FieldType::Graphic:
      if (auto* b = std::get_if<Bytes>(&in)) { out = *b; return true; }
      return false;
  }
  return false;
}

// Builds the destination record; a non-ok status is a problem with the record.
// `out` and `stored` keep their room from one record to the next.
Status convertRecord(const WritableTable& from, const std::uint8_t* source, WritableTable& to,
                     const BatchMoveOptions& options, Bytes& out, Bytes& stored) {
  out.assign(to.header().recordSize, 0);
  const auto& dst = to.fields();
  const auto& src = from.fields();
  const bool sameCodePage = from.table().codePageNumber() == to.table().codePageNumber();
  for (std::size_t d = 0; d < dst.size(); ++d) {
    int s = static_cast<int>(d) + 1;
    if (!options.fieldMap.empty()) s = d < options.fieldMap.size() ? options.fieldMap[d] : 0;
    if (s <= 0) continue;
    if (static_cast<std::size_t>(s) > src.size()) {
      if (options.fieldMap.empty()) continue;  // the destination has more fields: they stay blank
      return Status(rc::kInvalidParameter, "the field map names source field " + std::to_string(s) + ", which does not exist");
    }
    const FieldDescriptor& sf = src[static_cast<std::size_t>(s - 1)];
    const FieldDescriptor& df = dst[d];
    if (isBlobType(sf.type) && isBlobType(df.type) && (sf.type == df.type) && (!isTextBlobType(sf.type) || sameCodePage)) {
      // Blob bytes copy as stored; the destination's own leader size applies.
      PX_RETURN_IF_ERROR(from.readBlobBytes(source, static_cast<std::size_t>(s - 1), stored));
      PX_RETURN_IF_ERROR(to.setBlobBytes(out, d, stored));
      continue;
    }
    if (sf.type == df.type && sf.size == df.size && !isBlobType(sf.type) && (sf.type != FieldType::Alpha || sameCodePage)) {
      std::memcpy(out.data() + df.offset, source + sf.offset, static_cast<std::size_t>(df.size));
      continue;
    }
    Value value, converted;
    PX_RETURN_IF_ERROR(from.readValue(source, static_cast<std::size_t>(s - 1), value));
    if (!convertValue(value, df.type, converted))
      return Status(rc::kInvalidValue, "field " + sf.name + " cannot be written to " + df.name + " unchanged");
    PX_RETURN_IF_ERROR(to.setValue(out, d, converted));
  }
  return Status::Ok();
}

}  // namespace

Status batchMoveAppend(Cursor& source, Cursor& destination, const BatchMoveOptions& options, BatchMoveCounts& counts) {
  counts = BatchMoveCounts{};
  if (&source.table() == &destination.table())
    return Status(rc::kInvalidParameter, "source and destination of a batch move are the same table");
  if (!destination.changesAllowed())
    return Status(rc::kTableReadOnly, destination.table().table().data().name() + ": the destination is read-only");
  WritableTable& to = destination.table();
  const WritableTable& from = source.table();

  Bytes record, converted, stored;
  long remaining = options.recordCount;
  Status step;
  if (options.recordCount <= 0) {
    source.moveToBegin();
    step = source.next(record);
  } else {
    step = source.current(record);
    if (step.code() == rc::kRecordNotFound) step = source.next(record);
  }
  while (step.ok()) {
    Status s = convertRecord(from, record.data(), to, options, converted, stored);
    if (!s.ok()) {
      to.discardRecord(converted);
      ++counts.problems;
      if (options.abortOnProblem) return s;
    } else if (s = to.insert(converted); s.ok()) {
      ++counts.moved;
    } else if (s.code() == rc::kKeyViolation) {
      to.discardRecord(converted);
      ++counts.keyViolations;
      if (options.abortOnKeyViolation) return s;
    } else {
      return s;  // the store itself failed: nothing more can be written safely
    }
    if (options.recordCount > 0 && --remaining == 0) break;
    step = source.next(record);
  }
  if (!step.ok() && step.code() != rc::kAtEnd) return step;
  destination.moveToBegin();
  return Status::Ok();
}

}  // namespace px
