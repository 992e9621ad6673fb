#include "tableaccess/database.h"

#include <algorithm>
#include <exception>

#include "engine/access/linked_commit.h"
#include "tableaccess/db_data_set.h"
#include "tableaccess/db_errors.h"
#include "tableaccess/engine_binding.h"
#include "tableaccess/session.h"

TDatabase::TDatabase(TComponent* owner) : TComponent(owner) {}

TDatabase::~TDatabase() {
  BeginDestroy();
  try {
    Close();
  } catch (...) {
    // Nothing can be reported from here; the session's close reports.
  }
  if (session_ != nullptr) session_->RemoveDatabase(this);
}

void TDatabase::SetDatabaseName(const std::string& name) {
  if (name == databaseName_) return;
  if (Connected()) DatabaseError("Cannot perform this operation on an open database", this);
  databaseName_ = name;
}

void TDatabase::Open() {
  if (handle_ != nullptr) return;
  SessionLock lock;
  if (databaseName_.empty() && !temporary_) DatabaseError("Database name missing", this);
  TSession* session = FindSession(sessionName_);
  if (session == nullptr) DatabaseErrorFmt("Invalid session name %s", sessionName_);
  session->Open();
  if (session_ == nullptr) session->AddDatabase(this);
  // A set alias or driver name is what the engine knows the database by;
  // otherwise the name itself is an alias or a directory.
  const std::string& name = !aliasName_.empty() ? aliasName_ : !driverName_.empty() ? driverName_ : databaseName_;
  px::Database* handle = nullptr;
  binding::Check(binding::Engine().openDatabase(name, handle));
  handle_ = handle;
}

void TDatabase::Close() {
  if (handle_ == nullptr) return;
  {
    // Each view that closes lowers the reference count, and without
    // KeepConnection the last one would have the session destroy this
    // database while this loop still runs on it.
    struct ClosingViews {
      bool& flag;
      explicit ClosingViews(bool& f) : flag(f) { flag = true; }
      ~ClosingViews() { flag = false; }
    } closing(closingViews_);
    while (!dataSets_.empty()) {
      TDBDataSet* dataSet = dataSets_.back();
      dataSet->Close();
      UnregisterDataSet(dataSet);
    }
  }
  px::Database* handle = handle_;
  handle_ = nullptr;
  refCount_ = 0;
  binding::Check(binding::Engine().closeDatabase(handle));
}

void TDatabase::RegisterDataSet(TDBDataSet* dataSet) {
  if (std::find(dataSets_.begin(), dataSets_.end(), dataSet) == dataSets_.end()) dataSets_.push_back(dataSet);
}

void TDatabase::UnregisterDataSet(TDBDataSet* dataSet) {
  dataSets_.erase(std::remove(dataSets_.begin(), dataSets_.end(), dataSet), dataSets_.end());
}

void TDatabase::FlushChanges() {
  if (handle_ == nullptr) return;
  binding::Check(handle_->flush());
}

void TDatabase::FlushChangesWith(TDatabase& other, bool& written) {
  written = false;
  if (handle_ == nullptr || other.handle_ == nullptr) DatabaseError("Database is not connected", this);
  binding::Check(px::LinkedCommit::commit(*handle_, *other.handle_, written));
  written = true;
}

void TDatabase::RevertChanges() {
  if (handle_ == nullptr) return;
  const std::vector<TDBDataSet*> open = dataSets_;
  handle_->discardChanges();
  Close();
  Open();
  std::exception_ptr failure;
  for (TDBDataSet* dataSet : open) {
    try {
      dataSet->Open();
    } catch (...) {
      if (!failure) failure = std::current_exception();
    }
  }
  if (failure) std::rethrow_exception(failure);
}
