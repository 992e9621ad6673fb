// Large-object fields: TBlobField holds bytes, TMemoField text. AsString
// gives the bytes as they are (a blob) or the text (a memo).
#pragma once

#include "tableaccess/field.h"

class TBlobField : public TField {
 public:
  explicit TBlobField(TComponent* owner = nullptr, TFieldType type = TFieldType::ftBlob) : TField(owner, type) {}
  std::string_view ClassName() const override { return "TBlobField"; }
  std::string AsString() const override;
  void SetAsString(const std::string& text) override;
};

class TMemoField : public TBlobField {
 public:
  explicit TMemoField(TComponent* owner = nullptr) : TBlobField(owner, TFieldType::ftMemo) {}
  std::string_view ClassName() const override { return "TMemoField"; }
  std::string AsString() const override;
  void SetAsString(const std::string& text) override;
};
