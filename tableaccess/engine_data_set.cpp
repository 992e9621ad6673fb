#include "tableaccess/engine_data_set.h"

#include <cstring>

#include "engine/access/filter_tree.h"
#include "tableaccess/db_errors.h"
#include "tableaccess/engine_binding.h"
#include "tableaccess/field.h"
#include "tableaccess/filter_expression.h"

TEngineDataSet::TEngineDataSet(TComponent* owner) : TDataSet(owner) {}

TEngineDataSet::~TEngineDataSet() = default;

TDataSet::GetResult TEngineDataSet::GetRecord(RecordBuffer& buffer, GetMode mode, bool check) {
  px::Status status;
  switch (mode) {
    case GetMode::Current:
      status = cursor_->current(buffer.data);
      // The record a write left the cursor on may no longer be one the
      // view's filter and range admit; then it is not the view's to show.
      if (px::Cursor::Bookmark mark; status.ok() && cursor_->bookmark(mark).ok() && !cursor_->shows(mark.id)) {
        status = px::Status(px::rc::kRecordNotFound, "the current record is outside the view's filter or range");
      }
      break;
    case GetMode::Next: status = cursor_->next(buffer.data); break;
    case GetMode::Prior: status = cursor_->prior(buffer.data); break;
  }
  switch (binding::Classify(status)) {
    case binding::FetchResult::Ok: {
      px::Cursor::Bookmark mark;
      binding::Check(cursor_->bookmark(mark));
      buffer.bookmark = mark.id;
      buffer.recordNumber = mark.id;
      buffer.flag = RecordBuffer::Flag::Current;
      return GetResult::Ok;
    }
    case binding::FetchResult::AtBeginning: return GetResult::AtBeginning;
    case binding::FetchResult::AtEnd: return GetResult::AtEnd;
    case binding::FetchResult::Error: break;
  }
  if (check) binding::Check(status);
  return GetResult::Error;
}

void TEngineDataSet::InternalFirst() { cursor_->moveToBegin(); }
void TEngineDataSet::InternalLast() { cursor_->moveToEnd(); }

void TEngineDataSet::InternalSetToRecord(const RecordBuffer& buffer) {
  if (buffer.flag == RecordBuffer::Flag::Inserted) return;
  binding::Check(cursor_->gotoBookmark(px::Cursor::Bookmark{buffer.bookmark}));
}

void TEngineDataSet::InternalEdit(RecordBuffer& buffer) { binding::Check(cursor_->currentLocked(buffer.data)); }

void TEngineDataSet::InternalInitRecord(RecordBuffer& buffer) {
  buffer.data = cursor_->table().blankRecord();
  buffer.bookmark = 0;
  buffer.recordNumber = 0;
}

void TEngineDataSet::InternalPost(RecordBuffer& buffer, bool inserting) {
  binding::Check(inserting ? cursor_->insert(buffer.data) : cursor_->modify(buffer.data));
}

void TEngineDataSet::InternalCancel(bool editing) {
  if (editing) {
    cursor_->releaseLock();
    return;
  }
  // Blob values written into a record that is not inserted are freed again.
  if (RecordBuffer* buffer = ActiveBuffer()) cursor_->table().discardRecord(buffer->data);
}

bool TEngineDataSet::GetFieldValue(const TField& field, px::Value& value, bool translate) const {
  const RecordBuffer* buffer = ActiveBuffer();
  if (buffer == nullptr || cursor_ == nullptr || field.FieldNo() <= 0) return false;
  const auto& table = cursor_->table();
  const std::size_t index = static_cast<std::size_t>(field.FieldNo() - 1);
  const px::FieldDescriptor& descriptor = table.fields().at(index);
  if (descriptor.type == px::FieldType::Alpha && !translate) {
    // The stored bytes in the table's character set, up to the first NUL.
    const auto* begin = reinterpret_cast<const char*>(buffer->data.data()) + descriptor.offset;
    const std::size_t length = strnlen(begin, static_cast<std::size_t>(descriptor.size));
    if (length == 0) return false;
    value = std::string(begin, length);
    return true;
  }
  if (!table.readValue(buffer->data.data(), index, value).ok()) return false;
  return !px::isNull(value);
}

