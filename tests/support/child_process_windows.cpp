// ChildProcess on Windows: CreateProcessW with inherited pipe handles, the
// command line quoted as our programs take it apart again.
#include "tests/support/child_process.h"

#include <windows.h>

#include <string>

namespace px::test {

namespace {

std::wstring wide(const std::string& text) {
  if (text.empty()) return {};
  const int n = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring out(static_cast<std::size_t>(n), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), n);
  return out;
}

// One argument as our programs take it apart (command_line_windows.h):
// quotes around it when it holds blanks, backslashes as they are. No
// argument of theirs holds a quote.
void appendQuoted(std::wstring& line, const std::wstring& argument) {
  if (!line.empty()) line += L' ';
  if (!argument.empty() && argument.find_first_of(L" \t") == std::wstring::npos) {
    line += argument;
    return;
  }
  line += L'"' + argument + L'"';
}

}  // namespace

struct ChildProcess::Native {
  HANDLE process = nullptr;
  HANDLE input = nullptr;
  HANDLE output = nullptr;
};

ChildProcess::ChildProcess() : native_(std::make_unique<Native>()) {}

ChildProcess::~ChildProcess() {
  closeInput();
  wait();
}

bool ChildProcess::start(const std::filesystem::path& program, const std::vector<std::string>& arguments) {
  SECURITY_ATTRIBUTES inherited{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
  HANDLE inRead, inWrite, outRead, outWrite;
  if (!CreatePipe(&inRead, &inWrite, &inherited, 0)) {
    error_ = "CreatePipe failed, error " + std::to_string(GetLastError());
    return false;
  }
  if (!CreatePipe(&outRead, &outWrite, &inherited, 0)) {
    error_ = "CreatePipe failed, error " + std::to_string(GetLastError());
    CloseHandle(inRead);
    CloseHandle(inWrite);
    return false;
  }
  // Our ends stay ours.
  SetHandleInformation(inWrite, HANDLE_FLAG_INHERIT, 0);
  SetHandleInformation(outRead, HANDLE_FLAG_INHERIT, 0);

  std::wstring line;
  appendQuoted(line, program.wstring());
  for (const std::string& argument : arguments) appendQuoted(line, wide(argument));

  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = inRead;
  startup.hStdOutput = outWrite;
  startup.hStdError = outWrite;
  PROCESS_INFORMATION info{};
  const BOOL started = CreateProcessW(program.c_str(), line.data(), nullptr, nullptr, TRUE, CREATE_NO_WINDOW, nullptr,
                                      nullptr, &startup, &info);
  if (!started) error_ = "CreateProcessW failed, error " + std::to_string(GetLastError());
  CloseHandle(inRead);
  CloseHandle(outWrite);
  if (!started) {
    CloseHandle(inWrite);
    CloseHandle(outRead);
    return false;
  }
  CloseHandle(info.hThread);
  native_->process = info.hProcess;
  native_->input = inWrite;
  native_->output = outRead;
  return true;
}

bool ChildProcess::readMore() {
  if (native_->output == nullptr) return false;
  char buffer[4096];
  DWORD got = 0;
  if (!ReadFile(native_->output, buffer, sizeof buffer, &got, nullptr) || got == 0) {
    CloseHandle(native_->output);
    native_->output = nullptr;
    return false;
  }
  pending_.append(buffer, got);
  return true;
}

void ChildProcess::closeInput() {
  if (native_->input != nullptr) CloseHandle(native_->input);
  native_->input = nullptr;
}

int ChildProcess::wait() {
  if (ended_ || native_->process == nullptr) return exitCode_;
  closeInput();
  while (readMore()) {
  }
  WaitForSingleObject(native_->process, INFINITE);
  DWORD code = 0;
  exitCode_ = GetExitCodeProcess(native_->process, &code) ? static_cast<int>(code) : -1;
  CloseHandle(native_->process);
  native_->process = nullptr;
  ended_ = true;
  return exitCode_;
}

}  // namespace px::test
