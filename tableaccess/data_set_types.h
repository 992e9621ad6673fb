// The vocabulary of table views: states, notification kinds, the answers of
// the error events, and the event signatures.
#pragma once

#include <functional>

class TDataSet;
class TField;
class EDatabaseError;

enum class TDataSetState {
  dsInactive, dsBrowse, dsEdit, dsInsert, dsSetKey, dsCalcFields, dsFilter, dsNewValue, dsOldValue,
  dsCurValue, dsBlockRead, dsInternalCalc, dsOpening
};

enum class TDataEvent {
  deFieldChange, deRecordChange, deDataSetChange, deDataSetScroll, deLayoutChange, deUpdateRecord,
  deUpdateState, deCheckBrowseMode, dePropertyChange, deFieldListChange, deFocusControl, deDisabledStateChange
};

// What an OnEditError or OnPostError handler chooses.
enum class TDataAction { daFail, daAbort, daRetry };

enum class TFieldKind { fkData, fkCalculated, fkLookup, fkInternalCalc, fkAggregate };

// What a data event carries besides its kind: the field of a field change, the
// window shift of a scroll, whether the view is active for a disabled-state change.
struct TDataEventInfo {
  TField* field = nullptr;
  int distance = 0;
  bool active = false;
};

using TDataSetNotifyEvent = std::function<void(TDataSet& dataSet)>;
using TDataSetErrorEvent = std::function<void(TDataSet& dataSet, EDatabaseError& error, TDataAction& action)>;
using TFieldNotifyEvent = std::function<void(TField& field)>;

// Every state except inactive and opening is active.
inline bool IsActiveState(TDataSetState state) {
  return state != TDataSetState::dsInactive && state != TDataSetState::dsOpening;
}
