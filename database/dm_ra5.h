// The active database module: the twelve views on the alias winvelda5 with
// their field objects and data sources (described in dm_ra5.fwd). Its
// creation handler opens every view, the details before their masters.
#pragma once

#include "framework/core/data_module.h"

class TDataSet;
class TDataSource;
class TIntegerField;
class TStringField;
class TTable;

class TdmRA5 : public TDataModule {
 public:
  explicit TdmRA5(TComponent* owner);
  std::string_view ClassName() const override { return "TdmRA5"; }
  // Registers the class and the table access classes its description uses.
  static void Register();

  TTable* dPatient = nullptr;
  TTable* dPatientM = nullptr;
  TTable* dSession = nullptr;
  TTable* dSessionM = nullptr;
  TTable* dData = nullptr;
  TTable* dData2 = nullptr;
  TTable* dDataM = nullptr;
  TTable* dTech = nullptr;
  TTable* dSystem = nullptr;
  TTable* dAllerg = nullptr;
  TTable* dSolvent = nullptr;
  TTable* dIndex = nullptr;
  TStringField* dPatientID = nullptr;
  TStringField* dPatientName = nullptr;
  TIntegerField* dIndexLastPatient = nullptr;
  TIntegerField* dIndexLastSession = nullptr;
  TIntegerField* dIndexLastData = nullptr;
  TDataSource* dsIndex = nullptr;

  void DataModuleCreate(TComponent* sender);
  void dPatientBeforePost(TDataSet* sender);
};

// The module of the process, while it exists.
extern TdmRA5* dmRA5;
