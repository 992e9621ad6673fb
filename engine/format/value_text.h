// Readable text for decoded values, as the tools print them: dates as
// YYYY-MM-DD, numbers in their shortest exact form, blobs by their size.
#pragma once

#include <string>

#include "engine/format/field_type.h"
#include "engine/format/value.h"

namespace px {

// Empty for a blank value.
std::string valueToText(FieldType type, const Value& value);

// Quotes a CSV cell when it holds a comma, a quote or a line break.
std::string csvCell(const std::string& text);

}  // namespace px
