#include "tableaccess/db_errors.h"

#include <gtest/gtest.h>

#include "framework/core/component.h"

namespace {

std::string messageOf(const std::string& text, const TComponent* component) {
  try {
    DatabaseError(text, component);
  } catch (const EDatabaseError& e) {
    return e.Message();
  }
  return "(nothing thrown)";
}

TEST(DatabaseErrorTest, NamedComponentPrefixesTheText) {
  TComponent view;
  view.SetName("dIndex");
  EXPECT_EQ(messageOf("Dataset not in edit or insert mode", &view), "dIndex: Dataset not in edit or insert mode");
}

TEST(DatabaseErrorTest, UnnamedOrMissingComponentGivesTheBareText) {
  TComponent unnamed;
  EXPECT_EQ(messageOf("Record not found", &unnamed), "Record not found");
  EXPECT_EQ(messageOf("Record not found", nullptr), "Record not found");
}

TEST(DatabaseErrorTest, FormatFillsTheFirstPlaceholderOnly) {
  EXPECT_EQ(FormatText("Field '%s' not found", "ID"), "Field 'ID' not found");
  EXPECT_EQ(FormatText("'%s' is not a valid integer value", ""), "'' is not a valid integer value");
  EXPECT_EQ(FormatText("%s and %s", "a"), "a and %s");
}

}  // namespace
