#include "engine/access/cursor.h"

#include <algorithm>

#include "engine/access/database.h"

namespace px {

Cursor::Cursor(Database& database, WritableTable& table, RecordOrdering& ordering, const CursorOptions& options)
    : database_(&database), table_(&table), ordering_(&ordering), options_(options) {
  database_->attach(this);
}

Cursor::~Cursor() { database_->detach(this); }

bool Cursor::exists(RecordId id) const {
  return id < table_->recordSlots() && !table_->isRemoved(id);
}

void Cursor::standOn(RecordId id) {
  place_ = Place::OnRecord;
  id_ = id;
  const std::uint8_t* r = table_->record(id);
  snapshot_.assign(r, r + recordSize());
}

bool Cursor::admits(RecordId id) const {
  const std::uint8_t* r = table_->record(id);
  for (const FilterEntry& f : filters_)
    if (f.active && !f.filter(r)) return false;
  return true;
}

bool Cursor::shows(RecordId id) const { return exists(id) && !belowRange(id) && !aboveRange(id) && admits(id); }

int Cursor::compareRange(RecordId id, const Bytes& key) const {
  return rangeOrder_.compare(table_->record(id), key.data());
}
bool Cursor::belowRange(RecordId id) const { return low_ && compareRange(id, *low_) < 0; }
bool Cursor::aboveRange(RecordId id) const { return high_ && compareRange(id, *high_) > 0; }

void Cursor::moveToBegin() {
  releaseLock();
  place_ = Place::BeforeFirst;
}

void Cursor::moveToEnd() {
  releaseLock();
  place_ = Place::AfterLast;
}

bool Cursor::withinPassed(RecordId id) const {
  const auto& less = ordering_->ids().key_comp();
  return !less(id, *passed_.bottom) && !less(*passed_.top, id);
}

// The cursor's record in the order: the record itself while it exists, else
// the first record after where it stood.
RecordOrdering::Set::const_iterator Cursor::locate() const {
  const auto& ids = ordering_->ids();
  if (exists(id_)) {
    auto it = ordering_->find(id_);
    if (it != ids.end()) return it;
  }
  return ordering_->seek(snapshot_.data(), true);
}

Status Cursor::next(Bytes& record) {
  releaseLock();
  const auto& ids = ordering_->ids();
  RecordOrdering::Set::const_iterator it;
  if (place_ == Place::AfterLast) return Status(rc::kAtEnd, "at end of table");
  if (place_ == Place::BeforeFirst) {
    if (low_) {
      it = ordering_->seek(low_->data(), false);
      while (it != ids.begin() && compareRange(*std::prev(it), *low_) >= 0) --it;
      while (it != ids.end() && belowRange(*it)) ++it;
    } else {
      it = ids.begin();
    }
  } else {
    it = locate();
    if (it != ids.end() && exists(id_) && *it == id_) ++it;
  }
  for (; it != ids.end(); ++it) {
    if (aboveRange(*it)) break;
    if (!belowRange(*it) && admits(*it)) {
      standOn(*it);
      record = snapshot_;
      return table_->readStatus();
    }
  }
  place_ = Place::AfterLast;
  PX_RETURN_IF_ERROR(table_->readStatus());  // a record that could not be read is not passed over
  return Status(rc::kAtEnd, "at end of table");
}

Status Cursor::prior(Bytes& record) {
  releaseLock();
  const auto& ids = ordering_->ids();
  if (place_ == Place::BeforeFirst) return Status(rc::kAtBeginning, "at beginning of table");
  RecordOrdering::Set::const_iterator it;
  if (place_ == Place::AfterLast) {
    if (high_) {
      it = ordering_->seek(high_->data(), true);
      while (it != ids.end() && compareRange(*it, *high_) <= 0) ++it;
    } else {
      it = ids.end();
    }
  } else {
    it = locate();  // the record itself, or the one after the gap: step back from either
  }
  const bool jump = passed_.known && passed_.changes == table_->changeCount();
  // A step that passes nothing leaves the run known; one that passes records
  // knows them (with the run, when it jumped over it) from then on.
  bool passing = false;
  RecordOrdering::Set::const_iterator top, bottom;
  while (it != ids.begin()) {
    --it;
    if (jump && it == passed_.top) {
      // Records known to be passed over: on from the lowest of them.
      if (!passing) top = it;
      passing = true;
      it = bottom = passed_.bottom;
      continue;
    }
    if (belowRange(*it)) break;
    if (!aboveRange(*it) && admits(*it)) {
      if (passing) passed_ = PassedRun{true, top, bottom, table_->changeCount()};
      standOn(*it);
      record = snapshot_;
      return table_->readStatus();
    }
    if (!passing) top = it;
    passing = true;
    bottom = it;
  }
  place_ = Place::BeforeFirst;
  PX_RETURN_IF_ERROR(table_->readStatus());
  return Status(rc::kAtBeginning, "at beginning of table");
}

Status Cursor::current(Bytes& record) const {
  if (place_ != Place::OnRecord || !exists(id_))
    return Status(rc::kRecordNotFound, table_->table().data().name() + ": the cursor stands on no record");
  const std::uint8_t* r = table_->record(id_);
  record.assign(r, r + recordSize());
  return table_->readStatus();
}

Status Cursor::refuseChange() const {
  return Status(rc::kTableReadOnly, table_->table().data().name() + ": the table is open read-only");
}

Status Cursor::currentLocked(Bytes& record) {
  PX_RETURN_IF_ERROR(current(record));
  if (options_.readOnly) return refuseChange();
  return database_->lock(table_, id_, this);
}

Status Cursor::modify(const Bytes& record) {
  if (options_.readOnly) return refuseChange();
  Bytes ignored;
  PX_RETURN_IF_ERROR(current(ignored));
  if (database_->lockedByOther(table_, id_, this))
    return Status(rc::kRecordLocked, table_->table().data().name() + ": the record is locked by another user");
  const std::uint64_t before = table_->changeCount();
  // The records passed over stay as they were when this is the only change
  // since and the record is none of them, before and after it moves.
  const bool keepPassed = passed_.known && passed_.changes == before && !withinPassed(id_);
  PX_RETURN_IF_ERROR(table_->update(id_, record));
  database_->unlock(table_, id_, this);
  standOn(id_);
  if (keepPassed && !withinPassed(id_)) passed_.changes = table_->changeCount();
  else forgetPassed();
  return Status::Ok();
}

Status Cursor::insert(const Bytes& record) {
  if (options_.readOnly) return refuseChange();
  releaseLock();
  forgetPassed();
  RecordId id = 0;
  PX_RETURN_IF_ERROR(table_->insert(record, &id));
  standOn(id);
  return Status::Ok();
}

Status Cursor::removeCurrent() {
  if (options_.readOnly) return refuseChange();
  Bytes ignored;
  PX_RETURN_IF_ERROR(current(ignored));
  if (database_->lockedByOther(table_, id_, this))
    return Status(rc::kRecordLocked, table_->table().data().name() + ": the record is locked by another user");
  database_->unlock(table_, id_, this);
  forgetPassed();
  return table_->remove(id_);  // the cursor keeps its place between the neighbours
}

void Cursor::releaseLock() {
  if (place_ == Place::OnRecord) database_->unlock(table_, id_, this);
}

Status Cursor::bookmark(Bookmark& out) const {
  if (place_ != Place::OnRecord || !exists(id_))
    return Status(rc::kRecordNotFound, table_->table().data().name() + ": no record to mark");
  out.id = id_;
  return Status::Ok();
}

Status Cursor::gotoBookmark(const Bookmark& mark) {
  if (!exists(mark.id))
    return Status(rc::kRecordNotFound, table_->table().data().name() + ": the marked record no longer exists");
  releaseLock();
  standOn(mark.id);
  return table_->readStatus();
}

int Cursor::addFilter(Filter filter) {
  forgetPassed();
  filters_.push_back({nextHandle_, std::move(filter), false});
  return nextHandle_++;
}

Status Cursor::activateFilter(int handle, bool active) {
  forgetPassed();
  for (FilterEntry& f : filters_) {
    if (f.handle == handle) {
      f.active = active;
      return Status::Ok();
    }
  }
  return Status(rc::kInvalidParameter, "no filter " + std::to_string(handle) + " on this cursor");
}

Status Cursor::dropFilter(int handle) {
  forgetPassed();
  auto it = std::find_if(filters_.begin(), filters_.end(), [&](const FilterEntry& f) { return f.handle == handle; });
  if (it == filters_.end()) return Status(rc::kInvalidParameter, "no filter " + std::to_string(handle) + " on this cursor");
  filters_.erase(it);
  return Status::Ok();
}

Status Cursor::setRange(const Bytes& low, const Bytes& high, std::size_t fields) {
  const auto& parts = ordering_->order().parts();
  if (fields == 0 || fields > parts.size())
    return Status(rc::kInvalidParameter, table_->table().data().name() + ": a range needs 1 to " +
                                             std::to_string(parts.size()) + " key fields");
  if (low.size() != recordSize() || high.size() != recordSize())
    return Status(rc::kInvalidParameter, "range key buffers of the wrong size");
  forgetPassed();
  rangeOrder_ = ordering_->order().prefix(fields);
  low_ = low;
  high_ = high;
  place_ = Place::BeforeFirst;
  return Status::Ok();
}

void Cursor::resetRange() {
  forgetPassed();
  low_.reset();
  high_.reset();
  place_ = Place::BeforeFirst;
}

}  // namespace px
