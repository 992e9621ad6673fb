#include "tableaccess/data_set.h"

#include <algorithm>
#include <utility>

#include "tableaccess/data_source.h"
#include "tableaccess/db_errors.h"
#include "tableaccess/field.h"

namespace {

bool IsEditing(TDataSetState state) {
  return state == TDataSetState::dsEdit || state == TDataSetState::dsInsert;
}

void Run(const TDataSetNotifyEvent& event, TDataSet& dataSet) {
  if (event) event(dataSet);
}

}  // namespace

TDataSet::TDataSet(TComponent* owner) : TComponent(owner) {}

TDataSet::~TDataSet() {
  BeginDestroy();
  // Derived views close themselves in their own destructors, while their
  // engine steps still exist; this only lets go of what is left.
  // A source lets go of the view before it tells its own followers, so one
  // whose followers fail is gone all the same.
  while (!dataSources_.empty()) {
    try {
      dataSources_.back()->SetDataSet(nullptr);
    } catch (...) {
    }
  }
  // Each field takes itself off the list as it lets go.
  while (!fields_.empty()) fields_.back()->SetDataSet(nullptr);
}

// --- opening and closing

void TDataSet::SetActive(bool active) {
  if (active == Active()) return;
  if (active) {
    OpenSequence();
  } else {
    CloseSequence();
  }
}

void TDataSet::OpenSequence() {
  Run(BeforeOpen, *this);
  state_ = TDataSetState::dsOpening;
  try {
    OpenCursor();
    BindFields(true);
  } catch (...) {
    state_ = TDataSetState::dsInactive;
    BindFields(false);
    DestroyDefaultFields();
    throw;
  }
  SetBufListSize(RequiredBufferCount());
  ClearBuffers();
  // A failing first fetch still leaves the view open in browse state.
  std::exception_ptr fetchError;
  try {
    GetNextRecords();
  } catch (...) {
    fetchError = std::current_exception();
  }
  atBegin_ = true;
  atEnd_ = recordCount_ == 0;
  state_ = TDataSetState::dsInactive;
  SetState(TDataSetState::dsBrowse);
  Run(AfterOpen, *this);
  if (recordCount_ > 0) Run(AfterScroll, *this);
  if (fetchError) std::rethrow_exception(fetchError);
}

void TDataSet::CloseSequence() {
  if (!Destroying()) Run(BeforeClose, *this);
  SetState(TDataSetState::dsInactive);
  modified_ = false;
  ClearBuffers();
  BindFields(false);
  // Letting go of the database can commit it (the last view of a database
  // without KeepConnection); the view is closed all the same, then the
  // failure passes on.
  std::exception_ptr failure;
  try {
    CloseCursor();
  } catch (...) {
    failure = std::current_exception();
  }
  DestroyDefaultFields();
  SetBufListSize(0);
  if (!Destroying()) Run(AfterClose, *this);
  if (failure) std::rethrow_exception(failure);
}

void TDataSet::DestroyDefaultFields() {
  if (!defaultFields_) return;
  defaultFields_ = false;
  std::vector<TField*> created;
  created.swap(fields_);
  for (TField* field : created) {
    field->SetDataSet(nullptr);
    delete field;
  }
}

void TDataSet::SetState(TDataSetState state) {
  if (state == state_) return;
  state_ = state;
  modified_ = false;
  DataEvent(TDataEvent::deUpdateState);
}

void TDataSet::CheckActive() const {
  if (!Active()) DatabaseError("Cannot perform this operation on a closed dataset", this);
}

void TDataSet::CheckInactive() const {
  if (Active()) DatabaseError("Cannot perform this operation on an open dataset", this);
}

// --- the record window

void TDataSet::SetBufListSize(std::size_t count) {
  bufferCount_ = count;
  buffers_.resize(count == 0 ? 0 : count + 1);
  for (RecordBuffer& buffer : buffers_) buffer.data.assign(count == 0 ? 0 : RecordSize(), 0);
  if (recordCount_ > bufferCount_) recordCount_ = bufferCount_;
}

