// Colours as descriptions write them: a named colour ("clNavy"), a system
// colour ("clBtnFace"), which the back end takes from the platform when it
// draws, or a text "#rrggbb".
#pragma once

#include <cstdint>

#include "framework/core/property_value.h"

enum class TSystemColor { BtnFace, Window, WindowText, BtnText, Highlight, HighlightText, BtnShadow, BtnHighlight };

struct TRgb {
  std::uint8_t r = 0;
  std::uint8_t g = 0;
  std::uint8_t b = 0;
  bool operator==(const TRgb&) const = default;
  // 0xFFrrggbb, the pixel format of TBitmap.
  std::uint32_t Pixel() const { return 0xFF000000u | (r << 16) | (g << 8) | b; }
};

class TColor {
 public:
  constexpr TColor() = default;
  static constexpr TColor Rgb(std::uint8_t r, std::uint8_t g, std::uint8_t b) {
    TColor color;
    color.rgb_ = {r, g, b};
    return color;
  }
  static constexpr TColor System(TSystemColor system) {
    TColor color;
    color.isSystem_ = true;
    color.system_ = system;
    return color;
  }

  bool IsSystem() const { return isSystem_; }
  // REQUIRES: IsSystem().
  TSystemColor SystemColor() const { return system_; }
  // REQUIRES: !IsSystem().
  TRgb Rgb() const { return rgb_; }
  bool operator==(const TColor&) const = default;

 private:
  bool isSystem_ = false;
  TSystemColor system_ = TSystemColor::BtnFace;
  TRgb rgb_;
};

// Throws EReadError for an unknown name or a malformed text.
TColor ColorFromValue(const TPropertyValue& value);
