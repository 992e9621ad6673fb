// A control that shows its own image on the Windows API: a window of the
// back end's own class that keeps the image and copies it onto the screen at
// once when it changes (through a device context of its own, without
// waiting for WM_PAINT), and again on every paint.
#include "framework/controls/paint_box.h"
#include "framework/ui/win32/win32_control_peer.h"
#include "framework/ui/win32/win32_peers.h"

namespace {

constexpr const wchar_t* kPaintBoxClass = L"PxPaintBox";

class Win32PaintBoxPeer : public Win32ControlPeer<TPaintBoxPeer> {
 public:
  explicit Win32PaintBoxPeer(TPaintBox& box) : box_(box) {
    Attach(CreateOwnWindow(kPaintBoxClass, WS_CHILD | WS_CLIPSIBLINGS, 0, ParkingWindow(), this));
  }

  TSize DeviceSize() const override {
    RECT client;
    GetClientRect(Window(), &client);
    return {client.right, client.bottom};
  }
  void DrawNow(const TBitmap& image) override {
    image_ = image;
    if (!IsWindowVisible(Window())) return;
    HDC dc = GetDC(Window());
    DrawBitmap(dc, 0, 0, image_);
    ReleaseDC(Window(), dc);
    // The image is on the screen now; a paint already asked for has nothing new to show.
    ValidateRect(Window(), nullptr);
    box_.Painted();
  }
  // What the control shows is its image.
  TBitmap Grab() const override { return image_; }

  LRESULT HandleMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) override {
    switch (message) {
      case WM_PAINT: {
        PAINTSTRUCT paint;
        HDC dc = BeginPaint(window, &paint);
        DrawBitmap(dc, 0, 0, image_);
        EndPaint(window, &paint);
        box_.Painted();
        return 0;
      }
      case WM_PRINTCLIENT:
        DrawBitmap(reinterpret_cast<HDC>(wParam), 0, 0, image_);
        return 0;
      case WM_ERASEBKGND:
        return 1;
      default:
        return DefWindowProcW(window, message, wParam, lParam);
    }
  }

 private:
  TPaintBox& box_;
  TBitmap image_;
};

}  // namespace

std::unique_ptr<TPaintBoxPeer> NewWin32PaintBoxPeer(TPaintBox& box) { return std::make_unique<Win32PaintBoxPeer>(box); }
