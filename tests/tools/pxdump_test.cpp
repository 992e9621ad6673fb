// pxdump as a person uses it: structure and CSV on stdout, errors on stderr
// with a non-zero exit code.
#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <string>

#include "tests/support/test_support.h"
#include "tests/support/tool_run.h"

namespace {

using DumpResult = px::test::ToolRun;

DumpResult pxdump(const std::string& args) { return px::test::runTool("pxdump", args); }

std::string fixture(const std::string& set, const std::string& file) {
  return (px::test::fixtureSet(set) / file).string();
}

TEST(Pxdump, PrintsStructureAndRecords) {
  DumpResult r = pxdump(fixture("set05", "Counts.DB") + " --records 2");
  ASSERT_EQ(r.exitCode, 0) << r.out;
  EXPECT_NE(r.out.find("File version: 7.x (12)"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("Sort order:   DBWINUS0"), std::string::npos);
  EXPECT_NE(r.out.find("1 * KodCount  Alpha (A13)"), std::string::npos);
  EXPECT_NE(r.out.find("Counts.XG0 \"MainIndex\" maintained, case-insensitive, descending"), std::string::npos);
  EXPECT_NE(r.out.find("KodCount,Date,Summa,"), std::string::npos);
}

TEST(Pxdump, CsvOnlyWithQuotingAndConvertedText) {
  DumpResult r = pxdump(fixture("set04", "ZIPCODES.DB") + " --csv --records 3");
  ASSERT_EQ(r.exitCode, 0) << r.out;
  EXPECT_EQ(r.out.rfind("Zip,State,City\n", 0), 0u) << r.out;
  EXPECT_EQ(std::count(r.out.begin(), r.out.end(), '\n'), 4);

  r = pxdump(fixture("set01", "date7.db") + " --csv");
  ASSERT_EQ(r.exitCode, 0);
  EXPECT_EQ(r.out, "DATE,TIME\n2018-01-01,10:00:00\n2018-02-01,10:30:00\n2018-01-02,09:25:25\n,10:00:00\n2018-01-01,\n");
}

TEST(Pxdump, ErrorsGoToStderrWithNonZeroExit) {
  DumpResult r = pxdump(fixture("set11", "encrypted.db"));
  EXPECT_NE(r.exitCode, 0);
  EXPECT_NE(r.out.find("encrypted"), std::string::npos) << r.out;
  r = pxdump(fixture("set01", "nosuch.db"));
  EXPECT_NE(r.exitCode, 0);
  EXPECT_NE(r.out.find("does not exist"), std::string::npos) << r.out;
  EXPECT_EQ(pxdump("").exitCode, 2);
  EXPECT_EQ(pxdump(fixture("set01", "long.db") + " --records x").exitCode, 2);
}

TEST(Pxdump, MissingBlobFileListsTheRecordsWithTheBlobValuesUnavailable) {
  px::test::TempDir dir;
  dir.copyFiles("set01", {"memo.db", "memo.px"});
  const std::string table = (dir.path() / "memo.db").string();
  DumpResult r = pxdump(table + " --csv");
  ASSERT_EQ(r.exitCode, 0) << r.out;
  EXPECT_NE(r.out.find("warning: memo.MB, the blob file, is missing"), std::string::npos) << r.out;
  // Both records: the one kept in the blob file is marked, the memo kept in
  // its record reads as it is.
  EXPECT_NE(r.out.find("\nId,MEMO\n1,(unavailable)\n2,\"01234567890\n\"\n"), std::string::npos) << r.out;
  r = pxdump(table);
  ASSERT_EQ(r.exitCode, 0) << r.out;
  EXPECT_NE(r.out.find("Blob file:    memo.MB missing"), std::string::npos) << r.out;
  // The check still counts it as an error.
  EXPECT_EQ(px::test::runTool("pxcheck", table).exitCode, 1);
}

}  // namespace
