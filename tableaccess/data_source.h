// A data source attaches one view to data links: the data-bound controls and
// the master links of detail views. It keeps a copy of the view's state and
// passes the view's notifications on: non-visual links first, then visual
// ones, each group from the most recently attached link back to the first.
#pragma once

#include <functional>
#include <vector>

#include "framework/core/component.h"
#include "tableaccess/data_set_types.h"

class TDataLink;

class TDataSource : public TComponent {
 public:
  explicit TDataSource(TComponent* owner = nullptr);
  ~TDataSource() override;
  std::string_view ClassName() const override { return "TDataSource"; }

  TDataSet* DataSet() const { return dataSet_; }
  // Fails with "Circular datalinks are not allowed" for a view that follows
  // this data source through its master links.
  void SetDataSet(TDataSet* dataSet);
  bool Enabled() const { return enabled_; }
  void SetEnabled(bool enabled);
  bool AutoEdit() const { return autoEdit_; }
  void SetAutoEdit(bool autoEdit) { autoEdit_ = autoEdit; }
  TDataSetState State() const { return state_; }

  // Whether a view reached through this data source is `dataSet`.
  bool IsLinkedTo(const TDataSet* dataSet) const;

  void AddDataLink(TDataLink* link);
  void RemoveDataLink(TDataLink* link);
  std::size_t DataLinkCount() const { return links_.size(); }
  // The largest number of records that an attached link wants to see.
  std::size_t RequiredBufferCount() const;

  // Delivery of one notification of the view.
  void DataEvent(TDataEvent event, const TDataEventInfo& info);

  std::function<void(TDataSource&)> OnStateChange;
  std::function<void(TDataSource&, TField* field)> OnDataChange;
  std::function<void(TDataSource&)> OnUpdateData;

 protected:
  void Notification(TComponent* component, TOperation operation) override;

 private:
  void SetState(TDataSetState state);
  void NotifyLinks(TDataEvent event, const TDataEventInfo& info);

  TDataSet* dataSet_ = nullptr;
  bool enabled_ = true, autoEdit_ = true;
  TDataSetState state_ = TDataSetState::dsInactive;
  std::vector<TDataLink*> links_;  // in attachment order
};
