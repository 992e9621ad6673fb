#include "framework/ui/win32/win32_fonts.h"

#include <map>
#include <tuple>

#include "framework/ui/win32/win32_dpi.h"

namespace {

using FontKey = std::tuple<std::string, int, bool, bool, bool, bool>;

}  // namespace

HFONT FontFor(const TResolvedFont& font, int dpi) {
  static std::map<FontKey, HFONT> fonts;
  // Rounded down, so that a text grows no faster than the box it sits in:
  // a glyph's width grows somewhat faster than its height at small sizes.
  const int height = font.pixelHeight * dpi / kDesignPixelsPerInch;
  const FontKey key{font.name,
                    height,
                    font.style.count(TFontStyle::fsBold) != 0,
                    font.style.count(TFontStyle::fsItalic) != 0,
                    font.style.count(TFontStyle::fsUnderline) != 0,
                    font.style.count(TFontStyle::fsStrikeOut) != 0};
  auto it = fonts.find(key);
  if (it != fonts.end()) return it->second;
  LOGFONTW log{};
  // A negative height asks for the character height, as the design gives it.
  log.lfHeight = -height;
  log.lfWeight = std::get<2>(key) ? FW_BOLD : FW_NORMAL;
  log.lfItalic = std::get<3>(key);
  log.lfUnderline = std::get<4>(key);
  log.lfStrikeOut = std::get<5>(key);
  log.lfCharSet = DEFAULT_CHARSET;
  log.lfQuality = DEFAULT_QUALITY;
  const std::wstring name = Widen(font.name);
  lstrcpynW(log.lfFaceName, name.c_str(), LF_FACESIZE);
  HFONT created = CreateFontIndirectW(&log);
  fonts.emplace(key, created);
  return created;
}

SIZE DeviceTextExtent(HFONT font, std::wstring_view text) {
  HDC dc = GetDC(nullptr);
  HGDIOBJ old = SelectObject(dc, font);
  RECT rect{0, 0, 0, 0};
  const std::wstring shown(text);
  DrawTextW(dc, shown.c_str(), static_cast<int>(shown.size()), &rect, DT_CALCRECT | DT_NOPREFIX | DT_LEFT | DT_TOP);
  if (shown.empty()) {
    TEXTMETRICW metrics;
    GetTextMetricsW(dc, &metrics);
    rect.bottom = metrics.tmHeight;
  }
  SelectObject(dc, old);
  ReleaseDC(nullptr, dc);
  return SIZE{rect.right - rect.left, rect.bottom - rect.top};
}
