// An image in memory: rows of 0xAARRGGBB pixels, top row first. The progress
// bars draw into one before it goes to the screen, and the back ends give
// what a window or control shows as one.
#pragma once

#include <cstdint>
#include <vector>

#include "framework/controls/geometry.h"

class TBitmap {
 public:
  TBitmap() = default;
  TBitmap(int width, int height, std::uint32_t fill = 0xFF000000u);

  int Width() const { return width_; }
  int Height() const { return height_; }
  bool Empty() const { return width_ == 0 || height_ == 0; }
  // REQUIRES: the point lies inside.
  std::uint32_t Pixel(int x, int y) const { return pixels_[static_cast<std::size_t>(y) * width_ + x]; }
  void SetPixel(int x, int y, std::uint32_t pixel) { pixels_[static_cast<std::size_t>(y) * width_ + x] = pixel; }
  // Fills the part of `rect` that lies inside.
  void Fill(const TRect& rect, std::uint32_t pixel);
  const std::vector<std::uint32_t>& Pixels() const { return pixels_; }
  std::vector<std::uint32_t>& Pixels() { return pixels_; }

 private:
  int width_ = 0;
  int height_ = 0;
  std::vector<std::uint32_t> pixels_;
};
