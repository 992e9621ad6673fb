// Another program that holds a file while a test looks on: the lockholder
// helper, started as a process of its own, since locks and sharing modes are
// only meaningful between processes.
#pragma once

#include <filesystem>
#include <string>

#include "tests/support/child_process.h"

namespace px::test {

// Whether the system keeps a file that another program merely holds open
// from being opened exclusively (Windows' sharing modes). POSIX has none: a
// file held open without a lock is in use to nobody.
bool openFilesAreInUse();

class OtherProgram {
 public:
  enum class How {
    kLock,    // locked for writing, as the clinical application holds its lock files
    kOpen,    // only held open
    kRead,    // opened for reading, and a byte read
    kEngine,  // locked as our engine locks a table (a second copy of our program)
  };

  // How the clinical application holds its lock files while it runs, as far
  // as this system's checks can see: open (Windows), locked (POSIX).
  static How likeTheClinicalApplication() { return openFilesAreInUse() ? How::kOpen : How::kLock; }

  // Starts the program; true once it holds the file, false when the file was
  // refused to it (refusal() says why) or it could not start.
  bool hold(How how, const std::filesystem::path& file);
  const std::string& refusal() const { return refusal_; }
  // Lets the program end and waits for it; what it held is free afterwards.
  void end();

 private:
  ChildProcess process_;
  std::string refusal_;
};

}  // namespace px::test
