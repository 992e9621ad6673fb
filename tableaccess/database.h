// A database object: a name that table views share, turned into one engine
// database by the session. The program declares none; the session creates a
// temporary one for each name that a view opens and keeps it connected until
// the session ends.
#pragma once

#include <string>
#include <vector>

#include "engine/access/database.h"
#include "framework/core/component.h"

class TSession;
class TDBDataSet;

class TDatabase : public TComponent {
 public:
  explicit TDatabase(TComponent* owner = nullptr);
  ~TDatabase() override;
  std::string_view ClassName() const override { return "TDatabase"; }

  const std::string& DatabaseName() const { return databaseName_; }
  void SetDatabaseName(const std::string& name);
  const std::string& AliasName() const { return aliasName_; }
  void SetAliasName(const std::string& name) { aliasName_ = name; }
  const std::string& DriverName() const { return driverName_; }
  void SetDriverName(const std::string& name) { driverName_ = name; }
  std::vector<std::string>& Params() { return params_; }
  const std::string& SessionName() const { return sessionName_; }
  void SetSessionName(const std::string& name) { sessionName_ = name; }
  bool KeepConnection() const { return keepConnection_; }
  void SetKeepConnection(bool keep) { keepConnection_ = keep; }
  bool LoginPrompt() const { return loginPrompt_; }
  void SetLoginPrompt(bool prompt) { loginPrompt_ = prompt; }
  bool HandleShared() const { return handleShared_; }
  void SetHandleShared(bool shared) { handleShared_ = shared; }
  bool ReadOnly() const { return readOnly_; }
  void SetReadOnly(bool readOnly) { readOnly_ = readOnly; }
  bool Exclusive() const { return exclusive_; }
  void SetExclusive(bool exclusive) { exclusive_ = exclusive; }

  bool Temporary() const { return temporary_; }
  void SetTemporary(bool temporary) { temporary_ = temporary; }
  bool Connected() const { return handle_ != nullptr; }
  int RefCount() const { return refCount_; }
  // The engine database; null while not connected.
  px::Database* Handle() const { return handle_; }
  TSession* Session() const { return session_; }

  // Connects to the engine database of the name (nothing when connected).
  void Open();
  // Closes the views that use it, then disconnects, which commits what they
  // changed; a failed commit raises, with the database disconnected.
  void Close();
  // True while Close() closes the views: their close must not destroy or
  // close this database again.
  bool ClosingViews() const { return closingViews_; }

  // The session counts the views that opened this database.
  void AddReference() { ++refCount_; }
  void ReleaseReference() { if (refCount_ > 0) --refCount_; }
  void RegisterDataSet(TDBDataSet* dataSet);
  void UnregisterDataSet(TDBDataSet* dataSet);
  const std::vector<TDBDataSet*>& DataSets() const { return dataSets_; }

  // Commits the engine database's changes to its files.
  void FlushChanges();
  // Commits this database's changes and `other`'s as one step: both or
  // neither, also across a crash (the next open finishes or undoes it). On
  // failure `written` tells whether both hold their changes (true) or
  // neither does (false) once reconnected; then the error passes on.
  // REQUIRES: both connected, to different directories.
  void FlushChangesWith(TDatabase& other, bool& written);
  // Gives up every change not yet committed, when writing part of the work
  // would be worse than none: the views of this database close, the engine
  // database goes without writing, is connected again (which finishes or
  // undoes a commit cut short) and the views that were open open again, in
  // the order they had opened, on the files as they are. An open that fails
  // passes on after the others.
  void RevertChanges();

 private:
  friend class TSession;
  std::string databaseName_, aliasName_, driverName_, sessionName_;
  std::vector<std::string> params_;
  bool keepConnection_ = true, loginPrompt_ = true, handleShared_ = false;
  bool readOnly_ = false, exclusive_ = false, temporary_ = false, closingViews_ = false;
  px::Database* handle_ = nullptr;
  TSession* session_ = nullptr;
  int refCount_ = 0;
  std::vector<TDBDataSet*> dataSets_;
};
