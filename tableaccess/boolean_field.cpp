#include "tableaccess/boolean_field.h"

#include "framework/core/exceptions.h"

bool TBooleanField::AsBoolean() const {
  px::Value value;
  if (!GetData(value)) return false;
  const auto* flag = std::get_if<bool>(&value);
  return flag != nullptr && *flag;
}

std::string TBooleanField::AsString() const {
  if (IsBlank()) return {};
  return AsBoolean() ? "True" : "False";
}

void TBooleanField::SetAsString(const std::string& text) {
  if (text.empty()) {
    Clear();
  } else if (SameText(text, "True")) {
    SetAsBoolean(true);
  } else if (SameText(text, "False")) {
    SetAsBoolean(false);
  } else {
    throw EConvertError("'" + text + "' is not a valid boolean value");
  }
}
