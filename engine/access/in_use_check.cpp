#include "engine/access/in_use_check.h"

#include <algorithm>
#include <string>
#include <system_error>
#include <tuple>
#include <vector>

#include "engine/io/file_lock.h"
#include "engine/io/path_text.h"
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

  // (rank, name as on disk, path): the path as listed, since a name need not
  // survive a trip through text on every system.
  std::vector<std::tuple<int, std::string, fs::path>> lockFiles;
  fs::directory_iterator it(dir, ec);
  if (ec) return Status(rc::kReadFailed, dir.string() + ": cannot list the directory: " + ec.message());
  for (; it != fs::directory_iterator(); it.increment(ec)) {
    if (!it->is_regular_file(ec)) continue;
    const std::string name = pathText(it->path().filename());
    const std::string lower = lowerAscii(name);
    if (std::string_view(lower).ends_with(kLockExtension)) lockFiles.emplace_back(rank(lower), name, it->path());
  }
  if (ec) return Status(rc::kReadFailed, dir.string() + ": cannot list the directory: " + ec.message());
  std::sort(lockFiles.begin(), lockFiles.end());

  for (const auto& [order, name, path] : lockFiles) {
    FileLock lock;
    const Status status = lock.acquire(path);
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
