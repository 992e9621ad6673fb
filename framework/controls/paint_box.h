// A control that shows an image it prepares itself, off screen: a derived
// control draws into the image (DrawImage) and Redraw puts it on the screen
// at once, without waiting for the window's next paint. Every paint of the
// window shows the image last drawn. It takes no focus.
#pragma once

#include "framework/controls/bitmap.h"
#include "framework/controls/control.h"

class TPaintBox : public TControl {
 public:
  std::string_view ClassName() const override { return "TPaintBox"; }

  // How often the image was put on the screen, at once or by a paint.
  int PaintCount() const { return paintCount_; }
  // The peer tells each time it puts the image on the screen.
  void Painted() { ++paintCount_; }
  TPaintBoxPeer& PaintBoxPeer() const { return *peer_; }

 protected:
  explicit TPaintBox(TComponent* owner);
  // Prepares the image anew at the screen size and draws it at once.
  void Redraw();
  // Draws the control into `image`, which has the control's size in screen pixels.
  virtual void DrawImage(TBitmap& image) const = 0;
  void BoundsChanged() override;

 private:
  TPaintBoxPeer* peer_;
  int paintCount_ = 0;
};
