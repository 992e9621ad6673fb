#include "framework/ui/qt/qt_control_peer.h"

#include <QPalette>

#include "framework/ui/qt/qt_fonts.h"
#include "framework/ui/qt/qt_widget_set.h"

QColor ToQColor(const TColor& color) {
  const TRgb rgb = TQtWidgetSet::ResolveSystemColor(color);
  return QColor(rgb.r, rgb.g, rgb.b);
}

QFont ToQFont(const TResolvedFont& font) {
  QFont qfont = font.name == "Tahoma" ? TahomaFont() : QFont(QString::fromStdString(font.name));
  if (font.pixelHeight > 0) qfont.setPixelSize(font.pixelHeight);
  qfont.setBold(font.style.count(TFontStyle::fsBold) != 0);
  qfont.setItalic(font.style.count(TFontStyle::fsItalic) != 0);
  qfont.setUnderline(font.style.count(TFontStyle::fsUnderline) != 0);
  qfont.setStrikeOut(font.style.count(TFontStyle::fsStrikeOut) != 0);
  return qfont;
}

TBitmap ToBitmap(const QImage& image) {
  const QImage argb = image.convertToFormat(QImage::Format_ARGB32);
  TBitmap bitmap(argb.width(), argb.height());
  for (int y = 0; y < argb.height(); ++y) {
    const auto* line = reinterpret_cast<const QRgb*>(argb.constScanLine(y));
    for (int x = 0; x < argb.width(); ++x) bitmap.SetPixel(x, y, line[x]);
  }
  return bitmap;
}

QImage ToQImage(const TBitmap& bitmap) {
  QImage image(bitmap.Width(), bitmap.Height(), QImage::Format_ARGB32);
  for (int y = 0; y < bitmap.Height(); ++y) {
    auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
    for (int x = 0; x < bitmap.Width(); ++x) line[x] = bitmap.Pixel(x, y);
  }
  return image;
}

void ApplyTextColor(QWidget& widget, const TColor& color) {
  QPalette palette = widget.palette();
  const QColor text = ToQColor(color);
  for (QPalette::ColorRole role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText}) {
    palette.setColor(role, text);
  }
  widget.setPalette(palette);
}
