// The Windows programs checked from the Linux side. Under Wine,
// makesample.exe makes a database pair and mergetool-cli.exe merges it, the
// old one in a directory named as a practice would name it and passed with
// the backslashes and the trailing backslash of the window; then pxlib and
// the Linux pxcheck read what the Windows programs wrote, and the Linux
// build's merge of the same pair must give the same tables.
//
// The Windows stage runs it (make test-windows): PX_WINDOWS_BIN_DIR names the
// cross-built programs and PX_WINE Wine's launcher. Elsewhere it is skipped.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "engine/io/path_text.h"
#include "engine/io/platform.h"
#include "tests/support/test_support.h"
#include "tests/support/tool_run.h"
#include "tests/tools/pxlib_merge.h"

namespace fs = std::filesystem;

namespace {

// Wine's drive Z: is the Linux root.
std::string WindowsPath(const fs::path& path) {
  std::string text = "Z:" + px::pathText(path);
  for (char& c : text)
    if (c == '/') c = '\\';
  return text;
}

// Every file of a database directory, by name, with its bytes.
std::map<std::string, std::vector<unsigned char>> FilesOf(const fs::path& dir) {
  std::map<std::string, std::vector<unsigned char>> files;
  for (const auto& entry : fs::directory_iterator(dir)) files[px::pathText(entry.path().filename())] = px::test::readBytes(entry.path());
  return files;
}

class WindowsPrograms : public ::testing::Test {
 protected:
  void SetUp() override {
    const auto bin = px::environmentVariable("PX_WINDOWS_BIN_DIR");
    const auto wine = px::environmentVariable("PX_WINE");
    if (!bin || !wine)
      GTEST_SKIP() << "runs in the Windows stage (make test-windows), which names the cross-built programs in "
                      "PX_WINDOWS_BIN_DIR and Wine's launcher in PX_WINE";
    windowsBin_ = px::pathFromUtf8(*bin);
    wine_ = px::pathFromUtf8(*wine);
  }
  void TearDown() override { px::setEnvironmentVariable("PXENGINE_CONFIG", std::nullopt); }

  // A Windows program under Wine; paths in `args` are given in Windows' form.
  px::test::ToolRun Windows(const std::string& program, std::vector<std::string> args) {
    args.insert(args.begin(), WindowsPath(windowsBin_ / (program + ".exe")));
    return px::test::runProgram(wine_, args);
  }

  // Points the alias at `active` in a configuration file of `dir`, written in
  // the form the system that reads it expects.
  void Configure(const fs::path& dir, const std::string& active) {
    const fs::path file = dir / "pxengine.conf";
    std::ofstream(file) << "[aliases]\nwinvelda5 = " << active << "\n";
    px::setEnvironmentVariable("PXENGINE_CONFIG", active.starts_with("Z:") ? WindowsPath(file) : px::pathText(file));
  }

