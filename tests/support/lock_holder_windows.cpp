// lockholder HOW FILE: stands in for another program that holds FILE while a
// test looks on. It prints "held" once it has the file as HOW says, or
// "refused: ..." when it cannot have it, and then waits for the end of its
// input before it ends (and lets go). HOW on Windows:
//   lock    open it for reading and writing, sharing both, and lock a byte
//           range, as the clinical application holds its lock files
//   open    only keep it open, sharing everything
//   read    open it for reading (others may read and write) and read a byte
//   engine  take the engine's own lock (px::FileLock), as a second copy of
//           our program holds a table
#include <windows.h>

#include <cstdio>
#include <iostream>
#include <string>
#include <vector>

#include "engine/io/file_lock.h"
#include "engine/io/path_text.h"
#include "engine/io/platform.h"

namespace {

std::string lastError(const char* what) { return std::string(what) + " failed, error " + std::to_string(GetLastError()); }

std::string take(const std::string& how, const std::string& file, px::FileLock& engineLock) {
  const std::filesystem::path path = px::pathFromUtf8(file);
  if (how == "engine") {
    const px::Status s = engineLock.acquire(path, px::FileLock::Readers::kLetIn);
    return s.ok() ? "" : s.message();
  }
  const DWORD all = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
  DWORD access = GENERIC_READ | GENERIC_WRITE;
  DWORD sharing = FILE_SHARE_READ | FILE_SHARE_WRITE;
  if (how == "open") sharing = all;
  if (how == "read") {
    access = GENERIC_READ;
    sharing = all;
  }
  if (how != "lock" && how != "open" && how != "read") return "unknown way to hold a file: " + how;
  const HANDLE h = CreateFileW(path.c_str(), access, sharing, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return lastError("CreateFileW");
  if (how == "lock") {
    // The first bytes, where a program's lock on a record of its own lies.
    OVERLAPPED range{};
    if (!LockFileEx(h, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 64, 0, &range))
      return lastError("LockFileEx");
  } else if (how == "read") {
    char byte;
    DWORD got = 0;
    if (!ReadFile(h, &byte, 1, &got, nullptr)) return lastError("ReadFile");
  }
  return "";  // the handle stays open until the program ends
}

}  // namespace

int main(int argc, char** argv) {
  const std::vector<std::string> args = px::commandLineArguments(argc, argv);
  if (args.size() != 3) {
    std::fprintf(stderr, "usage: lockholder lock|open|read|engine FILE\n");
    return 2;
  }
  px::FileLock engineLock;
  const std::string refusal = take(args[1], args[2], engineLock);
  std::cout << (refusal.empty() ? "held" : "refused: " + refusal) << std::endl;
  std::string ignored;
  while (std::getline(std::cin, ignored)) {
  }
  return 0;
}
