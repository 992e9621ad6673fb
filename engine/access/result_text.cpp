#include "engine/access/result_text.h"

#include <utility>

namespace px {

std::string_view categoryText(std::uint8_t category) {
  switch (category) {
    case category::kNone: return "Unexpected result";
    case category::kSystem: return "Unexpected operating system error";
    case category::kNotFound: return "Unexpected lookup failure";
    case category::kDataCorrupt: return "Unexpected data corruption";
    case category::kIO: return "Unexpected input/output error";
    case category::kLimit: return "Unexpected resource limit";
    case category::kIntegrity: return "Unexpected integrity violation";
    case category::kInvalidRequest: return "Unexpected invalid request";
    case category::kLockConflict: return "Unexpected lock conflict";
    case category::kSecurity: return "Unexpected security error";
    case category::kInvocation: return "Unexpected engine call";
    case category::kCapability: return "Unexpected unsupported operation";
    case category::kConfig: return "Unexpected configuration error";
    case category::kOther: return "Unexpected engine error";
    case category::kCompatibility: return "Unexpected compatibility error";
    case category::kBlob: return "Unexpected blob error";
    default: return "Unknown engine error";
  }
}

std::string_view resultText(ResultCode code) {
  switch (code) {
    case rc::kOk: return "Successful completion";

    case rc::kFileNotFound: return "File or directory does not exist";
    case rc::kSystemOther: return "Operating system error";
    case rc::kLibraryNotLoaded: return "Engine library could not be loaded";
    case rc::kDirectoryNotFound: return "Directory does not exist";

    case rc::kAtBeginning: return "At beginning of table";
    case rc::kAtEnd: return "At end of table";
    case rc::kRecordNotFound: return "Record not found";
    case rc::kIndexNotFound: return "Index not found";

    case rc::kHeaderCorrupt: return "Table header is corrupt";
    case rc::kFileCorrupt: return "Table file is corrupt";
    case rc::kIndexCorrupt: return "Index is corrupt";
    case rc::kBlobCorrupt: return "Blob file is corrupt";
    case rc::kBlockChainCorrupt: return "Chain of table blocks is broken";

    case rc::kReadFailed: return "Could not read from the file";
    case rc::kWriteFailed: return "Could not write to the file";
    case rc::kDiskFull: return "Disk is full";

    case rc::kNoMemory: return "Not enough memory";
    case rc::kRecordTooLarge: return "Record is too large";
    case rc::kTableFull: return "Table is full";

    case rc::kKeyViolation: return "Key violation";
    case rc::kRequiredFieldMissing: return "Field value required";

    case rc::kInvalidParameter: return "Invalid parameter";
    case rc::kInvalidFieldNumber: return "Invalid field number";
    case rc::kInvalidValue: return "Invalid field value";
    case rc::kNotSupported: return "Operation not supported";
    case rc::kEntryPointMissing: return "Engine entry point is missing";

    case rc::kTableLocked: return "Table is locked";
    case rc::kFileInUse: return "File is locked by another program";
    case rc::kRecordLocked: return "Record is locked by another user";
    case rc::kDatabaseInUse: return "Database is in use by another program";

    case rc::kEncrypted: return "Table is encrypted";
    case rc::kInsufficientRights: return "Insufficient table rights";

    case rc::kNotInitialized: return "Engine not initialized";
    case rc::kAlreadyInitialized: return "Engine already initialized";
    case rc::kTableReadOnly: return "Table is read only";

    case rc::kUnsupportedFieldType: return "Field type is not supported";
    case rc::kUnsupportedVersion: return "Table version is not supported";
    case rc::kUnsupportedCodePage: return "Code page is not supported";
    case rc::kUnsupportedSortOrder: return "Sort order is not supported";
    case rc::kUnsupportedDriver: return "Driver is not supported; only Paradox tables can be opened";

    case rc::kUnknownAlias: return "Unknown database alias";
    case rc::kConfigUnreadable: return "Configuration file cannot be read";
    case rc::kConfigInvalid: return "Configuration file contains an invalid line";

    case rc::kIndexOutOfDate: return "Index is out of date";

    case rc::kBlobModified: return "Blob has been modified";

    default: return categoryText(categoryOf(code));
  }
}

void ErrorStack::push(ErrorEntry entry) { entries_.push_back(std::move(entry)); }

void ErrorStack::push(ResultCode code, std::int32_t nativeError, std::string text) {
  entries_.push_back(ErrorEntry{code, nativeError, std::move(text)});
}

void ErrorStack::push(const Status& status) {
  if (!status.ok()) entries_.push_back(ErrorEntry{status.code(), 0, status.message()});
}

void ErrorStack::pushOutermost(ErrorEntry entry) { entries_.insert(entries_.begin(), std::move(entry)); }

bool ErrorStack::entry(std::size_t number, ErrorEntry& out) const {
  if (number == 0 || number > entries_.size()) {
    out = ErrorEntry{};
    return false;
  }
  out = entries_[number - 1];
  return true;
}

ResultCode ErrorStack::codeAt(std::size_t number) const {
  if (number == 0 || number > entries_.size()) return rc::kOk;
  return entries_[number - 1].code;
}

}  // namespace px
