// Child processes for lock tests: locks are only meaningful between
// processes, so the tests fork a second program that holds a lock, or that
// tries to take one, and talk to it through pipes (no sleeps: every wait is a
// blocking read or waitpid).
#pragma once

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <functional>

namespace px::test {

// A child process that holds a lock on one file until the object goes.
class LockingChild {
 public:
  // Returns once the child holds a write lock on the whole file, taken the
  // way most programs take one (a process-owned fcntl record lock); false if
  // it could not take it.
  bool start(const std::filesystem::path& path) {
    int ready[2];
    int release[2];
    if (::pipe(ready) != 0 || ::pipe(release) != 0) return false;
    pid_ = ::fork();
    if (pid_ < 0) return false;
    if (pid_ == 0) {
      ::close(ready[0]);
      ::close(release[1]);
      char ok = 0;
      const int fd = ::open(path.c_str(), O_RDWR);
      if (fd >= 0) {
        struct flock lock {};
        lock.l_type = F_WRLCK;
        lock.l_whence = SEEK_SET;
        ok = ::fcntl(fd, F_SETLK, &lock) == 0 ? 1 : 0;
      }
      if (::write(ready[1], &ok, 1) != 1) ::_exit(2);
      char c;
      (void)!::read(release[0], &c, 1);  // returns when the parent closes its end
      ::_exit(0);
    }
    ::close(ready[1]);
    ::close(release[0]);
    releaseFd_ = release[1];
    char ok = 0;
    const bool got = ::read(ready[0], &ok, 1) == 1 && ok == 1;
    ::close(ready[0]);
    return got;
  }

  // Lets the child end and waits for it; its lock is gone afterwards.
  void stop() {
    if (releaseFd_ >= 0) ::close(releaseFd_);
    releaseFd_ = -1;
    if (pid_ > 0) ::waitpid(pid_, nullptr, 0);
    pid_ = -1;
  }

  ~LockingChild() { stop(); }

 private:
  pid_t pid_ = -1;
  int releaseFd_ = -1;
};

// Runs `body` in a child process and returns its result (the exit code), or
// -1 when the child did not end normally.
inline int runInChild(const std::function<int()>& body) {
  const pid_t pid = ::fork();
  if (pid < 0) return -1;
  if (pid == 0) ::_exit(body());
  int status = 0;
  if (::waitpid(pid, &status, 0) != pid || !WIFEXITED(status)) return -1;
  return WEXITSTATUS(status);
}

}  // namespace px::test
