#include "framework/ui/qt/qt_fonts.h"

#include <QFontDatabase>
#include <QString>
#include <QStringList>
#include <filesystem>

namespace {

// Where Debian's fonts-wine puts its Tahoma, and where a local copy may stand.
constexpr const char* kTahomaFiles[] = {
    "/usr/share/wine/fonts/tahoma.ttf",
    "/usr/share/wine/fonts/tahomabd.ttf",
    "/usr/share/fonts/truetype/wine/tahoma.ttf",
    "/usr/share/fonts/truetype/wine/tahomabd.ttf",
};

bool RegisterTahoma() {
  if (QFontDatabase::hasFamily("Tahoma")) return true;
  for (const char* file : kTahomaFiles) {
    if (std::filesystem::exists(file)) QFontDatabase::addApplicationFont(QString::fromUtf8(file));
  }
  return QFontDatabase::hasFamily("Tahoma");
}

}  // namespace

bool TahomaAvailable() {
  static const bool available = RegisterTahoma();
  return available;
}

QFont TahomaFont() {
  QFont font;
  if (TahomaAvailable()) {
    font.setFamily("Tahoma");
  } else {
    // Tahoma's metrics class: a narrow humanist sans-serif.
    font.setFamilies({"DejaVu Sans Condensed", "Liberation Sans", "DejaVu Sans"});
    font.setStyleHint(QFont::SansSerif);
  }
  return font;
}
