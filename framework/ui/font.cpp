#include "framework/ui/font.h"

#include <QFontDatabase>
#include <QFontInfo>
#include <QString>
#include <cmath>
#include <filesystem>

namespace {

// Where Debian's fonts-wine puts its Tahoma, and where a local copy may stand.
constexpr const char* kTahomaFiles[] = {
    "/usr/share/wine/fonts/tahoma.ttf",
    "/usr/share/wine/fonts/tahomabd.ttf",
    "/usr/share/fonts/truetype/wine/tahoma.ttf",
    "/usr/share/fonts/truetype/wine/tahomabd.ttf",
};

constexpr int kDefaultPoints = 8;

bool RegisterTahoma() {
  if (QFontDatabase::hasFamily("Tahoma")) return true;
  for (const char* file : kTahomaFiles) {
    if (std::filesystem::exists(file)) QFontDatabase::addApplicationFont(QString::fromUtf8(file));
  }
  return QFontDatabase::hasFamily("Tahoma");
}

int PixelsForPoints(int points) {
  return static_cast<int>(std::lround(points * static_cast<double>(kDesignPixelsPerInch) / 72.0));
}

}  // namespace

void TFont::SetSize(int points) { pixelHeight_ = PixelsForPoints(points); }

void TFont::SetHeight(int pixels) { pixelHeight_ = std::abs(pixels); }

QFont TFont::ToQFont() const {
  QFont font;
  if (name_) font.setFamily(QString::fromStdString(*name_));
  if (pixelHeight_ && *pixelHeight_ > 0) font.setPixelSize(*pixelHeight_);
  if (style_) {
    font.setBold(style_->count(TFontStyle::fsBold) != 0);
    font.setItalic(style_->count(TFontStyle::fsItalic) != 0);
    font.setUnderline(style_->count(TFontStyle::fsUnderline) != 0);
    font.setStrikeOut(style_->count(TFontStyle::fsStrikeOut) != 0);
  }
  return font;
}

bool TahomaAvailable() {
  static const bool available = RegisterTahoma();
  return available;
}

QFont DefaultFont() {
  QFont font;
  if (TahomaAvailable()) {
    font.setFamily("Tahoma");
  } else {
    // Tahoma's metrics class: a narrow humanist sans-serif.
    font.setFamilies({"DejaVu Sans Condensed", "Liberation Sans", "DejaVu Sans"});
    font.setStyleHint(QFont::SansSerif);
  }
  font.setPixelSize(PixelsForPoints(kDefaultPoints));
  return font;
}
