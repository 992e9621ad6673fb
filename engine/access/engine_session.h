// The engine as its binding sees it: started with a configuration, it opens
// databases by alias or by directory name and shares each open database
// between everyone who names it, counting references; the last close commits
// it. It also keeps the error stack that explains the last failure.
#pragma once

#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <string_view>

#include "engine/access/database.h"
#include "engine/access/engine_config.h"
#include "engine/access/result_text.h"
#include "engine/io/file_system.h"
#include "engine/status.h"

namespace px {

class EngineSession {
 public:
  explicit EngineSession(FileSystem& fs = localFileSystem()) : fs_(&fs) {}
  ~EngineSession();

  // kAlreadyInitialized when started twice; the configuration's own codes when
  // it cannot be read.
  Status start(EngineConfig config);
  Status start();  // with the configuration found by EngineConfig::load
  bool started() const { return started_; }
  // Commits and closes every database.
  Status end();

  // `name` is an alias or a directory name (see database_name.h). Before a
  // database is opened, the original engine's lock files in its directory are
  // checked: another program with the tables open is kDatabaseInUse.
  Status openDatabase(std::string_view name, Database*& out);
  Status closeDatabase(Database* database);

  ErrorStack& errors() { return errors_; }
  // Records a failure on the error stack (the stack is cleared first) and returns it.
  Status fail(const Status& status, std::string_view context);

 private:
  struct Open {
    std::unique_ptr<Database> database;
    int references = 0;
  };
  FileSystem* fs_;
  bool started_ = false;
  EngineConfig config_;
  std::map<std::string, Open> open_;  // by resolved directory
  ErrorStack errors_;
};

}  // namespace px
