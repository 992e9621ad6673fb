// TTable: a view on one Paradox table of a database, optionally ordered by a
// secondary index, filtered, and following a master view as its detail.
// Opening it opens the database, the table and the index, binds the field
// objects, sets the master range and the filter, and fetches the first record.
#pragma once

#include <string>
#include <vector>

#include "tableaccess/db_data_set.h"
#include "tableaccess/field_types.h"
#include "tableaccess/master_data_link.h"

enum class TTableType { ttDefault, ttParadox, ttDBase, ttFoxPro, ttASCII };

// One table field as the open found it.
struct TFieldDef {
  std::string name;
  TFieldType dataType = TFieldType::ftUnknown;
  int size = 0;
  int fieldNo = 0;
};

class TTable : public TDBDataSet {
 public:
  explicit TTable(TComponent* owner = nullptr);
  ~TTable() override;
  std::string_view ClassName() const override { return "TTable"; }

  const std::string& TableName() const { return tableName_; }
  void SetTableName(const std::string& name);
  TTableType TableType() const { return tableType_; }
  void SetTableType(TTableType type);
  const std::string& IndexName() const { return indexName_; }
  void SetIndexName(const std::string& name);
  const std::string& IndexFieldNames() const { return indexFieldNames_; }
  void SetIndexFieldNames(const std::string& names) { indexFieldNames_ = names; }
  bool DefaultIndex() const { return defaultIndex_; }
  void SetDefaultIndex(bool value) { defaultIndex_ = value; }
  bool ReadOnly() const { return readOnly_; }
  void SetReadOnly(bool readOnly);
  bool Exclusive() const { return exclusive_; }
  void SetExclusive(bool exclusive);
  bool StoreDefs() const { return storeDefs_; }
  void SetStoreDefs(bool store) { storeDefs_ = store; }

  TDataSource* MasterSource() const { return masterLink_.DataSource(); }
  // Fails with "Circular datalinks are not allowed" for a source that leads
  // back to this view.
  void SetMasterSource(TDataSource* source);
  const std::string& MasterFields() const { return masterLink_.FieldNames(); }
  void SetMasterFields(const std::string& names) { masterLink_.SetFieldNames(names); }
  TDataSource* MasterDataSource() const override { return masterLink_.DataSource(); }

  // Filled by the open.
  const std::vector<TFieldDef>& FieldDefs() const { return fieldDefs_; }
  const std::vector<std::string>& IndexDefs() const { return indexDefs_; }
  // The 1-based table field numbers of the current index's key fields.
  const std::vector<int>& IndexFieldNumbers() const { return indexFields_; }

  // The driver type name the engine opens the table with: "PARADOX" for a
  // default type (unless the extension names another), "DBASE", "FOXPRO", "ASCIIDRV".
  std::string DriverTypeName() const;
  // The table type the name's extension implies for ttDefault.
  TTableType ResolvedTableType() const;

 protected:
  void OpenCursor() override;
  void CloseCursor() override;
  void BindFields(bool binding) override;
  bool IsIndexField(const TField& field) const override;
  void NewRecordHook() override;
  void Notification(TComponent* component, TOperation operation) override;

 private:
  void OpenTableCursor();
  void DescribeTable();
  void BindPersistentFields();
  void CreateDefaultFields() override;
  // The detail range from the master's key; true when it changed.
  bool SetLinkRanges();
  void MasterChanged();
  void MasterDisabled();

  std::string tableName_, indexName_, indexFieldNames_;
  TTableType tableType_ = TTableType::ttDefault;
  bool defaultIndex_ = true, readOnly_ = false, exclusive_ = false, storeDefs_ = false;
  TMasterDataLink masterLink_;
  std::vector<TFieldDef> fieldDefs_;
  std::vector<std::string> indexDefs_;
  std::vector<int> indexFields_;
};

// A field object of the class that reads `type`.
TField* CreateField(TFieldType type, TComponent* owner);
