#include "framework/ui/win32/win32_bitmap.h"

#include <cstring>

namespace {

BITMAPINFO TopDownInfo(int width, int height) {
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;  // rows from the top
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  return info;
}

}  // namespace

void DrawBitmap(HDC dc, int x, int y, const TBitmap& bitmap) {
  if (bitmap.Empty()) return;
  BITMAPINFO info = TopDownInfo(bitmap.Width(), bitmap.Height());
  // 0xAARRGGBB in memory is blue, green, red, alpha: the DIB's own order.
  SetDIBitsToDevice(dc, x, y, bitmap.Width(), bitmap.Height(), 0, 0, 0, bitmap.Height(), bitmap.Pixels().data(),
                    &info, DIB_RGB_COLORS);
}

TBitmap GrabWindow(HWND window) {
  RECT client;
  GetClientRect(window, &client);
  const int width = client.right, height = client.bottom;
  if (width <= 0 || height <= 0) return TBitmap();
  HDC screen = GetDC(nullptr);
  HDC memory = CreateCompatibleDC(screen);
  BITMAPINFO info = TopDownInfo(width, height);
  void* bits = nullptr;
  HBITMAP dib = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  HGDIOBJ old = SelectObject(memory, dib);
  if (IsWindowVisible(window)) {
    RedrawWindow(window, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
    HDC source = GetDC(window);
    BitBlt(memory, 0, 0, width, height, source, 0, 0, SRCCOPY);
    ReleaseDC(window, source);
  } else {
    SendMessageW(window, WM_PRINT, reinterpret_cast<WPARAM>(memory), PRF_CLIENT | PRF_ERASEBKGND | PRF_CHILDREN);
  }
  GdiFlush();
  TBitmap bitmap(width, height);
  std::memcpy(bitmap.Pixels().data(), bits, static_cast<std::size_t>(width) * height * 4);
  for (std::uint32_t& pixel : bitmap.Pixels()) pixel |= 0xFF000000u;
  SelectObject(memory, old);
  DeleteObject(dib);
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);
  return bitmap;
}
