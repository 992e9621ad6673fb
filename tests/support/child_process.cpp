// The parts of ChildProcess that are the same on every system: lines and
// the whole output out of what readMore brings.
#include "tests/support/child_process.h"

namespace px::test {

bool ChildProcess::readLine(std::string& line) {
  for (;;) {
    const std::size_t end = pending_.find('\n');
    if (end != std::string::npos) {
      line = pending_.substr(0, end);
      if (!line.empty() && line.back() == '\r') line.pop_back();
      pending_.erase(0, end + 1);
      return true;
    }
    if (!readMore()) {
      if (pending_.empty()) return false;
      line = std::move(pending_);
      pending_.clear();
      return true;
    }
  }
}

std::string ChildProcess::readAll() {
  while (readMore()) {
  }
  std::string all = std::move(pending_);
  pending_.clear();
  return all;
}

}  // namespace px::test
