#include "framework/ui/control.h"

#include <QPalette>

#include "framework/core/exceptions.h"
#include "framework/ui/colors.h"
#include "framework/ui/control_container.h"
#include "framework/ui/font_properties.h"

TControl::TControl(TComponent* owner, QWidget* widget, bool tabStop)
    : TComponent(owner), widget_(widget), tabStop_(tabStop) {
  ApplyTabStop();
}

TControl::~TControl() {
  BeginDestroy();
  SetParent(nullptr);
  delete widget_;
}

bool TControl::InLayout() const { return Loading() || (parent_ != nullptr && parent_->LayoutSuspended()); }

void TControl::SetParent(TControlContainer* parent) {
  if (parent == parent_) return;
  if (parent_ != nullptr) {
    TControlContainer* old = parent_;
    old->RemoveControl(this);
    parent_ = nullptr;
    widget_->setParent(nullptr);
    if (!old->LayoutSuspended()) {
      if (align_ != TAlign::alNone) old->Realign();
      old->TabOrderChanged();
    }
  }
  if (parent == nullptr) return;
  parent_ = parent;
  parent_->InsertControl(this);
  widget_->setParent(parent_->ClientWidget());
  widget_->setGeometry(bounds_);
  widget_->setVisible(visible_);
  FontOrParentChanged();
  if (!InLayout()) {
    if (align_ != TAlign::alNone) parent_->Realign();
    parent_->TabOrderChanged();
  }
}

void TControl::SetParentComponent(TComponent* parent) {
  auto* container = dynamic_cast<TControlContainer*>(parent);
  if (container == nullptr) {
    throw EComponentError("Control " + Name() + " cannot be placed in " + (parent ? parent->Name() : "nothing"));
  }
  SetParent(container);
}

void TControl::SetBounds(int left, int top, int width, int height) {
  QRect bounds(left, top, std::max(0, width), std::max(0, height));
  if (bounds == bounds_) return;
  bounds_ = bounds;
  widget_->setGeometry(bounds_);
  BoundsChanged();
  if (parent_ != nullptr && align_ != TAlign::alNone && !InLayout()) parent_->Realign();
}

void TControl::SetBoundsFromParent(const QRect& bounds) {
  if (bounds == bounds_) return;
  bounds_ = bounds;
  widget_->setGeometry(bounds_);
  BoundsChanged();
}

void TControl::BoundsChanged() {
  if (TControlContainer* container = AsContainer()) container->Realign();
}

void TControl::SetVisible(bool visible) {
  if (visible == visible_) return;
  visible_ = visible;
  if (parent_ != nullptr) widget_->setVisible(visible_);
  if (parent_ != nullptr && align_ != TAlign::alNone && !InLayout()) parent_->Realign();
}

void TControl::SetAlign(TAlign align) {
  if (align == align_) return;
  align_ = align;
  if (parent_ != nullptr && !InLayout()) parent_->Realign();
}

void TControl::SetTabOrder(int order) {
  tabOrder_ = order;
  if (parent_ != nullptr && !InLayout()) parent_->TabOrderChanged();
}

void TControl::SetTabStop(bool stop) {
  tabStop_ = stop;
  ApplyTabStop();
  if (parent_ != nullptr && !InLayout()) parent_->TabOrderChanged();
}

void TControl::ApplyTabStop() { widget_->setFocusPolicy(tabStop_ ? Qt::StrongFocus : Qt::NoFocus); }

void TControl::FontChanged() {
  parentFont_ = false;
  ApplyFont();
}

void TControl::SetParentFont(bool parentFont) {
  parentFont_ = parentFont;
  ApplyFont();
}

void TControl::ApplyFont() {
  // A default QFont or QPalette sets nothing, so everything comes from the parent.
  widget_->setFont(parentFont_ ? QFont() : font_.ToQFont());
  QPalette palette;
  if (!parentFont_ && font_.Color()) {
    for (QPalette::ColorRole role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText}) {
      palette.setColor(role, *font_.Color());
    }
  }
  widget_->setPalette(palette);
  FontOrParentChanged();
}

void TControl::Loaded() { TComponent::Loaded(); }

void TControl::Register() {
  auto builder = RegisterComponentClass<TControl>("TControl");
  builder
      .Integer("Left", &TControl::SetLeft)
      .Integer("Top", &TControl::SetTop)
      .Integer("Width", &TControl::SetWidth)
      .Integer("Height", &TControl::SetHeight)
      .Boolean("Visible", &TControl::SetVisible)
      .Enum<TAlign>("Align", &TControl::SetAlign,
                    {{"alNone", TAlign::alNone}, {"alTop", TAlign::alTop}, {"alBottom", TAlign::alBottom},
                     {"alLeft", TAlign::alLeft}, {"alRight", TAlign::alRight}, {"alClient", TAlign::alClient}})
      .Integer("TabOrder", &TControl::SetTabOrder)
      .Boolean("TabStop", &TControl::SetTabStop)
      .Boolean("ParentFont", &TControl::SetParentFont);
  RegisterFontProperties(builder);
}
