#include "app/old_database.h"

#include "database/dm_ra5.h"
#include "database/dm_ra5old.h"
#include "tableaccess/integer_field.h"
#include "tableaccess/string_field.h"
#include "tableaccess/table.h"

void BindOldDatabase(TdmRA5old& old, const std::string& path) {
  const std::string name = path + "\\";
  old.dPatient->SetDatabaseName(name);
  old.dSession->SetDatabaseName(name);
  old.dData->SetDatabaseName(name);
}

void OpenOldDatabase(TdmRA5old& old) {
  old.dData->Open();
  old.dSession->Open();
  old.dPatient->Open();
}

void CheckOldKeys(const TdmRA5old& old) {
  (void)old.dDataDataID->AsInteger();
  (void)old.dSessionSessionID->AsInteger();
  (void)old.dPatientID->AsInteger();
}

void CloseOldDatabase(TdmRA5old& old) {
  old.dData->Close();
  old.dSession->Close();
  old.dPatient->Close();
}

MergeTables MergeTablesOf(TdmRA5& active, TdmRA5old& old, TBatchMove* patients, TBatchMove* sessions,
                          TBatchMove* data) {
  MergeTables t;
  t.index = active.dIndex;
  t.lastPatient = active.dIndexLastPatient;
  t.lastSession = active.dIndexLastSession;
  t.lastData = active.dIndexLastData;
  t.oldPatient = old.dPatient;
  t.oldPatientID = old.dPatientID;
  t.oldSession = old.dSession;
  t.oldSessionID = old.dSessionSessionID;
  t.oldSessionPatient = old.dSessionPatient;
  t.oldData = old.dData;
  t.oldDataID = old.dDataDataID;
  t.oldDataSessionID = old.dDataSessionID;
  t.patients = patients;
  t.sessions = sessions;
  t.data = data;
  return t;
}