std::size_t TDataSet::RequiredBufferCount() const {
  std::size_t count = 1;
  for (const TDataSource* source : dataSources_) count = std::max(count, source->RequiredBufferCount());
  return count;
}

void TDataSet::ClearBuffers() {
  recordCount_ = 0;
  activeRecord_ = 0;
  currentRecord_ = -1;
  atBegin_ = true;
  atEnd_ = true;
}

RecordBuffer* TDataSet::ActiveBuffer() {
  if (!Active() || buffers_.empty()) return nullptr;
  if (state_ == TDataSetState::dsBrowse && activeRecord_ >= recordCount_) return nullptr;
  if (activeRecord_ >= bufferCount_) return nullptr;
  return &buffers_[activeRecord_];
}

const RecordBuffer* TDataSet::ActiveBuffer() const { return const_cast<TDataSet*>(this)->ActiveBuffer(); }

bool TDataSet::GetNextRecord() {
  if (recordCount_ > 0 && currentRecord_ != static_cast<long>(recordCount_) - 1) {
    InternalSetToRecord(buffers_[recordCount_ - 1]);
  }
  RecordBuffer& spare = buffers_[bufferCount_];
  if (GetRecord(spare, GetMode::Next, true) != GetResult::Ok) {
    // The engine cursor now stands past the last record of the window.
    currentRecord_ = -1;
    return false;
  }
  if (recordCount_ == bufferCount_) {
    // The window is full: the first record leaves, the spare joins at the end.
    std::rotate(buffers_.begin(), buffers_.begin() + 1, buffers_.end());
  } else {
    std::swap(buffers_[recordCount_], buffers_[bufferCount_]);
    ++recordCount_;
  }
  currentRecord_ = static_cast<long>(recordCount_) - 1;
  return true;
}

bool TDataSet::GetPriorRecord() {
  if (recordCount_ > 0 && currentRecord_ != 0) InternalSetToRecord(buffers_[0]);
  RecordBuffer& spare = buffers_[bufferCount_];
  if (GetRecord(spare, GetMode::Prior, true) != GetResult::Ok) {
    currentRecord_ = -1;
    return false;
  }
  // The spare becomes the first record; a full window loses its last one.
  std::rotate(buffers_.begin(), buffers_.end() - 1, buffers_.end());
  if (recordCount_ < bufferCount_) ++recordCount_;
  currentRecord_ = 0;
  return true;
}

std::size_t TDataSet::GetNextRecords() {
  std::size_t fetched = 0;
  while (recordCount_ < bufferCount_ && GetNextRecord()) ++fetched;
  return fetched;
}

std::size_t TDataSet::GetPriorRecords() {
  std::size_t fetched = 0;
  while (recordCount_ < bufferCount_ && GetPriorRecord()) ++fetched;
  return fetched;
}

void TDataSet::Resync() {
  RecordBuffer& first = buffers_[0];
  GetResult got = GetRecord(first, GetMode::Current, false);
  if (got != GetResult::Ok) got = GetRecord(first, GetMode::Next, false);
  if (got != GetResult::Ok) got = GetRecord(first, GetMode::Prior, false);
  if (got != GetResult::Ok) {
    ClearBuffers();
    DataEvent(TDataEvent::deDataSetChange);
    return;
  }
  recordCount_ = 1;
  activeRecord_ = 0;
  currentRecord_ = 0;
  atBegin_ = false;
  atEnd_ = false;
  // Around the re-read record: as many after it as fit, then before it.
  const std::size_t after = GetNextRecords();
  (void)after;
  const std::size_t before = GetPriorRecords();
  activeRecord_ = before;
  DataEvent(TDataEvent::deDataSetChange);
}

// Only when the engine cursor stands elsewhere: putting it back by bookmark
// makes it forget the hidden records it has passed, so a filtered walk that
// edits every record it meets would pass them all again at each step.
void TDataSet::UpdateCursorPos() {
  if (activeRecord_ < recordCount_ && currentRecord_ != static_cast<long>(activeRecord_)) {
    InternalSetToRecord(buffers_[activeRecord_]);
    currentRecord_ = static_cast<long>(activeRecord_);
  }
}

