#include "framework/controls/button.h"

TButton::TButton(TComponent* owner) : TControl(owner, true) { peer_ = InitPeer(WidgetSet().CreateButton(*this)); }

void TButton::SetCaption(const std::string& caption) {
  caption_ = caption;
  peer_->SetCaption(caption);
}

void TButton::Click() {
  if (onClick_) onClick_(this);
}

void TButton::Register() {
  RegisterComponentClass<TButton, TControl>("TButton")
      .Text("Caption", &TButton::SetCaption)
      .Event("OnClick", &TButton::SetOnClick);
}
