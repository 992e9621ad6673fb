// Runs one of the command-line tools beside the test program as a person
// would, with nothing on its input, and collects its exit code and
// everything it printed (stdout and stderr, lines ending in "\n" on every
// system).
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace px::test {

struct ToolRun {
  int exitCode = -1;
  std::string out;
};

// The directory of the tools: the test programs are built beside them.
std::filesystem::path toolDirectory();
// The file of the named tool in toolDirectory() ("pxcheck", "lockholder").
std::filesystem::path toolPath(const std::string& tool);

// Runs `program` with `arguments` (UTF-8, no shell in between) to its end.
ToolRun runProgram(const std::filesystem::path& program, const std::vector<std::string>& arguments);
// runProgram on toolPath(tool).
ToolRun runTool(const std::string& tool, const std::vector<std::string>& arguments);
// The same with the arguments written as one line, split by words().
ToolRun runTool(const std::string& tool, const std::string& line);

// The words of `line` as a shell splits them, for arguments written as one
// line: blanks separate, '...' and "..." keep blanks (and backslashes are
// plain characters, as in Windows paths).
std::vector<std::string> words(const std::string& line);

// A path as a tool's argument: UTF-8.
std::string argument(const std::filesystem::path& path);

}  // namespace px::test
