// The engine's 16-bit result codes: 0 is success, the high byte is the category
// and the low byte refines it. Callers above the engine test these numbers, so
// they are a stable contract; the binding turns failing ones into exceptions.
#pragma once

#include <cstdint>

namespace px {

using ResultCode = std::uint16_t;

namespace category {
inline constexpr std::uint8_t kNone = 0x00;
inline constexpr std::uint8_t kSystem = 0x21;
inline constexpr std::uint8_t kNotFound = 0x22;
inline constexpr std::uint8_t kDataCorrupt = 0x23;
inline constexpr std::uint8_t kIO = 0x24;
inline constexpr std::uint8_t kLimit = 0x25;
inline constexpr std::uint8_t kIntegrity = 0x26;
inline constexpr std::uint8_t kInvalidRequest = 0x27;
inline constexpr std::uint8_t kLockConflict = 0x28;
inline constexpr std::uint8_t kSecurity = 0x29;
inline constexpr std::uint8_t kInvocation = 0x2A;
inline constexpr std::uint8_t kCapability = 0x2B;
inline constexpr std::uint8_t kConfig = 0x2C;
inline constexpr std::uint8_t kOther = 0x2E;
inline constexpr std::uint8_t kCompatibility = 0x2F;
inline constexpr std::uint8_t kBlob = 0x33;
}  // namespace category

constexpr std::uint8_t categoryOf(ResultCode code) { return static_cast<std::uint8_t>(code >> 8); }
constexpr std::uint8_t subCodeOf(ResultCode code) { return static_cast<std::uint8_t>(code & 0xFF); }

namespace rc {
inline constexpr ResultCode kOk = 0x0000;

// System: files and the operating system.
inline constexpr ResultCode kFileNotFound = 0x2108;   // file, path or module not found
inline constexpr ResultCode kSystemOther = 0x2109;
inline constexpr ResultCode kLibraryNotLoaded = 0x210A;
inline constexpr ResultCode kDirectoryNotFound = 0x2110;

// Not found: cursor positions and lookups.
inline constexpr ResultCode kAtBeginning = 0x2201;
inline constexpr ResultCode kAtEnd = 0x2202;
inline constexpr ResultCode kRecordNotFound = 0x2205;
inline constexpr ResultCode kIndexNotFound = 0x2206;

// Data corruption: a file does not follow the format.
inline constexpr ResultCode kHeaderCorrupt = 0x2301;
inline constexpr ResultCode kFileCorrupt = 0x2302;
inline constexpr ResultCode kIndexCorrupt = 0x2303;
inline constexpr ResultCode kBlobCorrupt = 0x2304;
inline constexpr ResultCode kBlockChainCorrupt = 0x2305;

// Input and output.
inline constexpr ResultCode kReadFailed = 0x2401;
inline constexpr ResultCode kWriteFailed = 0x2402;
inline constexpr ResultCode kDiskFull = 0x2403;

// Limits and resources.
inline constexpr ResultCode kNoMemory = 0x2501;
inline constexpr ResultCode kRecordTooLarge = 0x2502;
inline constexpr ResultCode kTableFull = 0x2503;

// Integrity.
inline constexpr ResultCode kKeyViolation = 0x2601;
inline constexpr ResultCode kRequiredFieldMissing = 0x2604;

// Invalid requests.
inline constexpr ResultCode kInvalidParameter = 0x2702;
inline constexpr ResultCode kInvalidFieldNumber = 0x2703;
inline constexpr ResultCode kInvalidValue = 0x2704;
inline constexpr ResultCode kNotSupported = 0x2705;
inline constexpr ResultCode kEntryPointMissing = 0x274F;

// Locks.
inline constexpr ResultCode kTableLocked = 0x2801;
inline constexpr ResultCode kFileInUse = 0x2802;
inline constexpr ResultCode kRecordLocked = 0x2803;
// Another program (the clinical application on some workstation) has the
// database's directory open: its lock files are held.
inline constexpr ResultCode kDatabaseInUse = 0x2804;

// Security.
inline constexpr ResultCode kEncrypted = 0x2901;
inline constexpr ResultCode kInsufficientRights = 0x2902;

// Invocation.
inline constexpr ResultCode kNotInitialized = 0x2A06;
inline constexpr ResultCode kAlreadyInitialized = 0x2A07;
inline constexpr ResultCode kTableReadOnly = 0x2A0B;

// Capability: what this engine does not do.
inline constexpr ResultCode kUnsupportedFieldType = 0x2B01;
inline constexpr ResultCode kUnsupportedVersion = 0x2B02;
inline constexpr ResultCode kUnsupportedCodePage = 0x2B03;
inline constexpr ResultCode kUnsupportedSortOrder = 0x2B04;
inline constexpr ResultCode kUnsupportedDriver = 0x2B05;

// Configuration.
inline constexpr ResultCode kUnknownAlias = 0x2C01;
inline constexpr ResultCode kConfigUnreadable = 0x2C02;
inline constexpr ResultCode kConfigInvalid = 0x2C03;   // a line that cannot be understood

// Compatibility with the format's bookkeeping.
inline constexpr ResultCode kIndexOutOfDate = 0x2F02;

// Blobs.
inline constexpr ResultCode kBlobModified = 0x3302;
}  // namespace rc

}  // namespace px
