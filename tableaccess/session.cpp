#include "tableaccess/session.h"

#include <algorithm>
#include <memory>
#include <mutex>

#include "tableaccess/database.h"
#include "tableaccess/db_errors.h"
#include "tableaccess/engine_binding.h"

namespace {

std::mutex& SessionCriticalSection() {
  static std::mutex section;
  return section;
}

thread_local int lockDepth = 0;

}  // namespace

SessionLock::SessionLock() {
  if (lockDepth == 0) SessionCriticalSection().lock();
  ++lockDepth;
}

SessionLock::~SessionLock() {
  if (--lockDepth == 0) SessionCriticalSection().unlock();
}

int SessionLock::Depth() { return lockDepth; }

TSession& Session() {
  static TSession* session = [] {
    auto* s = new TSession(nullptr);
    s->SetName("Session");
    s->SetSessionName("Default");
    return s;
  }();
  return *session;
}

void EndDefaultSession() { Session().Close(); }

TSession* FindSession(const std::string& name) {
  TSession& standard = Session();
  if (name.empty() || SameText(name, standard.SessionName())) return &standard;
  return nullptr;
}

TSession::TSession(TComponent* owner) : TComponent(owner) {}

TSession::~TSession() {
  BeginDestroy();
  try {
    Close();
  } catch (...) {
    // A session that goes away cannot report; its databases were written by
    // the last flush, and the engine's journal finishes or undoes a cut commit.
  }
}

void TSession::Open() {
  SessionLock lock;
  if (active_) return;
  const px::Status status = binding::Engine().start();
  if (!status.ok() && status.code() != px::rc::kAlreadyInitialized) binding::Check(status);
  active_ = true;
  binding::SetSessionActive(true);
}

void TSession::Close() {
  SessionLock lock;
  px::Status first;
  while (!databases_.empty()) {
    TDatabase* database = databases_.back();
    try {
      if (database->Temporary()) {
        delete database;  // removes itself from databases_
      } else {
        database->Close();
        RemoveDatabase(database);
      }
    } catch (...) {
      RemoveDatabase(database);
      if (database->Temporary()) delete database;
      if (active_) {
        active_ = false;
        (void)binding::Engine().end();
        binding::SetSessionActive(false);
      }
      throw;
    }
  }
  if (!active_) return;
  active_ = false;
  const px::Status status = binding::Engine().end();
  binding::Check(status);
  binding::SetSessionActive(false);
}

TDatabase* TSession::FindDatabase(const std::string& name, const TComponent* module) const {
  if (module != nullptr) {
    for (std::size_t i = 0; i < module->ComponentCount(); ++i) {
      auto* database = dynamic_cast<TDatabase*>(module->Components(i));
      if (database != nullptr && database->HandleShared() && SameText(database->DatabaseName(), name)) {
        return database;
      }
    }
  }
  for (TDatabase* database : databases_) {
    if (SameText(database->DatabaseName(), name)) return database;
  }
  return nullptr;
}

TDatabase* TSession::OpenDatabase(const std::string& name, const TComponent* module) {
  SessionLock lock;
  TDatabase* database = FindDatabase(name, module);
  if (database == nullptr) {
    auto created = std::make_unique<TDatabase>(nullptr);
    created->SetDatabaseName(name);
    created->SetKeepConnection(keepConnections_);
    created->SetTemporary(true);
    created->SetSessionName(sessionName_);
    AddDatabase(created.get());
    try {
      created->Open();
    } catch (...) {
      RemoveDatabase(created.get());
      throw;
    }
    database = created.release();
  } else {
    database->Open();
  }
  database->AddReference();
  return database;
}

void TSession::CloseDatabase(TDatabase* database) {
  if (database == nullptr) return;
  SessionLock lock;
  database->ReleaseReference();
  if (database->RefCount() > 0 || database->KeepConnection()) return;
  if (database->Temporary()) {
    delete database;
  } else {
    database->Close();
  }
}

void TSession::FlushDatabases() {
  SessionLock lock;
  for (TDatabase* database : databases_) {
    if (database->Connected()) database->FlushChanges();
  }
}

void TSession::AddDatabase(TDatabase* database) {
  if (std::find(databases_.begin(), databases_.end(), database) != databases_.end()) return;
  databases_.push_back(database);
  database->session_ = this;
}

void TSession::RemoveDatabase(TDatabase* database) {
  databases_.erase(std::remove(databases_.begin(), databases_.end(), database), databases_.end());
  if (database->session_ == this) database->session_ = nullptr;
}
