// The framework's exception classes. Every error the program raises is an
// Exception carrying the message that the exception display shows; EAbort is
// the silent one, which the display swallows.
#pragma once

#include <exception>
#include <string>

class Exception : public std::exception {
 public:
  explicit Exception(std::string message) : message_(std::move(message)) {}
  const std::string& Message() const { return message_; }
  void SetMessage(std::string message) { message_ = std::move(message); }
  const char* what() const noexcept override { return message_.c_str(); }

 private:
  std::string message_;
};

// Ends an operation without telling the user anything.
class EAbort : public Exception {
 public:
  EAbort() : Exception("Operation aborted") {}
};

class EConvertError : public Exception {
 public:
  using Exception::Exception;
};

class EComponentError : public Exception {
 public:
  using Exception::Exception;
};

// A stored description that cannot be read: bad syntax, an unknown class,
// property or handler, or a value of the wrong kind.
class EReadError : public Exception {
 public:
  using Exception::Exception;
};

// Throws EAbort.
[[noreturn]] void Abort();
