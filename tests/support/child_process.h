// Programs that the tests start: the command-line tools, and helpers that
// hold a file the way another program would. A child's stdin is a pipe from
// the test, its stdout and stderr one pipe back; every wait is a blocking
// read or a wait for its end, never a sleep. child_process_posix.cpp and
// child_process_windows.cpp start and watch the processes.
#pragma once

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace px::test {

class ChildProcess {
 public:
  ChildProcess();
  // Closes the child's input and waits for its end.
  ~ChildProcess();
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  // Starts `program` with `arguments` (UTF-8, passed as they are, no shell).
  // False when it could not be started. REQUIRES: not started yet.
  bool start(const std::filesystem::path& program, const std::vector<std::string>& arguments);
  // One line of what the child writes, without its line end; false at the end.
  bool readLine(std::string& line);
  // Everything the child writes until it closes its output.
  std::string readAll();
  // Closes the child's input: a child reading stdin sees its end.
  void closeInput();
  // Waits for the child's end: its exit code, -1 when it did not end normally
  // or was never started.
  int wait();

 private:
  struct Native;
  std::unique_ptr<Native> native_;
  std::string pending_;  // read beyond the last line returned
  bool ended_ = false;
  int exitCode_ = -1;
  // Reads what is there (blocking); false at the end of the output.
  bool readMore();
};

}  // namespace px::test
