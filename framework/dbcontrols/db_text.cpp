#include "framework/dbcontrols/db_text.h"

#include "tableaccess/data_source.h"
#include "tableaccess/field.h"

TDBText::TDBText(TComponent* owner) : TCustomLabel(owner, false, false) {
  link_.SetControl(this);
  link_.OnDataChange = [this] { DataChange(); };
}

TDBText::~TDBText() {
  BeginDestroy();
  link_.OnDataChange = nullptr;
  link_.SetDataSource(nullptr);
}

TDataSource* TDBText::DataSource() const { return link_.DataSource(); }

void TDBText::SetDataSource(TDataSource* source) {
  if (link_.DataSource() != nullptr) RemoveFreeNotification(link_.DataSource());
  link_.SetDataSource(source);
  if (source != nullptr) FreeNotification(source);
  DataChange();
}

void TDBText::SetDataField(const std::string& name) {
  link_.SetFieldName(name);
  DataChange();
}

void TDBText::DataChange() {
  TField* field = link_.Field();
  SetLabelText(field != nullptr ? field->AsString() : std::string());
}

void TDBText::Notification(TComponent* component, TOperation operation) {
  if (operation == TOperation::opRemove && component != nullptr && component == link_.DataSource()) {
    link_.SetDataSource(nullptr);
    DataChange();
  }
  TCustomLabel::Notification(component, operation);
}

void TDBText::Register() {
  RegisterComponentClass<TDBText, TCustomLabel>("TDBText")
      .Reference<TDataSource>("DataSource", &TDBText::DataSource, &TDBText::SetDataSource)
      .Text("DataField", &TDBText::SetDataField);
}
