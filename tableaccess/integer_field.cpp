#include "tableaccess/integer_field.h"

#include <cstdio>

#include "engine/format/integer_text.h"
#include "tableaccess/db_errors.h"

std::string FormatG(double value) {
  char text[64];
  std::snprintf(text, sizeof text, "%g", value);
  return text;
}

std::string TIntegerField::AsString() const {
  px::Value value;
  if (!GetData(value)) return {};
  if (const auto* number = std::get_if<std::int32_t>(&value)) return std::to_string(*number);
  return {};
}

void TIntegerField::SetAsString(const std::string& text) {
  if (text.empty()) {
    Clear();
    return;
  }
  std::int32_t value = 0;
  if (!px::parseIntegerText(text, value)) throw EConvertError("'" + text + "' is not a valid integer value");
  SetAsInteger(value);
}

std::int32_t TIntegerField::AsInteger() const {
  px::Value value;
  if (!GetData(value)) return 0;
  if (const auto* number = std::get_if<std::int32_t>(&value)) return *number;
  return 0;
}

void TIntegerField::SetAsInteger(std::int32_t value) {
  double low = LowestValue(), high = HighestValue();
  if (minValue_ != 0 || maxValue_ != 0) {
    low = minValue_;
    high = maxValue_;
  }
  if (value < low || value > high) {
    DatabaseError(FormatG(value) + " is not a valid value for field '" + DisplayName() + "'. The allowed range is " +
                  FormatG(low) + " to " + FormatG(high));
  }
  SetData(px::Value(value));
}
