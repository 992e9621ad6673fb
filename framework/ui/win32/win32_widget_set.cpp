#include "framework/ui/win32/win32_widget_set.h"

#include "framework/ui/win32/win32_dpi.h"
#include "framework/ui/win32/win32_form_peer.h"
#include "framework/ui/win32/win32_peers.h"

std::unique_ptr<TFormPeer> TWin32WidgetSet::CreateForm(TForm& form) { return std::make_unique<Win32FormPeer>(form); }
std::unique_ptr<TPanelPeer> TWin32WidgetSet::CreatePanel(TSimplePanel&) { return NewWin32PanelPeer(); }
std::unique_ptr<TTextPeer> TWin32WidgetSet::CreateText(TControl&) { return NewWin32TextPeer(); }
std::unique_ptr<TButtonPeer> TWin32WidgetSet::CreateButton(TButton& button) { return NewWin32ButtonPeer(button); }
std::unique_ptr<TCheckBoxPeer> TWin32WidgetSet::CreateCheckBox(TCheckBox&) { return NewWin32CheckBoxPeer(); }
std::unique_ptr<TBrowseEditPeer> TWin32WidgetSet::CreateBrowseEdit(TBrowseEdit& edit) {
  return NewWin32BrowseEditPeer(edit);
}
std::unique_ptr<TPaintBoxPeer> TWin32WidgetSet::CreatePaintBox(TPaintBox& box) { return NewWin32PaintBoxPeer(box); }

int TWin32WidgetSet::PixelsPerInch() const { return SystemDpi(); }

TRgb TWin32WidgetSet::ResolveSystemColor(const TColor& color) {
  if (!color.IsSystem()) return color.Rgb();
  int index = COLOR_BTNFACE;
  switch (color.SystemColor()) {
    case TSystemColor::BtnFace: index = COLOR_BTNFACE; break;
    case TSystemColor::Window: index = COLOR_WINDOW; break;
    case TSystemColor::WindowText: index = COLOR_WINDOWTEXT; break;
    case TSystemColor::BtnText: index = COLOR_BTNTEXT; break;
    case TSystemColor::Highlight: index = COLOR_HIGHLIGHT; break;
    case TSystemColor::HighlightText: index = COLOR_HIGHLIGHTTEXT; break;
    case TSystemColor::BtnShadow: index = COLOR_BTNSHADOW; break;
    case TSystemColor::BtnHighlight: index = COLOR_BTNHIGHLIGHT; break;
  }
  const COLORREF value = GetSysColor(index);
  return TRgb{GetRValue(value), GetGValue(value), GetBValue(value)};
}
