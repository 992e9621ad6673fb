#include "framework/controls/font_properties.h"

#include "framework/core/component.h"
#include "framework/core/exceptions.h"

void SetFontStyleFromValue(TFont& font, const TPropertyValue& value) {
  std::set<TFontStyle> style;
  for (const std::string& member : ExpectSet(value)) {
    if (SameText(member, "fsBold")) {
      style.insert(TFontStyle::fsBold);
    } else if (SameText(member, "fsItalic")) {
      style.insert(TFontStyle::fsItalic);
    } else if (SameText(member, "fsUnderline")) {
      style.insert(TFontStyle::fsUnderline);
    } else if (SameText(member, "fsStrikeOut")) {
      style.insert(TFontStyle::fsStrikeOut);
    } else {
      throw EReadError("'" + member + "' is none of fsBold, fsItalic, fsUnderline, fsStrikeOut");
    }
  }
  font.SetStyle(style);
}
