// Field objects: the integer rule of text keys, cutting to Size, the
// character-set translation, range checks, conversions a class refuses, and
// the checks that bind field objects to table fields at open.
#include <gtest/gtest.h>

#include <memory>

#include "tableaccess/blob_field.h"
#include "tableaccess/boolean_field.h"
#include "tableaccess/database.h"
#include "tableaccess/db_errors.h"
#include "tableaccess/float_field.h"
#include "tableaccess/integer_field.h"
#include "tableaccess/session.h"
#include "tableaccess/string_field.h"
#include "tableaccess/table.h"
#include "tests/tableaccess/view_test_support.h"

namespace {

using viewtest::ViewTest;

class FieldTest : public ViewTest {
 protected:
  void SetUp() override {
    ViewTest::SetUp();
    viewtest::CreateTable(dir_.path(), "patient.db", viewtest::PatientDefinition(), {{"1", "Müller", "m"}});
    table_.SetName("dPatient");
    table_.SetDatabaseName(viewtest::DirectoryName(dir_.path()));
    table_.SetTableName("patient.db");
  }
  void TearDown() override {
    table_.Close();
    ViewTest::TearDown();
  }
  template <typename F>
  F* AddField(const char* name, int size = 0) {
    auto* field = new F(&table_);
    field->SetFieldName(name);
    if (size > 0) field->SetSize(size);
    field->SetDataSet(&table_);
    return field;
  }
  // Writes `text` into the ID field and reads it back as an integer.
  std::string IntegerOf(TStringField* id, const std::string& text) {
    table_.StartEdit();
    id->SetAsString(text);
    try {
      const std::int32_t value = id->AsInteger();
      table_.CancelEdit();
      return std::to_string(value);
    } catch (const EConvertError& e) {
      table_.CancelEdit();
      return "error: " + e.Message();
    }
  }

