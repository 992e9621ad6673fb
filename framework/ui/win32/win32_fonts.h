// The platform fonts the back end draws with, made once for each font and
// resolution and kept for the program's life (a window may hold one until
// it is destroyed).
#pragma once

#include "framework/controls/font.h"
#include "framework/ui/win32/win32_api.h"

// The character height is the design height scaled to `dpi`, rounded down.
HFONT FontFor(const TResolvedFont& font, int dpi);
// The size `text` takes in `font`, in screen pixels; lines break at "\n".
SIZE DeviceTextExtent(HFONT font, std::wstring_view text);
