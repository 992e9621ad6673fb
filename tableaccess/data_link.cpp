#include "tableaccess/data_link.h"

#include "tableaccess/data_source.h"

TDataLink::~TDataLink() {
  if (dataSource_ != nullptr) dataSource_->RemoveDataLink(this);
}

void TDataLink::SetDataSource(TDataSource* source) {
  if (source == dataSource_) return;
  if (dataSource_ != nullptr) dataSource_->RemoveDataLink(this);
  dataSource_ = source;
  if (dataSource_ != nullptr) dataSource_->AddDataLink(this);
  UpdateState();
}

TDataSet* TDataLink::DataSet() const { return dataSource_ != nullptr ? dataSource_->DataSet() : nullptr; }

void TDataLink::UpdateState() {
  const TDataSetState state = dataSource_ != nullptr ? dataSource_->State() : TDataSetState::dsInactive;
  const bool active = state != TDataSetState::dsInactive;
  const bool editing = !readOnly_ && (state == TDataSetState::dsEdit || state == TDataSetState::dsInsert ||
                                      state == TDataSetState::dsSetKey);
  if (active != active_) {
    active_ = active;
    ActiveChanged();
  }
  if (editing != editing_) {
    editing_ = editing;
    EditingChanged();
  }
}

void TDataLink::DataEvent(TDataEvent event, const TDataEventInfo& info) {
  if (event == TDataEvent::deUpdateState) {
    UpdateState();
    return;
  }
  if (!active_) return;
  switch (event) {
    case TDataEvent::deFieldChange:
    case TDataEvent::deRecordChange:
      RecordChanged(info.field);
      break;
    case TDataEvent::deDataSetChange:
    case TDataEvent::deLayoutChange:
      DataSetChanged();
      break;
    case TDataEvent::deDataSetScroll:
      DataSetScrolled(info.distance);
      break;
    case TDataEvent::deUpdateRecord:
      UpdateData();
      break;
    case TDataEvent::deCheckBrowseMode:
      CheckBrowseMode();
      break;
    default:
      break;
  }
}
