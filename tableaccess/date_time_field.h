// Date and date-and-time fields. Their texts are "DD.MM.YYYY" and
// "DD.MM.YYYY HH:MM:SS", the forms the practice's windows show.
#pragma once

#include "tableaccess/field.h"

class TDateField : public TField {
 public:
  explicit TDateField(TComponent* owner = nullptr) : TField(owner, TFieldType::ftDate) {}
  std::string_view ClassName() const override { return "TDateField"; }
  std::string AsString() const override;
  // The empty text clears; anything but a valid date is an EConvertError.
  void SetAsString(const std::string& text) override;
};

class TDateTimeField : public TField {
 public:
  explicit TDateTimeField(TComponent* owner = nullptr) : TField(owner, TFieldType::ftDateTime) {}
  std::string_view ClassName() const override { return "TDateTimeField"; }
  std::string AsString() const override;
  // "DD.MM.YYYY" or "DD.MM.YYYY HH:MM[:SS]"; the empty text clears.
  void SetAsString(const std::string& text) override;
};
