// The platform interface on POSIX systems.
#include "engine/io/platform.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <system_error>

namespace px {

namespace fs = std::filesystem;

std::optional<std::string> environmentVariable(const char* name) {
  const char* value = std::getenv(name);
  if (value == nullptr) return std::nullopt;
  return std::string(value);
}

void setEnvironmentVariable(const char* name, const std::optional<std::string>& value) {
  if (value) ::setenv(name, value->c_str(), 1);
  else ::unsetenv(name);
}

std::vector<std::string> commandLineArguments(int argc, char** argv) { return {argv, argv + argc}; }

void useUtf8Console() {}  // terminals take the bytes as the locale says, UTF-8 today

fs::path executableDirectory() {
  std::error_code ec;
  const fs::path self = fs::read_symlink("/proc/self/exe", ec);
  return ec ? fs::path() : self.parent_path();
}

fs::path userConfigDirectory(const EnvironmentLookup& environment) {
  const auto nonEmpty = [&environment](const char* name) {
    std::optional<std::string> value = environment(name);
    return value && !value->empty() ? value : std::nullopt;
  };
  // A relative XDG_CONFIG_HOME is invalid and ignored, as the XDG rules say.
  if (auto xdg = nonEmpty("XDG_CONFIG_HOME"); xdg && fs::path(*xdg).is_absolute()) return fs::path(*xdg);
  if (auto home = nonEmpty("HOME")) return fs::path(*home) / ".config";
  return {};
}

bool sameVolume(const fs::path& a, const fs::path& b) {
  struct stat sa {}, sb {};
  if (::stat(a.c_str(), &sa) != 0 || ::stat(b.c_str(), &sb) != 0) return false;
  return sa.st_dev == sb.st_dev;
}

unsigned long processId() { return static_cast<unsigned long>(::getpid()); }

}  // namespace px
