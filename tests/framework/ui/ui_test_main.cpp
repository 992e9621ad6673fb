// The component set's tests, on the back end the framework was built with,
// with one runtime for the whole run.
#include <gtest/gtest.h>

#include "framework/ui/ui_runtime.h"
#include "tests/framework/ui/ui_test_window.h"
#include "tests/support/ui_test_platform.h"

int main(int argc, char** argv) {
  PrepareUiTestPlatform();
  ::testing::InitGoogleTest(&argc, argv);
  TUiRuntime runtime(argc, argv);
  TTestWindow::Register();
  return RUN_ALL_TESTS();
}