// --- moves

void TDataSet::GoFirst() {
  CheckBrowseMode();
  Run(BeforeScroll, *this);
  ClearBuffers();
  try {
    InternalFirst();
    GetNextRecords();
    atBegin_ = true;
    atEnd_ = recordCount_ == 0;
  } catch (...) {
    atBegin_ = true;
    DataEvent(TDataEvent::deDataSetChange);
    Run(AfterScroll, *this);
    throw;
  }
  DataEvent(TDataEvent::deDataSetChange);
  Run(AfterScroll, *this);
}

void TDataSet::GoLast() {
  CheckBrowseMode();
  Run(BeforeScroll, *this);
  ClearBuffers();
  try {
    InternalLast();
    GetPriorRecords();
    activeRecord_ = recordCount_ == 0 ? 0 : recordCount_ - 1;
    atEnd_ = true;
    atBegin_ = recordCount_ == 0;
  } catch (...) {
    activeRecord_ = recordCount_ == 0 ? 0 : recordCount_ - 1;
    atEnd_ = true;
    DataEvent(TDataEvent::deDataSetChange);
    Run(AfterScroll, *this);
    throw;
  }
  DataEvent(TDataEvent::deDataSetChange);
  Run(AfterScroll, *this);
}

void TDataSet::GoNext() { MoveBy(1); }
void TDataSet::GoPrior() { MoveBy(-1); }

void TDataSet::MoveBy(int distance) {
  CheckBrowseMode();
  Run(BeforeScroll, *this);
  if ((distance > 0 && atEnd_) || (distance < 0 && atBegin_)) return;
  atBegin_ = false;
  atEnd_ = false;
  const std::size_t countBefore = recordCount_;
  int shifted = 0;
  if (distance > 0) {
    if (activeRecord_ + 1 < recordCount_) {
      ++activeRecord_;
    } else if (GetNextRecord()) {
      if (recordCount_ == countBefore) {
        shifted = -1;  // the window moved one record on
      } else {
        ++activeRecord_;
      }
    } else {
      atEnd_ = true;
    }
  } else {
    if (activeRecord_ > 0 && activeRecord_ < recordCount_) {
      --activeRecord_;
    } else if (GetPriorRecord()) {
      if (recordCount_ == countBefore) shifted = 1;
    } else {
      atBegin_ = true;
    }
  }
  if (recordCount_ == countBefore) {
    DataEvent(TDataEvent::deDataSetScroll, TDataEventInfo{nullptr, shifted, false});
  } else {
    DataEvent(TDataEvent::deDataSetChange);
  }
  Run(AfterScroll, *this);
}

// --- editing

bool TDataSet::CanModify() const { return EngineAllowsChanges(); }

void TDataSet::CheckBrowseMode() {
  CheckActive();
  DataEvent(TDataEvent::deCheckBrowseMode);
  if (IsEditing(state_)) {
    DataEvent(TDataEvent::deUpdateRecord);
    if (modified_) {
      PostRecord();
    } else {
      CancelEdit();
    }
  } else if (state_ == TDataSetState::dsSetKey) {
    CommitKey();
  }
}

void TDataSet::StartEdit() {
  if (IsEditing(state_)) return;
  if (recordCount_ == 0) {
    BeginInsert();
    return;
  }
  CheckBrowseMode();
  if (!CanModify()) DatabaseError("Cannot modify a read-only dataset", this);
  Run(BeforeEdit, *this);
  RunEditStep();
  SetState(TDataSetState::dsEdit);
  DataEvent(TDataEvent::deRecordChange);
  Run(AfterEdit, *this);
}

