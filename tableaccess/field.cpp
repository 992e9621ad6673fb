#include "tableaccess/field.h"

#include "tableaccess/data_set.h"
#include "tableaccess/db_errors.h"

TField::TField(TComponent* owner, TFieldType dataType) : TComponent(owner), dataType_(dataType) {}

TField::~TField() {
  BeginDestroy();
  if (dataSet_ != nullptr) dataSet_->RemoveField(this);
}

void TField::SetDataSet(TDataSet* dataSet) {
  if (dataSet == dataSet_) return;
  if (dataSet_ != nullptr) {
    if (dataSet_->Active()) DatabaseError("Cannot perform this operation on an open dataset", dataSet_);
    dataSet_->RemoveField(this);
  }
  dataSet_ = dataSet;
  if (dataSet_ != nullptr) dataSet_->AddField(this);
}

void TField::SetFieldName(const std::string& name) {
  if (dataSet_ != nullptr && dataSet_->Active() && name != fieldName_) {
    DatabaseError("Cannot perform this operation on an open dataset", dataSet_);
  }
  fieldName_ = name;
}

void TField::SetSize(int size) { size_ = size; }

void TField::SetParentComponent(TComponent* parent) {
  if (auto* dataSet = dynamic_cast<TDataSet*>(parent)) SetDataSet(dataSet);
}

void TField::AccessError(std::string_view typeName) const {
  throw EDatabaseError("Cannot access field '" + DisplayName() + "' as type " + std::string(typeName));
}

std::string TField::AsString() const { AccessError("String"); }
void TField::SetAsString(const std::string&) { AccessError("String"); }
std::int32_t TField::AsInteger() const { AccessError("Integer"); }
void TField::SetAsInteger(std::int32_t) { AccessError("Integer"); }

bool TField::GetData(px::Value& value, bool translate) const {
  value = px::Null{};
  if (dataSet_ == nullptr || fieldNo_ == 0) return false;
  if (!dataSet_->GetFieldValue(*this, value, translate)) {
    value = px::Null{};
    return false;
  }
  return !px::isNull(value);
}

px::Value TField::CurrentValue() const {
  px::Value value;
  GetData(value);
  return value;
}

bool TField::IsBlank() const {
  px::Value value;
  return !GetData(value);
}

void TField::Clear() { SetData(px::Value(px::Null{})); }

void TField::Change() {
  if (OnChange) OnChange(*this);
}

void TField::SetData(const px::Value& value, bool translate) {
  if (dataSet_ == nullptr) DatabaseError("Dataset not in edit or insert mode");
  const TDataSetState state = dataSet_->State();
  const bool setKey = state == TDataSetState::dsSetKey;
  if (state != TDataSetState::dsEdit && state != TDataSetState::dsInsert && !setKey &&
      state != TDataSetState::dsCalcFields && state != TDataSetState::dsInternalCalc) {
    DatabaseError("Dataset not in edit or insert mode", dataSet_);
  }
  if (fieldNo_ == 0) DatabaseError("Dataset not in edit or insert mode", dataSet_);
  if (setKey && !dataSet_->IsIndexFieldOf(*this)) {
    DatabaseErrorFmt("Field '%s' is not indexed and cannot be modified", DisplayName());
  }
  if (readOnly_ && !setKey && state != TDataSetState::dsFilter) {
    DatabaseErrorFmt("Field '%s' cannot be modified", DisplayName());
  }
  if (OnValidate) {
    validating_ = &value;
    try {
      OnValidate(*this);
    } catch (...) {
      validating_ = nullptr;
      throw;
    }
    validating_ = nullptr;
  }
  dataSet_->SetFieldValue(*this, value, translate);
  dataSet_->DataEvent(TDataEvent::deFieldChange, TDataEventInfo{this, 0, false});
}
