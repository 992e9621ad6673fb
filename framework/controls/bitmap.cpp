#include "framework/controls/bitmap.h"

#include <algorithm>

TBitmap::TBitmap(int width, int height, std::uint32_t fill)
    : width_(std::max(0, width)),
      height_(std::max(0, height)),
      pixels_(static_cast<std::size_t>(width_) * height_, fill) {}

void TBitmap::Fill(const TRect& rect, std::uint32_t pixel) {
  const int left = std::max(0, rect.left), right = std::min(width_, rect.Right());
  const int top = std::max(0, rect.top), bottom = std::min(height_, rect.Bottom());
  for (int y = top; y < bottom; ++y) {
    std::fill(pixels_.begin() + static_cast<std::ptrdiff_t>(y) * width_ + left,
              pixels_.begin() + static_cast<std::ptrdiff_t>(y) * width_ + right, pixel);
  }
}
