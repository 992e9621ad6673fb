// Offsets and constants of the table and index file headers
// (docs/paradox-format.md section 2). Every header offset has its one home here.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace px::header {

// Section 2.1: the fixed part, common to every file kind.
inline constexpr std::size_t kRecordSize = 0x00;       // word
inline constexpr std::size_t kHeaderSize = 0x02;       // word
inline constexpr std::size_t kFileType = 0x04;         // byte
inline constexpr std::size_t kMaxTableSize = 0x05;     // byte, block size in KiB
inline constexpr std::size_t kNumRecords = 0x06;       // dword
inline constexpr std::size_t kUsedBlocks = 0x0A;       // word
inline constexpr std::size_t kFileBlocks = 0x0C;       // word
inline constexpr std::size_t kFirstBlock = 0x0E;       // word
inline constexpr std::size_t kLastBlock = 0x10;        // word
inline constexpr std::size_t kWriteSequence = 0x12;    // word, keep
inline constexpr std::size_t kModifiedFlags1 = 0x14;   // byte, write 0
inline constexpr std::size_t kIndexFieldNumber = 0x15; // byte
inline constexpr std::size_t kIndexRoot = 0x1E;        // word
inline constexpr std::size_t kIndexLevels = 0x20;      // byte
inline constexpr std::size_t kNumFields = 0x21;        // word
inline constexpr std::size_t kPrimaryKeyFields = 0x23; // word
inline constexpr std::size_t kEncryption1 = 0x25;      // dword
inline constexpr std::size_t kSortOrder = 0x29;        // byte
inline constexpr std::size_t kModifiedFlags2 = 0x2A;   // byte, write 0
inline constexpr std::size_t kIndexChangeCount = 0x2C; // byte (.PX/.Y)
inline constexpr std::size_t kChangeCount = 0x2D;      // byte (.DB/.X)
inline constexpr std::size_t kFamilyStamp = 0x2E;      // byte, never changed
inline constexpr std::size_t kLinkByte = 0x2F;         // byte (.X: copy of .PX 2C)
inline constexpr std::size_t kWriteProtected = 0x38;   // byte
inline constexpr std::size_t kFileVersion = 0x39;      // byte
inline constexpr std::size_t kMaxBlocks = 0x3A;        // word
inline constexpr std::size_t kDataMarker = 0x3E;       // word, kDataMarkerValue in data and X files, 0 in trees
inline constexpr std::size_t kAutoInc = 0x49;          // dword
inline constexpr std::size_t kFirstFreeBlock = 0x4D;   // word
inline constexpr std::size_t kIndexUpdateRequired = 0x4F; // byte, write 0
inline constexpr std::size_t kRealHeaderSize = 0x51;   // word
inline constexpr std::size_t kIndexFlags = 0x55;       // byte (.X: section 6.3)
inline constexpr std::size_t kDataMarker2 = 0x56;      // byte, kDataMarker2Value in data and X files, 0 in trees
inline constexpr std::size_t kFixedPartEnd = 0x58;

// Section 2.2: the extension of data and X files of version 5 and later.
inline constexpr std::size_t kFileVerId2 = 0x58;       // word
inline constexpr std::size_t kFileVerId3 = 0x5A;       // word
inline constexpr std::size_t kEncryption2 = 0x5C;      // dword
inline constexpr std::size_t kUpdateTime = 0x60;       // dword, keep
inline constexpr std::size_t kHiFieldId = 0x64;        // word
inline constexpr std::size_t kFieldNumbersOffset = 0x66; // word, relative to 0x58
inline constexpr std::size_t kIndexNameOffset = 0x68;  // word, relative to 0x58
inline constexpr std::size_t kCodePage = 0x6A;         // word
inline constexpr std::size_t kExtensionMarker = 0x6C;  // 2 bytes, kExtensionMarkerValue (unknown meaning)
inline constexpr std::size_t kSortOrderNameOffset = 0x6E; // word, relative to 0x58
inline constexpr std::size_t kChangeCount4 = 0x70;     // word, keep
inline constexpr std::size_t kExtensionEnd = 0x78;
inline constexpr std::size_t kExtensionBase = 0x58;    // base of the relative offsets

// Level 4 and later data and X files carry this in encryption1; the real key moved to 5C.
inline constexpr std::uint32_t kEncryptionMovedMarker = 0xFF00FF00;

// Constant bytes of data and X files (113/113 fixture files). 0x6C is 01 01 in
// all but a few tables with referential-integrity links, which show 02 01.
inline constexpr std::uint16_t kDataMarkerValue = 0x0F1F;   // bytes 1F 0F
inline constexpr std::uint8_t kDataMarker2Value = 0x20;
inline constexpr std::uint16_t kExtensionMarkerValue = 0x0101;
// fileVerID2 and fileVerID3 hold this plus the version byte (0x010C at version 12).
inline constexpr std::uint16_t kFileVerIdBase = 0x0100;
// .X/.XG files: byte 0x2C is always this (section 2.1).
inline constexpr std::uint8_t kSecondaryIndexChangeByte = 0xFF;

