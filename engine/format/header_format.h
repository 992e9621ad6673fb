// Offsets and constants of the table and index file headers
// (paradox-format.md section 2). Every header offset has its one home here.
#pragma once

#include <cstddef>
#include <cstdint>

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
inline constexpr std::size_t kAutoInc = 0x49;          // dword
inline constexpr std::size_t kFirstFreeBlock = 0x4D;   // word
inline constexpr std::size_t kIndexUpdateRequired = 0x4F; // byte, write 0
inline constexpr std::size_t kRealHeaderSize = 0x51;   // word
inline constexpr std::size_t kIndexFlags = 0x55;       // byte (.X: section 6.3)
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
inline constexpr std::size_t kSortOrderNameOffset = 0x6E; // word, relative to 0x58
inline constexpr std::size_t kChangeCount4 = 0x70;     // word, keep
inline constexpr std::size_t kExtensionEnd = 0x78;
inline constexpr std::size_t kExtensionBase = 0x58;    // base of the relative offsets

// Level 4 and later data and X files carry this in encryption1; the real key moved to 5C.
inline constexpr std::uint32_t kEncryptionMovedMarker = 0xFF00FF00;

// Section 2.3: the variable part.
inline constexpr std::size_t kFieldDescriptorSize = 2;  // type, size
inline constexpr std::size_t kPointerSize = 4;          // run-time pointers, ignored
inline constexpr std::size_t kTableNameSizeOld = 79;    // versions before 12
inline constexpr std::size_t kTableNameSizeV12 = 261;   // version 12

// File versions (byte 0x39).
inline constexpr std::uint8_t kVersion30 = 3;
inline constexpr std::uint8_t kVersion35 = 4;
inline constexpr std::uint8_t kFirstVersionWithExtension = 5;
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

}  // namespace px::header
