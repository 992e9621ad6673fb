// A floating-point field (Paradox Number and Currency).
#pragma once

#include "tableaccess/field.h"

class TFloatField : public TField {
 public:
  explicit TFloatField(TComponent* owner = nullptr, TFieldType type = TFieldType::ftFloat) : TField(owner, type) {}
  std::string_view ClassName() const override { return "TFloatField"; }

  double AsFloat() const;
  void SetAsFloat(double value);
  // Up to 15 significant digits, "." as the decimal point; empty for no value.
  std::string AsString() const override;
  void SetAsString(const std::string& text) override;
  // Rounded to the nearest whole number.
  std::int32_t AsInteger() const override;
  void SetAsInteger(std::int32_t value) override { SetAsFloat(value); }
};
