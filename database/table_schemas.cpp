#include "database/table_schemas.h"

#include <algorithm>
#include <cctype>
#include <stdexcept>
#include <string>

namespace {

using enum TFieldType;

FieldSchema field(std::string_view name, TFieldType type, int size = 0) {
  FieldSchema f;
  f.name = name;
  f.type = type;
  f.size = size;
  return f;
}

FieldSchema required(FieldSchema f) {
  f.required = true;
  return f;
}

FieldSchema masked(FieldSchema f, std::string_view editMask) {
  f.editMask = editMask;
  return f;
}

IndexSchema primaryKey(std::string_view name, std::string_view keyField) {
  IndexSchema x;
  x.name = name;
  x.fields = {keyField};
  x.primary = true;
  x.unique = true;
  return x;
}

IndexSchema secondary(std::string_view name, std::string_view indexedField, bool caseInsensitive, bool descending) {
  IndexSchema x;
  x.name = name;
  x.fields = {indexedField};
  x.caseInsensitive = caseInsensitive;
  x.descending = descending;
  return x;
}

bool endsWithLevel(std::string_view name) {
  return name.ends_with("075") || name.ends_with("150") || name.ends_with("300");
}

// The display formats the modules give the measurement values: flows at the
// three levels as whole numbers, the small flow indexes with at least one
// digit, resistances with two decimals, ratios with up to two.
std::string_view displayFormatOf(std::string_view table, const FieldSchema& f) {
  const std::string_view n = f.name;
  const bool flow = n.starts_with("Flow") || n.starts_with("mlFlow") || n.starts_with("mkFlow");
  if (f.type == ftFloat && flow && endsWithLevel(n)) return "####";
  if (f.type == ftSmallint && flow) return "##0";
  if (f.type == ftFloat && n.find("Res") != std::string_view::npos) return "0.00";
  if (n == "mlRatio" || n == "mkRatio") return "0.##";
  if (table == "data.db" && (n == "FlowDecR" || n == "FlowDecL")) return "###";
  return {};
}

TableSchema finished(TableSchema schema) {
  for (FieldSchema& f : schema.fields) f.displayFormat = displayFormatOf(schema.tableName, f);
  return schema;
}

// The flow and resistance block that measurement series carry twice (prefix
// "ml" and "mk") and single measurements once (no prefix). The names are
// spelled out because the schemas hold views of string literals.
struct MeasurementNames {
  std::string_view flows[9];
  std::string_view indexes[4];
  std::string_view resistances[9];
};

constexpr MeasurementNames kPlain{
    {"FlowR075", "FlowR150", "FlowR300", "FlowL075", "FlowL150", "FlowL300", "FlowS075", "FlowS150", "FlowS300"},
    {"FlowIRa", "FlowIRb", "FlowILa", "FlowILb"},
    {"ResR075", "ResR150", "ResR300", "ResL075", "ResL150", "ResL300", "ResT075", "ResT150", "ResT300"}};
constexpr MeasurementNames kMl{
    {"mlFlowR075", "mlFlowR150", "mlFlowR300", "mlFlowL075", "mlFlowL150", "mlFlowL300", "mlFlowS075",
     "mlFlowS150", "mlFlowS300"},
    {"mlFlowIRa", "mlFlowIRb", "mlFlowILa", "mlFlowILb"},
    {"mlResR075", "mlResR150", "mlResR300", "mlResL075", "mlResL150", "mlResL300", "mlResT075", "mlResT150",
     "mlResT300"}};
constexpr MeasurementNames kMk{
    {"mkFlowR075", "mkFlowR150", "mkFlowR300", "mkFlowL075", "mkFlowL150", "mkFlowL300", "mkFlowS075",
     "mkFlowS150", "mkFlowS300"},
    {"mkFlowIRa", "mkFlowIRb", "mkFlowILa", "mkFlowILb"},
    {"mkResR075", "mkResR150", "mkResR300", "mkResL075", "mkResL150", "mkResL300", "mkResT075", "mkResT150",
     "mkResT300"}};

void addMeasurementBlock(std::vector<FieldSchema>& fields, const MeasurementNames& names) {
  for (std::string_view n : names.flows) fields.push_back(field(n, ftFloat));
  for (std::string_view n : names.indexes) fields.push_back(field(n, ftSmallint));
  for (std::string_view n : names.resistances) fields.push_back(field(n, ftFloat));
}

TableSchema makePatient() {
  TableSchema t;
  t.tableName = "patient.db";
  t.fields = {required(field("ID", ftString, 20)),
              field("Name", ftString, 60),
              field("SocSecNum", ftString, 32),
              field("Adresse1", ftString, 50),
              field("Adresse2", ftString, 50),
              masked(field("DOB", ftString, 20), "!00/00/0000;0;"),
              masked(field("Height", ftString, 3), "!999;0;"),
              masked(field("Weight", ftString, 3), "!999;0;"),
              field("Gender", ftString, 12),
              field("Insurance", ftString, 40),
              field("LastVisit", ftDate),
              field("NextVisit", ftDate),
              field("Remark", ftMemo, 60),
              field("MD", ftString, 3),
              field("Field1", ftString, 40),
              field("Field2", ftString, 12),
              field("FieldN1", ftFloat),
              field("Update", ftDate)};
  t.indexes = {primaryKey("dPatientIndex1", "ID"), secondary("XName", "Name", true, false)};
  return finished(std::move(t));
}

TableSchema makeSession() {
  TableSchema t;
  t.tableName = "session.db";
  t.fields = {field("SessionID", ftString, 20), field("Patient", ftString, 20),  field("Title", ftString, 60),
              field("Creation", ftDateTime),    field("Creator", ftString, 3),   field("MeasType", ftString, 4),
              field("Remark", ftMemo, 120),     field("mlDataLeft", ftBlob, 240), field("mlDataRight", ftBlob, 240),
              field("mlCreationRight", ftDateTime), field("mlCreationLeft", ftDateTime)};
  addMeasurementBlock(t.fields, kMl);
  t.fields.push_back(field("mlRatio", ftFloat));
  t.fields.push_back(field("mkAllerg", ftString, 40));
  t.fields.push_back(field("mkDataLeft", ftBlob, 240));
  t.fields.push_back(field("mkDataRight", ftBlob, 240));
  t.fields.push_back(field("mkCreationLeft", ftDateTime));
  t.fields.push_back(field("mkCreationRight", ftDateTime));
  addMeasurementBlock(t.fields, kMk);
  t.fields.push_back(field("mkRatio", ftFloat));
  t.fields.push_back(field("mkFlowDecR", ftFloat));
  t.fields.push_back(field("mkFlowDecL", ftFloat));
  t.fields.push_back(field("Update", ftDate));
  t.indexes = {primaryKey("dSessionIndex1", "SessionID"), secondary("XPat", "Patient", true, false)};
  return finished(std::move(t));
}

// The curves' field objects declare 1602 bytes; the table keeps at most
// kMaxInRecordBlobSize of them in the record (see ToTableDefinition).
constexpr int kCurveFieldSize = 1602;

TableSchema makeData() {
  TableSchema t;
  t.tableName = "data.db";
  t.fields = {required(field("DataID", ftString, 20)),
              required(field("SessionID", ftString, 20)),
              field("CreationLeft", ftDateTime),
              field("CreationRight", ftDateTime),
              field("Description", ftString, 30),
              field("Allerg", ftString, 40),
              field("AllergCharge", ftString, 20),
              field("MeasType", ftString, 40),
              field("Remark", ftMemo, 60),
              field("DataLeft", ftBlob, kCurveFieldSize),
              field("DataRight", ftBlob, kCurveFieldSize),
              field("Update", ftDate),
              field("Left", ftBoolean),
              field("Right", ftBoolean),
              field("Anzeige", ftBoolean)};
  addMeasurementBlock(t.fields, kPlain);
  t.fields.push_back(field("FlowDecR", ftFloat));
  t.fields.push_back(field("FlowDecL", ftFloat));
  t.fields.push_back(field("color", ftFloat));
  t.indexes = {primaryKey("dDataIndex1", "DataID"), secondary("XSess", "SessionID", false, true)};
  return finished(std::move(t));
}

TableSchema makeCounter() {
  TableSchema t;
  t.tableName = "index";
  for (std::string_view n : {"LastData", "LastDate", "LastSession", "LastPatient", "Frei1", "Frei2", "ClPatientTag"})
    t.fields.push_back(field(n, ftInteger));
  return t;
}

TableSchema makeTech() {
  TableSchema t;
  t.tableName = "tech.db";
  t.fields = {required(field("TechID", ftString, 3)), field("Name", ftString, 60),
              field("Priority", ftBoolean),           field("NewsPractice", ftDateTime),
              field("NewsSoftware", ftDateTime),      field("NewsPersonal", ftDateTime),
              field("Remarks", ftMemo, 100),          field("Pwd", ftString, 20),
              field("Field1", ftString, 20),          field("Update", ftDate)};
  t.indexes = {primaryKey("dTechIndex1", "TechID")};
  return t;
}

TableSchema makeSystem() {
  TableSchema t;
  t.tableName = "system.db";
  t.fields = {required(field("System", ftString, 6)),
              field("Practice", ftString, 60),
              field("Doctor", ftString, 60),
              field("Address1", ftString, 60),
              field("Address2", ftString, 60),
              field("Address3", ftString, 20),
              field("Number", ftString, 40),
              field("ComPort", ftString, 64),
              field("Field1", ftString, 20),
              field("FieldD1", ftDate),
              field("Update", ftDate)};
  t.indexes = {primaryKey("dSystemIndex1", "System")};
  return t;
}

TableSchema makeAllerg() {
  TableSchema t;
  t.tableName = "allerg.db";
  FieldSchema description = field("Description", ftString, 40);
  description.displayWidth = 40;
  t.fields = {field("Name", ftString, 20),    description, field("Factory", ftString, 20),
              field("OrderNo", ftString, 40), field("Field1", ftString, 20), field("Update", ftDate)};
  t.indexes = {primaryKey("dAllergIndex1", "Name")};
  return t;
}

bool equalIgnoringCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
         });
}

