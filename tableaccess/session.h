// The session: the list of databases that views open by name, the start and
// end of the engine, and the session lock around finding, creating and
// connecting a database. The default session is the only one of this program.
#pragma once

#include <mutex>
#include <string>
#include <vector>

#include "framework/core/component.h"

class TDatabase;

class TSession : public TComponent {
 public:
  explicit TSession(TComponent* owner = nullptr);
  ~TSession() override;
  std::string_view ClassName() const override { return "TSession"; }

  const std::string& SessionName() const { return sessionName_; }
  void SetSessionName(const std::string& name) { sessionName_ = name; }
  bool KeepConnections() const { return keepConnections_; }
  void SetKeepConnections(bool keep) { keepConnections_ = keep; }

  bool Active() const { return active_; }
  // Starts the engine (nothing when active). A failed start leaves the session
  // inactive, so the next open tries again.
  void Open();
  // Closes every database (destroying the temporary ones) and ends the engine.
  void Close();

  // The database of that name (compared without regard to case): first one of
  // `module` with HandleShared set, then any of the session; or null.
  TDatabase* FindDatabase(const std::string& name, const TComponent* module = nullptr) const;
  // Finds or creates (temporary) and connects the database of the name, and
  // counts the caller as one more user of it.
  TDatabase* OpenDatabase(const std::string& name, const TComponent* module = nullptr);
  // One user fewer; a temporary database without users and without
  // KeepConnection is destroyed.
  void CloseDatabase(TDatabase* database);

  std::size_t DatabaseCount() const { return databases_.size(); }
  TDatabase* Databases(std::size_t index) const { return databases_.at(index); }

  // Commits every connected database, in the order they were connected.
  void FlushDatabases();

  void AddDatabase(TDatabase* database);
  void RemoveDatabase(TDatabase* database);

 private:
  std::string sessionName_;
  bool keepConnections_ = true;
  bool active_ = false;
  std::vector<TDatabase*> databases_;
};

// The default session of the process.
TSession& Session();
// Ends the default session at shutdown: closes its databases and the engine.
void EndDefaultSession();
// The session of a name: the default one for "" or its own name; null if none.
TSession* FindSession(const std::string& name);

// The session lock: one process-wide critical section around finding,
// creating and connecting a database. It is recursive: a thread that holds it
// may take it again, and the last release on that thread leaves it.
class SessionLock {
 public:
  SessionLock() : hold_(Section()) {}
  SessionLock(const SessionLock&) = delete;
  SessionLock& operator=(const SessionLock&) = delete;

  // The critical section itself.
  static std::recursive_mutex& Section();

 private:
  std::scoped_lock<std::recursive_mutex> hold_;
};