  TTable table_;
};

TEST_F(FieldTest, TextKeysReadAsIntegersByTheIntegerRule) {
  auto* id = AddField<TStringField>("ID");
  table_.Open();
  EXPECT_EQ(IntegerOf(id, " 42"), "42");
  EXPECT_EQ(IntegerOf(id, "42 "), "error: '42 ' is not a valid integer value");
  EXPECT_EQ(IntegerOf(id, "4 2"), "error: '4 2' is not a valid integer value");
  EXPECT_EQ(IntegerOf(id, "-0"), "0");
  EXPECT_EQ(IntegerOf(id, "$1F"), "31");
  EXPECT_EQ(IntegerOf(id, "0x1f"), "31");
  EXPECT_EQ(IntegerOf(id, "$FFFFFFFF"), "-1");
  EXPECT_EQ(IntegerOf(id, "$100000000"), "error: '$100000000' is not a valid integer value");
  EXPECT_EQ(IntegerOf(id, "2147483648"), "error: '2147483648' is not a valid integer value");
  EXPECT_EQ(IntegerOf(id, "-2147483648"), "-2147483648");
  EXPECT_EQ(IntegerOf(id, "-"), "error: '-' is not a valid integer value");
  EXPECT_EQ(IntegerOf(id, "+7"), "7");
  EXPECT_EQ(IntegerOf(id, "007"), "7");
}

TEST_F(FieldTest, IntegerWriteThroughATextFieldIsCutToItsSize) {
  auto* gender = AddField<TStringField>("Gender", 2);
  table_.Open();
  table_.StartEdit();
  gender->SetAsInteger(123);
  EXPECT_EQ(gender->AsString(), "12");
  gender->SetAsInteger(-5);
  EXPECT_EQ(gender->AsString(), "-5");
}

TEST_F(FieldTest, TextIsTranslatedFromTheTableCharacterSetUnlessSwitchedOff) {
  auto* name = AddField<TStringField>("Name", 60);
  table_.Open();
  EXPECT_EQ(name->AsString(), "Müller");
  name->SetTransliterate(false);
  // Code page 1252 stores ü as one byte, 0xFC.
  EXPECT_EQ(name->AsString(), std::string("M\xFCller"));
  table_.StartEdit();
  name->SetAsString(std::string("Gr\xF6\xDF"));
  name->SetTransliterate(true);
  EXPECT_EQ(name->AsString(), "Größ");
}

TEST_F(FieldTest, CutCountsCharactersNotBytes) {
  auto* name = AddField<TStringField>("Name", 3);
  table_.Open();
  EXPECT_EQ(name->AsString(), "Mül");
  table_.StartEdit();
  name->SetAsString("ÄÖÜß");
  EXPECT_EQ(name->AsString(), "ÄÖÜ");
}

TEST_F(FieldTest, IntegerFieldChecksItsRangeOnlyWhenOneIsSet) {
  auto* count = AddField<TIntegerField>("Count");
  table_.Open();
  table_.StartEdit();
  // The lowest 32-bit value is the table's blank marker; the engine refuses it.
  EXPECT_THROW(count->SetAsInteger(INT32_MIN), EDBEngineError);
  count->SetAsInteger(-2147483647);
  EXPECT_EQ(count->AsInteger(), -2147483647);
  count->SetMinValue(1);
  count->SetMaxValue(10);
  try {
    count->SetAsInteger(11);
    FAIL() << "accepted";
  } catch (const EDatabaseError& e) {
    EXPECT_EQ(e.Message(), "11 is not a valid value for field 'Count'. The allowed range is 1 to 10");
  }
  EXPECT_EQ(count->AsInteger(), -2147483647);
  count->SetAsInteger(10);
  EXPECT_EQ(count->AsString(), "10");
}

TEST_F(FieldTest, ConversionsAClassDoesNotMakeNameTheFieldAndType) {
  auto* count = AddField<TIntegerField>("Count");
  table_.Open();
  auto* flag = new TBooleanField(nullptr);
  flag->SetFieldName("Anzeige");
  try {
    flag->AsInteger();
    FAIL() << "converted";
  } catch (const EDatabaseError& e) {
    EXPECT_EQ(e.Message(), "Cannot access field 'Anzeige' as type Integer");
  }
  delete flag;
  table_.StartEdit();
  EXPECT_THROW(count->SetAsString("zwölf"), EConvertError);
}

TEST_F(FieldTest, OpenRefusesAFieldObjectWithoutTableField) {
  AddField<TStringField>("Geschlecht");
  try {
    table_.Open();
    FAIL() << "opened";
  } catch (const EDatabaseError& e) {
    EXPECT_EQ(e.Message(), "dPatient: Field 'Geschlecht' not found");
  }
  EXPECT_FALSE(table_.Active());
  // The database reference is given back.
  ASSERT_EQ(Session().DatabaseCount(), 1u);
  EXPECT_EQ(Session().Databases(0)->RefCount(), 0);
}

TEST_F(FieldTest, OpenRefusesAFieldObjectOfAnotherTypeGroup) {
  AddField<TIntegerField>("Name");
  try {
    table_.Open();
    FAIL() << "opened";
  } catch (const EDatabaseError& e) {
    EXPECT_EQ(e.Message(), "dPatient: Type mismatch for field 'Name', expecting: Integer actual: String");
  }
  EXPECT_FALSE(table_.Active());
}

TEST_F(FieldTest, SmallintBindsAnIntegerTableFieldOfItsGroup) {
  AddField<TSmallintField>("Count");
  EXPECT_NO_THROW(table_.Open());
}

TEST_F(FieldTest, TextFieldObjectLargerThanTheTableFieldTakesItsSize) {
  auto* gender = AddField<TStringField>("Gender", 40);
  auto* fixed = AddField<TStringField>("Name", 80);
  fixed->SetReadOnly(true);
  table_.Open();
  EXPECT_EQ(gender->Size(), 12);
  EXPECT_EQ(fixed->Size(), 80);
}

TEST_F(FieldTest, MissingTableNameFailsBeforeTheEngineIsAsked) {
  TTable t;
  t.SetName("dIndex");
  t.SetDatabaseName(viewtest::DirectoryName(dir_.path()));
  try {
    t.Open();
    FAIL() << "opened";
  } catch (const EDatabaseError& e) {
    EXPECT_EQ(e.Message(), "dIndex: Missing TableName property");
  }
}

TEST_F(FieldTest, NamesOfAnOpenViewCannotChange) {
  table_.Open();
  table_.SetName("dData");
  try {
    table_.SetDatabaseName(viewtest::DirectoryName(dir_.path()) + "other\\");
    FAIL() << "changed";
  } catch (const EDatabaseError& e) {
    EXPECT_EQ(e.Message(), "dData: Cannot perform this operation on an open dataset");
  }
  EXPECT_TRUE(table_.Active());
  EXPECT_NO_THROW(table_.SetDatabaseName(viewtest::DirectoryName(dir_.path())));
  EXPECT_NO_THROW(table_.SetTableName("patient.db"));
  EXPECT_THROW(table_.SetTableName("session.db"), EDatabaseError);
  EXPECT_THROW(table_.SetTableType(TTableType::ttDefault), EDatabaseError);
  EXPECT_THROW(table_.SetSessionName(""), EDatabaseError);
  table_.Close();
  EXPECT_NO_THROW(table_.SetTableName("session.db"));
}

TEST_F(FieldTest, TableTypeGivesTheDriverName) {
  TTable t;
  t.SetTableName("system.db");
  EXPECT_EQ(t.DriverTypeName(), "PARADOX");
  t.SetTableName("index");
  EXPECT_EQ(t.DriverTypeName(), "PARADOX");
  t.SetTableType(TTableType::ttParadox);
  EXPECT_EQ(t.DriverTypeName(), "PARADOX");
  t.SetTableType(TTableType::ttDefault);
  t.SetTableName("liste.dbf");
  EXPECT_EQ(t.DriverTypeName(), "DBASE");
  t.SetTableName("export.txt");
  EXPECT_EQ(t.DriverTypeName(), "ASCIIDRV");
}

TEST_F(FieldTest, TableWithoutExtensionOpensAsParadox) {
  viewtest::CreateTable(dir_.path(), "index.db", viewtest::SessionDefinition(), {{"5"}});
  TTable t;
  t.SetDatabaseName(viewtest::DirectoryName(dir_.path()));
  t.SetTableName("index");
  t.SetTableType(TTableType::ttParadox);
  t.Open();
  EXPECT_EQ(t.FieldByName("SessionID")->AsString(), "5");
}

TEST_F(FieldTest, FloatAndBooleanFieldsConvertText) {
  auto* flag = new TBooleanField(nullptr);
  EXPECT_THROW(flag->SetAsString("vielleicht"), EConvertError);
  delete flag;
  auto* number = new TFloatField(nullptr);
  EXPECT_THROW(number->SetAsString("1,5x"), EConvertError);
  delete number;
}

// Fields that outlive their view (owned elsewhere) must all forget it, so
// that none reaches back into it when it goes later.
TEST(FieldLifetime, AViewThatGoesFirstLetsGoOfEveryField) {
  TComponent owner;
  auto view = std::make_unique<TTable>();
  std::vector<TField*> fields;
  for (const char* name : {"ID", "Name", "Count", "Remark"}) {
    auto* field = new TStringField(&owner);
    field->SetFieldName(name);
    field->SetDataSet(view.get());
    fields.push_back(field);
  }
  view.reset();
  for (TField* field : fields) EXPECT_EQ(field->DataSet(), nullptr) << field->FieldName();
}

}  // namespace
