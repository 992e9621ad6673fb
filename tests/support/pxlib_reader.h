// pxlib, Debian's independent Paradox reader, as the tests compare the
// engine's files with it. There is no pxlib for Windows: in the Windows build
// pxlibReads() is false and a test that needs it skips with kWithoutPxlib;
// the Windows stage reads the Windows programs' tables with pxlib on the
// Linux side instead (tests/tools/windows_merge_test.cpp).
#pragma once

#include <filesystem>
#include <map>
#include <string>
#include <vector>

namespace px::test {

inline constexpr const char* kWithoutPxlib =
    "pxlib, the independent reader this test compares with, exists only for Linux; the Windows stage reads the "
    "Windows programs' tables with it on the Linux side";

// Whether this build has pxlib.
bool pxlibReads();

struct PxlibField {
  std::string name;
  int type = 0;  // pxlib's field type, the file's type byte
  int size = 0;  // bytes in the record
};

struct PxlibTable {
  bool opened = false;
  int records = -1;
  std::vector<PxlibField> fields;
  // Every record's Alpha fields as their text and Long fields as decimal
  // numbers, by field name ("" for an empty value); other types are left out.
  std::vector<std::map<std::string, std::string>> rows;
  // Every record's bytes as pxlib hands them out.
  std::vector<std::vector<unsigned char>> recordBytes;
};

// Opens the file with pxlib (no blob file, no encoding) and reads every record.
PxlibTable readWithPxlib(const std::filesystem::path& file);

}  // namespace px::test
