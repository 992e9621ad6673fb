// The platform interface on Windows: the wide forms of every call, so that
// names outside the code page (ü, ö, ß beside any other letter) survive.
#include "engine/io/platform.h"

#include <windows.h>

#include <cstdlib>
#include <cwchar>

#include "engine/io/path_text.h"
#include "engine/io/command_line_windows.h"
#include "engine/io/error_text_windows.h"

namespace px {

namespace fs = std::filesystem;

namespace {

std::wstring wideFromUtf8(const std::string& text) {
  if (text.empty()) return {};
  const int size = static_cast<int>(text.size());
  const int wide = MultiByteToWideChar(CP_UTF8, 0, text.data(), size, nullptr, 0);
  std::wstring out(static_cast<std::size_t>(wide > 0 ? wide : 0), L'\0');
  if (wide > 0) MultiByteToWideChar(CP_UTF8, 0, text.data(), size, out.data(), wide);
  return out;
}

UINT consoleCodePageAtStart = 0;

void restoreConsoleCodePage() {
  if (consoleCodePageAtStart != 0) SetConsoleOutputCP(consoleCodePageAtStart);
}

}  // namespace

std::optional<std::string> environmentVariable(const char* name) {
  const std::wstring wideName = wideFromUtf8(name);
  const DWORD needed = GetEnvironmentVariableW(wideName.c_str(), nullptr, 0);
  if (needed == 0) {
    if (GetLastError() == ERROR_ENVVAR_NOT_FOUND) return std::nullopt;
    return std::string();
  }
  std::wstring value(needed, L'\0');
  const DWORD length = GetEnvironmentVariableW(wideName.c_str(), value.data(), needed);
  return utf8FromWide(value.data(), length);
}

void setEnvironmentVariable(const char* name, const std::optional<std::string>& value) {
  // _wputenv_s keeps the C runtime's copy (getenv) and the process's
  // environment, which child processes inherit, the same.
  const std::wstring wideName = wideFromUtf8(name);
  _wputenv_s(wideName.c_str(), value ? wideFromUtf8(*value).c_str() : L"");
}

std::vector<std::string> splitCommandLine(std::wstring_view line) {
  std::vector<std::string> words;
  std::wstring word;
  bool inWord = false, quoted = false;
  for (const wchar_t c : line) {
    if (c == L'"') {
      quoted = !quoted;
      inWord = true;
    } else if (!quoted && (c == L' ' || c == L'\t')) {
      if (inWord) words.push_back(utf8FromWide(word.data(), word.size()));
      word.clear();
      inWord = false;
    } else {
      word += c;
      inWord = true;
    }
  }
  if (inWord) words.push_back(utf8FromWide(word.data(), word.size()));
  return words;
}

std::vector<std::string> commandLineArguments(int argc, char** argv) {
  const wchar_t* line = GetCommandLineW();
  if (line == nullptr) return {argv, argv + argc};
  return splitCommandLine(line);
}

void useUtf8Console() {
  const UINT now = GetConsoleOutputCP();
  if (now == 0 || now == CP_UTF8) return;  // no console, or already UTF-8
  if (!SetConsoleOutputCP(CP_UTF8)) return;
  // The console outlives the program: give it back its code page.
  consoleCodePageAtStart = now;
  std::atexit(restoreConsoleCodePage);
}

fs::path executableDirectory() {
  std::wstring buffer(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length = GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
    if (length == 0) return {};
    if (length < buffer.size()) {
      buffer.resize(length);
      return fs::path(buffer).parent_path();
    }
    buffer.resize(buffer.size() * 2);  // a long path: ask again with room for it
  }
}

fs::path userConfigDirectory(const EnvironmentLookup& environment) {
  std::optional<std::string> appData = environment("APPDATA");
  if (!appData || appData->empty()) return {};
  return pathFromUtf8(*appData);
}

bool sameVolume(const fs::path& a, const fs::path& b) {
  // The volume's root ("C:\", "\\server\share\", a mount point), not the
  // drive letter alone: two shares of one server are two volumes.
  const auto volumeOf = [](const fs::path& path, std::wstring& volume) {
    std::error_code ec;
    const fs::path absolute = fs::absolute(path, ec);
    if (ec) return false;
    volume.assign(MAX_PATH + 1, L'\0');
    if (!GetVolumePathNameW(absolute.c_str(), volume.data(), MAX_PATH)) return false;
    volume.resize(std::wcslen(volume.c_str()));
    return true;
  };
  std::wstring va, vb;
  if (!volumeOf(a, va) || !volumeOf(b, vb)) return false;
  return CompareStringOrdinal(va.c_str(), -1, vb.c_str(), -1, TRUE) == CSTR_EQUAL;
}

unsigned long processId() { return GetCurrentProcessId(); }

}  // namespace px
