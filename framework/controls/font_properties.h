// The font properties of windows and controls in descriptions: Font.Name,
// Font.Size (points), Font.Height (pixels), Font.Style (a set of fsBold,
// fsItalic, fsUnderline, fsStrikeOut) and Font.Color. T has Font() and
// FontChanged().
#pragma once

#include <string>

#include "framework/controls/color.h"
#include "framework/controls/font.h"
#include "framework/core/class_registry.h"

void SetFontStyleFromValue(TFont& font, const TPropertyValue& value);

template <class T>
void RegisterFontProperties(TClassBuilder<T>& builder) {
  builder
      .Text("Font.Name",
            [](T& c, const std::string& v) {
              c.Font().SetName(v);
              c.FontChanged();
            })
      .Integer("Font.Size",
               [](T& c, int v) {
                 c.Font().SetSize(v);
                 c.FontChanged();
               })
      .Integer("Font.Height",
               [](T& c, int v) {
                 c.Font().SetHeight(v);
                 c.FontChanged();
               })
      .Value("Font.Style",
             [](T& c, const TPropertyValue& v) {
               SetFontStyleFromValue(c.Font(), v);
               c.FontChanged();
             })
      .Value("Font.Color", [](T& c, const TPropertyValue& v) {
        c.Font().SetColor(ColorFromValue(v));
        c.FontChanged();
      });
}
