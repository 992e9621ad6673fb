#include "tableaccess/float_field.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "framework/core/exceptions.h"

double TFloatField::AsFloat() const {
  px::Value value;
  if (!GetData(value)) return 0;
  if (const auto* number = std::get_if<double>(&value)) return *number;
  return 0;
}

void TFloatField::SetAsFloat(double value) { SetData(px::Value(value)); }

std::string TFloatField::AsString() const {
  if (IsBlank()) return {};
  char text[64];
  std::snprintf(text, sizeof text, "%.15g", AsFloat());
  return text;
}

void TFloatField::SetAsString(const std::string& text) {
  if (text.empty()) {
    Clear();
    return;
  }
  char* end = nullptr;
  const double value = std::strtod(text.c_str(), &end);
  if (end == text.c_str() || *end != '\0' || !std::isfinite(value)) {
    throw EConvertError("'" + text + "' is not a valid floating point value");
  }
  SetAsFloat(value);
}

std::int32_t TFloatField::AsInteger() const {
  const double value = std::round(AsFloat());
  if (value < INT32_MIN || value > INT32_MAX) throw EConvertError("'" + AsString() + "' is not a valid integer value");
  return static_cast<std::int32_t>(value);
}
