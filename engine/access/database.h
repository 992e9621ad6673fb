// A database is a directory of tables. It opens each table once and shares it
// between its cursors, keeps the record locks, and commits all changed tables
// in one all-or-nothing step (CommitJournal) at flush and at close. Opening a
// database first finishes or undoes a commit that was cut short.
#pragma once

#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "engine/access/cursor.h"
#include "engine/io/file_lock.h"
#include "engine/io/file_system.h"
#include "engine/status.h"
#include "engine/storage/writable_table.h"

namespace px {

class Database {
 public:
  static Status open(FileSystem& fs, const std::filesystem::path& directory, std::unique_ptr<Database>& out);
  ~Database();

  const std::filesystem::path& directory() const { return directory_; }
  FileSystem& fileSystem() { return *fs_; }

  // The table by name (letter case does not matter; no extension means .db).
  Status table(std::string_view name, WritableTable*& out);
  // A read-write cursor on a table that cannot be written is kTableReadOnly (the
  // caller then opens read-only); an exclusive cursor needs the table to itself.
  Status openCursor(std::string_view tableName, const CursorOptions& options, std::unique_ptr<Cursor>& out);

  // Writes every changed table; the files on disk then hold all changes or none.
  Status flush();
  // What a commit shared with another database (linked_commit.h) adds to a
  // flush: `prepare` runs once the files to be replaced are known and no
  // longer locked, before anything is written (its failure stops the flush);
  // `extra` files join the commit; `committed` tells afterwards, also on
  // failure, whether the commit reached its commit point.
  struct FlushPlan {
    std::function<Status(const std::vector<PendingImage>& images)> prepare;
    std::vector<PendingImage> extra;
    bool committed = false;
  };
  Status flush(FlushPlan& plan);
  // Flushes and forgets the tables. REQUIRES: no cursor of this database is left.
  Status close();
  bool hasChanges() const;
  // Gives up the changes not yet flushed, for a caller whose work failed half
  // way: the files keep what the last flush wrote, close() writes nothing, and
  // a flush() with changes fails with rc::kTableReadOnly. Cursors go on
  // reading the changed records until they close.
  void discardChanges() { discarded_ = true; }
  bool changesDiscarded() const { return discarded_; }

  // Record locks, one holder per record.
  bool lockedByOther(const WritableTable* table, WritableTable::RecordId id, const Cursor* cursor) const;
  Status lock(const WritableTable* table, WritableTable::RecordId id, const Cursor* cursor);
  void unlock(const WritableTable* table, WritableTable::RecordId id, const Cursor* cursor);
  void unlockAll(const Cursor* cursor);

  // While a table is open, its family files stay locked, so a second writer
  // (another copy of this program) cannot change them at the same time.
  void attach(Cursor* cursor) { ++cursors_; (void)cursor; }
  void detach(Cursor* cursor);

 private:
  Database() = default;

  FileSystem* fs_ = nullptr;
  std::filesystem::path directory_;
  std::map<std::string, std::unique_ptr<WritableTable>> tables_;  // by lower-case file name
  std::map<const WritableTable*, std::vector<FileLock>> fileLocks_;
  struct Usage {
    int cursors = 0;
    bool exclusive = false;
  };
  std::map<const WritableTable*, Usage> usage_;
  Status lockFamily(const WritableTable& table);
  std::map<std::pair<const WritableTable*, WritableTable::RecordId>, const Cursor*> locks_;
  int cursors_ = 0;
  bool discarded_ = false;
};

}  // namespace px
