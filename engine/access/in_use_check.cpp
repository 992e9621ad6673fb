#include "engine/access/in_use_check.h"

#include <algorithm>
#include <string>
#include <system_error>
#include <vector>

#include "engine/io/file_lock.h"
#include "engine/storage/table_family.h"

namespace px {

namespace fs = std::filesystem;

namespace {

constexpr std::string_view kLockExtension = ".lck";
constexpr std::string_view kNetLockFile = "pdoxusrs.lck";
constexpr std::string_view kDirectoryLockFile = "paradox.lck";

// The directory's own lock files come first, so the message names the one
// that says most about who is using the database.
int rank(const std::string& lowerName) {
  if (lowerName == kNetLockFile) return 0;
  if (lowerName == kDirectoryLockFile) return 1;
  return 2;
}

}  // namespace

Status checkNotInUse(const fs::path& dir) {
  std::error_code ec;
  if (!fs::is_directory(dir, ec))
    return Status(rc::kDirectoryNotFound, "the database directory " + dir.string() + " does not exist");

  std::vector<std::pair<int, std::string>> lockFiles;  // (rank, name as on disk)
  fs::directory_iterator it(dir, ec);
  if (ec) return Status(rc::kReadFailed, dir.string() + ": cannot list the directory: " + ec.message());
  for (; it != fs::directory_iterator(); it.increment(ec)) {
    if (!it->is_regular_file(ec)) continue;
    const std::string name = it->path().filename().string();
    const std::string lower = lowerAscii(name);
    if (std::string_view(lower).ends_with(kLockExtension)) lockFiles.emplace_back(rank(lower), name);
  }
  if (ec) return Status(rc::kReadFailed, dir.string() + ": cannot list the directory: " + ec.message());
  std::sort(lockFiles.begin(), lockFiles.end());

  for (const auto& entry : lockFiles) {
    const std::string& name = entry.second;
    FileLock lock;
    const Status status = lock.acquire(dir / name);
    if (status.code() == rc::kFileInUse)
      return Status(rc::kDatabaseInUse, "The database in " + dir.string() +
                                            " is in use by another program (lock file " + name +
                                            "). Close the clinical application on every workstation, then try again.");
    if (status.code() == rc::kFileNotFound) continue;  // its program ended while we looked
    if (!status.ok()) return status.withContext("checking whether the database in " + dir.string() + " is in use");
  }
  return Status::Ok();
}

}  // namespace px