std::string_view withoutDbExtension(std::string_view name) {
  if (name.size() > 3 && equalIgnoringCase(name.substr(name.size() - 3), ".db")) name.remove_suffix(3);
  return name;
}

int sizeByteOf(const FieldSchema& f) {
  switch (f.type) {
    case ftString: return f.size;
    case ftSmallint: return 2;
    case ftInteger: return 4;
    case ftFloat: return 8;
    case ftBoolean: return 1;
    case ftDate: return 4;
    case ftDateTime: return 8;
    case ftMemo:
    case ftBlob: return std::min(f.size, kMaxInRecordBlobSize) + px::kBlobDescriptorSize;
    default: throw std::invalid_argument("field " + std::string(f.name) + ": no Paradox type for " +
                                         std::string(FieldTypeName(f.type)));
  }
}

// The smallest block that takes the records, three of them for a keyed table.
int blockSizeFor(const px::TableDefinition& definition) {
  const int kib = px::dataBlockSizeKiB(definition);
  if (kib == 0)
    throw std::invalid_argument("a record of " + std::to_string(px::recordSizeOf(definition)) +
                                " bytes is too large for any block");
  return kib;
}

}  // namespace

std::string_view TableSchema::baseName() const { return withoutDbExtension(tableName); }

int TableSchema::fieldIndex(std::string_view fieldName) const {
  for (std::size_t i = 0; i < fields.size(); ++i)
    if (fields[i].name == fieldName) return static_cast<int>(i);
  return -1;
}

