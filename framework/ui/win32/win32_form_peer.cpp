#include "framework/ui/win32/win32_form_peer.h"

#include "framework/controls/control.h"
#include "framework/controls/form.h"
#include "framework/controls/icon.h"
#include "framework/core/application.h"
#include "framework/core/handler_boundary.h"

namespace {

constexpr const wchar_t* kFormClass = L"PxForm";

struct FrameStyle {
  DWORD style;
  DWORD exStyle;
};

FrameStyle StyleOf(TFormBorderStyle border) {
  const DWORD common = WS_CLIPCHILDREN;
  const DWORD commonEx = WS_EX_CONTROLPARENT;
  switch (border) {
    case TFormBorderStyle::bsNone: return {common | WS_POPUP, commonEx};
    case TFormBorderStyle::bsSingle: return {common | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX, commonEx};
    case TFormBorderStyle::bsSizeable: return {common | WS_OVERLAPPEDWINDOW, commonEx};
    case TFormBorderStyle::bsDialog: return {common | WS_CAPTION | WS_SYSMENU, commonEx | WS_EX_DLGMODALFRAME};
    case TFormBorderStyle::bsToolWindow: return {common | WS_CAPTION | WS_SYSMENU, commonEx | WS_EX_TOOLWINDOW};
    case TFormBorderStyle::bsSizeToolWin:
      return {common | WS_CAPTION | WS_SYSMENU | WS_THICKFRAME, commonEx | WS_EX_TOOLWINDOW};
  }
  return {common | WS_OVERLAPPEDWINDOW, commonEx};
}

// The frame for a client area, at the window's resolution where the system
// can say (Windows 10 and later), else at the system's.
RECT FrameFor(HWND window, const RECT& client) {
  using AdjustForDpi = BOOL(WINAPI*)(LPRECT, DWORD, BOOL, DWORD, UINT);
  static const auto adjustForDpi = reinterpret_cast<AdjustForDpi>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"user32.dll"), "AdjustWindowRectExForDpi")));
  RECT frame = client;
  const DWORD style = static_cast<DWORD>(GetWindowLongPtrW(window, GWL_STYLE));
  const DWORD exStyle = static_cast<DWORD>(GetWindowLongPtrW(window, GWL_EXSTYLE));
  if (adjustForDpi != nullptr) {
    adjustForDpi(&frame, style, FALSE, exStyle, static_cast<UINT>(WindowDpi(window)));
  } else {
    AdjustWindowRectEx(&frame, style, FALSE, exStyle);
  }
  return frame;
}

HICON IconFromImage(const TIcon& icon, int size) {
  std::string_view image = icon.ImageData();
  auto* bytes = reinterpret_cast<PBYTE>(const_cast<char*>(image.data()));
  constexpr DWORD kIconFormatVersion = 0x00030000;
  return CreateIconFromResourceEx(bytes, static_cast<DWORD>(image.size()), TRUE, kIconFormatVersion, size, size,
                                  LR_DEFAULTCOLOR);
}

}  // namespace

Win32FormPeer::Win32FormPeer(TForm& form) : form_(form) {
  const FrameStyle frame = StyleOf(TFormBorderStyle::bsSizeable);
  window_ = CreateOwnWindow(kFormClass, frame.style, frame.exStyle, nullptr, this);
}

Win32FormPeer::~Win32FormPeer() {
  DetachTarget(window_);
  DestroyWindow(window_);
  if (bigIcon_ != nullptr) DestroyIcon(bigIcon_);
  if (smallIcon_ != nullptr) DestroyIcon(smallIcon_);
}

TForm* Win32FormPeer::FormOf(HWND window) {
  if (window == nullptr) return nullptr;
  auto* peer = dynamic_cast<Win32FormPeer*>(TargetOf(GetAncestor(window, GA_ROOT)));
  return peer != nullptr ? &peer->form_ : nullptr;
}

HWND Win32FormPeer::WindowOf(const TForm& form) { return dynamic_cast<Win32FormPeer&>(form.Peer()).window_; }

void Win32FormPeer::SetColor(const TColor& color) {
  container_.SetBackground(color);
  InvalidateRect(window_, nullptr, TRUE);
}

void Win32FormPeer::SetCaption(const std::string& caption) { SetWindowTextW(window_, Widen(caption).c_str()); }

void Win32FormPeer::SetClientSize(const TSize& size) {
  clientSize_ = size;
  ApplySize();
}

