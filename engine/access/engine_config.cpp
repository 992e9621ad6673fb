#include "engine/access/engine_config.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <system_error>

#include "engine/io/path_text.h"
#include "engine/io/platform.h"
#include "engine/storage/table_family.h"

namespace px {

namespace fs = std::filesystem;

namespace {

constexpr const char* kConfigVariable = "PXENGINE_CONFIG";
constexpr const char* kFileName = "pxengine.conf";
constexpr const char* kUserDirectory = "pxengine";
constexpr std::string_view kAliasSection = "aliases";
constexpr std::string_view kUtf8ByteOrderMark = "\xEF\xBB\xBF";

std::string_view trim(std::string_view text) {
  const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\f' || c == '\v'; };
  while (!text.empty() && blank(text.front())) text.remove_prefix(1);
  while (!text.empty() && blank(text.back())) text.remove_suffix(1);
  return text;
}

bool sameName(std::string_view a, std::string_view b) { return lowerAscii(a) == lowerAscii(b); }

std::optional<std::string> nonEmpty(const EngineConfig::Environment& environment, const char* name) {
  auto value = environment(name);
  if (value && value->empty()) return std::nullopt;
  return value;
}

std::string lineRef(const fs::path& source, int line) {
  return pathText(source) + ", line " + std::to_string(line);
}

// `fromVariable`: the file was named by PXENGINE_CONFIG, so that is what to fix.
Status readText(const fs::path& file, bool fromVariable, std::string& text) {
  const std::string label = "configuration file " + pathText(file) +
                            (fromVariable ? std::string(" (named by ") + kConfigVariable + ")" : std::string());
  std::error_code ec;
  const fs::file_status st = fs::status(file, ec);
  if (!fs::exists(st))
    return Status(rc::kConfigUnreadable,
                  label + " does not exist; " +
                      (fromVariable ? std::string("create it or correct ") + kConfigVariable : "create it"));
  if (!fs::is_regular_file(st))
    return Status(rc::kConfigUnreadable, label + " is not a regular file; set " + kConfigVariable +
                                             " to the configuration file itself");
  std::ifstream in(file, std::ios::binary);
  if (!in) {
    const int err = errno;
    return Status(rc::kConfigUnreadable,
                  label + " cannot be opened (" + std::strerror(err) + "); check that you may read it");
  }
  text.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  if (in.bad()) return Status(rc::kConfigUnreadable, label + " could not be read to its end; check the disk");
  return Status::Ok();
}

Status loadNamed(const fs::path& file, bool fromVariable, EngineConfig& out) {
  std::string text;
  PX_RETURN_IF_ERROR(readText(file, fromVariable, text));
  return EngineConfig::parse(text, file, out);
}

}  // namespace

Status EngineConfig::load(EngineConfig& out) { return load(out, environmentVariable, executableDirectory()); }

Status EngineConfig::load(EngineConfig& out, const Environment& environment, const fs::path& programDirectory) {
  out = EngineConfig{};
  if (auto named = nonEmpty(environment, kConfigVariable))
    return loadNamed(pathFromUtf8(*named), true, out);

  // The first file that exists is the configuration; none is an empty one.
  std::error_code ec;
  if (!programDirectory.empty() && fs::exists(programDirectory / kFileName, ec))
    return loadNamed(programDirectory / kFileName, false, out);
  const fs::path file = defaultLocation(environment);
  out.source_ = file;
  if (file.empty() || !fs::exists(file, ec)) return Status::Ok();
  return loadNamed(file, false, out);
}

Status EngineConfig::loadFile(const fs::path& file, EngineConfig& out) {
  out = EngineConfig{};
  return loadNamed(file, false, out);
}

fs::path EngineConfig::defaultLocation(const Environment& environment) {
  const fs::path base = userConfigDirectory(environment);
  return base.empty() ? fs::path() : base / kUserDirectory / kFileName;
}

Status EngineConfig::parse(std::string_view text, const fs::path& source, EngineConfig& out) {
  out = EngineConfig{};
  out.source_ = source;
  if (text.substr(0, kUtf8ByteOrderMark.size()) == kUtf8ByteOrderMark) text.remove_prefix(kUtf8ByteOrderMark.size());

  bool inAliases = false;
  int lineNumber = 0;
  while (!text.empty()) {
    ++lineNumber;
    const std::size_t end = text.find('\n');
    const std::string_view raw = text.substr(0, end);
    text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);

    const std::string_view line = trim(raw);
    if (line.empty() || line.front() == ';' || line.front() == '#') continue;

    if (line.front() == '[') {
      if (line.back() != ']')
        return Status(rc::kConfigInvalid, lineRef(source, lineNumber) + ": section header '" + std::string(line) +
                                              "' must end in ']'");
      inAliases = sameName(trim(line.substr(1, line.size() - 2)), kAliasSection);
      continue;
    }
    if (!inAliases) continue;

    const std::size_t eq = line.find('=');
    const std::string_view name = eq == std::string_view::npos ? std::string_view() : trim(line.substr(0, eq));
    std::string_view value = eq == std::string_view::npos ? std::string_view() : trim(line.substr(eq + 1));
    // Quotes let a directory keep blanks at its ends.
    if (value.size() >= 2 && value.front() == '"' && value.back() == '"') value = value.substr(1, value.size() - 2);
    if (name.empty() || value.empty())
      return Status(rc::kConfigInvalid, lineRef(source, lineNumber) + ": expected 'name = directory' under [aliases], found '" +
                                            std::string(line) + "'");
    if (const Alias* earlier = out.find(name))
      return Status(rc::kConfigInvalid, lineRef(source, lineNumber) + ": alias '" + std::string(name) +
                                            "' is already defined on line " + std::to_string(earlier->line));

    fs::path directory = pathFromUtf8(value);
    if (directory.is_relative() && !source.empty()) directory = source.parent_path() / directory;
    out.aliases_.push_back(Alias{std::string(name), directory, lineNumber});
  }
  return Status::Ok();
}

const EngineConfig::Alias* EngineConfig::find(std::string_view alias) const {
  for (const Alias& a : aliases_)
    if (sameName(a.name, alias)) return &a;
  return nullptr;
}

bool EngineConfig::hasAlias(std::string_view alias) const { return find(alias) != nullptr; }

Status EngineConfig::resolveAlias(std::string_view alias, fs::path& dir) const {
  const std::string name(alias);
  const Alias* found = find(alias);
  if (found == nullptr) {
    const std::string where =
        source_.empty() ? std::string("the engine configuration (no configuration file: set ") + kConfigVariable + ")"
                        : pathText(source_);
    return Status(rc::kUnknownAlias, "alias '" + name + "' is not defined in " + where + "; add a line '" + name +
                                         " = <directory>' under [aliases]");
  }
  std::error_code ec;
  if (!fs::is_directory(found->directory, ec))
    return Status(rc::kDirectoryNotFound, "alias '" + name + "' names the directory " + pathText(found->directory) +
                                              ", which does not exist; correct " + lineRef(source_, found->line) +
                                              " or create the directory");
  dir = found->directory;
  return Status::Ok();
}

}  // namespace px
