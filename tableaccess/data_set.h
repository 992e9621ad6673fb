// The table view's engine-independent half: its state, the record window with
// the AtBegin/AtEnd flags and the one spare buffer, the field list, the data
// sources it notifies, the events, and the moves, edits and posts built on a
// few engine steps that TEngineDataSet supplies.
// Used on the user-interface thread only; every operation runs to its end on
// the caller's stack, notifications and event handlers included.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "engine/format/value.h"
#include "framework/core/component.h"
#include "tableaccess/data_set_types.h"
#include "tableaccess/filter_options.h"

class TDataSource;

// One record of the window: the engine's record image, its number, where it
// stands, and the engine bookmark to find it again.
struct RecordBuffer {
  enum class Flag { Current, BeforeFirst, AfterLast, Inserted };
  px::Bytes data;
  std::uint32_t recordNumber = 0;
  Flag flag = Flag::Current;
  std::uint32_t bookmark = 0;
};

class TDataSet : public TComponent {
 public:
  explicit TDataSet(TComponent* owner = nullptr);
  ~TDataSet() override;
  std::string_view ClassName() const override { return "TDataSet"; }

  // --- state and opening
  bool Active() const { return IsActiveState(state_); }
  void SetActive(bool active);
  void Open() { SetActive(true); }
  void Close() { SetActive(false); }
  TDataSetState State() const { return state_; }
  bool Modified() const { return modified_; }

  // --- moves and flags
  void GoFirst();
  void GoLast();
  void GoNext();
  void GoPrior();
  bool AtBegin() const { return atBegin_; }
  bool AtEnd() const { return atEnd_; }
  bool NoRecords() const { return activeRecord_ >= recordCount_; }

  // --- editing
  void StartEdit();
  void PostRecord();
  void CancelEdit();
  // Posts or drops a pending edit; a closed view fails.
  void CheckBrowseMode();
  bool CanModify() const;

  // --- fields
  std::size_t FieldCount() const { return fields_.size(); }
  TField* Fields(std::size_t index) const { return fields_.at(index); }
  TField* FindField(std::string_view fieldName) const;
  // Fails with "Field '%s' not found" behind the view's name.
  TField* FieldByName(std::string_view fieldName) const;
  void AddField(TField* field);
  void RemoveField(TField* field);

  // --- filters
  const std::string& Filter() const { return filterText_; }
  void SetFilter(const std::string& text);
  bool Filtered() const { return filtered_; }
  void SetFiltered(bool filtered);
  TFilterOptions FilterOptions() const { return filterOptions_; }
  void SetFilterOptions(TFilterOptions options);

  // --- data sources and notifications
  void AddDataSource(TDataSource* source);
  void RemoveDataSource(TDataSource* source);
  std::size_t DataSourceCount() const { return dataSources_.size(); }
  // Handles the event itself, then passes it to every attached data source.
  void DataEvent(TDataEvent event, TDataEventInfo info = {});
  void DisableControls();
  void EnableControls();
  bool ControlsDisabled() const { return disableCount_ > 0; }
  // Whether this view follows `source` through its master links.
  bool IsLinkedTo(const TDataSource* source) const;
  // The data source of the master this view follows; null for none.
  virtual TDataSource* MasterDataSource() const { return nullptr; }

  // The record that fields read and write: the active record of the window in
  // browse, edit and insert state; null when there is none.
  RecordBuffer* ActiveBuffer();
  const RecordBuffer* ActiveBuffer() const;
  // Puts the engine cursor back on the active record (when there is one).
  void UpdateCursorPos();
  // Forgets where the engine cursor stands: someone else moved it, so the next
  // positioned step puts it back on the active record first.
  void CursorPosChanged() { currentRecord_ = -1; }

  // The number of records the window holds and its size (without the spare).
  std::size_t RecordCount() const { return recordCount_; }
  std::size_t BufferCount() const { return bufferCount_; }

  // Whether `field` belongs to the current index (writable in set-key state).
  bool IsIndexFieldOf(const TField& field) const { return IsIndexField(field); }

  // Field values of the active record, through the engine.
  virtual bool GetFieldValue(const TField& field, px::Value& value, bool translate) const = 0;
  virtual void SetFieldValue(TField& field, const px::Value& value, bool translate) = 0;

