// The seven tables of the measurement database as plain data: each field with
// its framework type, size, required flag and display attributes, and each
// index. The database modules declare their views and field objects from
// these descriptions; ToTableDefinition turns one into an engine table definition.
// The descriptions are immutable statics, safe to read from any thread.
#pragma once

#include <string_view>
#include <vector>

#include "engine/format/field_type.h"
#include "engine/format/table_definition.h"
#include "tableaccess/field_types.h"

struct FieldSchema {
  std::string_view name;
  TFieldType type = TFieldType::ftUnknown;
  // Characters for ftString; for ftMemo and ftBlob the part kept inside the
  // record as the field objects declare it; 0 for every other type.
  int size = 0;
  bool required = false;
  std::string_view editMask;       // "" = none
  std::string_view displayFormat;  // "" = none
  int displayWidth = 0;            // 0 = the field's default width
};

struct IndexSchema {
  std::string_view name;
  std::vector<std::string_view> fields;
  bool primary = false;
  bool unique = false;
  bool caseInsensitive = false;
  bool descending = false;
};

struct TableSchema {
  std::string_view tableName;  // as the views name it: "patient.db", "index"
  std::vector<FieldSchema> fields;
  std::vector<IndexSchema> indexes;  // the primary index first, when there is one

  // The name without a ".db" extension: the base name of the table's files.
  std::string_view baseName() const;
  // Position of a field (exact name), or -1.
  int fieldIndex(std::string_view fieldName) const;
  const FieldSchema* findField(std::string_view fieldName) const;
  const IndexSchema* findIndex(std::string_view indexName) const;
  // nullptr for a table without a primary key (`index`).
  const IndexSchema* primaryIndex() const;
};

const TableSchema& PatientSchema();
const TableSchema& SessionSchema();
const TableSchema& DataSchema();
const TableSchema& CounterSchema();  // table `index`
const TableSchema& TechSchema();
const TableSchema& SystemSchema();
const TableSchema& AllergSchema();

// The seven tables in the order patient, session, data, index, tech, system, allerg.
const std::vector<const TableSchema*>& AllSchemas();

// By table name, letter case ignored, with or without ".db" ("PATIENT",
// "patient.db", "index"); nullptr for a name that is none of the seven.
const TableSchema* FindSchema(std::string_view tableName);

// The largest part of a large object that a Paradox record can keep inside
// itself. The field objects of data.db declare more; the table keeps this much.
inline constexpr int kMaxInRecordBlobSize = 240;

// The engine's field type for a framework type; ftString, ftSmallint,
// ftInteger, ftFloat, ftBoolean, ftDate, ftDateTime, ftMemo and ftBlob only.
// Throws std::invalid_argument for any other type.
px::FieldType ParadoxTypeOf(TFieldType type);

// How new tables are stored. Code page and sort order go together: the
// "ascii" driver is a DOS one (850), the ANSI drivers use 1252.
struct StorageOptions {
  std::string_view sortOrder = "ANSIINTL";
  int codePage = 1252;
  // 0: the smallest block size of 2, 4, 8, 16 or 32 KiB that holds three
  // records of a keyed table (one of an unkeyed table), as the original
  // engine needs for its key splits.
  int blockSizeKiB = 0;
};

// The engine definition for creating the table: fields in order with their
// Paradox types and size bytes, the primary key (which must be the leading
// fields), and the secondary indexes in their order. Throws
// std::invalid_argument when the schema cannot be stored (a primary key that
// does not lead the record, an index on an unknown field, a record too large
// for any block).
px::TableDefinition ToTableDefinition(const TableSchema& schema, const StorageOptions& options = {});
