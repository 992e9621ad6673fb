#include "framework/controls/paint_box.h"

TPaintBox::TPaintBox(TComponent* owner) : TControl(owner, false) {
  peer_ = InitPeer(WidgetSet().CreatePaintBox(*this));
}

void TPaintBox::Redraw() {
  const TSize size = peer_->DeviceSize();
  TBitmap image(size.width, size.height);
  if (!image.Empty()) DrawImage(image);
  peer_->DrawNow(image);
}

void TPaintBox::BoundsChanged() {
  TControl::BoundsChanged();
  Redraw();
}