void Win32FormPeer::ApplySize() {
  const int dpi = WindowDpi(window_);
  const RECT frame =
      FrameFor(window_, RECT{0, 0, ScaleToDevice(clientSize_.width, dpi), ScaleToDevice(clientSize_.height, dpi)});
  SetWindowPos(window_, nullptr, 0, 0, frame.right - frame.left, frame.bottom - frame.top,
               SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void Win32FormPeer::SetBorderStyle(TFormBorderStyle style) {
  const FrameStyle frame = StyleOf(style);
  const bool visible = IsWindowVisible(window_) != FALSE;
  SetWindowLongPtrW(window_, GWL_STYLE, frame.style | (visible ? WS_VISIBLE : 0));
  SetWindowLongPtrW(window_, GWL_EXSTYLE, frame.exStyle);
  SetWindowPos(window_, nullptr, 0, 0, 0, 0,
               SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
  ApplySize();
}

void Win32FormPeer::SetFont(const TResolvedFont& font) {
  if (font.pixelHeight <= 0) return;
  SendMessageW(window_, WM_SETFONT, reinterpret_cast<WPARAM>(FontFor(font, WindowDpi(window_))), FALSE);
}

void Win32FormPeer::SetIcon(const TIcon& icon) {
  if (bigIcon_ != nullptr) DestroyIcon(bigIcon_);
  if (smallIcon_ != nullptr) DestroyIcon(smallIcon_);
  bigIcon_ = icon.Empty() ? nullptr : IconFromImage(icon, GetSystemMetrics(SM_CXICON));
  smallIcon_ = icon.Empty() ? nullptr : IconFromImage(icon, GetSystemMetrics(SM_CXSMICON));
  SendMessageW(window_, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(bigIcon_));
  SendMessageW(window_, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(smallIcon_));
}

void Win32FormPeer::PlaceOnScreen(TPosition position, TPoint designed) {
  RECT frame;
  GetWindowRect(window_, &frame);
  const int width = frame.right - frame.left, height = frame.bottom - frame.top;
  RECT area{};
  switch (position) {
    case TPosition::poDesktopCenter:
      area = RECT{GetSystemMetrics(SM_XVIRTUALSCREEN), GetSystemMetrics(SM_YVIRTUALSCREEN), 0, 0};
      area.right = area.left + GetSystemMetrics(SM_CXVIRTUALSCREEN);
      area.bottom = area.top + GetSystemMetrics(SM_CYVIRTUALSCREEN);
      break;
    case TPosition::poScreenCenter:
    case TPosition::poMainFormCenter:
    case TPosition::poOwnerFormCenter:
      area = RECT{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
      break;
    case TPosition::poDesigned: {
      const int dpi = WindowDpi(window_);
      SetWindowPos(window_, nullptr, ScaleToDevice(designed.x, dpi), ScaleToDevice(designed.y, dpi), 0, 0,
                   SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
      return;
    }
    case TPosition::poDefault:
      return;
  }
  SetWindowPos(window_, nullptr, area.left + (area.right - area.left - width) / 2,
               area.top + (area.bottom - area.top - height) / 2, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void Win32FormPeer::Show() {
  int command = SW_SHOWNORMAL;
  if (!shown_ && Application.MainForm() == &form_) {
    // The main window follows the show command the program was started with.
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    GetStartupInfoW(&startup);
    if ((startup.dwFlags & STARTF_USESHOWWINDOW) != 0 &&
        (startup.wShowWindow == SW_SHOWMAXIMIZED || startup.wShowWindow == SW_SHOWMINNOACTIVE)) {
      command = startup.wShowWindow;
    }
  }
  shown_ = true;
  ShowWindow(window_, command);
  SetForegroundWindow(window_);
  if (form_.ActiveControl() == nullptr) form_.SelectNext(true);
  UpdateWindow(window_);
}

void Win32FormPeer::Hide() { ShowWindow(window_, SW_HIDE); }

bool Win32FormPeer::Visible() const { return IsWindowVisible(window_) != FALSE; }

void Win32FormPeer::CloseBox() { SendMessageW(window_, WM_SYSCOMMAND, SC_CLOSE, 0); }

TSize Win32FormPeer::ClientSize() const {
  RECT client;
  GetClientRect(window_, &client);
  const int dpi = WindowDpi(window_);
  return {ScaleToDesign(client.right, dpi), ScaleToDesign(client.bottom, dpi)};
}

TBitmap Win32FormPeer::Grab() const { return GrabWindow(window_); }

void Win32FormPeer::RescaleChildren() {
  EnumChildWindows(
      window_,
      [](HWND child, LPARAM) -> BOOL {
        // Every window inside, panels and their controls alike, each once.
        if (auto* peer = dynamic_cast<Win32WindowPeer*>(TargetOf(child))) peer->Rescale();
        return TRUE;
      },
      0);
}

LRESULT Win32FormPeer::HandleMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_CLOSE:
      CallHandler(&form_, [this] { form_.Close(); });
      return 0;
    case WM_ACTIVATE:
      // The focus leaves with the window and comes back to the same control.
      if (LOWORD(wParam) == WA_INACTIVE) {
        HWND focus = GetFocus();
        if (focus != nullptr && IsChild(window_, focus)) lastFocus_ = focus;
      } else if (lastFocus_ != nullptr && IsWindow(lastFocus_) && IsChild(window_, lastFocus_)) {
        SetFocus(lastFocus_);
        return 0;
      }
      break;
    case WM_DPICHANGED: {
      const auto* suggested = reinterpret_cast<const RECT*>(lParam);
      SetWindowPos(window_, nullptr, suggested->left, suggested->top, suggested->right - suggested->left,
                   suggested->bottom - suggested->top, SWP_NOZORDER | SWP_NOACTIVATE);
      RescaleChildren();
      ApplySize();
      return 0;
    }
    default:
      if (auto handled = container_.HandleContainerMessage(window, message, wParam, lParam)) return *handled;
  }
  return DefWindowProcW(window, message, wParam, lParam);
}
