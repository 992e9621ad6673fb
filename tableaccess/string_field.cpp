#include "tableaccess/string_field.h"

#include "engine/format/integer_text.h"
#include "framework/core/exceptions.h"

namespace {

// Text fields of this size or more take any text whole.
constexpr int kUncutSize = 8192;

}  // namespace

std::string CutToCharacters(const std::string& text, int characters) {
  int seen = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if ((static_cast<unsigned char>(text[i]) & 0xC0) == 0x80) continue;  // a continuation byte
    if (seen == characters) return text.substr(0, i);
    ++seen;
  }
  return text;
}

TStringField::TStringField(TComponent* owner) : TField(owner, TFieldType::ftString) { SetSize(20); }

std::string TStringField::AsString() const {
  px::Value value;
  if (!GetData(value, transliterate_)) return {};
  const auto* text = std::get_if<std::string>(&value);
  if (text == nullptr) return {};
  if (!transliterate_) return text->substr(0, static_cast<std::size_t>(Size()));
  return CutToCharacters(*text, Size());
}

void TStringField::SetAsString(const std::string& text) {
  std::string cut;
  if (Size() >= kUncutSize) {
    cut = text;
  } else if (transliterate_) {
    cut = CutToCharacters(text, Size());
  } else {
    cut = text.substr(0, static_cast<std::size_t>(Size()));
  }
  SetData(px::Value(std::move(cut)), transliterate_);
}

std::int32_t TStringField::AsInteger() const {
  const std::string text = AsString();
  std::int32_t value = 0;
  // The whole text must be the number: an embedded NUL is a trailing character.
  if (text.find('\0') != std::string::npos || !px::parseIntegerText(text, value)) {
    throw EConvertError("'" + text + "' is not a valid integer value");
  }
  return value;
}

void TStringField::SetAsInteger(std::int32_t value) { SetAsString(std::to_string(value)); }