void TDataSet::RunEditStep() {
  for (;;) {
    try {
      UpdateCursorPos();
      InternalEdit(buffers_[activeRecord_]);
      return;
    } catch (EDatabaseError& error) {
      TDataAction action = TDataAction::daFail;
      if (OnEditError) OnEditError(*this, error, action);
      if (action == TDataAction::daRetry) continue;
      if (action == TDataAction::daAbort) Abort();
      throw;
    }
  }
}

void TDataSet::BeginInsert() {
  CheckBrowseMode();
  if (!CanModify()) DatabaseError("Cannot modify a read-only dataset", this);
  Run(BeforeInsert, *this);
  Run(BeforeScroll, *this);
  // The spare buffer takes the active position; the records after it move
  // down, and a full window drops its last one into the spare's place.
  if (activeRecord_ > recordCount_) activeRecord_ = recordCount_;
  if (activeRecord_ >= bufferCount_) activeRecord_ = bufferCount_ - 1;
  std::rotate(buffers_.begin() + static_cast<long>(activeRecord_), buffers_.end() - 1, buffers_.end());
  if (recordCount_ < bufferCount_) ++recordCount_;
  currentRecord_ = -1;
  RecordBuffer& fresh = buffers_[activeRecord_];
  InternalInitRecord(fresh);
  fresh.flag = RecordBuffer::Flag::Inserted;
  SetState(TDataSetState::dsInsert);
  try {
    NewRecordHook();
    Run(OnNewRecord, *this);
  } catch (...) {
    SetState(TDataSetState::dsBrowse);
    Resync();
    throw;
  }
  modified_ = false;
  DataEvent(TDataEvent::deDataSetChange);
  Run(AfterInsert, *this);
  Run(AfterScroll, *this);
}

void TDataSet::CheckRequiredFields() const {
  for (const TField* field : fields_) {
    if (field->Required() && !field->ReadOnly() && field->FieldKind() == TFieldKind::fkData && field->IsBlank()) {
      DatabaseErrorFmt("Field '%s' must have a value", field->DisplayName());
    }
  }
}

void TDataSet::RunPostStep(bool inserting) {
  for (;;) {
    try {
      if (!inserting) UpdateCursorPos();
      CheckRequiredFields();
      InternalPost(buffers_[activeRecord_], inserting);
      return;
    } catch (EDatabaseError& error) {
      TDataAction action = TDataAction::daFail;
      if (OnPostError) OnPostError(*this, error, action);
      if (action == TDataAction::daRetry) continue;
      if (action == TDataAction::daAbort) Abort();
      throw;
    }
  }
}

void TDataSet::PostRecord() {
  const TDataSetState state = state_;
  if (!IsEditing(state) && state != TDataSetState::dsSetKey) {
    DatabaseError("Dataset not in edit or insert mode", this);
  }
  DataEvent(TDataEvent::deUpdateRecord);
  if (state == TDataSetState::dsSetKey) {
    CommitKey();
    return;
  }
  DataEvent(TDataEvent::deCheckBrowseMode);
  Run(BeforePost, *this);
  RunPostStep(state == TDataSetState::dsInsert);
  SetState(TDataSetState::dsBrowse);
  Resync();
  Run(AfterPost, *this);
}

void TDataSet::CancelEdit() {
  const TDataSetState state = state_;
  if (!IsEditing(state)) return;
  const bool inserting = state == TDataSetState::dsInsert;
  DataEvent(TDataEvent::deCheckBrowseMode);
  Run(BeforeCancel, *this);
  if (inserting) Run(BeforeScroll, *this);
  if (!inserting) UpdateCursorPos();
  InternalCancel(!inserting);
  SetState(TDataSetState::dsBrowse);
  Resync();
  Run(AfterCancel, *this);
  if (inserting) Run(AfterScroll, *this);
}

// --- fields

TField* TDataSet::FindField(std::string_view fieldName) const {
  for (TField* field : fields_) {
    if (SameText(field->FieldName(), fieldName)) return field;
  }
  return nullptr;
}

TField* TDataSet::FieldByName(std::string_view fieldName) const {
  TField* field = FindField(fieldName);
  if (field == nullptr) DatabaseErrorFmt("Field '%s' not found", std::string(fieldName), this);
  return field;
}

