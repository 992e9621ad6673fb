// lockholder HOW FILE: stands in for another program that holds FILE while a
// test looks on. It prints "held" once it has the file as HOW says, or
// "refused: ..." when it cannot have it, and then waits for the end of its
// input before it ends (and lets go). HOW on POSIX:
//   lock    open for writing and take a process-owned record lock over the
//           whole file, as most programs lock
//   open    only keep the file open
//   read    open it for reading and read its first byte
//   engine  take the engine's own lock (px::FileLock), as a second copy of
//           our program holds a table
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <iostream>
#include <string>

#include "engine/io/file_lock.h"
#include "engine/io/path_text.h"

namespace {

std::string take(const std::string& how, const char* file, px::FileLock& engineLock) {
  if (how == "engine") {
    const px::Status s = engineLock.acquire(px::pathFromUtf8(file), px::FileLock::Readers::kLetIn);
    return s.ok() ? "" : s.message();
  }
  const int fd = ::open(file, how == "read" ? O_RDONLY : O_RDWR);
  if (fd < 0) return std::strerror(errno);
  if (how == "lock") {
    struct flock lock {};
    lock.l_type = F_WRLCK;
    lock.l_whence = SEEK_SET;
    if (::fcntl(fd, F_SETLK, &lock) != 0) return std::strerror(errno);
  } else if (how == "read") {
    char byte;
    if (::read(fd, &byte, 1) < 0) return std::strerror(errno);
  } else if (how != "open") {
    return "unknown way to hold a file: " + how;
  }
  return "";  // the descriptor stays open until the program ends
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: lockholder lock|open|read|engine FILE\n");
    return 2;
  }
  px::FileLock engineLock;
  const std::string refusal = take(argv[1], argv[2], engineLock);
  std::cout << (refusal.empty() ? "held" : "refused: " + refusal) << std::endl;
  std::string ignored;
  while (std::getline(std::cin, ignored)) {
  }
  return 0;
}