const FieldSchema* TableSchema::findField(std::string_view fieldName) const {
  const int i = fieldIndex(fieldName);
  return i < 0 ? nullptr : &fields[static_cast<std::size_t>(i)];
}

const IndexSchema* TableSchema::findIndex(std::string_view indexName) const {
  for (const IndexSchema& x : indexes)
    if (x.name == indexName) return &x;
  return nullptr;
}

const IndexSchema* TableSchema::primaryIndex() const {
  for (const IndexSchema& x : indexes)
    if (x.primary) return &x;
  return nullptr;
}

const TableSchema& PatientSchema() {
  static const TableSchema schema = makePatient();
  return schema;
}

const TableSchema& SessionSchema() {
  static const TableSchema schema = makeSession();
  return schema;
}

const TableSchema& DataSchema() {
  static const TableSchema schema = makeData();
  return schema;
}

const TableSchema& CounterSchema() {
  static const TableSchema schema = makeCounter();
  return schema;
}

const TableSchema& TechSchema() {
  static const TableSchema schema = makeTech();
  return schema;
}

const TableSchema& SystemSchema() {
  static const TableSchema schema = makeSystem();
  return schema;
}

const TableSchema& AllergSchema() {
  static const TableSchema schema = makeAllerg();
  return schema;
}

