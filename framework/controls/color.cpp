#include "framework/controls/color.h"

#include <cctype>
#include <utility>

#include "framework/core/component.h"
#include "framework/core/exceptions.h"

namespace {

struct NamedColor {
  const char* name;
  TColor color;
};

constexpr NamedColor kNamed[] = {
    {"clBlack", TColor::Rgb(0x00, 0x00, 0x00)},   {"clMaroon", TColor::Rgb(0x80, 0x00, 0x00)},
    {"clGreen", TColor::Rgb(0x00, 0x80, 0x00)},   {"clOlive", TColor::Rgb(0x80, 0x80, 0x00)},
    {"clNavy", TColor::Rgb(0x00, 0x00, 0x80)},    {"clPurple", TColor::Rgb(0x80, 0x00, 0x80)},
    {"clTeal", TColor::Rgb(0x00, 0x80, 0x80)},    {"clGray", TColor::Rgb(0x80, 0x80, 0x80)},
    {"clSilver", TColor::Rgb(0xC0, 0xC0, 0xC0)},  {"clRed", TColor::Rgb(0xFF, 0x00, 0x00)},
    {"clLime", TColor::Rgb(0x00, 0xFF, 0x00)},    {"clYellow", TColor::Rgb(0xFF, 0xFF, 0x00)},
    {"clBlue", TColor::Rgb(0x00, 0x00, 0xFF)},    {"clFuchsia", TColor::Rgb(0xFF, 0x00, 0xFF)},
    {"clAqua", TColor::Rgb(0x00, 0xFF, 0xFF)},    {"clWhite", TColor::Rgb(0xFF, 0xFF, 0xFF)},
    {"clBtnFace", TColor::System(TSystemColor::BtnFace)},
    {"clWindow", TColor::System(TSystemColor::Window)},
    {"clWindowText", TColor::System(TSystemColor::WindowText)},
    {"clBtnText", TColor::System(TSystemColor::BtnText)},
    {"clHighlight", TColor::System(TSystemColor::Highlight)},
    {"clHighlightText", TColor::System(TSystemColor::HighlightText)},
    {"clBtnShadow", TColor::System(TSystemColor::BtnShadow)},
    {"clBtnHighlight", TColor::System(TSystemColor::BtnHighlight)},
};

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

}  // namespace

TColor ColorFromValue(const TPropertyValue& value) {
  if (value.kind == TValueKind::Text) {
    const std::string& text = value.text;
    int digits[6] = {};
    bool valid = text.size() == 7 && text[0] == '#';
    for (int i = 0; valid && i < 6; ++i) {
      digits[i] = HexDigit(text[1 + i]);
      valid = digits[i] >= 0;
    }
    if (!valid) throw EReadError("'" + text + "' is not a colour of the form #rrggbb");
    auto byte = [&](int i) { return static_cast<std::uint8_t>(digits[i] * 16 + digits[i + 1]); };
    return TColor::Rgb(byte(0), byte(2), byte(4));
  }
  const std::string& name = ExpectIdentifier(value);
  for (const NamedColor& named : kNamed) {
    if (SameText(named.name, name)) return named.color;
  }
  throw EReadError("'" + name + "' is not a colour");
}
