#include "framework/ui/win32/win32_dpi.h"

#include "framework/controls/font.h"

namespace {

using GetDpiForWindowProc = UINT(WINAPI*)(HWND);

// Windows 10 and later know a resolution per window; before, one for all.
GetDpiForWindowProc DpiForWindowProc() {
  static const auto proc = reinterpret_cast<GetDpiForWindowProc>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"user32.dll"), "GetDpiForWindow")));
  return proc;
}

}  // namespace

int SystemDpi() {
  HDC screen = GetDC(nullptr);
  const int dpi = GetDeviceCaps(screen, LOGPIXELSY);
  ReleaseDC(nullptr, screen);
  return dpi > 0 ? dpi : kDesignPixelsPerInch;
}

int WindowDpi(HWND window) {
  if (window != nullptr) {
    if (GetDpiForWindowProc proc = DpiForWindowProc()) {
      const UINT dpi = proc(window);
      if (dpi > 0) return static_cast<int>(dpi);
    }
  }
  return SystemDpi();
}

int ScaleToDevice(int design, int dpi) { return MulDiv(design, dpi, kDesignPixelsPerInch); }

RECT ScaleToDevice(const TRect& design, int dpi) {
  return RECT{ScaleToDevice(design.left, dpi), ScaleToDevice(design.top, dpi), ScaleToDevice(design.Right(), dpi),
              ScaleToDevice(design.Bottom(), dpi)};
}

int ScaleToDesign(int device, int dpi) { return (device * kDesignPixelsPerInch + dpi - 1) / dpi; }