const std::vector<const TableSchema*>& AllSchemas() {
  static const std::vector<const TableSchema*> all = {&PatientSchema(), &SessionSchema(), &DataSchema(),
                                                      &CounterSchema(), &TechSchema(),    &SystemSchema(),
                                                      &AllergSchema()};
  return all;
}

const TableSchema* FindSchema(std::string_view tableName) {
  // "index" and "index.db" name the same files, as for the engine.
  const std::string_view wanted = withoutDbExtension(tableName);
  for (const TableSchema* schema : AllSchemas())
    if (equalIgnoringCase(wanted, schema->baseName())) return schema;
  return nullptr;
}

px::FieldType ParadoxTypeOf(TFieldType type) {
  using px::FieldType;
  switch (type) {
    case ftString: return FieldType::Alpha;
    case ftSmallint: return FieldType::Short;
    case ftInteger: return FieldType::Long;
    case ftFloat: return FieldType::Number;
    case ftBoolean: return FieldType::Logical;
    case ftDate: return FieldType::Date;
    case ftDateTime: return FieldType::Timestamp;
    case ftMemo: return FieldType::Memo;
    case ftBlob: return FieldType::Blob;
    default: throw std::invalid_argument("no Paradox field type for " + std::string(FieldTypeName(type)));
  }
}

px::TableDefinition ToTableDefinition(const TableSchema& schema, const StorageOptions& options) {
  const std::string table(schema.tableName);
  px::TableDefinition definition;
  definition.codePage = options.codePage;
  definition.sortOrder = std::string(options.sortOrder);
  for (const FieldSchema& f : schema.fields)
    definition.fields.push_back({std::string(f.name), ParadoxTypeOf(f.type), sizeByteOf(f)});

  for (const IndexSchema& x : schema.indexes) {
    if (x.primary) {
      // A Paradox key is always the leading fields of the record.
      for (std::size_t i = 0; i < x.fields.size(); ++i)
        if (i >= schema.fields.size() || schema.fields[i].name != x.fields[i])
          throw std::invalid_argument(table + ": the primary key " + std::string(x.name) +
                                      " does not consist of the leading fields");
      definition.keyFields = static_cast<int>(x.fields.size());
      continue;
    }
    px::SecondaryIndexDefinition s;
    s.name = std::string(x.name);
    for (std::string_view n : x.fields) {
      const int position = schema.fieldIndex(n);
      if (position < 0)
        throw std::invalid_argument(table + ": index " + s.name + " names the unknown field " + std::string(n));
      s.fields.push_back(position);
    }
    s.caseInsensitive = x.caseInsensitive;
    s.descending = x.descending;
    s.unique = x.unique;
    definition.indexes.push_back(std::move(s));
  }

  definition.blockSizeKiB = options.blockSizeKiB > 0 ? options.blockSizeKiB : blockSizeFor(definition);
  if (px::Status s = px::validate(definition); !s.ok()) throw std::invalid_argument(table + ": " + s.message());
  return definition;
}
