// What the Win32 peers share: each control's peer owns one child window,
// which lives in the client area of its parent's window (or, without a
// parent, in a hidden parking window). The peer keeps the design bounds and
// font and scales them to the resolution of the screen its window is on.
#pragma once

#include "framework/controls/widget_set.h"
#include "framework/ui/win32/win32_bitmap.h"
#include "framework/ui/win32/win32_dpi.h"
#include "framework/ui/win32/win32_fonts.h"
#include "framework/ui/win32/win32_window.h"

// A peer whose native window other Win32 code may reach.
class Win32WindowPeer {
 public:
  virtual ~Win32WindowPeer() = default;
  virtual HWND Window() const = 0;
  // Places the window anew at the resolution of the screen it is on.
  virtual void Rescale() = 0;
};

// A peer whose window holds the windows of child controls.
class Win32ContainerPeer {
 public:
  virtual ~Win32ContainerPeer() = default;
  virtual HWND ClientWindow() const = 0;
};

template <class Interface>
class Win32ControlPeer : public Interface, public Win32WindowPeer, public Win32MessageTarget {
 public:
  ~Win32ControlPeer() override {
    if (window_ != nullptr) {
      DetachTarget(window_);
      DestroyWindow(window_);
    }
  }
  Win32ControlPeer(const Win32ControlPeer&) = delete;
  Win32ControlPeer& operator=(const Win32ControlPeer&) = delete;

  HWND Window() const override { return window_; }
  int Dpi() const { return WindowDpi(window_); }
  const TResolvedFont& Font() const { return font_; }
  HFONT DeviceFont() const { return FontFor(font_, Dpi()); }

  void SetParent(TContainerPeer* parent) override {
    auto* container = dynamic_cast<Win32ContainerPeer*>(parent);
    ::SetParent(window_, container != nullptr ? container->ClientWindow() : ParkingWindow());
    Rescale();
  }
  void SetBounds(const TRect& bounds) override {
    bounds_ = bounds;
    const RECT device = ScaleToDevice(bounds_, Dpi());
    MoveWindow(window_, device.left, device.top, device.right - device.left, device.bottom - device.top, TRUE);
    BoundsApplied();
  }
  void SetVisible(bool visible) override { ShowWindow(window_, visible ? SW_SHOWNA : SW_HIDE); }
  void SetFont(const TResolvedFont& font) override {
    font_ = font;
    if (font_.pixelHeight <= 0) return;
    SendMessageW(window_, WM_SETFONT, reinterpret_cast<WPARAM>(DeviceFont()), TRUE);
    FontApplied();
  }
  void SetTabStop(bool tabStop) override {
    LONG_PTR style = GetWindowLongPtrW(FocusWindow(), GWL_STYLE);
    style = tabStop ? (style | WS_TABSTOP) : (style & ~static_cast<LONG_PTR>(WS_TABSTOP));
    SetWindowLongPtrW(FocusWindow(), GWL_STYLE, style);
  }
  bool HasFocus() const override { return GetFocus() == FocusWindow(); }
  void SetFocus() override { ::SetFocus(FocusWindow()); }
  bool Showing() const override { return IsWindowVisible(window_) != FALSE; }
  TBitmap Grab() const override { return GrabWindow(window_); }
  void Rescale() override {
    SetBounds(bounds_);
    SetFont(font_);
  }

  // The text colour of the control's font for the parent's WM_CTLCOLOR...;
  // the parent gives the background.
  std::optional<LRESULT> HandleParentNotice(UINT message, WPARAM wParam, LPARAM) override {
    if (message == WM_CTLCOLORSTATIC || message == WM_CTLCOLORBTN) {
      SetTextColor(reinterpret_cast<HDC>(wParam), ToColorRef(font_.color));
    } else if (message == WM_COMMAND) {
      Command(HIWORD(wParam));
    }
    return std::nullopt;
  }

 protected:
  Win32ControlPeer() = default;
  // REQUIRES: called once, by the derived constructor, with the control's window.
  void Attach(HWND window) {
    window_ = window;
    AttachTarget(window_, this);
  }
  virtual HWND FocusWindow() const { return window_; }
  // A notification code of WM_COMMAND from the control.
  virtual void Command(WORD) {}
  virtual void BoundsApplied() {}
  virtual void FontApplied() {}
  const TRect& DesignBounds() const { return bounds_; }

 private:
  HWND window_ = nullptr;
  TRect bounds_;
  TResolvedFont font_;
};

// A child window of one of the platform's classes, in the parking window.
HWND CreateControlWindow(const wchar_t* className, DWORD style, DWORD exStyle = 0);
