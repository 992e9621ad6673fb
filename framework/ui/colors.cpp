#include "framework/ui/colors.h"

#include <QApplication>
#include <QPalette>
#include <utility>

#include "framework/core/component.h"
#include "framework/core/exceptions.h"

namespace {

struct NamedColor {
  const char* name;
  QRgb rgb;
};

constexpr NamedColor kNamed[] = {
    {"clBlack", 0x000000},  {"clMaroon", 0x800000}, {"clGreen", 0x008000}, {"clOlive", 0x808000},
    {"clNavy", 0x000080},   {"clPurple", 0x800080}, {"clTeal", 0x008080},  {"clGray", 0x808080},
    {"clSilver", 0xC0C0C0}, {"clRed", 0xFF0000},    {"clLime", 0x00FF00},  {"clYellow", 0xFFFF00},
    {"clBlue", 0x0000FF},   {"clFuchsia", 0xFF00FF}, {"clAqua", 0x00FFFF}, {"clWhite", 0xFFFFFF},
};

constexpr std::pair<const char*, QPalette::ColorRole> kSystem[] = {
    {"clBtnFace", QPalette::Button},       {"clWindow", QPalette::Base},
    {"clWindowText", QPalette::WindowText}, {"clBtnText", QPalette::ButtonText},
    {"clHighlight", QPalette::Highlight},   {"clHighlightText", QPalette::HighlightedText},
    {"clBtnShadow", QPalette::Dark},        {"clBtnHighlight", QPalette::Light},
};

}  // namespace

QColor ColorFromValue(const TPropertyValue& value) {
  if (value.kind == TValueKind::Text) {
    QColor color(QString::fromStdString(value.text));
    if (!value.text.starts_with('#') || value.text.size() != 7 || !color.isValid()) {
      throw EReadError("'" + value.text + "' is not a colour of the form #rrggbb");
    }
    return color;
  }
  const std::string& name = ExpectIdentifier(value);
  for (const NamedColor& named : kNamed) {
    if (SameText(named.name, name)) return QColor::fromRgb(named.rgb);
  }
  for (const auto& [systemName, role] : kSystem) {
    if (SameText(systemName, name)) return QApplication::palette().color(role);
  }
  throw EReadError("'" + name + "' is not a colour");
}
