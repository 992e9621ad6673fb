// A data-bound label: it shows the text of one field of the current record
// of its data source's view (AsString), or nothing while the view is closed
// or has no such field. It takes the new text on each data event that
// concerns the field and shows it at the window's next paint. Fixed size,
// no accelerator characters, by default.
#pragma once

#include <string>

#include "framework/controls/label.h"
#include "tableaccess/field_data_link.h"

class TDataSource;
class TField;

class TDBText : public TCustomLabel {
 public:
  explicit TDBText(TComponent* owner);
  ~TDBText() override;
  std::string_view ClassName() const override { return "TDBText"; }

  TDataSource* DataSource() const;
  void SetDataSource(TDataSource* source);
  const std::string& DataField() const { return link_.FieldName(); }
  void SetDataField(const std::string& name);
  // The bound field; null while the view is closed.
  TField* Field() const { return link_.Field(); }

  static void Register();

 protected:
  void Notification(TComponent* component, TOperation operation) override;

 private:
  void DataChange();
  TFieldDataLink link_;
};
