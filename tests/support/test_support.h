// Helpers for the test programs: where the fixture table sets are, and
// temporary directories that hold copies of them (fixtures are never written).
#pragma once

#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace px::test {

// Directory of the read-only Paradox fixture sets (set01 ... set11).
std::filesystem::path fixtureRoot();
std::filesystem::path fixtureSet(const std::string& set);

// An environment that holds just `values`, for code that looks variables up
// through a function instead of the process's own environment.
std::function<std::optional<std::string>(const char* name)> environmentTable(
    std::map<std::string, std::string> values);

// The build directory: the one above the test programs' bin/.
std::filesystem::path buildDirectory();

// Every .DB file of every fixture set, sorted by path.
std::vector<std::filesystem::path> allFixtureTables();

// Reads a whole file; fails the test when it cannot.
std::vector<unsigned char> readBytes(const std::filesystem::path& path);
void writeBytes(const std::filesystem::path& path, const std::vector<unsigned char>& bytes);

// Copies a file (a fixture, which is read-only) to `to` and makes the copy
// writable: Windows refuses to write or remove a read-only file, whoever asks.
void copyWritable(const std::filesystem::path& from, const std::filesystem::path& to);

// A fresh directory below the build tree, removed when the object goes.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::filesystem::path& path() const { return path_; }
  // Copies every file of a fixture set (or just the named files) here.
  void copySet(const std::string& set);
  void copyFiles(const std::string& set, const std::vector<std::string>& names);

 private:
  std::filesystem::path path_;
};

}  // namespace px::test
