#include "tableaccess/session.h"

#include <algorithm>
#include <exception>
#include <memory>

#include "tableaccess/database.h"
#include "tableaccess/db_errors.h"
#include "tableaccess/engine_binding.h"

std::recursive_mutex& SessionLock::Section() {
  static std::recursive_mutex section;
  return section;
}

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

namespace {

// Disconnects a temporary database, which commits it, and destroys it; a
// failed commit passes on (its destructor could only swallow it).
void DestroyTemporary(TDatabase* database) {
  try {
    database->Close();
  } catch (...) {
    delete database;
    throw;
  }
  delete database;
}

}  // namespace

void TSession::Close() {
  SessionLock lock;
  // Every database is closed and the engine ended whatever fails on the way;
  // the first failure (a commit that could not be written) passes on then.
  std::exception_ptr failure;
  while (!databases_.empty()) {
    TDatabase* database = databases_.back();
    RemoveDatabase(database);
    try {
      if (database->Temporary()) {
        DestroyTemporary(database);
      } else {
        database->Close();
      }
    } catch (...) {
      if (!failure) failure = std::current_exception();
    }
  }
  if (active_) {
    active_ = false;
    const px::Status status = binding::Engine().end();
    if (!status.ok() && !failure) failure = std::make_exception_ptr(binding::ErrorFor(status));
    binding::SetSessionActive(false);
  }
  if (failure) std::rethrow_exception(failure);
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
  // A database that is closing its views itself goes on with that.
  if (database->RefCount() > 0 || database->KeepConnection() || database->ClosingViews()) return;
  if (database->Temporary()) {
    DestroyTemporary(database);
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
