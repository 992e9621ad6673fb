// Fonts of windows and controls. A TFont holds only the attributes that were
// given; the others come from the parent control, and a window's from the
// default font: "Tahoma", 8 points (11 pixels), regular, in the window-text
// colour. Sizes are designed at 96 pixels per inch; a back end scales them
// with the screen.
#pragma once

#include <optional>
#include <set>
#include <string>

#include "framework/controls/color.h"

enum class TFontStyle { fsBold, fsItalic, fsUnderline, fsStrikeOut };

// The resolution the windows' pixel sizes and fonts are designed at.
inline constexpr int kDesignPixelsPerInch = 96;

// A font with every attribute given, as a back end draws it.
struct TResolvedFont {
  std::string name;
  int pixelHeight = 0;  // character height at 96 dpi
  std::set<TFontStyle> style;
  TColor color;
  bool Bold() const { return style.count(TFontStyle::fsBold) != 0; }
  bool operator==(const TResolvedFont&) const = default;
};

class TFont {
 public:
  void SetName(const std::string& name) { name_ = name; }
  // Points at the design resolution: 8 points give a character height of 11 pixels.
  void SetSize(int points);
  // The character height in pixels; a negative value is taken as its magnitude.
  void SetHeight(int pixels);
  void SetStyle(const std::set<TFontStyle>& style) { style_ = style; }
  void SetColor(const TColor& color) { color_ = color; }

  std::optional<int> PixelHeight() const { return pixelHeight_; }
  const std::optional<TColor>& Color() const { return color_; }
  bool Empty() const { return !name_ && !pixelHeight_ && !style_ && !color_; }

  // This font's attributes, the others taken from `base`.
  TResolvedFont ResolvedOver(const TResolvedFont& base) const;

 private:
  std::optional<std::string> name_;
  std::optional<int> pixelHeight_;
  std::optional<std::set<TFontStyle>> style_;
  std::optional<TColor> color_;
};

// "Tahoma", 11 pixels, regular, clWindowText.
TResolvedFont DefaultFont();
int PixelsForPoints(int points);
