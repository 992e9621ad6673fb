// Decoding of the header shared by every file of a table family: .DB, .PX,
// .Xnn/.XGn and .Ynn/.YGn (docs/paradox-format.md section 2). Pure: works on the
// bytes it is given and checks every offset against them.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "engine/format/field_type.h"
#include "engine/format/header_format.h"
#include "engine/status.h"

namespace px {

struct FieldDescriptor {
  FieldType type = FieldType::Alpha;
  std::uint8_t sizeByte = 0;   // the header's size byte (decimals for BCD)
  int size = 0;                // bytes in the record
  int offset = 0;              // position in the record
  std::string name;            // as stored, in the table's code page
  std::uint16_t number = 0;    // from the field-number list; 0 when the file has none
};

struct TableHeader {
  header::FileType fileType = header::FileType::KeyedData;
  std::uint16_t recordSize = 0;
  std::uint16_t headerSize = 0;
  std::uint8_t blockSizeKiB = 0;
  std::uint32_t blockSize = 0;
  std::uint32_t numRecords = 0;
  std::uint16_t usedBlocks = 0;
  std::uint16_t fileBlocks = 0;
  std::uint16_t firstBlock = 0;
  std::uint16_t lastBlock = 0;
  std::uint16_t firstFreeBlock = 0;
  std::uint16_t maxBlocks = 0;
  std::uint8_t indexFieldNumber = 0;
  std::uint16_t indexRoot = 0;
  std::uint8_t indexLevels = 0;
  std::uint16_t primaryKeyFields = 0;
  std::uint8_t sortOrderCode = 0;
  std::uint8_t indexChangeCount = 0;  // 0x2C
  std::uint8_t changeCount = 0;       // 0x2D
  std::uint8_t familyStamp = 0;       // 0x2E
  std::uint8_t linkByte = 0;          // 0x2F
  bool writeProtected = false;
  std::uint8_t fileVersion = 0;
  std::uint32_t autoInc = 0;
  std::uint16_t realHeaderSize = 0;
  std::uint8_t indexFlags = 0;        // 0x55
  bool hasExtension = false;          // the 0x58..0x77 part of level-4+ data and X files
  bool encrypted = false;
  std::uint16_t codePage = 0;         // 0 when the header names none
  std::uint16_t hiFieldId = 0;
  std::string tableName;              // the name the file had when created
  std::string sortOrderName;          // empty in files without one
  std::string indexName;              // .XGn only
  std::vector<FieldDescriptor> fields;

  bool isDataFile() const;            // .DB, .Xnn, .XGn: records with field names
  bool isIndexTree() const;           // .PX, .Ynn, .YGn: key entries, no names
  bool isSecondaryData() const;       // .Xnn, .XGn
  bool isMaintainedSecondary() const; // file type 5 or 8
  bool isKeyed() const { return fileType == header::FileType::KeyedData; }
  bool hasBlobFields() const;
};

// A readable release for the version byte: "3.0", "3.5", "4.x", "5.x", "7.x".
std::string versionName(std::uint8_t fileVersion);

// Decodes and checks a header. `fileName` names the file in error texts.
// `fileSize` is the size of the whole file (the header must fit it).
Status decodeTableHeader(std::span<const std::uint8_t> bytes, const std::string& fileName,
                         TableHeader& out);

}  // namespace px
