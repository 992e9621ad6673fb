// pxcheck as a person uses it: findings and one summary line per table on
// stdout, exit code 0 when no table has an error, 1 when one has, 2 on a
// usage error.
#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <string>

#include "tests/support/test_support.h"
#include "tests/support/tool_run.h"

namespace {

using CheckRun = px::test::ToolRun;

CheckRun pxcheck(const std::string& args) { return px::test::runTool("pxcheck", args); }

std::string quoted(const std::filesystem::path& path) { return "'" + path.string() + "'"; }

bool contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

TEST(Pxcheck, EveryFixtureSetPassesWithAndWithoutRebuild) {
  std::string sets;
  for (int i = 1; i <= 10; ++i) {
    char name[8];
    std::snprintf(name, sizeof name, "set%02d", i);
    sets += " " + quoted(px::test::fixtureSet(name));
  }
  for (const char* option : {"", "--rebuild "}) {
    CheckRun r = pxcheck(option + sets);
    EXPECT_EQ(r.exitCode, 0) << r.out;
    EXPECT_FALSE(contains(r.out, "error: ")) << r.out;
    EXPECT_TRUE(contains(r.out, "\nCounts.DB: ok (1 warning)\n")) << r.out;
    EXPECT_TRUE(contains(r.out, "\nlong.db: ok\n")) << r.out;
    EXPECT_TRUE(contains(r.out, "warning: Counts.XG0: 133 of 415 entries carry a stale block hint")) << r.out;
  }
}

TEST(Pxcheck, TableWithoutExtensionAndEncryptedTables) {
  CheckRun r = pxcheck(quoted(px::test::fixtureSet("set01") / "long"));
  EXPECT_EQ(r.exitCode, 0) << r.out;
  EXPECT_EQ(r.out, "long.db: ok\n");

  r = pxcheck(quoted(px::test::fixtureSet("set11")));
  EXPECT_EQ(r.exitCode, 1) << r.out;
  EXPECT_TRUE(contains(r.out, "error: encrypted.db: encrypted, not checked\nencrypted.db: 1 error\n")) << r.out;
}

TEST(Pxcheck, DamagedCopyFailsAndNamesTheFile) {
  px::test::TempDir dir;
  dir.copySet("set05");
  auto bytes = px::test::readBytes(dir.path() / "KartA.DB");
  bytes[0x14] = 1;
  px::test::writeBytes(dir.path() / "KartA.DB", bytes);
  // A clean table beside the damaged one keeps its own summary.
  CheckRun r = pxcheck(quoted(dir.path() / "KartA.DB") + " " + quoted(dir.path() / "Counts"));
  EXPECT_EQ(r.exitCode, 1) << r.out;
  EXPECT_TRUE(contains(r.out, "error: KartA.DB: header byte 14 is 1")) << r.out;
  EXPECT_TRUE(contains(r.out, "\nKartA.DB: 1 error, 1 warning\n")) << r.out;
  EXPECT_TRUE(contains(r.out, "\nCounts.DB: ok (1 warning)\n")) << r.out;
}

TEST(Pxcheck, UsageErrorsAndMissingTables) {
  EXPECT_EQ(pxcheck("").exitCode, 2);
  EXPECT_EQ(pxcheck("--rebuild").exitCode, 2);
  EXPECT_EQ(pxcheck("--fast " + quoted(px::test::fixtureSet("set01"))).exitCode, 2);
  CheckRun r = pxcheck(quoted(px::test::fixtureSet("set01") / "nosuch.db"));
  EXPECT_EQ(r.exitCode, 1) << r.out;
  EXPECT_TRUE(contains(r.out, "does not exist")) << r.out;
  EXPECT_TRUE(contains(r.out, "nosuch.db: not checked")) << r.out;
}

}  // namespace
