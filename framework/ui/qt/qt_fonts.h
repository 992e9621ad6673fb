// Tahoma for the Qt back end: registered from the fonts-wine package when the
// system does not know it; a sans-serif of like metrics where neither is
// there. Needs the QGuiApplication.
#pragma once

#include <QFont>

QFont TahomaFont();
// Whether TahomaFont() found Tahoma itself.
bool TahomaAvailable();
