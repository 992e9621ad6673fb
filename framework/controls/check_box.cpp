#include "framework/controls/check_box.h"

TCheckBox::TCheckBox(TComponent* owner) : TControl(owner, true) {
  peer_ = InitPeer(WidgetSet().CreateCheckBox(*this));
}

void TCheckBox::SetCaption(const std::string& caption) {
  caption_ = caption;
  peer_->SetCaption(caption);
}

void TCheckBox::Register() {
  RegisterComponentClass<TCheckBox, TControl>("TCheckBox")
      .Text("Caption", &TCheckBox::SetCaption)
      .Boolean("Checked", &TCheckBox::SetChecked);
}
