// A view on a database of the session: it names the database (an alias or a
// directory) and the session, and holds the database while it is open.
#pragma once

#include <string>

#include "tableaccess/engine_data_set.h"

class TDatabase;

class TDBDataSet : public TEngineDataSet {
 public:
  explicit TDBDataSet(TComponent* owner = nullptr);
  ~TDBDataSet() override;
  std::string_view ClassName() const override { return "TDBDataSet"; }

  const std::string& DatabaseName() const { return databaseName_; }
  // An equal name does nothing; another one on an open view fails.
  void SetDatabaseName(const std::string& name);
  const std::string& SessionName() const { return sessionName_; }
  // Fails on an open view, even for the same name.
  void SetSessionName(const std::string& name);
  // The database in use while open; null otherwise.
  TDatabase* Database() const { return database_; }

 protected:
  // Opens the database of the name through the session and registers there.
  void OpenDatabase();
  // Unregisters; the session lowers the database's reference count.
  void CloseDatabase();

 private:
  std::string databaseName_, sessionName_;
  TDatabase* database_ = nullptr;
};
