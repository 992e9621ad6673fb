#include "framework/controls/simple_panel.h"

TSimplePanel::TSimplePanel(TComponent* owner) : TControl(owner, false) {
  peer_ = InitPeer(WidgetSet().CreatePanel(*this));
  peer_->SetColor(Color());
}

TSimplePanel::~TSimplePanel() {
  // Children outlive the panel only as parentless controls.
  BeginDestroy();
  ReleaseControls();
}

bool TSimplePanel::LayoutSuspended() const {
  return Loading() || Destroying() || (Parent() != nullptr && Parent()->LayoutSuspended());
}

TColor TSimplePanel::Color() const {
  return Parent() != nullptr ? Parent()->Color() : TColor::System(TSystemColor::BtnFace);
}

void TSimplePanel::FontOrParentChanged() {
  peer_->SetColor(Color());
  ColorChanged();
}

void TSimplePanel::Register() { RegisterComponentClass<TSimplePanel, TControl>("TSimplePanel"); }