// Section 2.3: the variable part.
inline constexpr std::size_t kFieldDescriptorSize = 2;  // type, size
inline constexpr std::size_t kPointerSize = 4;          // run-time pointers, ignored
inline constexpr std::size_t kTableNameSizeOld = 79;    // versions before 12
inline constexpr std::size_t kTableNameSizeV12 = 261;   // version 12
inline constexpr std::size_t kFieldNumberSize = 2;      // word per field in the field-number list
// Longest field name in stored bytes, without its NUL.
inline constexpr std::size_t kMaxFieldNameLength = 25;
// Level 4 and later headers are a multiple of this (0x800, 0x1000, 0x1800 seen).
inline constexpr std::size_t kHeaderSizeUnit = 0x800;

// File versions (byte 0x39).
inline constexpr std::uint8_t kVersion30 = 3;
inline constexpr std::uint8_t kVersion35 = 4;
inline constexpr std::uint8_t kFirstVersionWithExtension = 5;
inline constexpr std::uint8_t kVersion4x = 9;     // what level-4 files usually carry
inline constexpr std::uint8_t kFirstVersion5x = 10;
inline constexpr std::uint8_t kVersion5x = 11;    // what level-5 files usually carry
inline constexpr std::uint8_t kVersion70 = 12;

// File types (byte 0x04).
enum class FileType : std::uint8_t {
  KeyedData = 0,
  PrimaryIndex = 1,
  UnkeyedData = 2,
  SecondaryNonMaintained = 3,       // .Xnn
  SecondaryTree = 4,                // .Ynn
  SecondaryMaintained = 5,          // .Xnn
  CompositeNonMaintained = 6,       // .XGn
  CompositeTree = 7,                // .YGn
  CompositeMaintained = 8,          // .XGn
};
inline constexpr std::uint8_t kLastFileType = 8;

// Allowed block sizes in KiB (byte 0x05).
inline constexpr bool isValidBlockSizeKiB(std::uint8_t kib) {
  return kib == 1 || kib == 2 || kib == 3 || kib == 4 || kib == 8 || kib == 16 || kib == 32;
}

// Section 6.3: option bits of byte 0x55 in .X/.XG files.
inline constexpr std::uint8_t kIndexCaseInsensitive = 0x01;
inline constexpr std::uint8_t kIndexDescending = 0x10;
inline constexpr std::uint8_t kIndexUnique = 0x20;
// Section 6.2: bit 15 of an X file's field number marks a descending field.
inline constexpr std::uint16_t kDescendingFieldBit = 0x8000;

// Section 6.2: the fields an X file adds after the indexed fields. A maintained
// index (keyed table) copies the primary key and ends with the block hint; a
// non-maintained one (unkeyed table) ends with the record's position.
inline constexpr const char* kHintBlockNumber = "Blk Num";   // Short
inline constexpr const char* kHintRecordNumber = "Tup No";   // Long
inline constexpr const char* kHintRecordOffset = "Tup Offset";  // Short

// Section 10.1: the code byte 0x29 that goes with each sort-order name. The
// one list of these codes: the collations (collation.cpp) look theirs up here.
struct SortOrderCode {
  const char* name;
  std::uint8_t code;
};
inline constexpr SortOrderCode kSortOrderCodes[] = {
    {"ascii", 0x00},    {"intl", 0xB7},     {"intl850", 0x54},  {"nordan", 0x82},
    {"nordan40", 0xE6}, {"swedfin", 0xF0},  {"ANSIINTL", 0x62}, {"ANSII850", 0x11},
    {"ANSISWFN", 0x69}, {"ANSINOR4", 0x4E}, {"ANSISPAN", 0x5D}, {"DBWINUS0", 0x4C},
    {"DBWINWE0", 0x40}, {"BLLT1DE0", 0x18}, {"china", 0x03},    {"BLROM800", 0x14},
};

// The entry for a sort-order name, ASCII letter case ignored (the entry has
// the spelling headers store); nullptr for a name the list lacks.
constexpr const SortOrderCode* findSortOrder(std::string_view name) {
  const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
  for (const SortOrderCode& entry : kSortOrderCodes) {
    const std::string_view listed(entry.name);
    if (std::equal(listed.begin(), listed.end(), name.begin(), name.end(),
                   [&lower](char a, char b) { return lower(a) == lower(b); }))
      return &entry;
  }
  return nullptr;
}

}  // namespace px::header
