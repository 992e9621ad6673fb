// ChildProcess on POSIX: fork and exec with pipes.
#include "tests/support/child_process.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>

namespace px::test {

struct ChildProcess::Native {
  pid_t pid = -1;
  int input = -1;   // the child's stdin, our end
  int output = -1;  // the child's stdout and stderr, our end
};

ChildProcess::ChildProcess() : native_(std::make_unique<Native>()) {}

ChildProcess::~ChildProcess() {
  closeInput();
  wait();
}

bool ChildProcess::start(const std::filesystem::path& program, const std::vector<std::string>& arguments) {
  int in[2], out[2];
  if (::pipe2(in, O_CLOEXEC) != 0) return false;
  if (::pipe2(out, O_CLOEXEC) != 0) {
    ::close(in[0]);
    ::close(in[1]);
    return false;
  }
  std::vector<std::string> strings{program.string()};
  strings.insert(strings.end(), arguments.begin(), arguments.end());
  std::vector<char*> argv;
  for (std::string& s : strings) argv.push_back(s.data());
  argv.push_back(nullptr);

  const pid_t pid = ::fork();
  if (pid == 0) {
    ::dup2(in[0], STDIN_FILENO);
    ::dup2(out[1], STDOUT_FILENO);
    ::dup2(out[1], STDERR_FILENO);
    ::execv(argv[0], argv.data());
    ::_exit(127);
  }
  ::close(in[0]);
  ::close(out[1]);
  if (pid < 0) {
    ::close(in[1]);
    ::close(out[0]);
    return false;
  }
  native_->pid = pid;
  native_->input = in[1];
  native_->output = out[0];
  return true;
}

bool ChildProcess::readMore() {
  if (native_->output < 0) return false;
  char buffer[4096];
  for (;;) {
    const ssize_t n = ::read(native_->output, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      ::close(native_->output);
      native_->output = -1;
      return false;
    }
    pending_.append(buffer, static_cast<std::size_t>(n));
    return true;
  }
}

void ChildProcess::closeInput() {
  if (native_->input >= 0) ::close(native_->input);
  native_->input = -1;
}

int ChildProcess::wait() {
  if (ended_ || native_->pid < 0) return exitCode_;
  closeInput();
  while (readMore()) {
  }
  int status = 0;
  pid_t got;
  do {
    got = ::waitpid(native_->pid, &status, 0);
  } while (got < 0 && errno == EINTR);
  ended_ = true;
  exitCode_ = got == native_->pid && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return exitCode_;
}

}  // namespace px::test
