// The platform interface's answers on Windows: the wide calls keep what the
// code page cannot hold.
#include "engine/io/platform.h"

#include <gtest/gtest.h>

#include <map>

#include "engine/io/path_text.h"
#include "tests/support/test_support.h"

namespace px {
namespace {

namespace fs = std::filesystem;

EnvironmentLookup environment(std::map<std::string, std::string> values) {
  return [values = std::move(values)](const char* name) -> std::optional<std::string> {
    auto it = values.find(name);
    if (it == values.end()) return std::nullopt;
    return it->second;
  };
}

TEST(PlatformWindows, UserConfigDirectoryIsAppData) {
  EXPECT_EQ(userConfigDirectory(environment({{"APPDATA", "C:\\Users\\Jürgen\\AppData\\Roaming"}})),
            pathFromUtf8("C:\\Users\\Jürgen\\AppData\\Roaming"));
  EXPECT_TRUE(userConfigDirectory(environment({{"HOME", "C:\\Users\\u"}, {"XDG_CONFIG_HOME", "C:\\cfg"}})).empty());
}

TEST(PlatformWindows, EnvironmentKeepsLettersOutsideTheCodePage) {
  const std::string value = "C:\\Praxis\\Müller & Söhne\\Ωmega ✓";
  setEnvironmentVariable("PX_PLATFORM_TEST", value);
  EXPECT_EQ(environmentVariable("PX_PLATFORM_TEST"), value);
  setEnvironmentVariable("PX_PLATFORM_TEST", std::nullopt);
  EXPECT_EQ(environmentVariable("PX_PLATFORM_TEST"), std::nullopt);
}

TEST(PlatformWindows, DrivesAndSharesAreVolumesOfTheirOwn) {
  test::TempDir dir;
  fs::create_directories(dir.path() / "a");
  fs::create_directories(dir.path() / "b");
  EXPECT_TRUE(sameVolume(dir.path() / "a", dir.path() / "b"));
  // Another drive letter is another volume, whether it exists or not.
  const std::wstring own = dir.path().root_name().wstring();
  const wchar_t other = own == L"Q:" ? L'R' : L'Q';
  EXPECT_FALSE(sameVolume(dir.path(), fs::path(std::wstring(1, other) + L":\\Daten")));
}

}  // namespace
}  // namespace px
