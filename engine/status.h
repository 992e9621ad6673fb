// The outcome of an engine operation: a result code and, on failure, a text
// that names the file and what is wrong. The engine never throws across its
// interface; it returns one of these.
#pragma once

#include <string>
#include <utility>

#include "engine/result_codes.h"

namespace px {

class [[nodiscard]] Status {
 public:
  Status() = default;
  Status(ResultCode code, std::string message) : code_(code), message_(std::move(message)) {}

  static Status Ok() { return Status(); }

  bool ok() const { return code_ == rc::kOk; }
  ResultCode code() const { return code_; }
  const std::string& message() const { return message_; }

  // Prefixes the message with context ("patient.db: ..."), keeping the code.
  Status withContext(const std::string& context) const {
    if (ok()) return *this;
    return Status(code_, context + ": " + message_);
  }

 private:
  ResultCode code_ = rc::kOk;
  std::string message_;
};

// Returns early from the calling function when an expression yields a failure.
#define PX_RETURN_IF_ERROR(expr)          \
  do {                                    \
    ::px::Status px_status_ = (expr);     \
    if (!px_status_.ok()) return px_status_; \
  } while (false)

}  // namespace px
