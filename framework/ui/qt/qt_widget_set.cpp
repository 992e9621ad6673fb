#include "framework/ui/qt/qt_widget_set.h"

#include <QApplication>
#include <QGuiApplication>
#include <QPalette>
#include <QScreen>

#include "framework/ui/qt/qt_form_peer.h"
#include "framework/ui/qt/qt_peers.h"

std::unique_ptr<TFormPeer> TQtWidgetSet::CreateForm(TForm& form) { return std::make_unique<QtFormPeer>(form); }
std::unique_ptr<TPanelPeer> TQtWidgetSet::CreatePanel(TSimplePanel&) { return NewQtPanelPeer(); }
std::unique_ptr<TTextPeer> TQtWidgetSet::CreateText(TControl&) { return NewQtTextPeer(); }
std::unique_ptr<TButtonPeer> TQtWidgetSet::CreateButton(TButton& button) { return NewQtButtonPeer(button); }
std::unique_ptr<TCheckBoxPeer> TQtWidgetSet::CreateCheckBox(TCheckBox&) { return NewQtCheckBoxPeer(); }
std::unique_ptr<TBrowseEditPeer> TQtWidgetSet::CreateBrowseEdit(TBrowseEdit& edit) { return NewQtBrowseEditPeer(edit); }
std::unique_ptr<TPaintBoxPeer> TQtWidgetSet::CreatePaintBox(TPaintBox& box) { return NewQtPaintBoxPeer(box); }

int TQtWidgetSet::PixelsPerInch() const {
  const QScreen* screen = QGuiApplication::primaryScreen();
  return screen != nullptr ? qRound(screen->logicalDotsPerInch()) : kDesignPixelsPerInch;
}

TRgb TQtWidgetSet::ResolveSystemColor(const TColor& color) {
  if (!color.IsSystem()) return color.Rgb();
  QPalette::ColorRole role = QPalette::Button;
  switch (color.SystemColor()) {
    case TSystemColor::BtnFace: role = QPalette::Button; break;
    case TSystemColor::Window: role = QPalette::Base; break;
    case TSystemColor::WindowText: role = QPalette::WindowText; break;
    case TSystemColor::BtnText: role = QPalette::ButtonText; break;
    case TSystemColor::Highlight: role = QPalette::Highlight; break;
    case TSystemColor::HighlightText: role = QPalette::HighlightedText; break;
    case TSystemColor::BtnShadow: role = QPalette::Dark; break;
    case TSystemColor::BtnHighlight: role = QPalette::Light; break;
  }
  const QColor qcolor = QApplication::palette().color(role);
  return TRgb{static_cast<std::uint8_t>(qcolor.red()), static_cast<std::uint8_t>(qcolor.green()),
              static_cast<std::uint8_t>(qcolor.blue())};
}
