// What the Qt peers share: each control's peer owns one QWidget, which lives
// in the client widget of its parent's peer. Conversions between the
// component set's values and Qt's.
#pragma once

#include <QColor>
#include <QFont>
#include <QImage>
#include <QWidget>

#include "framework/controls/widget_set.h"

// A peer with a QWidget that other Qt code may reach.
class QtWidgetPeer {
 public:
  virtual ~QtWidgetPeer() = default;
  virtual QWidget* Widget() const = 0;
  // The widget that takes the keyboard focus.
  virtual QWidget* FocusWidget() const { return Widget(); }
};

// A peer whose widget holds the widgets of child controls.
class QtContainerPeer {
 public:
  virtual ~QtContainerPeer() = default;
  virtual QWidget* ClientWidget() const = 0;
};

QColor ToQColor(const TColor& color);
// The font as Qt draws it; "Tahoma" falls back to a sans-serif of like
// metrics where the system has no Tahoma (qt_fonts.h).
QFont ToQFont(const TResolvedFont& font);
TBitmap ToBitmap(const QImage& image);
QImage ToQImage(const TBitmap& bitmap);
// Colours of `widget`'s text and background from the font and the container.
void ApplyTextColor(QWidget& widget, const TColor& color);

// The common part of every control peer: the widget's parent, geometry,
// visibility, font, focus and picture.
template <class Interface>
class QtControlPeer : public Interface, public QtWidgetPeer {
 public:
  explicit QtControlPeer(QWidget* widget) : widget_(widget) {}
  ~QtControlPeer() override { delete widget_; }
  QtControlPeer(const QtControlPeer&) = delete;
  QtControlPeer& operator=(const QtControlPeer&) = delete;

  QWidget* Widget() const override { return widget_; }

  void SetParent(TContainerPeer* parent) override {
    auto* container = dynamic_cast<QtContainerPeer*>(parent);
    widget_->setParent(container != nullptr ? container->ClientWidget() : nullptr);
    // A widget without a parent would show as a window of its own.
    if (container != nullptr) widget_->setVisible(visible_);
  }
  void SetBounds(const TRect& bounds) override {
    widget_->setGeometry(bounds.left, bounds.top, bounds.width, bounds.height);
  }
  void SetVisible(bool visible) override {
    visible_ = visible;
    if (widget_->parentWidget() != nullptr) widget_->setVisible(visible);
  }
  void SetFont(const TResolvedFont& font) override {
    widget_->setFont(ToQFont(font));
    ApplyTextColor(*widget_, font.color);
    FontApplied();
  }
  void SetTabStop(bool tabStop) override { FocusWidget()->setFocusPolicy(tabStop ? Qt::StrongFocus : Qt::NoFocus); }
  // The focus within its window, also while another application's window is active.
  bool HasFocus() const override { return FocusWidget()->window()->focusWidget() == FocusWidget(); }
  void SetFocus() override { FocusWidget()->setFocus(Qt::OtherFocusReason); }
  bool Showing() const override { return widget_->isVisible(); }
  TBitmap Grab() const override { return ToBitmap(widget_->grab().toImage()); }

 protected:
  // After a new font; a peer that sizes by its font follows.
  virtual void FontApplied() {}

 private:
  QWidget* widget_;
  bool visible_ = true;
};
