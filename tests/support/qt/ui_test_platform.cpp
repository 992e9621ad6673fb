#include "tests/support/ui_test_platform.h"

#include <cstdlib>

std::string PracticeLikeOldPath() { return "/srv/praxis/winvelda5-alt"; }

void PrepareUiTestPlatform() {
  // CTest sets these too; an existing value wins.
  ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
  ::setenv("QT_FONT_DPI", "96", 0);
  ::setenv("QT_ENABLE_HIGHDPI_SCALING", "0", 0);
}