void TDataSet::AddField(TField* field) {
  if (std::find(fields_.begin(), fields_.end(), field) == fields_.end()) fields_.push_back(field);
}

void TDataSet::RemoveField(TField* field) { fields_.erase(std::remove(fields_.begin(), fields_.end(), field), fields_.end()); }

// --- filters

void TDataSet::SetFilter(const std::string& text) {
  if (!Active()) {
    filterText_ = text;
    return;
  }
  CheckBrowseMode();
  if (text != filterText_) {
    // A text that does not parse raises and leaves the old filter, and its
    // text, in force.
    std::string previous = std::exchange(filterText_, text);
    try {
      ReplaceFilter();
    } catch (...) {
      filterText_ = std::move(previous);
      throw;
    }
  }
  if (filtered_) GoFirst();
}

void TDataSet::SetFilterOptions(TFilterOptions options) {
  if (!Active()) {
    filterOptions_ = options;
    return;
  }
  CheckBrowseMode();
  if (!(options == filterOptions_)) {
    const TFilterOptions previous = std::exchange(filterOptions_, options);
    try {
      ReplaceFilter();
    } catch (...) {
      filterOptions_ = previous;
      throw;
    }
  }
  if (filtered_) GoFirst();
}

void TDataSet::SetFiltered(bool filtered) {
  if (!Active()) {
    filtered_ = filtered;
    return;
  }
  CheckBrowseMode();
  if (filtered != filtered_) {
    filtered_ = filtered;
    SwitchFilter(filtered);
  }
  GoFirst();
}

// --- notifications

void TDataSet::AddDataSource(TDataSource* source) {
  if (std::find(dataSources_.begin(), dataSources_.end(), source) == dataSources_.end()) dataSources_.push_back(source);
}

void TDataSet::RemoveDataSource(TDataSource* source) {
  dataSources_.erase(std::remove(dataSources_.begin(), dataSources_.end(), source), dataSources_.end());
}

bool TDataSet::IsLinkedTo(const TDataSource* source) const {
  const TDataSet* current = this;
  while (current != nullptr) {
    const TDataSource* master = current->MasterDataSource();
    if (master == nullptr) return false;
    if (master == source) return true;
    current = master->DataSet();
    if (current == this) return true;
  }
  return false;
}

void TDataSet::DataEvent(TDataEvent event, TDataEventInfo info) {
  if (event == TDataEvent::deFieldChange && info.field != nullptr) {
    if (info.field->FieldKind() == TFieldKind::fkData) modified_ = true;
    info.field->Change();
  }
  if (disableCount_ > 0) {
    // With the controls disabled only whether the view is active gets
    // through, each time it changes: a view opened and closed again (or
    // closed and opened again) while disabled must leave its data sources
    // where it ends, not where it began.
    if (event == TDataEvent::deUpdateState && Active() != disabledActive_) {
      disabledActive_ = Active();
      NotifyDataSources(TDataEvent::deDisabledStateChange, TDataEventInfo{nullptr, 0, Active()});
    }
    return;
  }
  NotifyDataSources(event, info);
}

void TDataSet::NotifyDataSources(TDataEvent event, const TDataEventInfo& info) {
  // A copy: a handler may detach a data source while the event travels.
  const std::vector<TDataSource*> sources = dataSources_;
  for (TDataSource* source : sources) source->DataEvent(event, info);
}

void TDataSet::DisableControls() {
  if (disableCount_ == 0) {
    disableState_ = state_;
    disabledActive_ = Active();
    enableEventPending_ = true;
  }
  ++disableCount_;
}

void TDataSet::EnableControls() {
  if (disableCount_ == 0) return;
  if (--disableCount_ > 0) return;
  if (state_ != disableState_) DataEvent(TDataEvent::deUpdateState);
  if (enableEventPending_ && IsActiveState(disableState_) && Active()) DataEvent(TDataEvent::deDataSetChange);
  enableEventPending_ = false;
}
