// A text field. Keys of the practice's tables are text fields that hold whole
// numbers, so AsInteger reads a text by the integer rule and writes the
// decimal text.
#pragma once

#include "tableaccess/field.h"

class TStringField : public TField {
 public:
  explicit TStringField(TComponent* owner = nullptr);
  std::string_view ClassName() const override { return "TStringField"; }

  bool Transliterate() const { return transliterate_; }
  void SetTransliterate(bool transliterate) { transliterate_ = transliterate; }

  std::string AsString() const override;
  // Cut to Size characters without error (a Size of 8192 or more takes the text whole).
  void SetAsString(const std::string& text) override;
  // EConvertError "'%s' is not a valid integer value" for a text that is not one.
  std::int32_t AsInteger() const override;
  void SetAsInteger(std::int32_t value) override;

 private:
  bool transliterate_ = true;
};

// The first `characters` characters of a UTF-8 text (all of it when shorter).
std::string CutToCharacters(const std::string& text, int characters);
