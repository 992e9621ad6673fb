#include "app/old_database.h"

#include "database/dm_ra5.h"
#include "database/dm_ra5old.h"
#include "tableaccess/batch_move.h"
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

MergeTables CreateMergeTables(TComponent& owner, TdmRA5& active, TdmRA5old& old) {
  TTable* sources[3] = {old.dPatient, old.dSession, old.dData};
  TTable* destinations[3] = {active.dPatient, active.dSession, active.dData};
  const char* names[3] = {"BatchMovePat", "BatchMoveSes", "BatchMoveDat"};
  TBatchMove* moves[3];
  for (int i = 0; i < 3; ++i) {
    moves[i] = new TBatchMove(&owner);
    moves[i]->SetName(names[i]);
    moves[i]->SetSource(sources[i]);
    moves[i]->SetDestination(destinations[i]);
    moves[i]->SetAbortOnKeyViol(false);
    moves[i]->SetAbortOnProblem(false);
  }
  return MergeTablesOf(active, old, moves[0], moves[1], moves[2]);
}
