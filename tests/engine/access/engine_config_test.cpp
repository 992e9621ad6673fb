// Reading the alias configuration: what the file may hold, where it is looked
// for, and the messages that tell a user how to repair it.
#include "engine/access/engine_config.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <map>

#include "engine/io/path_text.h"
#include "engine/io/platform.h"
#include "tests/support/test_support.h"

namespace px {
namespace {

namespace fs = std::filesystem;

void writeText(const fs::path& path, const std::string& text) {
  fs::create_directories(path.parent_path());
  test::writeBytes(path, std::vector<unsigned char>(text.begin(), text.end()));
}

TEST(EngineConfig, ReadsAliasesAndIgnoresEverythingElse) {
  const std::string text =
      "\xEF\xBB\xBF; written by the installer\r\n"
      "[drivers]\r\n"
      "paradox = not an alias\r\n"
      "this line would be malformed in [aliases]\r\n"
      "\r\n"
      "  [ Aliases ]  \r\n"
      "# the active database\r\n"
      "  winvelda5   =   /srv/praxis/daten  \r\n"
      "archive=relative/old\r\n"
      "spaced = \"/with blanks \"\r\n"
      "[other]\r\n"
      "late = /not/read";
  EngineConfig config;
  const Status status = EngineConfig::parse(text, "/etc/px/pxengine.conf", config);
  ASSERT_TRUE(status.ok()) << status.message();
  ASSERT_EQ(config.aliases().size(), 3u);
  EXPECT_EQ(config.aliases()[0].name, "winvelda5");
  EXPECT_EQ(config.aliases()[0].directory, fs::path("/srv/praxis/daten"));
  EXPECT_EQ(config.aliases()[0].line, 8);
  EXPECT_EQ(config.aliases()[1].directory, fs::path("/etc/px/relative/old"));
  EXPECT_EQ(config.aliases()[2].directory, fs::path("/with blanks "));
  EXPECT_TRUE(config.hasAlias("WINVELDA5"));
  EXPECT_FALSE(config.hasAlias("paradox"));
  EXPECT_FALSE(config.hasAlias("late"));
}

TEST(EngineConfig, MalformedLinesAreErrorsThatNameTheLine) {
  struct Case {
    std::string text;
    std::string expected;  // part of the message
  };
  const std::vector<Case> cases{
      {"[aliases]\na = /x\n\nwinvelda5 /srv/daten\n", "cfg.conf, line 4: expected 'name = directory'"},
      {"[aliases]\n= /srv/daten\n", "line 2: expected"},
      {"[aliases]\nwinvelda5 =\n", "line 2: expected"},
      {"[aliases]\nwinvelda5 = /a\n; again\nWinVelda5 = /b\n", "line 4: alias 'WinVelda5' is already defined on line 2"},
      {"[aliases\nwinvelda5 = /a\n", "line 1: section header '[aliases' must end in ']'"},
  };
  for (const auto& c : cases) {
    EngineConfig config;
    const Status status = EngineConfig::parse(c.text, "cfg.conf", config);
    EXPECT_EQ(status.code(), rc::kConfigInvalid) << c.text;
    EXPECT_NE(status.message().find(c.expected), std::string::npos) << status.message();
  }
}

TEST(EngineConfig, ResolvesAliasesWithoutRegardToCase) {
  test::TempDir dir;
  const fs::path data = dir.path() / "daten";
  fs::create_directories(data);
  const fs::path file = dir.path() / "pxengine.conf";
  writeText(file, "[aliases]\nWinVelda5 = " + data.string() + "\ngone = " + (dir.path() / "missing").string() + "\n");
  EngineConfig config;
  ASSERT_TRUE(EngineConfig::loadFile(file, config).ok());

  fs::path resolved;
  ASSERT_TRUE(config.resolveAlias("winvelda5", resolved).ok());
  EXPECT_EQ(resolved, data);

  Status status = config.resolveAlias("praxis", resolved);
  EXPECT_EQ(status.code(), rc::kUnknownAlias);
  EXPECT_EQ(status.message(), "alias 'praxis' is not defined in " + file.string() +
                                  "; add a line 'praxis = <directory>' under [aliases]");

  status = config.resolveAlias("GONE", resolved);
  EXPECT_EQ(status.code(), rc::kDirectoryNotFound);
  EXPECT_NE(status.message().find((dir.path() / "missing").string()), std::string::npos) << status.message();
  EXPECT_NE(status.message().find("does not exist"), std::string::npos) << status.message();
  EXPECT_NE(status.message().find("line 3"), std::string::npos) << status.message();
}

TEST(EngineConfig, NamedFileMustExistAndBeReadable) {
  test::TempDir dir;
  const fs::path missing = dir.path() / "nowhere.conf";
  EngineConfig config;
  Status status = EngineConfig::load(config, test::environmentTable({{"PXENGINE_CONFIG", missing.string()}}));
  EXPECT_EQ(status.code(), rc::kConfigUnreadable);
  EXPECT_NE(status.message().find(missing.string()), std::string::npos) << status.message();
  EXPECT_NE(status.message().find("PXENGINE_CONFIG"), std::string::npos) << status.message();

  // A directory where the file should be.
  status = EngineConfig::load(config, test::environmentTable({{"PXENGINE_CONFIG", dir.path().string()}}));
  EXPECT_EQ(status.code(), rc::kConfigUnreadable);

  // The variable wins over the standard place, even when that holds a file.
  const fs::path named = dir.path() / "named.conf";
  writeText(named, "[aliases]\nwinvelda5 = named-db\n");
  writeText(dir.path() / "xdg" / "pxengine" / "pxengine.conf", "[aliases]\nwinvelda5 = standard-db\n");
  status = EngineConfig::load(config, test::environmentTable({{"PXENGINE_CONFIG", named.string()},
                                                   {"XDG_CONFIG_HOME", (dir.path() / "xdg").string()},
                                                   {"APPDATA", (dir.path() / "xdg").string()}}));
  ASSERT_TRUE(status.ok()) << status.message();
  EXPECT_EQ(config.source(), named);
  ASSERT_EQ(config.aliases().size(), 1u);
  EXPECT_EQ(config.aliases()[0].directory, dir.path() / "named-db");
}

// Where the user's directory lies is the platform's affair (platform_*_test.cpp).
TEST(EngineConfig, StandardPlaceIsBelowTheUsersConfigurationDirectory) {
  const auto env =
      test::environmentTable({{"XDG_CONFIG_HOME", "/cfg"}, {"HOME", "/home/u"}, {"APPDATA", "C:\\Users\\u\\AppData"}});
  ASSERT_FALSE(userConfigDirectory(env).empty());
  EXPECT_EQ(EngineConfig::defaultLocation(env), userConfigDirectory(env) / "pxengine" / "pxengine.conf");
  EXPECT_TRUE(EngineConfig::defaultLocation(test::environmentTable({})).empty());
}

// The order the README and the practice's text give: the variable's file,
// the file beside the program, the user's file; the first there is read.
TEST(EngineConfig, FilesAreLookedForInOrder) {
  test::TempDir dir;
  const fs::path program = dir.path() / "stick";
  const fs::path home = dir.path() / "home";
  const auto env = test::environmentTable({{"HOME", pathText(home)}, {"XDG_CONFIG_HOME", pathText(home / "cfg")},
                                {"APPDATA", pathText(home / "cfg")}});
  const fs::path user = EngineConfig::defaultLocation(env);
  writeText(user, "[aliases]\nwinvelda5 = user-db\n");
  fs::create_directories(program);

  EngineConfig config;
  ASSERT_TRUE(EngineConfig::load(config, env, program).ok());
  EXPECT_EQ(config.source(), user);  // nothing beside the program yet

  writeText(program / "pxengine.conf", "[aliases]\nwinvelda5 = Praxis\n");
  ASSERT_TRUE(EngineConfig::load(config, env, program).ok());
  EXPECT_EQ(config.source(), program / "pxengine.conf");
  ASSERT_EQ(config.aliases().size(), 1u);
  // A relative directory lies beside the file, so the stick can carry its database.
  EXPECT_EQ(config.aliases()[0].directory, program / "Praxis");

  const fs::path named = dir.path() / "named.conf";
  writeText(named, "[aliases]\nwinvelda5 = named-db\n");
  auto withVariable = [&](const char* name) -> std::optional<std::string> {
    if (std::string(name) == "PXENGINE_CONFIG") return pathText(named);
    return env(name);
  };
  ASSERT_TRUE(EngineConfig::load(config, withVariable, program).ok());
  EXPECT_EQ(config.source(), named);

  // A broken file beside the program is reported, not passed over.
  writeText(program / "pxengine.conf", "[aliases]\nwinvelda5\n");
  EXPECT_EQ(EngineConfig::load(config, env, program).code(), rc::kConfigInvalid);
}

TEST(EngineConfig, MissingStandardFileIsAnEmptyConfiguration) {
  test::TempDir dir;
  // The user's file of either system: below %APPDATA% or ~/.config.
  const auto env =
      test::environmentTable({{"HOME", pathText(dir.path())}, {"APPDATA", pathText(dir.path() / ".config")}});
  EngineConfig config;
  const Status status = EngineConfig::load(config, env);
  ASSERT_TRUE(status.ok()) << status.message();
  EXPECT_TRUE(config.aliases().empty());
  const fs::path expected = dir.path() / ".config" / "pxengine" / "pxengine.conf";
  EXPECT_EQ(config.source(), expected);

  fs::path resolved;
  const Status unknown = config.resolveAlias("winvelda5", resolved);
  EXPECT_EQ(unknown.code(), rc::kUnknownAlias);
  EXPECT_NE(unknown.message().find(pathText(expected)), std::string::npos) << unknown.message();

  // Once it is there, it is read; a malformed one is an error, not ignored.
  writeText(expected, "[aliases]\nwinvelda5 = " + pathText(dir.path()) + "\n");
  ASSERT_TRUE(EngineConfig::load(config, env).ok());
  EXPECT_TRUE(config.resolveAlias("winvelda5", resolved).ok());
  writeText(expected, "[aliases]\nwinvelda5\n");
  EXPECT_EQ(EngineConfig::load(config, env).code(), rc::kConfigInvalid);
}

TEST(EngineConfig, LoadReadsTheProcessEnvironment) {
  test::TempDir dir;
  const fs::path file = dir.path() / "env.conf";
  writeText(file, "[aliases]\nfromenv = /x\n");
  const std::optional<std::string> saved = environmentVariable("PXENGINE_CONFIG");
  setEnvironmentVariable("PXENGINE_CONFIG", pathText(file));
  EngineConfig config;
  const Status status = EngineConfig::load(config);
  if (saved) setEnvironmentVariable("PXENGINE_CONFIG", *saved);
  else setEnvironmentVariable("PXENGINE_CONFIG", std::nullopt);
  ASSERT_TRUE(status.ok()) << status.message();
  EXPECT_TRUE(config.hasAlias("FromEnv"));
}


}  // namespace
}  // namespace px
