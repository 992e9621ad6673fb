// The table view's engine half: the engine cursor with its record size and
// whether it allows changes, the fetches, locks and writes that the view's
// operations use, the expression filter, and the key buffer of a range.
#pragma once

#include <memory>
#include <optional>

#include "engine/access/cursor.h"
#include "tableaccess/data_set.h"

class TEngineDataSet : public TDataSet {
 public:
  explicit TEngineDataSet(TComponent* owner = nullptr);
  ~TEngineDataSet() override;
  std::string_view ClassName() const override { return "TEngineDataSet"; }

  // The engine cursor while open; null otherwise.
  px::Cursor* Handle() const { return cursor_.get(); }

  bool GetFieldValue(const TField& field, px::Value& value, bool translate) const override;
  void SetFieldValue(TField& field, const px::Value& value, bool translate) override;

 protected:
  GetResult GetRecord(RecordBuffer& buffer, GetMode mode, bool check) override;
  void InternalFirst() override;
  void InternalLast() override;
  void InternalSetToRecord(const RecordBuffer& buffer) override;
  void InternalEdit(RecordBuffer& buffer) override;
  void InternalInitRecord(RecordBuffer& buffer) override;
  void InternalPost(RecordBuffer& buffer, bool inserting) override;
  void InternalCancel(bool editing) override;
  bool EngineAllowsChanges() const override { return cursor_ != nullptr && cursor_->changesAllowed(); }
  std::size_t RecordSize() const override { return cursor_ ? cursor_->recordSize() : 0; }

  // The engine filter of the view's text and options; fails when the text
  // does not parse or names an unknown field.
  px::Cursor::Filter BuildFilter();
  // Builds the filter of the view's text and adds it to the cursor; with
  // Filtered it is activated (once retried: dropped, built again, activated).
  void AddFilterToCursor();
  void InstallFilter(px::Cursor::Filter filter);
  void DropFilterFromCursor();
  void ReplaceFilter() override;
  void SwitchFilter(bool active) override;

  // Sets the engine range to records whose first `fields` index fields equal
  // those of `key`; false when that range is already in force.
  bool ApplyRange(const px::Bytes& key, std::size_t fields);
  // Drops a range in force; false when there was none.
  bool DropRange();

  std::unique_ptr<px::Cursor> cursor_;
  int filterHandle_ = 0;

 private:
  std::optional<std::pair<px::Bytes, std::size_t>> range_;
};
