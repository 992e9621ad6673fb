// The engine's configuration: which directory each database alias stands for.
// It is a text file of sections; only [aliases] is read, one "name = directory"
// per line:
//
//   ; the practice's active database
//   [aliases]
//   winvelda5 = /srv/praxis/daten
//
// The file is the first of these that is there:
//   1. the file that PXENGINE_CONFIG names (it must exist when the variable is set);
//   2. pxengine.conf beside the program, so that a copy on a stick brings its own;
//   3. the user's file, pxengine/pxengine.conf below %APPDATA% on Windows,
//      below $XDG_CONFIG_HOME or ~/.config elsewhere.
// None at all is an empty configuration. An EngineConfig is a plain value,
// read once and then only looked up.
#pragma once

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/status.h"

namespace px {

class EngineConfig {
 public:
  struct Alias {
    std::string name;                 // as written
    std::filesystem::path directory;  // relative ones are taken from the file's directory
    int line = 0;
  };

  // Looks up an environment variable; px::environmentVariable in the real program.
  using Environment = std::function<std::optional<std::string>(const char* name)>;

  // Finds and reads the configuration through the process's environment and
  // the program's directory.
  static Status load(EngineConfig& out);
  // The same with a given environment; an empty `programDirectory` skips the
  // file beside the program.
  static Status load(EngineConfig& out, const Environment& environment,
                     const std::filesystem::path& programDirectory = {});

  // Reads the named file, which must exist.
  static Status loadFile(const std::filesystem::path& file, EngineConfig& out);
  // Reads configuration text; `source` names it in messages and anchors
  // relative directories.
  static Status parse(std::string_view text, const std::filesystem::path& source, EngineConfig& out);

  // Where the user's file is looked for; empty when the environment names no
  // home at all.
  static std::filesystem::path defaultLocation(const Environment& environment);

  // The directory of `alias` (letter case does not matter). Fails with
  // rc::kUnknownAlias when the alias is not configured and with
  // rc::kDirectoryNotFound when its directory does not exist.
  Status resolveAlias(std::string_view alias, std::filesystem::path& dir) const;
  bool hasAlias(std::string_view alias) const;

  const std::vector<Alias>& aliases() const { return aliases_; }
  // The file that was read, or looked for and not found; empty if none.
  const std::filesystem::path& source() const { return source_; }

 private:
  const Alias* find(std::string_view alias) const;

  std::filesystem::path source_;
  std::vector<Alias> aliases_;
};

}  // namespace px