  // --- events
  TDataSetNotifyEvent BeforeOpen, AfterOpen, BeforeClose, AfterClose, BeforeScroll, AfterScroll;
  TDataSetNotifyEvent BeforeEdit, AfterEdit, BeforePost, AfterPost, BeforeCancel, AfterCancel;
  TDataSetNotifyEvent BeforeInsert, AfterInsert, OnNewRecord;
  TDataSetErrorEvent OnEditError, OnPostError;

 protected:
  enum class GetMode { Current, Next, Prior };
  enum class GetResult { Ok, AtBeginning, AtEnd, Error };

  // Engine steps, supplied by the engine view.
  virtual void OpenCursor() = 0;   // everything up to the first fetch; leaves the view closed on failure
  virtual void CloseCursor() = 0;
  // Fetches into `buffer`. With `check`, a failure other than the two outcomes throws.
  virtual GetResult GetRecord(RecordBuffer& buffer, GetMode mode, bool check) = 0;
  virtual void InternalFirst() = 0;
  virtual void InternalLast() = 0;
  // Puts the engine cursor on the record of `buffer`.
  virtual void InternalSetToRecord(const RecordBuffer& buffer) = 0;
  // Reads the active record again under a write lock.
  virtual void InternalEdit(RecordBuffer& buffer) = 0;
  virtual void InternalInitRecord(RecordBuffer& buffer) = 0;
  virtual void InternalPost(RecordBuffer& buffer, bool inserting) = 0;
  virtual void InternalCancel(bool editing) = 0;
  virtual bool EngineAllowsChanges() const = 0;
  virtual std::size_t RecordSize() const = 0;
  // Filters on an open view: rebuild for a new text, switch on or off.
  virtual void ReplaceFilter() {}
  virtual void SwitchFilter(bool /*active*/) {}
  // Called for an insert before OnNewRecord (a detail view takes its master's key).
  virtual void NewRecordHook() {}
  // A field value write of set-key state goes to the key buffer.
  virtual void CommitKey() {}
  // Whether `field` belongs to the current index (writable in set-key state).
  virtual bool IsIndexField(const TField& /*field*/) const { return false; }
  // Field objects that the open creates for a view without persistent ones.
  virtual void CreateDefaultFields() {}
  virtual void DestroyDefaultFields();
  virtual void BindFields(bool binding) { (void)binding; }

  void SetState(TDataSetState state);
  // Sets a state without telling anyone (a master setting a range).
  void SetTempState(TDataSetState state) { state_ = state; }
  void ClearBuffers();
  // Fetches until the window is full forward / backward; the count fetched.
  std::size_t GetNextRecords();
  std::size_t GetPriorRecords();
  bool GetNextRecord();
  bool GetPriorRecord();
  // Re-reads the record the engine cursor stands on (or the next, or the
  // prior) as the active record of a new window.
  void Resync();
  void SetBufListSize(std::size_t count);
  std::size_t RequiredBufferCount() const;
  void CheckActive() const;
  void CheckInactive() const;
  void CheckRequiredFields() const;

  std::vector<RecordBuffer> buffers_;  // bufferCount_ + 1, the last one spare
  std::size_t bufferCount_ = 0;
  std::size_t recordCount_ = 0;
  std::size_t activeRecord_ = 0;
  long currentRecord_ = -1;  // window position of the engine cursor, -1 unknown
  bool atBegin_ = true, atEnd_ = true;
  bool modified_ = false;
  bool defaultFields_ = false;
  std::string filterText_;
  bool filtered_ = false;
  TFilterOptions filterOptions_;

 private:
  void OpenSequence();
  void CloseSequence();
  void MoveBy(int distance);
  void BeginInsert();
  void RunEditStep();
  void RunPostStep(bool inserting);
  void NotifyDataSources(TDataEvent event, const TDataEventInfo& info);

  TDataSetState state_ = TDataSetState::dsInactive;
  std::vector<TField*> fields_;
  std::vector<TDataSource*> dataSources_;
  int disableCount_ = 0;
  TDataSetState disableState_ = TDataSetState::dsInactive;
  bool disabledActive_ = false;  // what the data sources last heard while disabled
  bool enableEventPending_ = false;
};
