// Pictures between the component set and the platform: a TBitmap drawn into
// a device context, and what a window shows read back as a TBitmap.
#pragma once

#include "framework/controls/bitmap.h"
#include "framework/ui/win32/win32_api.h"

// Draws `bitmap` at (x, y), one screen pixel for each of its pixels.
void DrawBitmap(HDC dc, int x, int y, const TBitmap& bitmap);
// What the client area of `window` shows, its child windows included: read
// from the screen when the window is visible, else painted for the purpose.
TBitmap GrabWindow(HWND window);
