// A field object: one field of a view's records, read and written through
// AsString and AsInteger. It is bound to the table field of its FieldName when
// the view opens and reads the view's active record. The subclasses convert
// the value of their type; a conversion a class does not make fails with
// "Cannot access field '%s' as type %s".
#pragma once

#include <cstdint>
#include <string>

#include "engine/format/value.h"
#include "framework/core/component.h"
#include "tableaccess/data_set_types.h"
#include "tableaccess/field_types.h"

class TField : public TComponent {
 public:
  TField(TComponent* owner, TFieldType dataType);
  ~TField() override;
  std::string_view ClassName() const override { return "TField"; }

  TDataSet* DataSet() const { return dataSet_; }
  // Adds the field to the view's field list (and takes it out of the former one's).
  void SetDataSet(TDataSet* dataSet);

  const std::string& FieldName() const { return fieldName_; }
  void SetFieldName(const std::string& name);
  const std::string& DisplayLabel() const { return displayLabel_; }
  void SetDisplayLabel(const std::string& label) { displayLabel_ = label; }
  // The name that messages use: DisplayLabel when set, else FieldName.
  const std::string& DisplayName() const { return displayLabel_.empty() ? fieldName_ : displayLabel_; }

  TFieldType DataType() const { return dataType_; }
  TFieldKind FieldKind() const { return fieldKind_; }
  void SetFieldKind(TFieldKind kind) { fieldKind_ = kind; }
  int Size() const { return size_; }
  virtual void SetSize(int size);
  bool Required() const { return required_; }
  void SetRequired(bool required) { required_ = required; }
  bool ReadOnly() const { return readOnly_; }
  void SetReadOnly(bool readOnly) { readOnly_ = readOnly; }
  const std::string& EditMask() const { return editMask_; }
  void SetEditMask(const std::string& mask) { editMask_ = mask; }
  const std::string& DisplayFormat() const { return displayFormat_; }
  void SetDisplayFormat(const std::string& format) { displayFormat_ = format; }
  int DisplayWidth() const { return displayWidth_; }
  void SetDisplayWidth(int width) { displayWidth_ = width; }

  // The 1-based number of the table field while bound; 0 otherwise.
  int FieldNo() const { return fieldNo_; }
  void Bind(int fieldNo) { fieldNo_ = fieldNo; }

  virtual std::string AsString() const;
  virtual void SetAsString(const std::string& text);
  virtual std::int32_t AsInteger() const;
  virtual void SetAsInteger(std::int32_t value);
  bool IsBlank() const;
  void Clear();
  // Writes a value of the kind the field's engine type reads as, through the
  // same path as the typed writes (a detail view's master key, a copy).
  void SetValue(const px::Value& value) { SetData(value); }

  // The value of the active record; null without one. `translate` asks the
  // engine to turn text into the program's character set.
  px::Value CurrentValue() const;

  // Written inside a view in a stored description: the field joins that view.
  void SetParentComponent(TComponent* parent) override;

  // During OnValidate, the value about to be written.
  const px::Value* ValidatingValue() const { return validating_; }

  TFieldNotifyEvent OnValidate, OnChange;

  // Runs OnChange; the view calls it for a field-change notification.
  void Change();

 protected:
  // Reads the active record's value; false without a value.
  bool GetData(px::Value& value, bool translate = true) const;
  // The write path: state checks, read-only check, OnValidate, the engine put,
  // the field-change notification.
  void SetData(const px::Value& value, bool translate = true);
  [[noreturn]] void AccessError(std::string_view typeName) const;

 private:
  TDataSet* dataSet_ = nullptr;
  std::string fieldName_, displayLabel_, editMask_, displayFormat_;
  TFieldType dataType_;
  TFieldKind fieldKind_ = TFieldKind::fkData;
  int size_ = 0;
  bool required_ = false, readOnly_ = false;
  int displayWidth_ = 0;
  int fieldNo_ = 0;
  const px::Value* validating_ = nullptr;
};
