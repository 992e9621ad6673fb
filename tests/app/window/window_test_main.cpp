// The merge window's tests run under Qt's offscreen platform at 96 dpi, with
// one QApplication for the whole run.
#include <gtest/gtest.h>

#include <cstdlib>

#include "app/form2.h"
#include "database/dm_ra5.h"
#include "database/dm_ra5old.h"
#include "framework/ui/ui_runtime.h"

int main(int argc, char** argv) {
  ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
  ::setenv("QT_FONT_DPI", "96", 0);
  ::setenv("QT_ENABLE_HIGHDPI_SCALING", "0", 0);
  ::testing::InitGoogleTest(&argc, argv);
  TUiRuntime runtime(argc, argv);
  TForm2::Register();
  TdmRA5old::Register();
  TdmRA5::Register();
  return RUN_ALL_TESTS();
}
