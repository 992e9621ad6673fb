// The directory field on the Windows API: the platform's EDIT with its sunken
// border, and inside it, at the right end, a button of the back end's own
// class that shows the folder glyph. The button never takes the focus: it
// acts on the mouse (or BM_CLICK) alone. While the field has the focus the
// caret blinks at the field's period; the system's own comes back when it
// loses the focus, for the period is the whole system's.
#include "framework/ui/win32/win32_api.h"

#include <commctrl.h>

#include "framework/controls/browse_edit.h"
#include "framework/core/handler_boundary.h"
#include "framework/ui/win32/win32_control_peer.h"
#include "framework/ui/win32/win32_peers.h"

namespace {

constexpr const wchar_t* kFolderButtonClass = L"PxFolderButton";

class Win32FolderButton : public Win32MessageTarget {
 public:
  Win32FolderButton(TBrowseEdit& edit, HWND field)
      : edit_(edit),
        window_(CreateOwnWindow(kFolderButtonClass, WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS, 0, field, this)) {}
  ~Win32FolderButton() override {
    DetachTarget(window_);
    DestroyWindow(window_);
  }
  Win32FolderButton(const Win32FolderButton&) = delete;
  Win32FolderButton& operator=(const Win32FolderButton&) = delete;

  HWND Window() const { return window_; }

  LRESULT HandleMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) override {
    switch (message) {
      case WM_PAINT: {
        PAINTSTRUCT paint;
        HDC dc = BeginPaint(window, &paint);
        Draw(dc);
        EndPaint(window, &paint);
        return 0;
      }
      case WM_PRINTCLIENT:
        Draw(reinterpret_cast<HDC>(wParam));
        return 0;
      case WM_ERASEBKGND:
        return 1;
      case WM_LBUTTONDOWN:
      case WM_LBUTTONDBLCLK:
        SetCapture(window);
        tracking_ = true;
        SetPressed(true);
        return 0;
      case WM_MOUSEMOVE:
        if (tracking_) SetPressed(Inside(lParam));
        return 0;
      case WM_LBUTTONUP:
        if (tracking_) {
          const bool click = Inside(lParam);
          ReleaseCapture();  // ends the tracking through WM_CAPTURECHANGED
          if (click) Click();
        }
        return 0;
      case WM_CAPTURECHANGED:
        tracking_ = false;
        SetPressed(false);
        return 0;
      case BM_CLICK:
        Click();
        return 0;
      default:
        return DefWindowProcW(window, message, wParam, lParam);
    }
  }

 private:
  void Click() {
    TBrowseEdit& edit = edit_;
    CallHandler(&edit, [&edit] { edit.ButtonClick(); });
  }
  bool Inside(LPARAM lParam) const {
    RECT client;
    GetClientRect(window_, &client);
    const POINT point{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
    return PtInRect(&client, point) != FALSE;
  }
  void SetPressed(bool pressed) {
    if (pressed == pressed_) return;
    pressed_ = pressed;
    InvalidateRect(window_, nullptr, FALSE);
  }
  // A push button's face with the glyph in the middle, each glyph pixel
  // scaled to the screen's resolution.
  void Draw(HDC dc) const {
    RECT face;
    GetClientRect(window_, &face);
    DrawFrameControl(dc, &face, DFC_BUTTON, DFCS_BUTTONPUSH | (pressed_ ? DFCS_PUSHED : 0));
    const int dpi = WindowDpi(window_);
    const TBitmap glyph = FolderGlyph();
    const int shift = pressed_ ? 1 : 0;
    const int left = (face.right - ScaleToDevice(glyph.Width(), dpi)) / 2 + shift;
    const int top = (face.bottom - ScaleToDevice(glyph.Height(), dpi)) / 2 + shift;
    for (int y = 0; y < glyph.Height(); ++y) {
      for (int x = 0; x < glyph.Width(); ++x) {
        const std::uint32_t pixel = glyph.Pixel(x, y);
        if ((pixel >> 24) == 0) continue;
        HBRUSH brush = CreateSolidBrush(RGB((pixel >> 16) & 0xFF, (pixel >> 8) & 0xFF, pixel & 0xFF));
        const RECT cell{left + ScaleToDevice(x, dpi), top + ScaleToDevice(y, dpi), left + ScaleToDevice(x + 1, dpi),
                        top + ScaleToDevice(y + 1, dpi)};
        FillRect(dc, &cell, brush);
        DeleteObject(brush);
      }
    }
  }

  TBrowseEdit& edit_;
  HWND window_;
  bool pressed_ = false;
  bool tracking_ = false;
};

class Win32BrowseEditPeer : public Win32ControlPeer<TBrowseEditPeer> {
 public:
  explicit Win32BrowseEditPeer(TBrowseEdit& edit) {
    Attach(CreateControlWindow(L"EDIT", ES_LEFT | ES_AUTOHSCROLL | WS_TABSTOP | WS_CLIPCHILDREN, WS_EX_CLIENTEDGE));
    button_ = std::make_unique<Win32FolderButton>(edit, Window());
    SetMaxLength(0);
    SetWindowSubclass(Window(), FocusWatch, 0, reinterpret_cast<DWORD_PTR>(this));
  }
  ~Win32BrowseEditPeer() override {
    RemoveWindowSubclass(Window(), FocusWatch, 0);
    RestoreBlinkTime();
  }

