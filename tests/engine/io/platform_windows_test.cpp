// The platform interface's answers on Windows: the wide calls keep what the
// code page cannot hold.
#include "engine/io/platform.h"

#include <gtest/gtest.h>

#include <map>

#include "engine/io/command_line_windows.h"
#include "engine/io/path_text.h"
#include "tests/support/test_support.h"

namespace px {
namespace {

namespace fs = std::filesystem;

TEST(PlatformWindows, UserConfigDirectoryIsAppData) {
  EXPECT_EQ(userConfigDirectory(test::environmentTable({{"APPDATA", "C:\\Users\\Jürgen\\AppData\\Roaming"}})),
            pathFromUtf8("C:\\Users\\Jürgen\\AppData\\Roaming"));
  EXPECT_TRUE(
      userConfigDirectory(test::environmentTable({{"HOME", "C:\\Users\\u"}, {"XDG_CONFIG_HOME", "C:\\cfg"}})).empty());
}

TEST(PlatformWindows, EnvironmentKeepsLettersOutsideTheCodePage) {
  const std::string value = "C:\\Praxis\\Müller & Söhne\\Ωmega ✓";
  setEnvironmentVariable("PX_PLATFORM_TEST", value);
  EXPECT_EQ(environmentVariable("PX_PLATFORM_TEST"), value);
  setEnvironmentVariable("PX_PLATFORM_TEST", std::nullopt);
  EXPECT_EQ(environmentVariable("PX_PLATFORM_TEST"), std::nullopt);
}

TEST(PlatformWindows, CommandLinesKeepPathsWhole) {
  struct Case {
    std::wstring line;
    std::vector<std::string> words;
  };
  const std::vector<Case> cases{
      {L"mergetool-cli.exe --old D:\\alt --yes", {"mergetool-cli.exe", "--old", "D:\\alt", "--yes"}},
      {L"\"C:\\Program Files\\m.exe\"  --old  \"C:\\Praxis\\M\u00fcller & S\u00f6hne\\alt (2019)\"",
       {"C:\\Program Files\\m.exe", "--old", "C:\\Praxis\\Müller & Söhne\\alt (2019)"}},
      // The trailing backslash stays, and the words after it stay words.
      {L"m.exe --old \"C:\\Praxis\\alt (2019)\\\" --check", {"m.exe", "--old", "C:\\Praxis\\alt (2019)\\", "--check"}},
      {L"m.exe --old \\\\server\\share\\winvelda5\\", {"m.exe", "--old", "\\\\server\\share\\winvelda5\\"}},
      {L"m.exe --old C:\\\"Alte Daten\"\\x\t\"\"", {"m.exe", "--old", "C:\\Alte Daten\\x", ""}},
  };
  for (const Case& c : cases) EXPECT_EQ(splitCommandLine(c.line), c.words);
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
