#include "framework/ui/simple_panel.h"

#include <QWidget>

TSimplePanel::TSimplePanel(TComponent* owner) : TControl(owner, new QWidget, false) {}

TSimplePanel::~TSimplePanel() {
  // Children outlive the panel only as parentless controls.
  BeginDestroy();
  ReleaseControls();
}

bool TSimplePanel::LayoutSuspended() const {
  return Loading() || Destroying() || (Parent() != nullptr && Parent()->LayoutSuspended());
}

void TSimplePanel::Register() { RegisterComponentClass<TSimplePanel, TControl>("TSimplePanel"); }
