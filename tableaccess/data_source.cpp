#include "tableaccess/data_source.h"

#include <algorithm>

#include "tableaccess/data_link.h"
#include "tableaccess/data_set.h"
#include "tableaccess/db_errors.h"

TDataSource::TDataSource(TComponent* owner) : TComponent(owner) {}

TDataSource::~TDataSource() {
  BeginDestroy();
  // The views that follow this source learn that it goes; one that cannot
  // follow (its table can no longer be read) stays as it stood. A link
  // leaves the list before it tells its view, so each step makes progress.
  try {
    SetDataSet(nullptr);
  } catch (...) {
  }
  while (!links_.empty()) {
    try {
      links_.back()->SetDataSource(nullptr);
    } catch (...) {
    }
  }
}

bool TDataSource::IsLinkedTo(const TDataSet* dataSet) const {
  // From this source's view along the masters that each view follows.
  const TDataSet* current = dataSet_;
  while (current != nullptr) {
    if (current == dataSet) return true;
    const TDataSource* master = current->MasterDataSource();
    current = master != nullptr ? master->DataSet() : nullptr;
  }
  return false;
}

void TDataSource::SetDataSet(TDataSet* dataSet) {
  if (dataSet == dataSet_) return;
  if (dataSet != nullptr && dataSet->IsLinkedTo(this)) DatabaseError("Circular datalinks are not allowed", this);
  if (dataSet_ != nullptr) {
    dataSet_->RemoveDataSource(this);
    RemoveFreeNotification(dataSet_);
  }
  dataSet_ = dataSet;
  if (dataSet_ != nullptr) {
    dataSet_->AddDataSource(this);
    FreeNotification(dataSet_);
  }
  SetState(dataSet_ != nullptr && enabled_ ? dataSet_->State() : TDataSetState::dsInactive);
}

void TDataSource::SetEnabled(bool enabled) {
  if (enabled == enabled_) return;
  enabled_ = enabled;
  SetState(dataSet_ != nullptr && enabled_ ? dataSet_->State() : TDataSetState::dsInactive);
}

void TDataSource::Notification(TComponent* component, TOperation operation) {
  if (operation == TOperation::opRemove && component == dataSet_) {
    dataSet_ = nullptr;
    SetState(TDataSetState::dsInactive);
  }
}

void TDataSource::AddDataLink(TDataLink* link) {
  if (std::find(links_.begin(), links_.end(), link) == links_.end()) links_.push_back(link);
}

void TDataSource::RemoveDataLink(TDataLink* link) {
  links_.erase(std::remove(links_.begin(), links_.end(), link), links_.end());
}

std::size_t TDataSource::RequiredBufferCount() const {
  std::size_t count = 1;
  for (const TDataLink* link : links_) count = std::max(count, link->BufferCount());
  return count;
}

void TDataSource::SetState(TDataSetState state) {
  if (state == state_) return;
  const TDataSetState before = state_;
  state_ = state;
  NotifyLinks(TDataEvent::deUpdateState, {});
  if (OnStateChange) OnStateChange(*this);
  if (before == TDataSetState::dsInactive && OnDataChange) OnDataChange(*this, nullptr);
}

void TDataSource::NotifyLinks(TDataEvent event, const TDataEventInfo& info) {
  // A copy: a handler may attach or detach links while the event travels.
  const std::vector<TDataLink*> links = links_;
  auto stillAttached = [this](TDataLink* link) {
    return std::find(links_.begin(), links_.end(), link) != links_.end();
  };
  for (auto it = links.rbegin(); it != links.rend(); ++it) {
    if (!(*it)->VisualControl() && stillAttached(*it)) (*it)->DataEvent(event, info);
  }
  for (auto it = links.rbegin(); it != links.rend(); ++it) {
    if ((*it)->VisualControl() && stillAttached(*it)) (*it)->DataEvent(event, info);
  }
}

void TDataSource::DataEvent(TDataEvent event, const TDataEventInfo& info) {
  if (event == TDataEvent::deUpdateState) {
    SetState(enabled_ && dataSet_ != nullptr ? dataSet_->State() : TDataSetState::dsInactive);
    return;
  }
  if (event == TDataEvent::deDisabledStateChange) {
    // With the view's controls disabled, only whether it is active travels.
    SetState(enabled_ && info.active ? TDataSetState::dsBrowse : TDataSetState::dsInactive);
    return;
  }
  if (state_ == TDataSetState::dsInactive) return;
  NotifyLinks(event, info);
  switch (event) {
    case TDataEvent::deFieldChange:
      if (OnDataChange) OnDataChange(*this, info.field);
      break;
    case TDataEvent::deRecordChange:
    case TDataEvent::deDataSetChange:
    case TDataEvent::deDataSetScroll:
      if (OnDataChange) OnDataChange(*this, nullptr);
      break;
    case TDataEvent::deUpdateRecord:
      if (OnUpdateData) OnUpdateData(*this);
      break;
    default:
      break;
  }
}
