// A control that shows its own image on Qt: the image is drawn with a
// synchronous repaint, so it is on the screen when DrawNow returns.
#include <QPaintEvent>
#include <QPainter>

#include "framework/controls/paint_box.h"
#include "framework/ui/qt/qt_control_peer.h"
#include "framework/ui/qt/qt_peers.h"

namespace {

// Paints the image last drawn; nothing here can throw.
class PaintBoxWidget : public QWidget {
 public:
  explicit PaintBoxWidget(TPaintBox& box) : box_(box) {}
  void SetImage(QImage image) { image_ = std::move(image); }

 protected:
  void paintEvent(QPaintEvent*) override {
    box_.Painted();
    QPainter painter(this);
    painter.drawImage(0, 0, image_);
  }

 private:
  TPaintBox& box_;
  QImage image_;
};

class QtPaintBoxPeer : public QtControlPeer<TPaintBoxPeer> {
 public:
  explicit QtPaintBoxPeer(TPaintBox& box) : QtControlPeer(new PaintBoxWidget(box)) {}
  TSize DeviceSize() const override {
    const qreal ratio = Widget()->devicePixelRatioF();
    return {qRound(Widget()->width() * ratio), qRound(Widget()->height() * ratio)};
  }
  void DrawNow(const TBitmap& image) override {
    QImage shown = ToQImage(image);
    shown.setDevicePixelRatio(Widget()->devicePixelRatioF());
    static_cast<PaintBoxWidget*>(Widget())->SetImage(std::move(shown));
    Widget()->repaint();
  }
};

}  // namespace

std::unique_ptr<TPaintBoxPeer> NewQtPaintBoxPeer(TPaintBox& box) { return std::make_unique<QtPaintBoxPeer>(box); }
