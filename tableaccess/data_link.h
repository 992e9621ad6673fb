// A data link: what a data-bound control or a detail view holds to hear the
// notifications of a view through its data source. Subclasses react to the
// changes of activity, editing, records and data sets.
#pragma once

#include <cstddef>

#include "tableaccess/data_set_types.h"

class TDataSource;

class TDataLink {
 public:
  TDataLink() = default;
  virtual ~TDataLink();
  TDataLink(const TDataLink&) = delete;
  TDataLink& operator=(const TDataLink&) = delete;

  TDataSource* DataSource() const { return dataSource_; }
  void SetDataSource(TDataSource* source);
  TDataSet* DataSet() const;
  bool Active() const { return active_; }
  bool Editing() const { return editing_; }
  bool ReadOnly() const { return readOnly_; }
  void SetReadOnly(bool readOnly) { readOnly_ = readOnly; }
  std::size_t BufferCount() const { return bufferCount_; }
  void SetBufferCount(std::size_t count) { bufferCount_ = count == 0 ? 1 : count; }
  // A link of a control on the screen (as opposed to a detail view's).
  bool VisualControl() const { return visualControl_; }
  void SetVisualControl(bool visual) { visualControl_ = visual; }

  // Called by the data source.
  void DataEvent(TDataEvent event, const TDataEventInfo& info);

 protected:
  virtual void ActiveChanged() {}
  virtual void EditingChanged() {}
  virtual void RecordChanged(TField* /*field*/) {}
  virtual void DataSetChanged() { RecordChanged(nullptr); }
  virtual void DataSetScrolled(int /*distance*/) { DataSetChanged(); }
  virtual void UpdateData() {}
  virtual void CheckBrowseMode() {}

 private:
  void UpdateState();

  TDataSource* dataSource_ = nullptr;
  bool active_ = false, editing_ = false, readOnly_ = false, visualControl_ = false;
  std::size_t bufferCount_ = 1;
};
