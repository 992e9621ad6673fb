#include "tableaccess/registered_classes.h"

#include "framework/core/class_registry.h"
#include "tableaccess/batch_move.h"
#include "tableaccess/blob_field.h"
#include "tableaccess/boolean_field.h"
#include "tableaccess/data_source.h"
#include "tableaccess/date_time_field.h"
#include "tableaccess/float_field.h"
#include "tableaccess/integer_field.h"
#include "tableaccess/string_field.h"
#include "tableaccess/table.h"

namespace {

// An event of a view, bound to a handler of the description's root.
template <TDataSetNotifyEvent TDataSet::*Member>
void SetViewEvent(TTable& table, TNotifyEvent handler) {
  table.*Member = [handler](TDataSet& dataSet) { handler(&dataSet); };
}

template <TFieldNotifyEvent TField::*Member>
void SetFieldEvent(TField& field, TNotifyEvent handler) {
  field.*Member = [handler](TField& f) { handler(&f); };
}

void RegisterFields() {
  RegisterComponentClass<TField>("TField")
      .Text("FieldName", &TField::SetFieldName)
      .Text("DisplayLabel", &TField::SetDisplayLabel)
      .Text("EditMask", &TField::SetEditMask)
      .Text("DisplayFormat", &TField::SetDisplayFormat)
      .Integer("DisplayWidth", &TField::SetDisplayWidth)
      .Integer("Size", &TField::SetSize)
      .Boolean("Required", &TField::SetRequired)
      .Boolean("ReadOnly", &TField::SetReadOnly)
      .Event("OnChange", &SetFieldEvent<&TField::OnChange>)
      .Event("OnValidate", &SetFieldEvent<&TField::OnValidate>);
  RegisterComponentClass<TStringField, TField>("TStringField").Boolean("Transliterate", &TStringField::SetTransliterate);
  RegisterComponentClass<TIntegerField, TField>("TIntegerField")
      .Integer("MinValue", &TIntegerField::SetMinValue)
      .Integer("MaxValue", &TIntegerField::SetMaxValue);
  RegisterComponentClass<TSmallintField, TIntegerField>("TSmallintField");
  RegisterComponentClass<TFloatField, TField>("TFloatField");
  RegisterComponentClass<TBooleanField, TField>("TBooleanField");
  RegisterComponentClass<TDateField, TField>("TDateField");
  RegisterComponentClass<TDateTimeField, TField>("TDateTimeField");
  RegisterComponentClass<TBlobField, TField>("TBlobField");
  RegisterComponentClass<TMemoField, TBlobField>("TMemoField");
}

void RegisterViews() {
  RegisterComponentClass<TTable>("TTable")
      .Text("DatabaseName", &TTable::SetDatabaseName)
      .Text("SessionName", &TTable::SetSessionName)
      .Text("TableName", &TTable::SetTableName)
      .Enum<TTableType>("TableType", &TTable::SetTableType,
                        {{"ttDefault", TTableType::ttDefault}, {"ttParadox", TTableType::ttParadox},
                         {"ttDBase", TTableType::ttDBase}, {"ttFoxPro", TTableType::ttFoxPro},
                         {"ttASCII", TTableType::ttASCII}})
      .Text("IndexName", &TTable::SetIndexName)
      .Text("IndexFieldNames", &TTable::SetIndexFieldNames)
      .Text("Filter", &TTable::SetFilter)
      .Boolean("Filtered", &TTable::SetFiltered)
      .Text("MasterFields", &TTable::SetMasterFields)
      .Reference<TDataSource>("MasterSource", &TTable::MasterSource, &TTable::SetMasterSource)
      .Boolean("ReadOnly", &TTable::SetReadOnly)
      .Boolean("Exclusive", &TTable::SetExclusive)
      .Boolean("DefaultIndex", &TTable::SetDefaultIndex)
      .Boolean("StoreDefs", &TTable::SetStoreDefs)
      .Event("BeforeOpen", &SetViewEvent<&TDataSet::BeforeOpen>)
      .Event("AfterOpen", &SetViewEvent<&TDataSet::AfterOpen>)
      .Event("BeforeClose", &SetViewEvent<&TDataSet::BeforeClose>)
      .Event("AfterClose", &SetViewEvent<&TDataSet::AfterClose>)
      .Event("BeforeScroll", &SetViewEvent<&TDataSet::BeforeScroll>)
      .Event("AfterScroll", &SetViewEvent<&TDataSet::AfterScroll>)
      .Event("BeforeEdit", &SetViewEvent<&TDataSet::BeforeEdit>)
      .Event("AfterEdit", &SetViewEvent<&TDataSet::AfterEdit>)
      .Event("BeforePost", &SetViewEvent<&TDataSet::BeforePost>)
      .Event("AfterPost", &SetViewEvent<&TDataSet::AfterPost>)
      .Event("BeforeCancel", &SetViewEvent<&TDataSet::BeforeCancel>)
      .Event("AfterCancel", &SetViewEvent<&TDataSet::AfterCancel>)
      .Event("BeforeInsert", &SetViewEvent<&TDataSet::BeforeInsert>)
      .Event("AfterInsert", &SetViewEvent<&TDataSet::AfterInsert>)
      .Event("OnNewRecord", &SetViewEvent<&TDataSet::OnNewRecord>);
  RegisterComponentClass<TDataSource>("TDataSource")
      .Reference<TDataSet>("DataSet", &TDataSource::DataSet, &TDataSource::SetDataSet)
      .Boolean("AutoEdit", &TDataSource::SetAutoEdit)
      .Boolean("Enabled", &TDataSource::SetEnabled);
}

void RegisterBatchMove() {
  RegisterComponentClass<TBatchMove>("TBatchMove")
      .Reference<TTable>("Destination", &TBatchMove::Destination, &TBatchMove::SetDestination)
      .Reference<TEngineDataSet>("Source", &TBatchMove::Source, &TBatchMove::SetSource)
      .Enum<TBatchMode>("Mode", &TBatchMove::SetMode,
                        {{"batAppend", TBatchMode::batAppend}, {"batUpdate", TBatchMode::batUpdate},
                         {"batAppendUpdate", TBatchMode::batAppendUpdate}, {"batDelete", TBatchMode::batDelete},
                         {"batCopy", TBatchMode::batCopy}})
      .Boolean("AbortOnKeyViol", &TBatchMove::SetAbortOnKeyViol)
      .Boolean("AbortOnProblem", &TBatchMove::SetAbortOnProblem)
      .Boolean("Transliterate", &TBatchMove::SetTransliterate)
      .Integer("RecordCount", &TBatchMove::SetRecordCount)
      .Integer("CommitCount", &TBatchMove::SetCommitCount)
      .Strings("Mappings", &TBatchMove::SetMappings)
      .Text("KeyViolTableName", &TBatchMove::SetKeyViolTableName)
      .Text("ProblemTableName", &TBatchMove::SetProblemTableName)
      .Text("ChangedTableName", &TBatchMove::SetChangedTableName);
}

}  // namespace

void RegisterTableAccessClasses() {
  static const bool registered = [] {
    RegisterFields();
    RegisterViews();
    RegisterBatchMove();
    return true;
  }();
  (void)registered;
}
