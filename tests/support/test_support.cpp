#include "tests/support/test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <fstream>
#include <iterator>

#include "engine/io/path_text.h"
#include "engine/io/platform.h"

namespace px::test {

namespace fs = std::filesystem;

std::function<std::optional<std::string>(const char* name)> environmentTable(
    std::map<std::string, std::string> values) {
  return [values = std::move(values)](const char* name) -> std::optional<std::string> {
    auto it = values.find(name);
    if (it == values.end()) return std::nullopt;
    return it->second;
  };
}

fs::path fixtureRoot() {
  if (const auto dir = environmentVariable("PX_FIXTURE_DIR")) return pathFromUtf8(*dir);
  return pathFromUtf8(PX_FIXTURE_DIR);
}

fs::path buildDirectory() { return executableDirectory().parent_path(); }

fs::path fixtureSet(const std::string& set) { return fixtureRoot() / set; }

std::vector<fs::path> allFixtureTables() {
  std::vector<fs::path> tables;
  for (const auto& entry : fs::recursive_directory_iterator(fixtureRoot())) {
    std::string ext = entry.path().extension().string();
    std::transform(ext.begin(), ext.end(), ext.begin(), ::tolower);
    if (entry.is_regular_file() && ext == ".db") tables.push_back(entry.path());
  }
  std::sort(tables.begin(), tables.end());
  return tables;
}

std::vector<unsigned char> readBytes(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  EXPECT_TRUE(in.good()) << "cannot read " << path;
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void writeBytes(const fs::path& path, const std::vector<unsigned char>& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  EXPECT_TRUE(out.good()) << "cannot write " << path;
}

TempDir::TempDir() {
  static std::atomic<int> counter{0};
  path_ = buildDirectory() / "test-tmp" /
          ("t" + std::to_string(processId()) + "-" + std::to_string(counter++));
  fs::remove_all(path_);
  fs::create_directories(path_);
}

TempDir::~TempDir() {
  std::error_code ignored;
  fs::remove_all(path_, ignored);
}

void copyWritable(const fs::path& from, const fs::path& to) {
  fs::copy_file(from, to, fs::copy_options::overwrite_existing);
  fs::permissions(to, fs::perms::owner_read | fs::perms::owner_write, fs::perm_options::add);
}

void TempDir::copySet(const std::string& set) {
  for (const auto& entry : fs::directory_iterator(fixtureSet(set))) copyWritable(entry.path(), path_ / entry.path().filename());
}

void TempDir::copyFiles(const std::string& set, const std::vector<std::string>& names) {
  for (const auto& name : names) copyWritable(fixtureSet(set) / name, path_ / name);
}

}  // namespace px::test
