// pxcheck: checks Paradox table families for everything the original engine
// relies on and prints every finding.
//   pxcheck [--rebuild] DIR|TABLE ...
// A TABLE is the path of a .DB (the extension may be left out); a DIR checks
// every table in it. --rebuild also rebuilds the indexes in memory and reports
// each difference from the files. Prints "error: FILE: text" and
// "warning: FILE: text" lines and one summary line per table.
// Exit code 0 without errors, 1 with any error, 2 on a usage error.
#include <filesystem>
#include <iostream>
#include <string>
#include <vector>

#include "engine/io/path_text.h"
#include "engine/io/platform.h"
#include "engine/storage/table_check.h"
#include "engine/storage/table_family.h"

namespace {

int usage() {
  std::cerr << "usage: pxcheck [--rebuild] DIR|TABLE ...\n";
  return 2;
}

std::string counted(std::size_t n, const char* word) { return std::to_string(n) + " " + word + (n == 1 ? "" : "s"); }

// Prints one table's findings and summary; true when it had no error.
bool report(const px::TableCheckResult& result) {
  if (!result.status.ok()) {
    std::cout << "error: " << result.status.message() << "\n" << result.table << ": not checked\n";
    return false;
  }
  for (const px::CheckFinding& f : result.findings)
    std::cout << (f.severity == px::CheckFinding::Severity::Error ? "error: " : "warning: ") << f.file << ": " << f.text
              << "\n";
  const std::size_t errors = result.errors();
  const std::size_t warnings = result.warnings();
  std::cout << result.table << ": ";
  if (errors == 0) {
    std::cout << "ok";
    if (warnings) std::cout << " (" << counted(warnings, "warning") << ")";
  } else {
    std::cout << counted(errors, "error");
    if (warnings) std::cout << ", " << counted(warnings, "warning");
  }
  std::cout << "\n";
  return errors == 0;
}

px::TableCheckResult checkOne(const std::filesystem::path& path, const px::CheckOptions& options) {
  std::filesystem::path dir = path.parent_path();
  if (dir.empty()) dir = ".";
  px::TableCheckResult result;
  result.table = path.filename().string();
  px::TableFamily family;
  result.status = px::locateFamily(px::localFileSystem(), dir, result.table, family);
  if (!result.status.ok()) return result;
  result.table = family.dataFile.filename().string();
  result.status = px::checkTable(px::localFileSystem(), dir, result.table, options, result.findings);
  return result;
}

}  // namespace

int main(int argc, char** argv) {
  px::useUtf8Console();
  const std::vector<std::string> args = px::commandLineArguments(argc, argv);
  px::CheckOptions options;
  std::vector<std::filesystem::path> targets;
  for (std::size_t i = 1; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (arg == "--rebuild") {
      options.rebuild = true;
    } else if (!arg.empty() && arg[0] == '-') {
      return usage();
    } else {
      targets.push_back(px::pathFromUtf8(arg));
    }
  }
  if (targets.empty()) return usage();

  bool clean = true;
  for (const std::filesystem::path& target : targets) {
    if (px::localFileSystem().isDirectory(target)) {
      std::vector<px::TableCheckResult> results;
      px::Status s = px::checkDirectory(px::localFileSystem(), target, options, results);
      if (!s.ok()) {
        std::cout << "error: " << s.message() << "\n";
        clean = false;
      }
      for (const auto& result : results) clean = report(result) && clean;
    } else {
      clean = report(checkOne(target, options)) && clean;
    }
  }
  return clean ? 0 : 1;
}
