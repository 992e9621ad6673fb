// mergetool-cli with a planned write fault, for the crash tests only: the
// shipped program has no such path. MERGETOOL_FAULT_AT="N:die", "N:full" or
// "N:io" makes the N-th file write of the run fail as a crash, a full disk or
// an I/O error would (0: none); the run then reports how many writes it made.
#include <cstdlib>
#include <iostream>
#include <string>

#include "app/mergetool_cli.h"
#include "engine/io/fault_injecting_file_system.h"
#include "tableaccess/engine_binding.h"

namespace {

bool ReadFaultPlan(const char* text, std::uint64_t& at, px::Fault& fault) {
  const std::string value = text;
  const std::size_t colon = value.find(':');
  if (colon == std::string::npos) return false;
  try {
    std::size_t used = 0;
    at = std::stoull(value.substr(0, colon), &used);
    if (used != colon) return false;
  } catch (const std::exception&) {
    return false;
  }
  const std::string kind = value.substr(colon + 1);
  if (kind == "die") fault = px::Fault::Die;
  else if (kind == "full") fault = px::Fault::DiskFull;
  else if (kind == "io") fault = px::Fault::IOError;
  else return false;
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  const char* text = std::getenv("MERGETOOL_FAULT_AT");
  std::uint64_t at = 0;
  px::Fault fault = px::Fault::Die;
  if (text == nullptr || !ReadFaultPlan(text, at, fault)) {
    std::cerr << "mergetool-cli-faults: MERGETOOL_FAULT_AT must be N:die, N:full or N:io\n";
    return 2;
  }
  px::FaultInjectingFileSystem faults(px::localFileSystem());
  faults.failAt(at, fault);
  binding::UseFileSystem(faults);
  const int status = RunMergeCommandLine(argc, argv);
  std::cerr << "write operations: " << faults.operations() << (faults.dead() ? " (died)" : "") << '\n';
  if (faults.dead()) return 137;  // as a killed process ends
  return status;
}