  std::string Text() const override {
    std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(Window())) + 1, L'\0');
    text.resize(static_cast<std::size_t>(GetWindowTextW(Window(), text.data(), static_cast<int>(text.size()))));
    return Narrow(text);
  }
  // The caret goes to the end of the new text, where typing would leave it.
  void SetText(const std::string& text) override {
    SetWindowTextW(Window(), Widen(text).c_str());
    const LRESULT end = GetWindowTextLengthW(Window());
    SendMessageW(Window(), EM_SETSEL, static_cast<WPARAM>(end), end);
  }
  void SetButtonWidth(int width) override {
    buttonWidth_ = width;
    PlaceButton();
  }
  void SetReadOnly(bool readOnly) override { SendMessageW(Window(), EM_SETREADONLY, readOnly ? TRUE : FALSE, 0); }
  // The limit of 0 is the platform's largest.
  void SetMaxLength(int length) override { SendMessageW(Window(), EM_SETLIMITTEXT, length > 0 ? length : 0, 0); }
  void SetCaretBlinkTime(int milliseconds) override { blinkTime_ = milliseconds; }
  TRect ButtonBounds() const override {
    RECT field, button;
    GetWindowRect(Window(), &field);
    GetWindowRect(button_->Window(), &button);
    const int dpi = Dpi();
    const int left = ScaleToDesign(button.left - field.left, dpi), top = ScaleToDesign(button.top - field.top, dpi);
    return {left, top, ScaleToDesign(button.right - field.left, dpi) - left,
            ScaleToDesign(button.bottom - field.top, dpi) - top};
  }
  void ClickButton() override { SendMessageW(button_->Window(), BM_CLICK, 0, 0); }
  void TypeText(const std::string& text) override {
    for (wchar_t c : Widen(text)) {
      if (c == L'\n') {
        SendMessageW(Window(), WM_KEYDOWN, VK_RETURN, 0);
        SendMessageW(Window(), WM_CHAR, L'\r', 0);
        SendMessageW(Window(), WM_KEYUP, VK_RETURN, 0);
      } else {
        SendMessageW(Window(), WM_CHAR, c, 0);
      }
    }
  }

 protected:
  void BoundsApplied() override { PlaceButton(); }
  void FontApplied() override { PlaceButton(); }

 private:
  // The blink period is set once the control has made its caret for the
  // focus (making one may start it at the system's default), and the
  // system's own comes back when the focus has gone.
  static LRESULT CALLBACK FocusWatch(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                     DWORD_PTR self) {
    auto* peer = reinterpret_cast<Win32BrowseEditPeer*>(self);
    const bool focus = message == WM_SETFOCUS && peer->blinkTime_ > 0;
    if (focus && peer->savedBlinkTime_ == 0) peer->savedBlinkTime_ = GetCaretBlinkTime();
    const LRESULT result = DefSubclassProc(window, message, wParam, lParam);
    if (focus) ::SetCaretBlinkTime(static_cast<UINT>(peer->blinkTime_));
    if (message == WM_KILLFOCUS) peer->RestoreBlinkTime();
    return result;
  }
  void RestoreBlinkTime() {
    if (savedBlinkTime_ == 0) return;
    ::SetCaretBlinkTime(savedBlinkTime_);
    savedBlinkTime_ = 0;
  }
  // At the right end of the client area, as high as it; the text stops before it.
  void PlaceButton() {
    RECT client;
    GetClientRect(Window(), &client);
    const int width = ScaleToDevice(buttonWidth_, Dpi());
    MoveWindow(button_->Window(), client.right - width, 0, width, client.bottom, TRUE);
    SendMessageW(Window(), EM_SETMARGINS, EC_RIGHTMARGIN, MAKELPARAM(0, width));
  }

  std::unique_ptr<Win32FolderButton> button_;
  int buttonWidth_ = kBrowseButtonWidth;
  int blinkTime_ = 0;
  UINT savedBlinkTime_ = 0;
};

}  // namespace

std::unique_ptr<TBrowseEditPeer> NewWin32BrowseEditPeer(TBrowseEdit& edit) {
  return std::make_unique<Win32BrowseEditPeer>(edit);
}
