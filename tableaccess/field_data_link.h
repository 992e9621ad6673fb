// The link of a control bound to one field of a view: it finds the field by
// name when the view becomes active, drops it when the view closes, and runs
// the control's data-change handler whenever what the field shows may differ.
#pragma once

#include <functional>
#include <string>

#include "tableaccess/data_link.h"

class TComponent;

class TFieldDataLink : public TDataLink {
 public:
  TFieldDataLink();

  const std::string& FieldName() const { return fieldName_; }
  void SetFieldName(const std::string& name);
  // The bound field object; null while the link is inactive or the view has
  // no field of that name.
  TField* Field() const { return field_; }
  // The control that shows the field; makes the link a visual one.
  void SetControl(TComponent* control);
  TComponent* Control() const { return control_; }

  // The control's data-change handler; it reads Field().
  std::function<void()> OnDataChange;

 protected:
  void ActiveChanged() override;
  void RecordChanged(TField* field) override;

 private:
  void UpdateField();
  void SetField(TField* field);

  std::string fieldName_;
  TField* field_ = nullptr;
  TComponent* control_ = nullptr;
};
