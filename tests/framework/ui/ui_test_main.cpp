// The component set's tests run under Qt's offscreen platform at 96 dpi,
// with one QApplication for the whole run.
#include <gtest/gtest.h>

#include <cstdlib>

#include "framework/ui/ui_runtime.h"
#include "tests/framework/ui/ui_test_window.h"

int main(int argc, char** argv) {
  // CTest sets these too; a run by hand gets the same.
  ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
  ::setenv("QT_FONT_DPI", "96", 0);
  ::setenv("QT_ENABLE_HIGHDPI_SCALING", "0", 0);
  ::testing::InitGoogleTest(&argc, argv);
  TUiRuntime runtime(argc, argv);
  TTestWindow::Register();
  return RUN_ALL_TESTS();
}
