#include "framework/controls/control.h"

#include <algorithm>

#include "framework/controls/control_container.h"
#include "framework/controls/font_properties.h"
#include "framework/core/exceptions.h"

TControl::TControl(TComponent* owner, bool tabStop) : TComponent(owner), tabStop_(tabStop) {}

TControl::~TControl() {
  BeginDestroy();
  SetParent(nullptr);
}

bool TControl::InLayout() const { return Loading() || (parent_ != nullptr && parent_->LayoutSuspended()); }

void TControl::SetParent(TControlContainer* parent) {
  if (parent == parent_) return;
  if (parent_ != nullptr) {
    TControlContainer* old = parent_;
    old->RemoveControl(this);
    parent_ = nullptr;
    peer_->SetParent(nullptr);
    if (!old->LayoutSuspended()) {
      if (align_ != TAlign::alNone) old->Realign();
      old->TabOrderChanged();
    }
  }
  if (parent == nullptr) return;
  parent_ = parent;
  parent_->InsertControl(this);
  peer_->SetParent(&parent_->ContainerPeer());
  peer_->SetBounds(bounds_);
  peer_->SetVisible(visible_);
  ApplyFont();
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
  TRect bounds{left, top, std::max(0, width), std::max(0, height)};
  if (bounds == bounds_) return;
  bounds_ = bounds;
  peer_->SetBounds(bounds_);
  BoundsChanged();
  if (parent_ != nullptr && align_ != TAlign::alNone && !InLayout()) parent_->Realign();
}

void TControl::SetBoundsFromParent(const TRect& bounds) {
  if (bounds == bounds_) return;
  bounds_ = bounds;
  peer_->SetBounds(bounds_);
  BoundsChanged();
}

void TControl::BoundsChanged() {
  if (TControlContainer* container = AsContainer()) container->Realign();
}

void TControl::SetVisible(bool visible) {
  if (visible == visible_) return;
  visible_ = visible;
  peer_->SetVisible(visible_);
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
  peer_->SetTabStop(stop);
  if (parent_ != nullptr && !InLayout()) parent_->TabOrderChanged();
}

void TControl::FontChanged() {
  parentFont_ = false;
  ApplyFont();
}

void TControl::SetParentFont(bool parentFont) {
  parentFont_ = parentFont;
  ApplyFont();
}

TResolvedFont TControl::ResolvedFont() const {
  TResolvedFont base = parent_ != nullptr ? parent_->ResolvedFont() : DefaultFont();
  return parentFont_ ? base : font_.ResolvedOver(base);
}

void TControl::ApplyFont() {
  peer_->SetFont(ResolvedFont());
  if (TControlContainer* container = AsContainer()) container->FontChanged();
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
