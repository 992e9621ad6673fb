// The table schemas as the engine stores them: every table created from its
// schema reads back with the fields in order, their types and sizes, the key
// and the secondary indexes with their options.
#include "database/table_schemas.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

#include "engine/access/table_creator.h"
#include "engine/format/block_format.h"
#include "engine/format/header_format.h"
#include "engine/storage/table.h"
#include "tests/support/test_support.h"

namespace {

namespace h = px::header;

std::unique_ptr<px::Table> createAndOpen(const px::test::TempDir& dir, const TableSchema& schema,
                                         const StorageOptions& options = {}) {
  const px::TableDefinition definition = ToTableDefinition(schema, options);
  px::Status s = px::createTable(px::localFileSystem(), dir.path(), std::string(schema.baseName()), definition);
  EXPECT_TRUE(s.ok()) << schema.tableName << ": " << s.message();
  std::unique_ptr<px::Table> table;
  s = px::Table::open(px::localFileSystem(), dir.path(), schema.tableName, table);
  EXPECT_TRUE(s.ok()) << schema.tableName << ": " << s.message();
  return table;
}

TEST(TableSchemas, EveryTableReadsBackWithItsFieldsInOrder) {
  for (const TableSchema* schema : AllSchemas()) {
    SCOPED_TRACE(std::string(schema->tableName));
    px::test::TempDir dir;
    std::unique_ptr<px::Table> table = createAndOpen(dir, *schema);
    ASSERT_NE(table, nullptr);
    EXPECT_TRUE(table->warnings().empty());
    ASSERT_EQ(table->fields().size(), schema->fields.size());
    for (std::size_t i = 0; i < schema->fields.size(); ++i) {
      const FieldSchema& f = schema->fields[i];
      const px::FieldDescriptor& stored = table->fields()[i];
      std::string name;
      ASSERT_TRUE(table->fieldName(i, name).ok());
      EXPECT_EQ(name, f.name);
      // The framework reads the stored type back as the schema's type.
      EXPECT_EQ(FieldTypeOf(stored.type), f.type) << f.name;
      if (f.type == TFieldType::ftString) {
        EXPECT_EQ(FieldSizeOf(stored.type, stored.size, stored.sizeByte), f.size) << f.name;
      }
      if (IsLargeObjectType(f.type)) {
        EXPECT_EQ(stored.sizeByte - px::kBlobDescriptorSize, std::min(f.size, kMaxInRecordBlobSize)) << f.name;
      }
    }
    EXPECT_EQ(table->codePageNumber(), 1252);
    EXPECT_EQ(table->header().sortOrderName, "ANSIINTL");
  }
}

TEST(TableSchemas, KeysAndSecondaryIndexesKeepTheirOptions) {
  for (const TableSchema* schema : AllSchemas()) {
    SCOPED_TRACE(std::string(schema->tableName));
    px::test::TempDir dir;
    std::unique_ptr<px::Table> table = createAndOpen(dir, *schema);
    ASSERT_NE(table, nullptr);
    const IndexSchema* primary = schema->primaryIndex();
    EXPECT_EQ(table->header().isKeyed(), primary != nullptr);
    EXPECT_EQ(table->primaryIndex() != nullptr, primary != nullptr);

    std::vector<const IndexSchema*> secondaries;
    for (const IndexSchema& x : schema->indexes)
      if (!x.primary) secondaries.push_back(&x);
    ASSERT_EQ(table->secondaryIndexes().size(), secondaries.size());
    for (std::size_t i = 0; i < secondaries.size(); ++i) {
      const IndexSchema& x = *secondaries[i];
      const px::TableHeader& stored = table->secondaryIndexes()[i].data.header();
      EXPECT_EQ(stored.indexName, x.name);
      EXPECT_EQ((stored.indexFlags & h::kIndexCaseInsensitive) != 0, x.caseInsensitive) << x.name;
      EXPECT_EQ((stored.indexFlags & h::kIndexUnique) != 0, x.unique) << x.name;
      ASSERT_FALSE(stored.fields.empty());
      const int position = schema->fieldIndex(x.fields[0]);
      const std::uint16_t number = stored.fields[0].number;
      EXPECT_EQ(number & ~h::kDescendingFieldBit, position + 1) << x.name;
      EXPECT_EQ((number & h::kDescendingFieldBit) != 0, x.descending) << x.name;
    }
    // Blocks of a keyed table hold at least three records.
    const std::size_t perBlock = px::block::capacity(table->header().blockSize,
                                                     table->header().recordSize);
    EXPECT_GE(perBlock, primary ? 3u : 1u);
  }
}

TEST(TableSchemas, TheMergedTablesHaveTheKeysTheMergeRenumbers) {
  const TableSchema& patient = PatientSchema();
  const TableSchema& session = SessionSchema();
  const TableSchema& data = DataSchema();
  EXPECT_EQ(patient.fields.size(), 18u);
  EXPECT_EQ(session.fields.size(), 65u);
  EXPECT_EQ(data.fields.size(), 40u);
  for (auto [schema, key] : {std::pair{&patient, "ID"}, {&session, "SessionID"}, {&session, "Patient"},
                             {&data, "DataID"}, {&data, "SessionID"}}) {
    const FieldSchema* f = schema->findField(key);
    ASSERT_NE(f, nullptr) << key;
    EXPECT_EQ(f->type, TFieldType::ftString) << key;
    EXPECT_EQ(f->size, 20) << key;
  }
  EXPECT_EQ(patient.primaryIndex()->fields, std::vector<std::string_view>{"ID"});
  EXPECT_EQ(session.findIndex("XPat")->fields, std::vector<std::string_view>{"Patient"});
  EXPECT_TRUE(session.findIndex("XPat")->caseInsensitive);
  EXPECT_TRUE(patient.findIndex("XName")->caseInsensitive);
  EXPECT_TRUE(data.findIndex("XSess")->descending);
  EXPECT_FALSE(data.findIndex("XSess")->caseInsensitive);
  EXPECT_TRUE(data.findField("DataID")->required);
  EXPECT_TRUE(data.findField("SessionID")->required);
  EXPECT_FALSE(session.findField("Patient")->required);

  // Pairs of fields whose order the tables fix against the natural one.
  EXPECT_LT(session.fieldIndex("mlCreationRight"), session.fieldIndex("mlCreationLeft"));
  EXPECT_LT(session.fieldIndex("mkCreationLeft"), session.fieldIndex("mkCreationRight"));
  EXPECT_EQ(session.fieldIndex("mkAllerg"), 34);
  EXPECT_EQ(session.fieldIndex("Update"), 64);
  EXPECT_EQ(data.fieldIndex("Anzeige"), 14);
  EXPECT_EQ(data.fieldIndex("color"), 39);
  EXPECT_EQ(session.findField("mlFlowDecR"), nullptr);
  EXPECT_EQ(session.findField("mlAllerg"), nullptr);

  const std::vector<std::string_view> counters = {"LastData", "LastDate", "LastSession", "LastPatient",
                                                  "Frei1",    "Frei2",    "ClPatientTag"};
  ASSERT_EQ(CounterSchema().fields.size(), counters.size());
  for (std::size_t i = 0; i < counters.size(); ++i) {
    EXPECT_EQ(CounterSchema().fields[i].name, counters[i]);
    EXPECT_EQ(CounterSchema().fields[i].type, TFieldType::ftInteger);
  }
  EXPECT_TRUE(CounterSchema().indexes.empty());
}

TEST(TableSchemas, DisplayAttributes) {
  const TableSchema& session = SessionSchema();
  const TableSchema& data = DataSchema();
  struct Expected {
    const TableSchema* schema;
    const char* field;
    const char* format;
  };
  for (const Expected& e : {Expected{&data, "FlowR075", "####"}, {&data, "FlowS300", "####"},
                            {&session, "mlFlowL150", "####"}, {&session, "mkFlowS300", "####"},
                            {&data, "FlowILb", "##0"},     {&session, "mkFlowIRa", "##0"},
                            {&data, "ResT300", "0.00"},    {&session, "mlResR075", "0.00"},
                            {&session, "mlRatio", "0.##"}, {&session, "mkRatio", "0.##"},
                            {&data, "FlowDecR", "###"},    {&data, "FlowDecL", "###"},
                            {&session, "mkFlowDecR", ""},  {&session, "Remark", ""},
                            {&data, "color", ""},          {&data, "Remark", ""}}) {
    const FieldSchema* f = e.schema->findField(e.field);
    ASSERT_NE(f, nullptr) << e.field;
    EXPECT_EQ(f->displayFormat, e.format) << e.field;
  }
  EXPECT_EQ(PatientSchema().findField("DOB")->editMask, "!00/00/0000;0;");
  EXPECT_EQ(PatientSchema().findField("Weight")->editMask, "!999;0;");
  EXPECT_EQ(PatientSchema().findField("Name")->editMask, "");
  EXPECT_EQ(AllergSchema().findField("Description")->displayWidth, 40);
  EXPECT_EQ(AllergSchema().findField("Name")->displayWidth, 0);
}

TEST(TableSchemas, FindSchemaByTableName) {
  EXPECT_EQ(FindSchema("patient.db"), &PatientSchema());
  EXPECT_EQ(FindSchema("PATIENT.DB"), &PatientSchema());
  EXPECT_EQ(FindSchema("Session"), &SessionSchema());
  EXPECT_EQ(FindSchema("index"), &CounterSchema());
  EXPECT_EQ(FindSchema("INDEX.db"), &CounterSchema());
  EXPECT_EQ(FindSchema("allerg.db"), &AllergSchema());
  EXPECT_EQ(FindSchema("patients.db"), nullptr);
  EXPECT_EQ(FindSchema(".db"), nullptr);
  EXPECT_EQ(FindSchema(""), nullptr);
  EXPECT_EQ(AllSchemas().size(), 7u);
}

TEST(TableSchemas, StorageOptionsAndSchemasThatCannotBeStored) {
  px::test::TempDir dir;
  std::unique_ptr<px::Table> table = createAndOpen(dir, PatientSchema(), StorageOptions{"ascii", 850, 4});
  ASSERT_NE(table, nullptr);
  EXPECT_EQ(table->header().sortOrderName, "ascii");
  EXPECT_EQ(table->codePageNumber(), 850);
  EXPECT_EQ(table->header().blockSizeKiB, 4);

  TableSchema keyNotLeading = PatientSchema();
  std::swap(keyNotLeading.fields[0], keyNotLeading.fields[1]);
  EXPECT_THROW(ToTableDefinition(keyNotLeading), std::invalid_argument);

  TableSchema unknownIndexField = PatientSchema();
  unknownIndexField.indexes[1].fields = {"Nachname"};
  EXPECT_THROW(ToTableDefinition(unknownIndexField), std::invalid_argument);

  TableSchema currency = TechSchema();
  currency.fields[1].type = TFieldType::ftCurrency;
  EXPECT_THROW(ToTableDefinition(currency), std::invalid_argument);

  EXPECT_THROW(ToTableDefinition(PatientSchema(), StorageOptions{"klingon", 1252, 0}), std::invalid_argument);
}

}  // namespace
