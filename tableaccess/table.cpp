#include "tableaccess/table.h"

#include <algorithm>

#include "engine/access/database.h"
#include "engine/access/database_name.h"
#include "tableaccess/blob_field.h"
#include "tableaccess/boolean_field.h"
#include "tableaccess/data_source.h"
#include "tableaccess/database.h"
#include "tableaccess/date_time_field.h"
#include "tableaccess/db_errors.h"
#include "tableaccess/engine_binding.h"
#include "tableaccess/float_field.h"
#include "tableaccess/integer_field.h"
#include "tableaccess/string_field.h"

namespace {

std::string LowerExtension(const std::string& name) {
  const std::size_t dot = name.rfind('.');
  if (dot == std::string::npos) return {};
  std::string extension = name.substr(dot);
  for (char& c : extension) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return extension;
}

bool SizeMustMatch(TFieldType type) {
  return type == TFieldType::ftBCD || type == TFieldType::ftBytes || type == TFieldType::ftVarBytes ||
         type == TFieldType::ftReference;
}

}  // namespace

TField* CreateField(TFieldType type, TComponent* owner) {
  switch (type) {
    case TFieldType::ftString: case TFieldType::ftFixedChar: return new TStringField(owner);
    case TFieldType::ftSmallint: return new TSmallintField(owner);
    case TFieldType::ftInteger: case TFieldType::ftAutoInc: return new TIntegerField(owner);
    case TFieldType::ftFloat: case TFieldType::ftCurrency: return new TFloatField(owner, type);
    case TFieldType::ftBoolean: return new TBooleanField(owner);
    case TFieldType::ftDate: return new TDateField(owner);
    case TFieldType::ftDateTime: return new TDateTimeField(owner);
    case TFieldType::ftMemo: case TFieldType::ftFmtMemo: return new TMemoField(owner);
    default: return new TBlobField(owner, type);
  }
}

TTable::TTable(TComponent* owner) : TDBDataSet(owner), masterLink_(this) {
  masterLink_.OnMasterChange = [this] { MasterChanged(); };
  masterLink_.OnMasterDisable = [this] { MasterDisabled(); };
}

TTable::~TTable() {
  BeginDestroy();
  try {
    Close();
  } catch (...) {
    // A view that goes away cannot report; what it had not posted is dropped.
  }
  masterLink_.SetDataSource(nullptr);
}

void TTable::SetTableName(const std::string& name) {
  if (name == tableName_) return;
  CheckInactive();
  tableName_ = name;
  DataEvent(TDataEvent::dePropertyChange);
}

void TTable::SetTableType(TTableType type) {
  CheckInactive();
  tableType_ = type;
}

void TTable::SetReadOnly(bool readOnly) {
  CheckInactive();
  readOnly_ = readOnly;
}

void TTable::SetExclusive(bool exclusive) {
  CheckInactive();
  exclusive_ = exclusive;
}

void TTable::SetMasterSource(TDataSource* source) {
  if (source == masterLink_.DataSource()) return;
  if (source != nullptr && source->IsLinkedTo(this)) DatabaseError("Circular datalinks are not allowed", this);
  if (TDataSource* old = masterLink_.DataSource()) RemoveFreeNotification(old);
  masterLink_.SetDataSource(source);
  if (source != nullptr) FreeNotification(source);
}

void TTable::Notification(TComponent* component, TOperation operation) {
  if (operation == TOperation::opRemove && component != nullptr && component == masterLink_.DataSource()) {
    masterLink_.SetDataSource(nullptr);
  }
}

TTableType TTable::ResolvedTableType() const {
  if (tableType_ != TTableType::ttDefault) return tableType_;
  const std::string extension = LowerExtension(tableName_);
  if (extension == ".db") return TTableType::ttParadox;
  if (extension == ".txt") return TTableType::ttASCII;
  if (extension == ".dbf") {
    // A memo or index file of the FoxPro kind beside it tells the two kinds apart.
    if (Database() != nullptr && Database()->Handle() != nullptr) {
      px::Database& db = *Database()->Handle();
      const std::string stem = tableName_.substr(0, tableName_.size() - 4);
      for (const char* other : {".fpt", ".FPT", ".cdx", ".CDX"}) {
        if (db.fileSystem().exists(db.directory() / (stem + other))) return TTableType::ttFoxPro;
      }
    }
    return TTableType::ttDBase;
  }
  return TTableType::ttDefault;
}

