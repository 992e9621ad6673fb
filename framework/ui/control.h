// The base of the visual controls: a component with a Qt widget, a parent
// container, a position and size in pixels relative to the parent's client
// area, visibility, alignment, tab order and font. The control owns its
// widget; its widget lives inside the parent's client widget.
#pragma once

#include <QWidget>
#include <string_view>

#include "framework/core/class_registry.h"
#include "framework/core/component.h"
#include "framework/ui/font.h"

class TControlContainer;

enum class TAlign { alNone, alTop, alBottom, alLeft, alRight, alClient };

class TControl : public TComponent {
 public:
  ~TControl() override;
  std::string_view ClassName() const override { return "TControl"; }

  QWidget* Widget() const { return widget_; }
  // The widget that takes the keyboard focus, if the control takes it.
  virtual QWidget* FocusWidget() const { return widget_; }
  // This control as a container of other controls, if it is one.
  virtual TControlContainer* AsContainer() { return nullptr; }

  TControlContainer* Parent() const { return parent_; }
  void SetParent(TControlContainer* parent);
  // In a description, a control is placed in the window or panel it is written in.
  void SetParentComponent(TComponent* parent) override;

  int Left() const { return bounds_.x(); }
  int Top() const { return bounds_.y(); }
  int Width() const { return bounds_.width(); }
  int Height() const { return bounds_.height(); }
  QRect Bounds() const { return bounds_; }
  void SetLeft(int left) { SetBounds(left, Top(), Width(), Height()); }
  void SetTop(int top) { SetBounds(Left(), top, Width(), Height()); }
  void SetWidth(int width) { SetBounds(Left(), Top(), width, Height()); }
  void SetHeight(int height) { SetBounds(Left(), Top(), Width(), height); }
  void SetBounds(int left, int top, int width, int height);

  // The control's own visibility; it shows on the screen when its window does.
  bool Visible() const { return visible_; }
  void SetVisible(bool visible);

  TAlign Align() const { return align_; }
  void SetAlign(TAlign align);

  int TabOrder() const { return tabOrder_; }
  void SetTabOrder(int order);
  bool TabStop() const { return tabStop_; }
  void SetTabStop(bool stop);

  // Changes to the font apply when FontChanged() is called (the registered
  // font properties do so); ParentFont becomes false.
  TFont& Font() { return font_; }
  void FontChanged();
  bool ParentFont() const { return parentFont_; }
  void SetParentFont(bool parentFont);

  // Registers the properties every control has: Left, Top, Width, Height,
  // Visible, Align, TabOrder, TabStop, ParentFont and the font's
  // (font_properties.h).
  static void Register();

 protected:
  // REQUIRES: called once, by the derived constructor; takes the widget over.
  TControl(TComponent* owner, QWidget* widget, bool tabStop);
  void Loaded() override;
  // After the bounds changed; containers place their children.
  virtual void BoundsChanged();
  // After the font or the parent changed, so what the widget inherits may differ.
  virtual void FontOrParentChanged() {}
  // The bounds changed by layout, without realigning the parent.
  void SetBoundsFromParent(const QRect& bounds);

 private:
  friend class TControlContainer;
  void ApplyFont();
  void ApplyTabStop();
  bool InLayout() const;

  QWidget* widget_;
  TControlContainer* parent_ = nullptr;
  QRect bounds_;
  bool visible_ = true;
  TAlign align_ = TAlign::alNone;
  int tabOrder_ = -1;
  bool tabStop_;
  TFont font_;
  bool parentFont_ = true;
};
