#include "tableaccess/master_data_link.h"

#include <algorithm>

#include "tableaccess/data_set.h"
#include "tableaccess/data_source.h"

namespace {

std::string TrimBlanks(std::string_view text) {
  while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
  while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
  return std::string(text);
}

}  // namespace

TMasterDataLink::TMasterDataLink(TDataSet* detail) : detail_(detail) {}

void TMasterDataLink::SetFieldNames(const std::string& names) {
  if (names == fieldNames_) return;
  fieldNames_ = names;
  ActiveChanged();
}

void TMasterDataLink::ResolveFields() {
  fields_.clear();
  if (!Active()) return;
  std::string_view rest = fieldNames_;
  std::vector<TField*> resolved;
  while (!rest.empty()) {
    const std::size_t cut = rest.find(';');
    const std::string name = TrimBlanks(rest.substr(0, cut));
    rest = cut == std::string_view::npos ? std::string_view() : rest.substr(cut + 1);
    if (name.empty()) continue;
    resolved.push_back(DataSet()->FieldByName(name));
  }
  fields_ = std::move(resolved);
}

void TMasterDataLink::ActiveChanged() {
  ResolveFields();
  if (detail_ == nullptr || !detail_->Active()) return;
  if (Active() && !fields_.empty()) {
    if (OnMasterChange) OnMasterChange();
  } else if (OnMasterDisable) {
    OnMasterDisable();
  }
}

void TMasterDataLink::RecordChanged(TField* field) {
  if (fields_.empty() || detail_ == nullptr || !detail_->Active()) return;
  if (DataSource()->State() == TDataSetState::dsSetKey) return;
  if (field != nullptr && std::find(fields_.begin(), fields_.end(), field) == fields_.end()) return;
  if (OnMasterChange) OnMasterChange();
}

void TMasterDataLink::CheckBrowseMode() {
  if (detail_ != nullptr && detail_->Active()) detail_->CheckBrowseMode();
}
