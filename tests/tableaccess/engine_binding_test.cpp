// How a failing engine result becomes an EDBEngineError: the lines of the
// engine's texts and its error stack, trimmed and without repeats, and the
// start message while the session is not active.
#include "tableaccess/engine_binding.h"

#include <gtest/gtest.h>

#include "engine/access/result_text.h"

namespace {

class EngineBindingTest : public ::testing::Test {
 protected:
  void SetUp() override {
    wasActive_ = binding::SessionActive();
    binding::SetSessionActive(true);
    binding::Engine().errors().clear();
  }
  void TearDown() override {
    binding::Engine().errors().clear();
    binding::SetSessionActive(wasActive_);
  }
  bool wasActive_ = false;
};

TEST_F(EngineBindingTest, LinesAreTrimmedJoinedByCrLfAndRepeatsLeftOutWithoutRegardToCase) {
  px::ErrorStack& stack = binding::Engine().errors();
  stack.push(px::rc::kFileNotFound, 2, "  the database could not be opened \t");
  stack.push(px::rc::kFileNotFound, 2, "THE DATABASE COULD NOT BE OPENED");
  stack.push(px::rc::kFileNotFound, 0, "patient.db: table does not exist\n");
  const px::Status status(px::rc::kFileNotFound, "patient.db: table does not exist\n");
  const EDBEngineError error = binding::ErrorFor(status);
  const std::string codeText(px::resultText(px::rc::kFileNotFound));
  EXPECT_EQ(error.Message(), codeText + "\r\nthe database could not be opened\r\npatient.db: table does not exist");
  ASSERT_EQ(error.ErrorCount(), 4u);
  EXPECT_EQ(error.Errors(0).ErrorCode(), px::rc::kFileNotFound);
  EXPECT_EQ(error.Errors(0).Category(), 0x21);
  EXPECT_EQ(error.Errors(0).SubCode(), 0x08);
  EXPECT_EQ(error.Errors(1).NativeError(), 2);
  // The stack belongs to the one failure it explained.
  EXPECT_TRUE(stack.empty());
}

TEST_F(EngineBindingTest, ResultWithoutStackCarriesItsOwnDetail) {
  const EDBEngineError error = binding::ErrorFor(px::Status(px::rc::kKeyViolation, "patient.db: key 7 exists"));
  EXPECT_EQ(error.Message(), std::string(px::resultText(px::rc::kKeyViolation)) + "\r\npatient.db: key 7 exists");
  EXPECT_EQ(error.ErrorCount(), 2u);
}

TEST_F(EngineBindingTest, StaleStackOfAnEarlierFailureIsNotShown) {
  binding::Engine().errors().push(px::rc::kFileNotFound, 0, "old failure");
  const EDBEngineError error = binding::ErrorFor(px::Status(px::rc::kRecordLocked, "record 3 is locked"));
  EXPECT_EQ(error.Message().find("old failure"), std::string::npos) << error.Message();
}

TEST_F(EngineBindingTest, DriverMessageCodeLeavesTheCodeTextsOut) {
  const EDBEngineError error = binding::ErrorFor(px::Status(0x2EC4, "  the driver says no  "));
  EXPECT_EQ(error.Message(), "the driver says no");
}

TEST_F(EngineBindingTest, NoLineAtAllGivesTheEngineErrorNumber) {
  const EDBEngineError error = binding::ErrorFor(px::Status(0x2EC4, " \r\n "));
  EXPECT_EQ(error.Message(), "Engine error $2EC4");
}

TEST_F(EngineBindingTest, BeforeTheSessionStartsEveryFailureReadsAsAFailedStart) {
  binding::SetSessionActive(false);
  const EDBEngineError error = binding::ErrorFor(px::Status(px::rc::kFileNotFound, "whatever"));
  EXPECT_EQ(error.Message(), "An error occurred while attempting to initialize the database engine (error $2108)");
  ASSERT_EQ(error.ErrorCount(), 1u);
  EXPECT_EQ(error.Errors(0).Message(), error.Message());
  // The session's own busy code is reported as itself.
  const EDBEngineError busy = binding::ErrorFor(px::Status(0x2F01, "busy"));
  EXPECT_EQ(busy.Message().find("initialize"), std::string::npos);
}

TEST_F(EngineBindingTest, OutcomesAreNotErrors) {
  EXPECT_EQ(binding::Classify(px::Status(px::rc::kAtBeginning, "")), binding::FetchResult::AtBeginning);
  EXPECT_EQ(binding::Classify(px::Status(px::rc::kAtEnd, "")), binding::FetchResult::AtEnd);
  EXPECT_EQ(binding::Classify(px::Status(px::rc::kRecordLocked, "")), binding::FetchResult::Error);
  EXPECT_NO_THROW(binding::Check(px::Status::Ok()));
  EXPECT_THROW(binding::Check(px::Status(px::rc::kRecordLocked, "x")), EDBEngineError);
}

}  // namespace
