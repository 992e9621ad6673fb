// The Win32 peers of the controls, made by the Win32 widget set.
#pragma once

#include <memory>

#include "framework/controls/widget_set.h"

std::unique_ptr<TPanelPeer> NewWin32PanelPeer();
std::unique_ptr<TTextPeer> NewWin32TextPeer();
std::unique_ptr<TButtonPeer> NewWin32ButtonPeer(TButton& button);
std::unique_ptr<TCheckBoxPeer> NewWin32CheckBoxPeer();
std::unique_ptr<TBrowseEditPeer> NewWin32BrowseEditPeer(TBrowseEdit& edit);
std::unique_ptr<TPaintBoxPeer> NewWin32PaintBoxPeer(TPaintBox& box);
