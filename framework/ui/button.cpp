#include "framework/ui/button.h"

#include <QPushButton>

#include "framework/core/handler_boundary.h"

TButton::TButton(TComponent* owner) : TControl(owner, new QPushButton, true) {
  button_ = static_cast<QPushButton*>(Widget());
  button_->setAutoDefault(false);
  button_->setDefault(false);
  QObject::connect(button_, &QPushButton::clicked, button_, [this] { CallHandler(this, [this] { Click(); }); });
}

void TButton::SetCaption(const std::string& caption) {
  caption_ = caption;
  // Qt reads "&" marks as this system does: "&x" an accelerator, "&&" an "&".
  button_->setText(QString::fromStdString(caption));
}

void TButton::Click() {
  if (onClick_) onClick_(this);
}

void TButton::Register() {
  RegisterComponentClass<TButton, TControl>("TButton")
      .Text("Caption", &TButton::SetCaption)
      .Event("OnClick", &TButton::SetOnClick);
}
