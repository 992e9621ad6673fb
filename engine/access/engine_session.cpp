#include "engine/access/engine_session.h"

#include <iostream>

#include "engine/access/database_name.h"
#include "engine/access/in_use_check.h"

namespace px {

// Nothing is normally left to commit here: the binding ends the session at
// shutdown and reports what fails. What is left is committed all the same,
// and a failure is written where a user or an administrator still sees it.
EngineSession::~EngineSession() {
  const Status ended = end();
  if (!ended.ok()) std::cerr << "The database engine could not write its last changes: " << ended.message() << '\n';
}

Status EngineSession::start(EngineConfig config) {
  if (started_) return Status(rc::kAlreadyInitialized, "the engine is already started");
  config_ = std::move(config);
  started_ = true;
  return Status::Ok();
}

Status EngineSession::start() {
  if (started_) return Status(rc::kAlreadyInitialized, "the engine is already started");
  EngineConfig config;
  Status s = EngineConfig::load(config);
  if (!s.ok()) return fail(s, "the engine configuration could not be read");
  return start(std::move(config));
}

Status EngineSession::end() {
  Status first;
  for (auto& [dir, open] : open_) {
    Status s = open.database->close();
    if (!s.ok() && first.ok()) first = s;
  }
  open_.clear();
  started_ = false;
  return first;
}

Status EngineSession::fail(const Status& status, std::string_view context) {
  errors_.clear();
  if (!context.empty()) errors_.push(status.code(), 0, std::string(context));
  errors_.push(status);
  return status;
}

Status EngineSession::openDatabase(std::string_view name, Database*& out) {
  if (!started_) return Status(rc::kNotInitialized, "the engine is not started");
  std::filesystem::path dir;
  if (isDirectoryName(name)) {
    dir = directoryFromName(name);
  } else if (Status s = config_.resolveAlias(name, dir); !s.ok()) {
    return fail(s, "the database '" + std::string(name) + "' could not be opened");
  }
  std::error_code ec;
  const auto canonical = std::filesystem::weakly_canonical(dir, ec);
  const std::string key = (ec ? dir : canonical).lexically_normal().string();
  if (auto it = open_.find(key); it != open_.end()) {
    ++it->second.references;
    out = it->second.database.get();
    return Status::Ok();
  }
  if (Status s = checkNotInUse(dir); !s.ok()) return fail(s, "the database in " + dir.string() + " could not be opened");
  std::unique_ptr<Database> db;
  if (Status s = Database::open(*fs_, dir, db); !s.ok())
    return fail(s, "the database in " + dir.string() + " could not be opened");
  out = db.get();
  open_[key] = Open{std::move(db), 1};
  return Status::Ok();
}

Status EngineSession::closeDatabase(Database* database) {
  for (auto it = open_.begin(); it != open_.end(); ++it) {
    if (it->second.database.get() != database) continue;
    if (--it->second.references > 0) return Status::Ok();
    Status s = it->second.database->close();
    open_.erase(it);
    if (!s.ok()) return fail(s, "the database could not be written");
    return s;
  }
  return Status(rc::kInvalidParameter, "the database is not open in this session");
}

}  // namespace px