void TEngineDataSet::SetFieldValue(TField& field, const px::Value& value, bool translate) {
  RecordBuffer* buffer = ActiveBuffer();
  if (buffer == nullptr || cursor_ == nullptr) DatabaseError("Dataset not in edit or insert mode", this);
  auto& table = cursor_->table();
  const std::size_t index = static_cast<std::size_t>(field.FieldNo() - 1);
  const px::FieldDescriptor& descriptor = table.fields().at(index);
  const auto* text = std::get_if<std::string>(&value);
  if (descriptor.type == px::FieldType::Alpha && text != nullptr && !translate) {
    std::uint8_t* at = buffer->data.data() + descriptor.offset;
    std::memset(at, 0, static_cast<std::size_t>(descriptor.size));
    std::memcpy(at, text->data(), std::min(text->size(), static_cast<std::size_t>(descriptor.size)));
    return;
  }
  binding::Check(table.setValue(buffer->data, index, value));
}

// --- filters

px::Cursor::Filter TEngineDataSet::BuildFilter() {
  // The builder sees the view's field objects as the engine numbers them.
  std::vector<FilterField> known;
  known.reserve(FieldCount());
  for (std::size_t i = 0; i < FieldCount(); ++i) {
    const TField* field = Fields(i);
    known.push_back(
        FilterField{field->FieldName(), field->DataType(), field->Size(), field->FieldNo(),
                    field->FieldKind() == TFieldKind::fkData || field->FieldKind() == TFieldKind::fkInternalCalc});
  }
  FilterFieldLookup lookup = [&known](std::string_view name) -> const FilterField* {
    for (const FilterField& field : known) {
      if (SameText(field.name, name)) return &field;
    }
    return nullptr;
  };
  px::FilterNode::Ptr tree = BuildFilterTree(Filter(), FilterOptions(), lookup, this);
  px::FilterProgram program;
  binding::Check(px::FilterProgram::compile(*tree, cursor_->table(), program));
  auto shared = std::make_shared<px::FilterProgram>(std::move(program));
  return [shared](const std::uint8_t* record) { return shared->admits(record); };
}

void TEngineDataSet::AddFilterToCursor() {
  if (Filter().empty()) return;
  InstallFilter(BuildFilter());
}

void TEngineDataSet::InstallFilter(px::Cursor::Filter filter) {
  filterHandle_ = cursor_->addFilter(std::move(filter));
  if (!Filtered()) return;
  if (!cursor_->activateFilter(filterHandle_, true).ok()) {
    (void)cursor_->dropFilter(filterHandle_);
    filterHandle_ = cursor_->addFilter(BuildFilter());
    binding::Check(cursor_->activateFilter(filterHandle_, true));
  }
}

void TEngineDataSet::DropFilterFromCursor() {
  if (filterHandle_ == 0 || cursor_ == nullptr) return;
  (void)cursor_->dropFilter(filterHandle_);
  filterHandle_ = 0;
}

void TEngineDataSet::ReplaceFilter() {
  // The new filter is built before the old one goes, so a text that does not
  // parse leaves the old filter in force.
  px::Cursor::Filter next;
  if (!Filter().empty()) next = BuildFilter();
  if (Filtered()) {
    cursor_->moveToBegin();
    CursorPosChanged();
  }
  DropFilterFromCursor();
  if (next) InstallFilter(std::move(next));
}

void TEngineDataSet::SwitchFilter(bool active) {
  cursor_->moveToBegin();
  CursorPosChanged();
  if (filterHandle_ != 0) binding::Check(cursor_->activateFilter(filterHandle_, active));
  else if (active) AddFilterToCursor();
}

// --- ranges

bool TEngineDataSet::ApplyRange(const px::Bytes& key, std::size_t fields) {
  if (range_ && range_->second == fields && range_->first == key) return false;
  binding::Check(cursor_->setRange(key, key, fields));
  range_.emplace(key, fields);
  return true;
}

bool TEngineDataSet::DropRange() {
  if (!range_) return false;
  cursor_->resetRange();
  range_.reset();
  return true;
}
