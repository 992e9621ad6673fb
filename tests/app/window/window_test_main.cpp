// The merge window's tests, on the back end the framework was built with,
// with one runtime for the whole run.
#include <gtest/gtest.h>

#include "app/form2.h"
#include "database/dm_ra5.h"
#include "database/dm_ra5old.h"
#include "framework/ui/ui_runtime.h"
#include "tests/support/ui_test_platform.h"

int main(int argc, char** argv) {
  PrepareUiTestPlatform();
  ::testing::InitGoogleTest(&argc, argv);
  TUiRuntime runtime(argc, argv);
  TForm2::Register();
  TdmRA5old::Register();
  TdmRA5::Register();
  return RUN_ALL_TESTS();
}