std::string TTable::DriverTypeName() const {
  switch (ResolvedTableType()) {
    case TTableType::ttDefault:
    case TTableType::ttParadox: return "PARADOX";
    case TTableType::ttDBase: return "DBASE";
    case TTableType::ttFoxPro: return "FOXPRO";
    case TTableType::ttASCII: return "ASCIIDRV";
  }
  return "PARADOX";
}

// --- opening

void TTable::OpenCursor() {
  OpenDatabase();
  try {
    if (tableName_.empty()) DatabaseError("Missing TableName property", this);
    OpenTableCursor();
    DescribeTable();
    if (FieldCount() == 0) CreateDefaultFields();
    BindPersistentFields();
    if (masterLink_.Active() && !masterLink_.Fields().empty()) SetLinkRanges();
    AddFilterToCursor();
  } catch (...) {
    BindFields(false);
    DropRange();
    filterHandle_ = 0;
    cursor_.reset();
    CloseDatabase();
    throw;
  }
}

void TTable::OpenTableCursor() {
  px::Status status;
  const std::string file = px::tableFileName(tableName_, DriverTypeName(), status);
  binding::Check(status);
  px::CursorOptions options;
  options.index = indexName_;
  options.readOnly = readOnly_;
  options.exclusive = exclusive_;
  px::Database* database = Database()->Handle();
  std::unique_ptr<px::Cursor> cursor;
  status = database->openCursor(file, options, cursor);
  if (status.code() == px::rc::kTableReadOnly && !options.readOnly) {
    // A table that cannot be written is opened for reading.
    options.readOnly = true;
    status = database->openCursor(file, options, cursor);
  }
  binding::Check(status);
  if (!cursor) throw ENoResultSet("Error creating cursor handle");
  cursor_ = std::move(cursor);
}

void TTable::DescribeTable() {
  const px::WritableTable& table = cursor_->table();
  fieldDefs_.clear();
  const auto& fields = table.fields();
  for (std::size_t i = 0; i < fields.size(); ++i) {
    const px::FieldDescriptor& field = fields[i];
    fieldDefs_.push_back(TFieldDef{binding::ToProgram(table, field.name), FieldTypeOf(field.type),
                                   FieldSizeOf(field.type, field.size, field.sizeByte), static_cast<int>(i + 1)});
  }
  indexDefs_ = table.indexNames();
  indexFields_.clear();
  std::vector<int> positions;
  if (table.indexFields(indexName_, positions).ok()) {
    for (int position : positions) indexFields_.push_back(position + 1);
  }
}

void TTable::CreateDefaultFields() {
  for (const TFieldDef& def : fieldDefs_) {
    TField* field = CreateField(def.dataType, nullptr);
    field->SetFieldName(def.name);
    if (def.size > 0) field->SetSize(def.size);
    field->SetDataSet(this);
  }
  defaultFields_ = true;
}

void TTable::BindPersistentFields() {
  for (std::size_t i = 0; i < FieldCount(); ++i) {
    TField* field = Fields(i);
    const TFieldDef* def = nullptr;
    for (const TFieldDef& candidate : fieldDefs_) {
      if (SameText(candidate.name, field->FieldName())) {
        def = &candidate;
        break;
      }
    }
    if (def == nullptr) DatabaseErrorFmt("Field '%s' not found", field->DisplayName(), this);
    if (FieldTypeGroup(field->DataType()) != FieldTypeGroup(def->dataType)) {
      DatabaseError("Type mismatch for field '" + field->DisplayName() + "', expecting: " +
                        std::string(FieldTypeName(field->DataType())) + " actual: " +
                        std::string(FieldTypeName(def->dataType)),
                    this);
    }
    if (SizeMustMatch(field->DataType()) && field->Size() != def->size) {
      DatabaseError("Size mismatch for field '" + field->DisplayName() + "', expecting: " +
                        std::to_string(field->Size()) + " actual: " + std::to_string(def->size),
                    this);
    }
    if (IsTextType(field->DataType()) && field->Size() > def->size && !field->ReadOnly()) field->SetSize(def->size);
    field->Bind(def->fieldNo);
  }
}

