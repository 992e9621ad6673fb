#include "framework/controls/widget_set.h"

#include "framework/core/exceptions.h"

namespace {

TWidgetSet* installed = nullptr;

}  // namespace

TWidgetSet& WidgetSet() {
  if (installed == nullptr) throw EComponentError("No user-interface back end is installed");
  return *installed;
}

TWidgetSet* SetWidgetSet(TWidgetSet* widgetSet) {
  TWidgetSet* previous = installed;
  installed = widgetSet;
  return previous;
}
