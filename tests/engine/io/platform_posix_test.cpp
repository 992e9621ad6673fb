// The platform interface's answers on POSIX systems.
#include "engine/io/platform.h"

#include <gtest/gtest.h>

#include <map>

#include "tests/support/test_support.h"

namespace px {
namespace {

namespace fs = std::filesystem;

TEST(PlatformPosix, UserConfigDirectoryFollowsTheXdgRules) {
  EXPECT_EQ(userConfigDirectory(test::environmentTable({{"XDG_CONFIG_HOME", "/cfg"}, {"HOME", "/home/u"}})),
            fs::path("/cfg"));
  // Unset, empty or relative XDG_CONFIG_HOME: the home's .config.
  EXPECT_EQ(userConfigDirectory(test::environmentTable({{"HOME", "/home/u"}})), fs::path("/home/u/.config"));
  EXPECT_EQ(userConfigDirectory(test::environmentTable({{"XDG_CONFIG_HOME", ""}, {"HOME", "/home/u"}})),
            fs::path("/home/u/.config"));
  EXPECT_EQ(userConfigDirectory(test::environmentTable({{"XDG_CONFIG_HOME", "cfg"}, {"HOME", "/home/u"}})),
            fs::path("/home/u/.config"));
  // %APPDATA% means nothing here.
  EXPECT_TRUE(userConfigDirectory(test::environmentTable({{"APPDATA", "/appdata"}})).empty());
}

}  // namespace
}  // namespace px
