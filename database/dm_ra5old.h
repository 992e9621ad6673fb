// The old database module: three filtered views on the old database's
// directory (described in dm_ra5old.fwd). They stay closed until the merge
// window binds them to the directory that the user picks.
#pragma once

#include "framework/core/data_module.h"

class TDataSource;
class TStringField;
class TTable;

class TdmRA5old : public TDataModule {
 public:
  explicit TdmRA5old(TComponent* owner);
  std::string_view ClassName() const override { return "TdmRA5old"; }
  static void Register();

  TTable* dPatient = nullptr;
  TTable* dSession = nullptr;
  TTable* dData = nullptr;
  TStringField* dPatientID = nullptr;
  TStringField* dSessionSessionID = nullptr;
  TStringField* dSessionPatient = nullptr;
  TStringField* dDataDataID = nullptr;
  TStringField* dDataSessionID = nullptr;
  TDataSource* dsPatient = nullptr;
  TDataSource* dsSession = nullptr;
  TDataSource* dsData = nullptr;
};

extern TdmRA5old* dmRA5old;
