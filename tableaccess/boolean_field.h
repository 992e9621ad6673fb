// A logical field; its texts are "True" and "False".
#pragma once

#include "tableaccess/field.h"

class TBooleanField : public TField {
 public:
  explicit TBooleanField(TComponent* owner = nullptr) : TField(owner, TFieldType::ftBoolean) {}
  std::string_view ClassName() const override { return "TBooleanField"; }

  bool AsBoolean() const;
  void SetAsBoolean(bool value) { SetData(px::Value(value)); }
  std::string AsString() const override;
  // "True" or "False" without regard to case; the empty text clears.
  void SetAsString(const std::string& text) override;
};
