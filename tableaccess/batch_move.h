// TBatchMove: moves the records that a source view's cursor yields into the
// table of a destination view in one engine operation. The source's filter
// and index decide which records come and in what order; data-bound controls
// of both views are disabled around the move and see the result once.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "framework/core/component.h"

class TEngineDataSet;
class TTable;

enum class TBatchMode : std::uint8_t { batAppend, batUpdate, batAppendUpdate, batDelete, batCopy };

class TBatchMove : public TComponent {
 public:
  explicit TBatchMove(TComponent* owner = nullptr);
  ~TBatchMove() override;
  std::string_view ClassName() const override { return "TBatchMove"; }

  TTable* Destination() const { return destination_; }
  void SetDestination(TTable* destination);
  TEngineDataSet* Source() const { return source_; }
  void SetSource(TEngineDataSet* source);
  TBatchMode Mode() const { return mode_; }
  void SetMode(TBatchMode mode) { mode_ = mode; }
  bool AbortOnKeyViol() const { return abortOnKeyViol_; }
  void SetAbortOnKeyViol(bool abort) { abortOnKeyViol_ = abort; }
  bool AbortOnProblem() const { return abortOnProblem_; }
  void SetAbortOnProblem(bool abort) { abortOnProblem_ = abort; }
  bool Transliterate() const { return transliterate_; }
  void SetTransliterate(bool transliterate) { transliterate_ = transliterate; }
  std::int32_t RecordCount() const { return recordCount_; }
  void SetRecordCount(std::int32_t count) { recordCount_ = count; }
  std::int32_t CommitCount() const { return commitCount_; }
  void SetCommitCount(std::int32_t count) { commitCount_ = count; }
  const std::vector<std::string>& Mappings() const { return mappings_; }
  void SetMappings(const std::vector<std::string>& lines) { mappings_ = lines; }
  const std::string& KeyViolTableName() const { return keyViolTableName_; }
  void SetKeyViolTableName(const std::string& name) { keyViolTableName_ = name; }
  const std::string& ProblemTableName() const { return problemTableName_; }
  void SetProblemTableName(const std::string& name) { problemTableName_ = name; }
  const std::string& ChangedTableName() const { return changedTableName_; }
  void SetChangedTableName(const std::string& name) { changedTableName_ = name; }

  // The counts of the last execution.
  std::int32_t MovedCount() const { return movedCount_; }
  std::int32_t KeyViolCount() const { return keyViolCount_; }
  std::int32_t ProblemCount() const { return problemCount_; }
  std::int32_t ChangedCount() const { return changedCount_; }

  void Execute();

 protected:
  void Notification(TComponent* component, TOperation operation) override;

 private:
  // Builds the engine's field map from the mapping lines: per destination
  // field, the 1-based number of its source field.
  std::vector<int> FieldMap() const;
  void CreateDestinationTable();

  TTable* destination_ = nullptr;
  TEngineDataSet* source_ = nullptr;
  TBatchMode mode_ = TBatchMode::batAppend;
  bool abortOnKeyViol_ = true, abortOnProblem_ = true, transliterate_ = true;
  std::int32_t recordCount_ = 0, commitCount_ = 0;
  std::int32_t movedCount_ = 0, keyViolCount_ = 0, problemCount_ = 0, changedCount_ = 0;
  std::vector<std::string> mappings_;
  std::string keyViolTableName_, problemTableName_, changedTableName_;
};
