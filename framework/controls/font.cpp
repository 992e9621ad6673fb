#include "framework/controls/font.h"

#include <cmath>
#include <cstdlib>

namespace {

constexpr int kDefaultPoints = 8;
constexpr double kPointsPerInch = 72.0;

}  // namespace

int PixelsForPoints(int points) {
  return static_cast<int>(std::lround(points * static_cast<double>(kDesignPixelsPerInch) / kPointsPerInch));
}

void TFont::SetSize(int points) { pixelHeight_ = PixelsForPoints(points); }

void TFont::SetHeight(int pixels) { pixelHeight_ = std::abs(pixels); }

TResolvedFont TFont::ResolvedOver(const TResolvedFont& base) const {
  TResolvedFont font = base;
  if (name_) font.name = *name_;
  if (pixelHeight_ && *pixelHeight_ > 0) font.pixelHeight = *pixelHeight_;
  if (style_) font.style = *style_;
  if (color_) font.color = *color_;
  return font;
}

TResolvedFont DefaultFont() {
  return TResolvedFont{"Tahoma", PixelsForPoints(kDefaultPoints), {}, TColor::System(TSystemColor::WindowText)};
}
