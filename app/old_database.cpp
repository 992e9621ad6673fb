#include "app/old_database.h"

#include <filesystem>
#include <system_error>

#include "database/dm_ra5.h"
#include "database/dm_ra5old.h"
#include "engine/access/database_name.h"
#include "engine/access/engine_config.h"
#include "tableaccess/batch_move.h"
#include "tableaccess/database.h"
#include "tableaccess/db_errors.h"
#include "tableaccess/integer_field.h"
#include "tableaccess/string_field.h"
#include "tableaccess/table.h"

namespace {

// The active database's directory; empty when neither an open view nor the
// configuration tells it.
std::filesystem::path ActiveDirectory(const TdmRA5& active) {
  if (active.dIndex == nullptr) return {};
  const TDatabase* database = active.dIndex->Database();
  if (database != nullptr && database->Handle() != nullptr) return database->Handle()->directory();
  const std::string& name = active.dIndex->DatabaseName();
  if (px::isDirectoryName(name)) return px::directoryFromName(name);
  px::EngineConfig config;
  std::filesystem::path directory;
  if (px::EngineConfig::load(config).ok() && config.resolveAlias(name, directory).ok()) return directory;
  return {};
}

// Whether two directory paths lead to the same directory: the file system
// says so for existing ones (links, another spelling, a share of the same
// place); otherwise their absolute, normal forms must agree.
bool SameDirectory(const std::filesystem::path& a, const std::filesystem::path& b) {
  std::error_code ec;
  if (std::filesystem::equivalent(a, b, ec)) return true;
  const std::filesystem::path left = std::filesystem::weakly_canonical(a, ec);
  if (ec) return false;
  const std::filesystem::path right = std::filesystem::weakly_canonical(b, ec);
  return !ec && left == right;
}

}  // namespace

void CheckNotActiveDatabase(const TdmRA5& active, const std::string& path) {
  const std::filesystem::path activeDirectory = ActiveDirectory(active);
  if (activeDirectory.empty()) return;
  // The directory the old views will open, as the engine takes their name.
  if (SameDirectory(px::directoryFromName(path + "\\"), activeDirectory)) DatabaseError(kOldIsActiveMessage);
}

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
