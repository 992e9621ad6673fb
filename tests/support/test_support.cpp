#include "tests/support/test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <fstream>
#include <iterator>
#include <unistd.h>

namespace px::test {

namespace fs = std::filesystem;

fs::path fixtureRoot() {
  if (const char* dir = std::getenv("PX_FIXTURE_DIR")) return dir;
  return PX_FIXTURE_DIR;
}

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
  path_ = fs::path(PX_BINARY_DIR) / "test-tmp" /
          ("t" + std::to_string(::getpid()) + "-" + std::to_string(counter++));
  fs::remove_all(path_);
  fs::create_directories(path_);
}

TempDir::~TempDir() {
  std::error_code ignored;
  fs::remove_all(path_, ignored);
}

void TempDir::copySet(const std::string& set) {
  for (const auto& entry : fs::directory_iterator(fixtureSet(set))) {
    fs::copy_file(entry.path(), path_ / entry.path().filename(), fs::copy_options::overwrite_existing);
    fs::permissions(path_ / entry.path().filename(), fs::perms::owner_read | fs::perms::owner_write,
                    fs::perm_options::add);
  }
}

void TempDir::copyFiles(const std::string& set, const std::vector<std::string>& names) {
  for (const auto& name : names) {
    fs::copy_file(fixtureSet(set) / name, path_ / name, fs::copy_options::overwrite_existing);
    fs::permissions(path_ / name, fs::perms::owner_read | fs::perms::owner_write, fs::perm_options::add);
  }
}

}  // namespace px::test
