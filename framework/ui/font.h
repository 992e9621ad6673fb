// Fonts of windows and controls. A TFont holds only the attributes that were
// given; the others come from the parent control, as Qt resolves a widget's
// font against its parent's. Sizes are designed at 96 pixels per inch.
#pragma once

#include <QColor>
#include <QFont>
#include <optional>
#include <set>
#include <string>

enum class TFontStyle { fsBold, fsItalic, fsUnderline, fsStrikeOut };

// The resolution the windows' pixel sizes and fonts are designed at.
inline constexpr int kDesignPixelsPerInch = 96;

class TFont {
 public:
  void SetName(const std::string& name) { name_ = name; }
  // Points at the design resolution: 8 points give a character height of 11 pixels.
  void SetSize(int points);
  // The character height in pixels; a negative value is taken as its magnitude.
  void SetHeight(int pixels);
  void SetStyle(const std::set<TFontStyle>& style) { style_ = style; }
  void SetColor(const QColor& color) { color_ = color; }

  std::optional<int> PixelHeight() const { return pixelHeight_; }
  const std::optional<QColor>& Color() const { return color_; }
  bool Empty() const { return !name_ && !pixelHeight_ && !style_ && !color_; }

  // A QFont with only the given attributes set, to be resolved against the parent's.
  QFont ToQFont() const;

 private:
  std::optional<std::string> name_;
  std::optional<int> pixelHeight_;
  std::optional<std::set<TFontStyle>> style_;
  std::optional<QColor> color_;
};

// "Tahoma" 8 points (11 pixels), registered from the fonts-wine package when
// the system does not know it; a sans-serif of like metrics where neither is
// there. Needs the QGuiApplication.
QFont DefaultFont();
// Whether DefaultFont() found Tahoma itself.
bool TahomaAvailable();
