#include "tests/support/tool_run.h"

#include "engine/io/path_text.h"
#include "engine/io/platform.h"
#include "tests/support/child_process.h"

namespace px::test {

std::filesystem::path toolDirectory() { return executableDirectory(); }

std::filesystem::path toolPath(const std::string& tool) { return toolDirectory() / (tool + PX_EXECUTABLE_SUFFIX); }

ToolRun runProgram(const std::filesystem::path& program, const std::vector<std::string>& arguments) {
  ToolRun run;
  ChildProcess child;
  if (!child.start(program, arguments)) {
    run.out = "cannot start " + pathText(program);
    return run;
  }
  child.closeInput();
  run.out = child.readAll();
  run.exitCode = child.wait();
  // Windows programs end their lines with CR LF in text mode; the tests
  // compare the text.
  for (std::size_t at = run.out.find("\r\n"); at != std::string::npos; at = run.out.find("\r\n", at)) run.out.erase(at, 1);
  return run;
}

ToolRun runTool(const std::string& tool, const std::vector<std::string>& arguments) {
  return runProgram(toolPath(tool), arguments);
}

ToolRun runTool(const std::string& tool, const std::string& line) { return runTool(tool, words(line)); }

std::vector<std::string> words(const std::string& line) {
  std::vector<std::string> out;
  std::string word;
  bool inWord = false;
  char quote = 0;
  for (char c : line) {
    if (quote != 0) {
      if (c == quote) quote = 0;
      else word += c;
    } else if (c == '\'' || c == '"') {
      quote = c;
      inWord = true;
    } else if (c == ' ' || c == '\t') {
      if (inWord) out.push_back(word);
      word.clear();
      inWord = false;
    } else {
      word += c;
      inWord = true;
    }
  }
  if (inWord) out.push_back(word);
  return out;
}

std::string argument(const std::filesystem::path& path) { return pathText(path); }

}  // namespace px::test