void TTable::BindFields(bool binding) {
  if (binding) return;  // the open binds while it checks
  for (std::size_t i = 0; i < FieldCount(); ++i) Fields(i)->Bind(0);
}

void TTable::CloseCursor() {
  if (cursor_) {
    cursor_->releaseLock();
    DropRange();
    DropFilterFromCursor();
    cursor_.reset();
  }
  CloseDatabase();
}

// --- index

bool TTable::IsIndexField(const TField& field) const {
  return std::find(indexFields_.begin(), indexFields_.end(), field.FieldNo()) != indexFields_.end();
}

void TTable::SetIndexName(const std::string& name) {
  if (name == indexName_) return;
  if (!Active()) {
    indexName_ = name;
    return;
  }
  CheckBrowseMode();
  px::Database* database = Database()->Handle();
  px::CursorOptions options = cursor_->options();
  options.index = name;
  std::unique_ptr<px::Cursor> cursor;
  px::Status status;
  const std::string file = px::tableFileName(tableName_, DriverTypeName(), status);
  binding::Check(status);
  binding::Check(database->openCursor(file, options, cursor));
  const RecordBuffer* active = ActiveBuffer();
  const std::uint32_t mark = active != nullptr ? active->bookmark : 0;
  const bool hadRecord = active != nullptr;
  DropRange();
  DropFilterFromCursor();
  cursor_ = std::move(cursor);
  indexName_ = name;
  DescribeTable();
  AddFilterToCursor();
  if (masterLink_.Active() && !masterLink_.Fields().empty()) SetLinkRanges();
  if (hadRecord) (void)cursor_->gotoBookmark(px::Cursor::Bookmark{mark});
  Resync();
}

// --- master and detail

bool TTable::SetLinkRanges() {
  const std::vector<TField*>& masters = masterLink_.Fields();
  if (masters.size() > indexFields_.size()) DatabaseError("Field index out of range", this);
  px::WritableTable& table = cursor_->table();
  px::Bytes key = table.blankRecord();
  const TDataSetState saved = State();
  SetTempState(TDataSetState::dsSetKey);
  try {
    for (std::size_t i = 0; i < masters.size(); ++i) {
      const int fieldNo = indexFields_[i];
      TField* detail = nullptr;
      for (std::size_t f = 0; f < FieldCount(); ++f) {
        if (Fields(f)->FieldNo() == fieldNo) detail = Fields(f);
      }
      if (detail == nullptr) {
        DatabaseErrorFmt("Cannot access index field '%s'", fieldDefs_.at(static_cast<std::size_t>(fieldNo - 1)).name,
                         this);
      }
      px::Value value = IsTextType(detail->DataType()) ? px::Value(masters[i]->AsString()) : masters[i]->CurrentValue();
      if (const auto* text = std::get_if<std::string>(&value); text != nullptr && text->empty()) value = px::Null{};
      binding::Check(table.setValue(key, static_cast<std::size_t>(fieldNo - 1), value));
    }
  } catch (...) {
    SetTempState(saved);
    throw;
  }
  SetTempState(saved);
  return ApplyRange(key, masters.size());
}

void TTable::MasterChanged() {
  CheckBrowseMode();
  if (SetLinkRanges()) GoFirst();
}

void TTable::MasterDisabled() {
  CheckBrowseMode();
  if (!DropRange()) return;
  if (const RecordBuffer* active = ActiveBuffer()) InternalSetToRecord(*active);
  Resync();
}

void TTable::NewRecordHook() {
  if (!masterLink_.Active()) return;
  const std::vector<TField*>& masters = masterLink_.Fields();
  if (masters.empty()) return;
  if (masters.size() > indexFields_.size()) DatabaseError("Field index out of range", this);
  for (std::size_t i = 0; i < masters.size(); ++i) {
    TField* detail = nullptr;
    for (std::size_t f = 0; f < FieldCount(); ++f) {
      if (Fields(f)->FieldNo() == indexFields_[i]) detail = Fields(f);
    }
    if (detail == nullptr) {
      DatabaseErrorFmt("Cannot access index field '%s'",
                       fieldDefs_.at(static_cast<std::size_t>(indexFields_[i] - 1)).name, this);
    }
    if (IsTextType(detail->DataType())) {
      detail->SetAsString(masters[i]->AsString());
    } else {
      detail->SetValue(masters[i]->CurrentValue());
    }
  }
}
