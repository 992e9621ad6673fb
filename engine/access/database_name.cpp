#include "engine/access/database_name.h"

#include <array>

#include "engine/io/path_text.h"
#include "engine/storage/table_family.h"

namespace px {

namespace {

// Where '/' is the system's separator, a backslash in a name stands for it
// (names written for Windows, "C:\DATA\OLD\"); where '\\' is, both are.
constexpr bool kBackslashIsNative = std::filesystem::path::preferred_separator == L'\\';

bool isSeparator(char c) { return c == '\\' || c == '/'; }

// Length of the part of `name` that must survive stripping trailing
// separators: "/", "\", "C:\" or "C:/".
std::size_t rootLength(std::string_view name) {
  if (name.size() >= 3 && name[1] == ':' && isSeparator(name[2])) return 3;
  if (!name.empty() && isSeparator(name[0])) return 1;
  return 0;
}

struct ForeignDriver {
  std::string_view name;
  std::string_view kind;
};

// The table kinds that callers may name besides Paradox; this engine opens
// none of them.
constexpr std::array<ForeignDriver, 5> kForeignDrivers{{
    {"dbase", "dBASE"},
    {"foxpro", "FoxPro"},
    {"asciidrv", "ASCII text"},
    {"ascii", "ASCII text"},
    {"msaccess", "Access"},
}};

}  // namespace

bool isDirectoryName(std::string_view name) {
  if (name.empty()) return true;
  // Alias names hold none of these.
  return name.find_first_of(":\\/") != std::string_view::npos;
}

std::filesystem::path directoryFromName(std::string_view name) {
  if (name.empty()) return ".";
  std::string text(name);
  if (!kBackslashIsNative)
    for (char& c : text)
      if (c == '\\') c = '/';
  const std::size_t keep = rootLength(text);
  while (text.size() > keep && isSeparator(text.back())) text.pop_back();
  if (text.empty()) return ".";
  return pathFromUtf8(text);
}

std::string tableFileName(std::string_view table, std::string_view driver, Status& status) {
  status = Status::Ok();
  const std::string driverLower = lowerAscii(driver);
  if (!driverLower.empty() && driverLower != "paradox") {
    for (const auto& foreign : kForeignDrivers) {
      if (driverLower == foreign.name) {
        status = Status(rc::kUnsupportedDriver,
                        "table '" + std::string(table) + "': " + std::string(foreign.kind) +
                            " tables (driver " + std::string(driver) +
                            ") are not supported; this engine opens only Paradox tables");
        return {};
      }
    }
    status = Status(rc::kUnsupportedDriver, "table '" + std::string(table) + "': unknown driver '" +
                                                std::string(driver) + "'; this engine opens only Paradox tables");
    return {};
  }

  std::string name(table);
  while (!name.empty() && (name.back() == ' ' || name.back() == '.')) name.pop_back();
  if (name.empty()) {
    status = Status(rc::kInvalidParameter, "no table name given");
    return {};
  }

  const std::size_t lastSeparator = name.find_last_of("\\/:");
  const std::size_t dot = name.rfind('.');
  const bool hasExtension = dot != std::string::npos && (lastSeparator == std::string::npos || dot > lastSeparator);
  if (!hasExtension) return name + ".db";

  // A default driver decides by the extension, as the table views do; the
  // extensions of other table kinds must not be opened as Paradox.
  const std::string extension = lowerAscii(std::string_view(name).substr(dot));
  if (driverLower.empty() && (extension == ".dbf" || extension == ".txt")) {
    status = Status(rc::kUnsupportedDriver, "table '" + name + "': " +
                                                (extension == ".dbf" ? "dBASE/FoxPro" : "ASCII text") +
                                                " tables are not supported; this engine opens only Paradox tables");
    return {};
  }
  return name;
}

}  // namespace px