  px::test::TempDir dir_;
  fs::path windowsBin_, wine_;
};

TEST_F(WindowsPrograms, MergeUnderWineIsWhatPxlibAndTheLinuxMergeFind) {
  if (!px::test::pxlibReads()) GTEST_SKIP() << px::test::kWithoutPxlib;
  const fs::path windows = dir_.path() / "windows";
  const fs::path active = windows / "aktiv";
  const fs::path old = windows / px::pathFromUtf8("Müller & Söhne") / "alt (2019)";
  fs::create_directories(old.parent_path());
  const std::vector<std::string> activeOptions{"--patients", "60", "--seed", "11", "--first-key", "3000"};
  const std::vector<std::string> oldOptions{"--patients", "40", "--seed", "12"};
  auto with = [](std::string dir, std::vector<std::string> options) {
    options.insert(options.begin(), std::move(dir));
    return options;
  };
  auto made = Windows("makesample", with(WindowsPath(active), activeOptions));
  ASSERT_EQ(made.exitCode, 0) << made.out;
  made = Windows("makesample", with(WindowsPath(old), oldOptions));
  ASSERT_EQ(made.exitCode, 0) << made.out;

  // The Linux makesample makes the same pair from the same seeds.
  const fs::path linux = dir_.path() / "linux";
  ASSERT_EQ(px::test::runTool("makesample", with(px::pathText(linux / "aktiv"), activeOptions)).exitCode, 0);
  ASSERT_EQ(px::test::runTool("makesample", with(px::pathText(linux / "alt"), oldOptions)).exitCode, 0);
  EXPECT_EQ(pxlib_merge::Read(linux / "aktiv"), pxlib_merge::Read(active));
  EXPECT_EQ(pxlib_merge::Read(linux / "alt"), pxlib_merge::Read(old));
  // The Linux merge takes the Windows pair, so both merges start from the same files.
  fs::remove_all(linux);
  fs::create_directories(linux);
  fs::copy(active, linux / "aktiv", fs::copy_options::recursive);
  fs::copy(old, linux / "alt", fs::copy_options::recursive);
  const pxlib_merge::Snapshot activeBefore = pxlib_merge::Read(active);
  const pxlib_merge::Snapshot oldBefore = pxlib_merge::Read(old);

  Configure(windows, WindowsPath(active));
  const auto merged = Windows("mergetool-cli", {"--old", WindowsPath(old) + "\\", "--yes"});
  ASSERT_EQ(merged.exitCode, 0) << merged.out;
  EXPECT_NE(merged.out.find("Fertig."), std::string::npos) << merged.out;
  // Its German texts arrive in UTF-8.
  EXPECT_NE(merged.out.find("Angefügt: "), std::string::npos) << merged.out;

  const pxlib_merge::Snapshot activeAfter = pxlib_merge::Read(active);
  pxlib_merge::ExpectMerged(activeBefore, oldBefore, activeAfter);
  for (const fs::path& dir : {active, old}) {
    const auto check = px::test::runTool("pxcheck", {"--rebuild", px::pathText(dir)});
    EXPECT_EQ(check.exitCode, 0) << check.out;
  }

  Configure(linux, px::pathText(linux / "aktiv"));
  const auto linuxMerged = px::test::runTool("mergetool-cli", {"--old", px::pathText(linux / "alt"), "--yes"});
  ASSERT_EQ(linuxMerged.exitCode, 0) << linuxMerged.out;
  EXPECT_EQ(pxlib_merge::Read(linux / "aktiv"), activeAfter);
  EXPECT_EQ(pxlib_merge::Read(linux / "alt"), pxlib_merge::Read(old));
  // The engine writes the same bytes on both systems.
  EXPECT_EQ(FilesOf(linux / "aktiv"), FilesOf(active));
  EXPECT_EQ(FilesOf(linux / "alt"), FilesOf(old));
}

// The window's merge under Wine: the Windows window test clicks a merge
// through mergetool's window on an X server of its own and keeps the pair
// before and after it; pxlib and the Linux pxcheck read what it wrote.
TEST_F(WindowsPrograms, MergeClickedThroughTheWindowUnderWineIsWhatPxlibFinds) {
  if (!px::test::pxlibReads()) GTEST_SKIP() << px::test::kWithoutPxlib;
  const auto script = px::environmentVariable("PX_UI_TEST_SCRIPT");
  const auto prefix = px::environmentVariable("PX_UI_WINE_PREFIX");
  if (!script || !prefix) {
    GTEST_SKIP() << "the Windows stage names the user-interface tests' runner in PX_UI_TEST_SCRIPT and its Wine "
                    "prefix in PX_UI_WINE_PREFIX";
  }
  const fs::path keep = dir_.path() / "fenster";
  px::setEnvironmentVariable("PX_WINDOW_MERGE_KEEP", WindowsPath(keep));
  const auto run = px::test::runProgram(
      "/bin/sh", {*script, *prefix, "96", px::pathText(wine_), px::pathText(windowsBin_ / "app_window_tests.exe"),
                  "--gtest_filter=Form2MergeTest.CompleteMergeThroughTheWindowAsPxlibAndTheCheckSeeIt"});
  px::setEnvironmentVariable("PX_WINDOW_MERGE_KEEP", std::nullopt);
  ASSERT_EQ(run.exitCode, 0) << run.out;
  ASSERT_TRUE(fs::exists(keep / "nachher" / "aktiv")) << run.out;
  pxlib_merge::ExpectMerged(pxlib_merge::Read(keep / "vorher" / "aktiv"), pxlib_merge::Read(keep / "vorher" / "alt"),
                            pxlib_merge::Read(keep / "nachher" / "aktiv"));
  for (const fs::path& dir : {keep / "nachher" / "aktiv", keep / "nachher" / "alt"}) {
    const auto check = px::test::runTool("pxcheck", {"--rebuild", px::pathText(dir)});
    EXPECT_EQ(check.exitCode, 0) << check.out;
  }
}

}  // namespace
