#include "tableaccess/blob_field.h"

std::string TBlobField::AsString() const {
  px::Value value;
  if (!GetData(value)) return {};
  if (const auto* bytes = std::get_if<px::Bytes>(&value)) return std::string(bytes->begin(), bytes->end());
  if (const auto* text = std::get_if<std::string>(&value)) return *text;
  return {};
}

void TBlobField::SetAsString(const std::string& text) {
  if (text.empty()) {
    Clear();
    return;
  }
  SetData(px::Value(px::Bytes(text.begin(), text.end())));
}

std::string TMemoField::AsString() const {
  px::Value value;
  if (!GetData(value)) return {};
  if (const auto* text = std::get_if<std::string>(&value)) return *text;
  return {};
}

void TMemoField::SetAsString(const std::string& text) {
  if (text.empty()) {
    Clear();
    return;
  }
  SetData(px::Value(text));
}
