// A window drawn with Qt: a top-level QWidget whose close box asks the form
// (which decides), with a fixed size unless the frame is sizeable, the tool
// window's frame, and Qt's focus chain kept in the controls' tab order.
#pragma once

#include <QWidget>

#include "framework/ui/qt/qt_control_peer.h"

class TForm;

class QtFormPeer : public TFormPeer, public QtContainerPeer {
 public:
  explicit QtFormPeer(TForm& form);
  ~QtFormPeer() override;
  QtFormPeer(const QtFormPeer&) = delete;
  QtFormPeer& operator=(const QtFormPeer&) = delete;

  QWidget* Widget() const { return widget_; }
  QWidget* ClientWidget() const override { return widget_; }
  // The window of `form`.
  static QWidget* WidgetOf(const TForm& form);

  void SetColor(const TColor& color) override;
  void SetCaption(const std::string& caption) override;
  void SetClientSize(const TSize& size) override;
  void SetBorderStyle(TFormBorderStyle style) override;
  void SetFont(const TResolvedFont& font) override;
  void SetIcon(const TIcon& icon) override;
  void HandleNeeded() override;
  void PlaceOnScreen(TPosition position, TPoint designed) override;
  void Show() override;
  void Hide() override;
  bool Visible() const override;
  void CloseBox() override;
  void FocusChainChanged(const std::vector<TControl*>& chain) override;
  TSize ClientSize() const override;
  TBitmap Grab() const override;

 private:
  void ApplySize();

  QWidget* widget_;
  TSize clientSize_;
  TFormBorderStyle borderStyle_ = TFormBorderStyle::bsSizeable;
};
