// What the user-interface tests need of the platform before the runtime
// starts: on Qt the offscreen platform at 96 dpi, so that a run by hand sees
// what CTest's run sees; on Windows nothing beyond what the program does.
#pragma once

#include <string>

void PrepareUiTestPlatform();

// The old database's directory as a practice would name it on this
// platform, for pictures of the window.
std::string PracticeLikeOldPath();
