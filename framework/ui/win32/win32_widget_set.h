// The Win32 back end's widget set: it makes the Win32 peers of the controls
// and takes system colours from the platform.
#pragma once

#include "framework/controls/widget_set.h"

class TWin32WidgetSet : public TWidgetSet {
 public:
  std::unique_ptr<TFormPeer> CreateForm(TForm& form) override;
  std::unique_ptr<TPanelPeer> CreatePanel(TSimplePanel& panel) override;
  std::unique_ptr<TTextPeer> CreateText(TControl& control) override;
  std::unique_ptr<TButtonPeer> CreateButton(TButton& button) override;
  std::unique_ptr<TCheckBoxPeer> CreateCheckBox(TCheckBox& box) override;
  std::unique_ptr<TBrowseEditPeer> CreateBrowseEdit(TBrowseEdit& edit) override;
  std::unique_ptr<TPaintBoxPeer> CreatePaintBox(TPaintBox& box) override;
  TRgb ResolveColor(const TColor& color) const override { return ResolveSystemColor(color); }
  int PixelsPerInch() const override;

  static TRgb ResolveSystemColor(const TColor& color);
};
