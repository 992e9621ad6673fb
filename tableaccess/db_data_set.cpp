#include "tableaccess/db_data_set.h"

#include "tableaccess/database.h"
#include "tableaccess/db_errors.h"
#include "tableaccess/session.h"

TDBDataSet::TDBDataSet(TComponent* owner) : TEngineDataSet(owner) {}

TDBDataSet::~TDBDataSet() {
  BeginDestroy();
  if (database_ != nullptr) {
    database_->UnregisterDataSet(this);
    database_ = nullptr;
  }
}

void TDBDataSet::SetDatabaseName(const std::string& name) {
  if (name == databaseName_) return;
  CheckInactive();
  if (database_ != nullptr) DatabaseError("Cannot perform this operation on an open database", this);
  databaseName_ = name;
  DataEvent(TDataEvent::dePropertyChange);
}

void TDBDataSet::SetSessionName(const std::string& name) {
  CheckInactive();
  sessionName_ = name;
  DataEvent(TDataEvent::dePropertyChange);
}

void TDBDataSet::OpenDatabase() {
  TSession* session = FindSession(sessionName_);
  if (session == nullptr) DatabaseErrorFmt("Invalid session name %s", sessionName_);
  database_ = session->OpenDatabase(databaseName_, Owner());
  database_->RegisterDataSet(this);
}

void TDBDataSet::CloseDatabase() {
  if (database_ == nullptr) return;
  TDatabase* database = database_;
  database_ = nullptr;
  database->UnregisterDataSet(this);
  if (TSession* session = database->Session()) session->CloseDatabase(database);
}
