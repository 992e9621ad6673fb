// Runs one of the command-line tools of build/bin as a person would, and
// collects its exit code and everything it printed (stdout and stderr).
#pragma once

#include <array>
#include <cstdio>
#include <string>
#include <sys/wait.h>

namespace px::test {

struct ToolRun {
  int exitCode = -1;
  std::string out;
};

inline ToolRun runTool(const std::string& binDir, const std::string& tool, const std::string& args) {
  const std::string command = binDir + "/" + tool + " " + args + " 2>&1";
  ToolRun run;
  FILE* pipe = popen(command.c_str(), "r");
  if (!pipe) return run;
  std::array<char, 4096> buf{};
  std::size_t n;
  while ((n = fread(buf.data(), 1, buf.size(), pipe)) > 0) run.out.append(buf.data(), n);
  const int status = pclose(pipe);
  run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return run;
}

}  // namespace px::test
