// The platform interface's answers on POSIX systems.
#include "engine/io/platform.h"

#include <gtest/gtest.h>

#include <map>

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

TEST(PlatformPosix, UserConfigDirectoryFollowsTheXdgRules) {
  EXPECT_EQ(userConfigDirectory(environment({{"XDG_CONFIG_HOME", "/cfg"}, {"HOME", "/home/u"}})), fs::path("/cfg"));
  // Unset, empty or relative XDG_CONFIG_HOME: the home's .config.
  EXPECT_EQ(userConfigDirectory(environment({{"HOME", "/home/u"}})), fs::path("/home/u/.config"));
  EXPECT_EQ(userConfigDirectory(environment({{"XDG_CONFIG_HOME", ""}, {"HOME", "/home/u"}})),
            fs::path("/home/u/.config"));
  EXPECT_EQ(userConfigDirectory(environment({{"XDG_CONFIG_HOME", "cfg"}, {"HOME", "/home/u"}})),
            fs::path("/home/u/.config"));
  // %APPDATA% means nothing here.
  EXPECT_TRUE(userConfigDirectory(environment({{"APPDATA", "/appdata"}})).empty());
}

}  // namespace
}  // namespace px
