// Design pixels (96 per inch) to the screen's pixels and back. The back end
// scales every bound and font height by dpi / 96 when it places a native
// window, so the window keeps its proportions on a screen of 120 or 144 dpi;
// a rectangle is scaled at its edges, so that neighbours stay neighbours.
// Sizes measured on the screen come back rounded up, so that what a text
// needs is never cut.
#pragma once

#include "framework/controls/geometry.h"
#include "framework/ui/win32/win32_api.h"

// The resolution of the screen the window is on (the system's for none).
int WindowDpi(HWND window);
int SystemDpi();

int ScaleToDevice(int design, int dpi);
RECT ScaleToDevice(const TRect& design, int dpi);
int ScaleToDesign(int device, int dpi);
