// The base of the visual controls: a component with a native widget (its
// peer, made by the installed widget set), a parent container, a position
// and size in design pixels relative to the parent's client area,
// visibility, alignment, tab order and font. The control owns its peer.
#pragma once

#include <memory>
#include <string_view>

#include "framework/controls/font.h"
#include "framework/controls/geometry.h"
#include "framework/controls/widget_set.h"
#include "framework/core/class_registry.h"
#include "framework/core/component.h"

class TControlContainer;

enum class TAlign { alNone, alTop, alBottom, alLeft, alRight, alClient };

class TControl : public TComponent {
 public:
  ~TControl() override;
  std::string_view ClassName() const override { return "TControl"; }

  TControlPeer& Peer() const { return *peer_; }
  // This control as a container of other controls, if it is one.
  virtual TControlContainer* AsContainer() { return nullptr; }

  TControlContainer* Parent() const { return parent_; }
  void SetParent(TControlContainer* parent);
  // In a description, a control is placed in the window or panel it is written in.
  void SetParentComponent(TComponent* parent) override;

  int Left() const { return bounds_.left; }
  int Top() const { return bounds_.top; }
  int Width() const { return bounds_.width; }
  int Height() const { return bounds_.height; }
  TRect Bounds() const { return bounds_; }
  void SetLeft(int left) { SetBounds(left, Top(), Width(), Height()); }
  void SetTop(int top) { SetBounds(Left(), top, Width(), Height()); }
  void SetWidth(int width) { SetBounds(Left(), Top(), width, Height()); }
  void SetHeight(int height) { SetBounds(Left(), Top(), Width(), height); }
  void SetBounds(int left, int top, int width, int height);

  // The control's own visibility; it shows on the screen when its window does.
  bool Visible() const { return visible_; }
  void SetVisible(bool visible);
  // On the screen: visible, in a visible window, every panel between visible.
  bool Showing() const { return peer_->Showing(); }

  TAlign Align() const { return align_; }
  void SetAlign(TAlign align);

  int TabOrder() const { return tabOrder_; }
  void SetTabOrder(int order);
  bool TabStop() const { return tabStop_; }
  void SetTabStop(bool stop);
  bool Focused() const { return peer_->HasFocus(); }
  void SetFocus() { peer_->SetFocus(); }

  // Changes to the font apply when FontChanged() is called (the registered
  // font properties do so); ParentFont becomes false.
  TFont& Font() { return font_; }
  void FontChanged();
  bool ParentFont() const { return parentFont_; }
  void SetParentFont(bool parentFont);
  // The font as drawn: the parent's with ParentFont, else the control's own
  // attributes over the parent's.
  TResolvedFont ResolvedFont() const;

  // Registers the properties every control has: Left, Top, Width, Height,
  // Visible, Align, TabOrder, TabStop, ParentFont and the font's
  // (font_properties.h).
  static void Register();

 protected:
  TControl(TComponent* owner, bool tabStop);
  // REQUIRES: called once, by the derived constructor, before anything else
  // touches the peer.
  template <class P>
  P* InitPeer(std::unique_ptr<P> peer) {
    P* typed = peer.get();
    peer_ = std::move(peer);
    peer_->SetTabStop(tabStop_);
    peer_->SetVisible(visible_);
    return typed;
  }
  void Loaded() override;
  // After the bounds changed; containers place their children.
  virtual void BoundsChanged();
  // After the font or the parent changed, so what the peer shows may differ.
  virtual void FontOrParentChanged() {}
  // The bounds changed by layout, without realigning the parent.
  void SetBoundsFromParent(const TRect& bounds);
  bool InLayout() const;

 private:
  friend class TControlContainer;
  void ApplyFont();

  std::unique_ptr<TControlPeer> peer_;
  TControlContainer* parent_ = nullptr;
  TRect bounds_;
  bool visible_ = true;
  TAlign align_ = TAlign::alNone;
  int tabOrder_ = -1;
  bool tabStop_;
  TFont font_;
  bool parentFont_ = true;
};
