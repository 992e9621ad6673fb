// What the write benchmarks share: stopping on a failed engine call, timing,
// and the I/O floor they compare against (a plain copy of the same files).
#pragma once

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "engine/io/file_system.h"
#include "engine/status.h"

namespace bench {

using Clock = std::chrono::steady_clock;

inline void check(const px::Status& s, const char* what) {
  if (!s.ok()) {
    std::fprintf(stderr, "%s: %s\n", what, s.message().c_str());
    std::exit(1);
  }
}

inline double seconds(Clock::time_point since) { return std::chrono::duration<double>(Clock::now() - since).count(); }

// Reads every file of `from` and writes it anew in `to`, durably, as a commit
// must; returns the seconds it took.
inline double plainCopy(const std::filesystem::path& from, const std::filesystem::path& to) {
  std::filesystem::create_directories(to);
  const auto start = Clock::now();
  for (const auto& e : std::filesystem::directory_iterator(from)) {
    px::Bytes bytes;
    check(px::localFileSystem().readFile(e.path(), bytes), "read for copy");
    check(px::localFileSystem().writeFile(to / e.path().filename(), bytes, true), "write copy");
  }
  check(px::localFileSystem().syncDirectory(to), "sync copy");
  return seconds(start);
}

}  // namespace bench
