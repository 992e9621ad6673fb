#include "tableaccess/batch_move.h"

#include <climits>
#include <memory>

#include "engine/access/batch_move.h"
#include "engine/access/database.h"
#include "engine/access/table_creator.h"
#include "tableaccess/database.h"
#include "tableaccess/db_errors.h"
#include "tableaccess/engine_binding.h"
#include "tableaccess/session.h"
#include "tableaccess/table.h"

namespace {

// The 1-based number of the table field `name` of an open view's cursor.
int FieldNumberOf(const TEngineDataSet& view, const std::string& name) {
  const px::WritableTable& table = view.Handle()->table();
  const auto& fields = table.fields();
  for (std::size_t i = 0; i < fields.size(); ++i) {
    if (SameText(binding::ToProgram(table, fields[i].name), name)) return static_cast<int>(i + 1);
  }
  DatabaseErrorFmt("Field '%s' not found", name, &view);
}

struct Mapping {
  std::string destination, source;
};

Mapping ParseMapping(const std::string& line) {
  const std::size_t equals = line.find('=');
  if (equals == std::string::npos) return {line, line};
  return {line.substr(0, equals), line.substr(equals + 1, 255)};
}

}  // namespace

TBatchMove::TBatchMove(TComponent* owner) : TComponent(owner) {}

TBatchMove::~TBatchMove() { BeginDestroy(); }

// Both references ask for removal notices: a view of another module may go
// first, and a reference to it must not dangle.
void TBatchMove::SetDestination(TTable* destination) {
  if (destination_ != nullptr && destination_ != source_) RemoveFreeNotification(destination_);
  destination_ = destination;
  if (destination_ != nullptr) FreeNotification(destination_);
}

void TBatchMove::SetSource(TEngineDataSet* source) {
  if (source_ != nullptr && source_ != destination_) RemoveFreeNotification(source_);
  source_ = source;
  if (source_ != nullptr) FreeNotification(source_);
}

void TBatchMove::Notification(TComponent* component, TOperation operation) {
  if (operation != TOperation::opRemove) return;
  if (component == source_) source_ = nullptr;
  if (component == destination_) destination_ = nullptr;
}

std::vector<int> TBatchMove::FieldMap() const {
  std::vector<int> map(destination_->Handle()->table().fields().size(), 0);
  for (const std::string& line : mappings_) {
    const Mapping mapping = ParseMapping(line);
    const int target = FieldNumberOf(*destination_, mapping.destination);
    map[static_cast<std::size_t>(target - 1)] = FieldNumberOf(*source_, mapping.source);
  }
  return map;
}

void TBatchMove::CreateDestinationTable() {
  // The new table takes the source's fields (or the mapped ones), no key and no index.
  const px::WritableTable& from = source_->Handle()->table();
  px::TableDefinition definition;
  definition.codePage = from.table().codePageNumber();
  auto addField = [&definition, &from](const px::FieldDescriptor& field, const std::string& name) {
    definition.fields.push_back(px::FieldDefinition{name, field.type, field.sizeByte});
    (void)from;
  };
  if (mappings_.empty()) {
    for (const px::FieldDescriptor& field : from.fields()) addField(field, binding::ToProgram(from, field.name));
  } else {
    for (const std::string& line : mappings_) {
      const Mapping mapping = ParseMapping(line);
      const int number = FieldNumberOf(*source_, mapping.source);
      addField(from.fields()[static_cast<std::size_t>(number - 1)], mapping.destination);
    }
  }
  TDatabase* database = Session().OpenDatabase(destination_->DatabaseName(), destination_->Owner());
  px::Database& handle = *database->Handle();
  const std::string stem = std::filesystem::path(destination_->TableName()).stem().string();
  const px::Status status = px::createTable(handle.fileSystem(), handle.directory(), stem, definition);
  Session().CloseDatabase(database);
  binding::Check(status);
}

void TBatchMove::Execute() {
  if (destination_ == nullptr || source_ == nullptr || destination_ == source_) {
    DatabaseError("Invalid batch move parameters", this);
  }
  const bool sourceWasActive = source_->Active();
  const bool destinationWasActive = destination_->Active();
  source_->DisableControls();
  destination_->DisableControls();
  std::exception_ptr failure;
  try {
    source_->Open();
    source_->CheckBrowseMode();
    source_->UpdateCursorPos();
    TBatchMode mode = mode_;
    if (mode == TBatchMode::batCopy) {
      destination_->Close();
      CreateDestinationTable();
      mode = TBatchMode::batAppend;
    }
    destination_->Open();
    destination_->CheckBrowseMode();
    px::BatchMoveOptions options;
    if (!mappings_.empty()) options.fieldMap = FieldMap();
    if (recordCount_ > 0) {
      source_->UpdateCursorPos();
      options.recordCount = recordCount_;
      movedCount_ = recordCount_;
    } else {
      source_->Handle()->moveToBegin();
      options.recordCount = 0;
      movedCount_ = INT32_MAX;
    }
    source_->CursorPosChanged();
    options.abortOnKeyViolation = abortOnKeyViol_;
    options.abortOnProblem = abortOnProblem_;
    try {
      if (mode != TBatchMode::batAppend) {
        binding::Check(px::Status(px::rc::kNotSupported, "the engine moves records in append mode only"));
      }
      px::BatchMoveCounts counts;
      const px::Status status = px::batchMoveAppend(*source_->Handle(), *destination_->Handle(), options, counts);
      movedCount_ = static_cast<std::int32_t>(counts.moved);
      keyViolCount_ = static_cast<std::int32_t>(counts.keyViolations);
      problemCount_ = static_cast<std::int32_t>(counts.problems);
      changedCount_ = static_cast<std::int32_t>(counts.changed);
      binding::Check(status);
    } catch (...) {
      failure = std::current_exception();
    }
    if (destinationWasActive) {
      try {
        destination_->GoFirst();
      } catch (...) {
        if (!failure) failure = std::current_exception();
      }
    }
  } catch (...) {
    if (!failure) failure = std::current_exception();
  }
  try {
    if (!destinationWasActive) destination_->Close();
    if (!sourceWasActive) source_->Close();
  } catch (...) {
    if (!failure) failure = std::current_exception();
  }
  destination_->EnableControls();
  source_->EnableControls();
  if (failure) std::rethrow_exception(failure);
}
