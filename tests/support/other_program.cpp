#include "tests/support/other_program.h"

#include "tests/support/tool_run.h"

namespace px::test {

bool openFilesAreInUse() { return PX_SHARING_MODES != 0; }

bool OtherProgram::hold(How how, const std::filesystem::path& file) {
  const char* word = how == How::kLock ? "lock" : how == How::kOpen ? "open" : how == How::kRead ? "read" : "engine";
  if (!process_.start(toolPath("lockholder"), {word, argument(file)})) {
    refusal_ = "lockholder could not be started";
    return false;
  }
  std::string line;
  if (!process_.readLine(line)) line = "refused: lockholder said nothing";
  refusal_ = line == "held" ? "" : line;
  return refusal_.empty();
}

void OtherProgram::end() {
  process_.closeInput();
  process_.wait();
}

}  // namespace px::test
