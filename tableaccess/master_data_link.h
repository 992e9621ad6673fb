// The link of a detail view on its master's data source. It resolves the
// master field names when the master becomes active and tells the detail view
// to follow the master's record, or to drop its range when there is nothing
// to follow.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "tableaccess/data_link.h"

class TMasterDataLink : public TDataLink {
 public:
  // `detail` is the view that follows; its browse check is asked for when the
  // master's is.
  explicit TMasterDataLink(TDataSet* detail);

  const std::string& FieldNames() const { return fieldNames_; }
  // Names separated by ";"; resolved at once when the master is active.
  void SetFieldNames(const std::string& names);
  // The master's field objects, in the order named; empty while inactive.
  const std::vector<TField*>& Fields() const { return fields_; }

  std::function<void()> OnMasterChange;
  std::function<void()> OnMasterDisable;

 protected:
  void ActiveChanged() override;
  void RecordChanged(TField* field) override;
  void CheckBrowseMode() override;

 private:
  void ResolveFields();

  TDataSet* detail_;
  std::string fieldNames_;
  std::vector<TField*> fields_;
};
