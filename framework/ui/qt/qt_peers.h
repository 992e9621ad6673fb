// The Qt peers of the controls, made by the Qt widget set.
#pragma once

#include <memory>

#include "framework/controls/widget_set.h"

std::unique_ptr<TPanelPeer> NewQtPanelPeer();
std::unique_ptr<TTextPeer> NewQtTextPeer();
std::unique_ptr<TButtonPeer> NewQtButtonPeer(TButton& button);
std::unique_ptr<TCheckBoxPeer> NewQtCheckBoxPeer();
std::unique_ptr<TBrowseEditPeer> NewQtBrowseEditPeer(TBrowseEdit& edit);
std::unique_ptr<TPaintBoxPeer> NewQtPaintBoxPeer(TPaintBox& box);
