// The table check: finds the family, reads the .DB without stopping at the
// first problem, then hands the usable parts to the index and blob checks.
#include "engine/storage/table_check.h"

#include <algorithm>

#include "engine/format/field_codec.h"
#include "engine/format/value_text.h"
#include "engine/storage/table_check_internal.h"

namespace px {

namespace check {

Findings Findings::softened(std::string why) const {
  Findings view(*out_);
  view.soft_ = true;
  view.why_ = std::move(why);
  return view;
}

void Findings::add(CheckFinding::Severity severity, const std::string& file, std::string text) {
  if (soft_ && severity == CheckFinding::Severity::Error) {
    severity = CheckFinding::Severity::Warning;
    text += " (" + why_ + ")";
  }
  out_->push_back({severity, file, std::move(text)});
}

void Findings::error(const std::string& file, std::string text) {
  add(CheckFinding::Severity::Error, file, std::move(text));
}

void Findings::warning(const std::string& file, std::string text) {
  add(CheckFinding::Severity::Warning, file, std::move(text));
}

void Tally::add(std::string text) {
  if (count_++ < kShown) findings_.add(severity_, file_, std::move(text));
}

Tally::~Tally() {
  if (count_ > kShown) findings_.add(severity_, file_, std::to_string(count_ - kShown) + " " + rest_);
}

std::string fieldsText(const std::vector<FieldDescriptor>& fields, std::size_t count, const std::uint8_t* record) {
  std::string out;
  for (std::size_t i = 0; i < count && i < fields.size(); ++i) {
    const FieldDescriptor& f = fields[i];
    const std::uint8_t* p = record + f.offset;
    if (i) out += ", ";
    if (codec::isBlank(p, static_cast<std::size_t>(f.size))) {
      out += "(blank)";
    } else if (f.type == FieldType::Alpha) {
      // Raw bytes: the finding must not depend on a code-page table.
      out += '"';
      for (int k = 0; k < f.size && p[k] != 0; ++k) {
        if (p[k] >= 0x20 && p[k] < 0x7F && p[k] != '"' && p[k] != '\\') {
          out += static_cast<char>(p[k]);
        } else {
          static const char kHex[] = "0123456789abcdef";
          out += "\\x";
          out += kHex[p[k] >> 4];
          out += kHex[p[k] & 0xF];
        }
      }
      out += '"';
    } else {
      Value v;
      out += codec::decodeFixed(f.type, f.sizeByte, p, v).ok() ? valueToText(f.type, v) : "(undecodable)";
    }
  }
  return out;
}

namespace {

void checkValidityFile(FileSystem& fs, const TableContext& table, Findings& findings) {
  if (!table.family.validityFile) return;
  const std::string name = table.family.validityFile->filename().string();
  Bytes bytes;
  if (Status s = fs.readFile(*table.family.validityFile, bytes); !s.ok()) {
    findings.error(name, "cannot be read: " + s.message());
    return;
  }
  if (bytes.empty()) {
    findings.error(name, "is empty; its first byte must repeat the table's family stamp");
    return;
  }
  if (bytes[0] != table.db.header.familyStamp)
    findings.error(name, "byte 0 is " + std::to_string(bytes[0]) + ", the family stamp (byte 2E) of " + table.db.name +
                             " is " + std::to_string(table.db.header.familyStamp) +
                             "; the original engine takes the .VAL for another table's");
}

}  // namespace

}  // namespace check

Status checkTable(FileSystem& fs, const std::filesystem::path& dir, const std::string& table,
                  const CheckOptions& options, std::vector<CheckFinding>& out) {
  using namespace check;
  TableContext t;
  t.options = options;
  PX_RETURN_IF_ERROR(locateFamily(fs, dir, table, t.family));
  Bytes bytes;
  PX_RETURN_IF_ERROR(fs.readFile(t.family.dataFile, bytes));
  Findings findings(out);
  if (!parseBlockFile(t.family.dataFile, std::move(bytes), t.db, findings)) return Status::Ok();
  const TableHeader& h = t.db.header;
  if (!h.isDataFile() || h.isSecondaryData()) {
    findings.error(t.db.name, "is an index file, not a table");
    return Status::Ok();
  }
  if (h.encrypted) {
    findings.error(t.db.name, "encrypted, not checked");
    return Status::Ok();
  }

  checkRebuildFlags(t.db, findings);
  checkBlocks(t.db, findings, true);
  t.collation = Collation::find(h.sortOrderName, h.sortOrderCode);
  if (!t.collation && h.isKeyed())
    findings.warning(t.db.name, "sort order '" + h.sortOrderName +
                                    "' is unknown; key order and index order are "
                                    "not checked");

  checkKeyOrder(t, findings);
  checkPrimaryIndex(fs, t, findings);
  for (const SecondaryIndexFiles& files : t.family.secondaryIndexes) checkSecondaryIndex(fs, t, files, findings);
  if (h.hasBlobFields()) checkBlobs(fs, t, findings);
  checkValidityFile(fs, t, findings);
  return Status::Ok();
}

std::size_t TableCheckResult::errors() const {
  return static_cast<std::size_t>(std::count_if(findings.begin(), findings.end(), [](const CheckFinding& f) {
    return f.severity == CheckFinding::Severity::Error;
  }));
}

std::size_t TableCheckResult::warnings() const { return findings.size() - errors(); }

Status checkDirectory(FileSystem& fs, const std::filesystem::path& dir, const CheckOptions& options,
                      std::vector<TableCheckResult>& results) {
  std::vector<std::string> names;
  PX_RETURN_IF_ERROR(fs.listDirectory(dir, names));
  std::sort(names.begin(), names.end());
  for (const std::string& name : names) {
    if (lowerAscii(std::filesystem::path(name).extension().string()) != ".db") continue;
    TableCheckResult result;
    result.table = name;
    result.status = checkTable(fs, dir, name, options, result.findings);
    results.push_back(std::move(result));
  }
  return Status::Ok();
}

}  // namespace px
