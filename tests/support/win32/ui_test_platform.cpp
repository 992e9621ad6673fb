#include "tests/support/ui_test_platform.h"

std::string PracticeLikeOldPath() { return "C:\\Praxis\\winVELDA alt"; }

void PrepareUiTestPlatform() {}
