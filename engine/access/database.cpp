#include "engine/access/database.h"

#include "engine/access/linked_commit.h"
#include "engine/storage/commit_journal.h"

namespace px {

Status Database::open(FileSystem& fs, const std::filesystem::path& directory, std::unique_ptr<Database>& out) {
  if (!fs.isDirectory(directory))
    return Status(rc::kDirectoryNotFound, directory.string() + ": the database directory does not exist");
  PX_RETURN_IF_ERROR(CommitJournal::recover(fs, directory));
  PX_RETURN_IF_ERROR(LinkedCommit::recover(fs, directory));
  auto db = std::unique_ptr<Database>(new Database());
  db->fs_ = &fs;
  db->directory_ = directory;
  out = std::move(db);
  return Status::Ok();
}

Database::~Database() {
  // A database that goes without close() keeps its files as last flushed.
}

Status Database::table(std::string_view name, WritableTable*& out) {
  std::string key = lowerAscii(name);
  if (std::filesystem::path(key).extension().empty()) key += ".db";
  if (auto it = tables_.find(key); it != tables_.end()) {
    out = it->second.get();
    return Status::Ok();
  }
  std::unique_ptr<WritableTable> table;
  PX_RETURN_IF_ERROR(WritableTable::open(*fs_, directory_, key, table));
  PX_RETURN_IF_ERROR(lockFamily(*table));
  out = table.get();
  tables_.emplace(key, std::move(table));
  return Status::Ok();
}

Status Database::openCursor(std::string_view tableName, const CursorOptions& options, std::unique_ptr<Cursor>& out) {
  WritableTable* t = nullptr;
  PX_RETURN_IF_ERROR(table(tableName, t));
  const std::string& file = t->table().data().name();
  if (!options.readOnly && (fs_->isReadOnly(t->table().family().dataFile) || fs_->isReadOnly(directory_)))
    return Status(rc::kTableReadOnly, file + ": the table cannot be written (read-only medium or no rights); open it read-only");
  Usage& usage = usage_[t];
  if (usage.exclusive || (options.exclusive && usage.cursors > 0))
    return Status(rc::kTableLocked, file + ": the table is opened exclusively by another user");
  RecordOrdering* ordering = nullptr;
  PX_RETURN_IF_ERROR(t->ordering(options.index, ordering));
  out = std::make_unique<Cursor>(*this, *t, *ordering, options);
  ++usage.cursors;
  usage.exclusive = options.exclusive;
  return Status::Ok();
}

Status Database::lockFamily(const WritableTable& table) {
  const TableFamily& family = table.table().family();
  std::vector<std::filesystem::path> files{family.dataFile};
  if (family.primaryIndex) files.push_back(*family.primaryIndex);
  if (family.blobFile) files.push_back(*family.blobFile);
  for (const auto& index : family.secondaryIndexes) {
    files.push_back(index.dataFile);
    if (index.treeFile) files.push_back(*index.treeFile);
  }
  std::vector<FileLock> locks;
  for (const auto& file : files) {
    std::error_code ec;
    if (!std::filesystem::is_regular_file(file, ec)) continue;  // files that live only in a test's memory
    FileLock lock;
    // The engine reads the files it holds: readers are let in, writers not.
    Status s = lock.acquire(file, FileLock::Readers::kLetIn);
    if (!s.ok())
      return Status(s.code(), s.message() + "; another program (or a second copy of this one) is using the table");
    locks.push_back(std::move(lock));
  }
  fileLocks_[&table] = std::move(locks);
  return Status::Ok();
}

bool Database::hasChanges() const {
  for (const auto& entry : tables_)
    if (entry.second->modified()) return true;
  return false;
}

Status Database::flush() {
  FlushPlan plan;
  return flush(plan);
}

Status Database::flush(FlushPlan& plan) {
  plan.committed = false;
  if (discarded_) {
    if (!hasChanges()) return Status::Ok();
    return Status(rc::kTableReadOnly,
                  directory_.string() + ": the changes were given up after a failed write; nothing more is written");
  }
  // Each image is made as the commit writes it, so memory holds one at a time.
  std::vector<PendingImage> images;
  std::vector<WritableTable*> changed;
  for (auto& entry : tables_) {
    if (!entry.second->modified()) continue;
    PX_RETURN_IF_ERROR(entry.second->planImages(images));
    changed.push_back(entry.second.get());
  }
  if (images.empty() && plan.extra.empty()) return Status::Ok();
  // The commit replaces the files: the locks move to the new ones.
  for (WritableTable* t : changed) fileLocks_.erase(t);
  Status committed = plan.prepare ? plan.prepare(images) : Status::Ok();
  if (committed.ok()) {
    for (PendingImage& image : plan.extra) images.push_back(std::move(image));
    committed = CommitJournal::commit(*fs_, directory_, images, plan.committed);
  }
  for (WritableTable* t : changed) {
    if (committed.ok()) t->markCommitted();
    else if (plan.committed) t->markCommitUnfinished();
    if (Status s = lockFamily(*t); !s.ok() && committed.ok()) committed = s;
  }
  return committed;
}

Status Database::close() {
  Status s = discarded_ ? Status::Ok() : flush();
  locks_.clear();
  fileLocks_.clear();
  tables_.clear();
  return s;
}

bool Database::lockedByOther(const WritableTable* table, WritableTable::RecordId id, const Cursor* cursor) const {
  auto it = locks_.find({table, id});
  return it != locks_.end() && it->second != cursor;
}

Status Database::lock(const WritableTable* table, WritableTable::RecordId id, const Cursor* cursor) {
  if (lockedByOther(table, id, cursor))
    return Status(rc::kRecordLocked, table->table().data().name() + ": the record is locked by another user");
  locks_[{table, id}] = cursor;
  return Status::Ok();
}

void Database::unlock(const WritableTable* table, WritableTable::RecordId id, const Cursor* cursor) {
  auto it = locks_.find({table, id});
  if (it != locks_.end() && it->second == cursor) locks_.erase(it);
}

void Database::detach(Cursor* cursor) {
  --cursors_;
  unlockAll(cursor);
  Usage& usage = usage_[&cursor->table()];
  if (usage.cursors > 0) --usage.cursors;
  if (cursor->options().exclusive) usage.exclusive = false;
}

void Database::unlockAll(const Cursor* cursor) {
  for (auto it = locks_.begin(); it != locks_.end();) it = it->second == cursor ? locks_.erase(it) : std::next(it);
}

}  // namespace px
