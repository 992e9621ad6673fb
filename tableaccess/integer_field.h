// Whole-number fields: 32-bit (TIntegerField) and 16-bit (TSmallintField).
// No value reads as 0 and as the empty text.
#pragma once

#include "tableaccess/field.h"

class TIntegerField : public TField {
 public:
  explicit TIntegerField(TComponent* owner = nullptr) : TIntegerField(owner, TFieldType::ftInteger) {}
  std::string_view ClassName() const override { return "TIntegerField"; }

  // Both 0: no limits.
  std::int32_t MinValue() const { return minValue_; }
  void SetMinValue(std::int32_t value) { minValue_ = value; }
  std::int32_t MaxValue() const { return maxValue_; }
  void SetMaxValue(std::int32_t value) { maxValue_ = value; }

  std::string AsString() const override;
  void SetAsString(const std::string& text) override;
  std::int32_t AsInteger() const override;
  // Fails with "%g is not a valid value for field '%s'. The allowed range is
  // %g to %g" outside MinValue..MaxValue (or the type's range).
  void SetAsInteger(std::int32_t value) override;

 protected:
  TIntegerField(TComponent* owner, TFieldType type) : TField(owner, type) {}
  virtual std::int32_t LowestValue() const { return INT32_MIN; }
  virtual std::int32_t HighestValue() const { return INT32_MAX; }

 private:
  std::int32_t minValue_ = 0, maxValue_ = 0;
};

class TSmallintField : public TIntegerField {
 public:
  explicit TSmallintField(TComponent* owner = nullptr) : TIntegerField(owner, TFieldType::ftSmallint) {}
  std::string_view ClassName() const override { return "TSmallintField"; }

 protected:
  std::int32_t LowestValue() const override { return -32768; }
  std::int32_t HighestValue() const override { return 32767; }
};

// "%g" of a number, as the range message writes it.
std::string FormatG(double value);
