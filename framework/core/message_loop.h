// The seam between the application object and the loop that takes and
// dispatches the window system's messages. The windowed program installs its
// back end's loop (framework/ui); a loop catches nothing itself: whatever it
// dispatches to the program's code goes through the handler boundary.
#pragma once

class TMessageLoop {
 public:
  virtual ~TMessageLoop() = default;
  // Takes and dispatches messages until a quit message is taken.
  virtual void Run() = 0;
  // Posts a quit message; Run returns when the loop takes it.
  virtual void PostQuit() = 0;
  // Dispatches the messages that wait, without waiting for more; a quit
  // message among them stays for Run.
  virtual void ProcessMessages() = 0;
};
