// Database names as the table views pass them: an alias, or a directory the
// merge window writes with a trailing backslash; and table names with their
// driver.
#include "engine/access/database_name.h"

#include <gtest/gtest.h>

#include "engine/io/path_text.h"

namespace px {
namespace {

namespace fs = std::filesystem;

TEST(DatabaseName, AliasOrDirectory) {
  EXPECT_FALSE(isDirectoryName("winvelda5"));
  EXPECT_FALSE(isDirectoryName("WinVelda5 old"));
  EXPECT_FALSE(isDirectoryName("name.with.dots"));
  EXPECT_TRUE(isDirectoryName(""));
  EXPECT_TRUE(isDirectoryName("D:"));
  EXPECT_TRUE(isDirectoryName("C:\\DATA\\OLD\\"));
  EXPECT_TRUE(isDirectoryName("old\\"));
  EXPECT_TRUE(isDirectoryName("/data/old"));
  EXPECT_TRUE(isDirectoryName("data/old"));
  EXPECT_TRUE(isDirectoryName("\\\\server\\share\\winvelda5"));
}

// The same names give the same directories on both systems: POSIX reads
// every backslash as '/', Windows takes either separator as it stands.
TEST(DatabaseName, TrailingSeparatorsGoAndBackslashesAreSeparators) {
  struct Case {
    std::string name;
    fs::path directory;
  };
  const std::vector<Case> cases{
      {"/data/old\\", "/data/old"},
      {"/data/old\\\\", "/data/old"},
      {"/data/old/", "/data/old"},
      {"/data/old", "/data/old"},
      {"/data\\old\\", "/data/old"},
      {"old\\", "old"},
      {"C:\\DATA\\OLD\\", "C:/DATA/OLD"},
      {"C:/DATA/OLD/", "C:/DATA/OLD"},
      {"C:\\DATA/OLD\\\\", "C:/DATA/OLD"},
      {"\\\\server\\share\\winvelda5\\", "//server/share/winvelda5"},
      // The root keeps its separator; nothing at all is the current directory.
      {"C:\\", "C:/"},
      {"\\", "/"},
      {"/", "/"},
      {"", "."},
  };
  for (const Case& c : cases) EXPECT_EQ(directoryFromName(c.name), c.directory) << c.name;
}

TEST(DatabaseName, DirectoryNamesAreUtf8) {
  const fs::path dir = directoryFromName("C:\\Praxis\\Müller & Söhne\\alt (2019)\\");
  EXPECT_EQ(dir, pathFromUtf8("C:/Praxis/Müller & Söhne/alt (2019)"));
  EXPECT_EQ(dir.filename(), pathFromUtf8("alt (2019)"));
  EXPECT_EQ(pathText(dir.parent_path().filename()), "Müller & Söhne");
}

TEST(DatabaseName, ParadoxTablesGetTheirExtension) {
  struct Case {
    std::string table, driver, file;
  };
  const std::vector<Case> cases{
      {"patient", "", "patient.db"},        {"index", "PARADOX", "index.db"},
      {"system.db", "", "system.db"},       {"SYSTEM.DB", "Paradox", "SYSTEM.DB"},
      {"patient.", "", "patient.db"},       {"old.v2/patient", "", "old.v2/patient.db"},
      {"legacy.dbf", "PARADOX", "legacy.dbf"},  // an explicit driver is taken at its word
  };
  for (const auto& c : cases) {
    Status status(rc::kInvalidParameter, "left over from before");
    EXPECT_EQ(tableFileName(c.table, c.driver, status), c.file) << c.table << " / " << c.driver;
    EXPECT_TRUE(status.ok()) << status.message();
  }
  Status status;
  EXPECT_EQ(tableFileName("", "PARADOX", status), "");
  EXPECT_EQ(status.code(), rc::kInvalidParameter);
}

TEST(DatabaseName, OtherTableKindsAreRefused) {
  struct Case {
    std::string table, driver, named;  // `named`: what the message must mention
  };
  const std::vector<Case> cases{
      {"patient", "DBASE", "DBASE"},      {"patient", "FOXPRO", "FOXPRO"}, {"patient", "ASCIIDRV", "ASCIIDRV"},
      {"patient", "ascii", "ascii"},      {"patient", "ORACLE", "ORACLE"}, {"patient.dbf", "", "patient.dbf"},
      {"export.TXT", "", "export.TXT"},
  };
  for (const auto& c : cases) {
    Status status;
    EXPECT_EQ(tableFileName(c.table, c.driver, status), "") << c.driver;
    EXPECT_EQ(status.code(), rc::kUnsupportedDriver) << c.table << " / " << c.driver;
    EXPECT_NE(status.message().find(c.named), std::string::npos) << status.message();
    EXPECT_NE(status.message().find("only Paradox"), std::string::npos) << status.message();
  }
}

}  // namespace
}  // namespace px
