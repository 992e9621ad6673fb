#include "tableaccess/field_data_link.h"

#include "tableaccess/data_set.h"

TFieldDataLink::TFieldDataLink() = default;

void TFieldDataLink::SetFieldName(const std::string& name) {
  if (name == fieldName_) return;
  fieldName_ = name;
  UpdateField();
}

void TFieldDataLink::SetControl(TComponent* control) {
  control_ = control;
  SetVisualControl(control != nullptr);
}

void TFieldDataLink::ActiveChanged() { UpdateField(); }

void TFieldDataLink::UpdateField() {
  TField* field = nullptr;
  if (Active() && !fieldName_.empty()) field = DataSet()->FieldByName(fieldName_);
  SetField(field);
}

void TFieldDataLink::SetField(TField* field) {
  if (field == field_) return;
  field_ = field;
  if (OnDataChange) OnDataChange();
}

void TFieldDataLink::RecordChanged(TField* field) {
  if (field == nullptr || field == field_) {
    if (OnDataChange) OnDataChange();
  }
}
