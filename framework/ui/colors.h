// Colours as descriptions write them: a named colour ("clNavy", or a system
// colour such as "clBtnFace", taken from the application's palette) or a text
// "#rrggbb".
#pragma once

#include <QColor>

#include "framework/core/property_value.h"

// Throws EReadError for an unknown name or a malformed text.
QColor ColorFromValue(const TPropertyValue& value);
