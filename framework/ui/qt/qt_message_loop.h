// The message loop of the windowed program: Qt's event loop. A quit is
// posted as an event, so it takes effect when the loop takes it, as a quit
// message would.
#pragma once

#include "framework/core/message_loop.h"

class TQtMessageLoop : public TMessageLoop {
 public:
  void Run() override;
  void PostQuit() override;
  void ProcessMessages() override;
};
