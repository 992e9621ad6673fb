// The table access layer's exceptions. EDatabaseError is the framework error;
// raised on behalf of a named component its text reads "name: text".
// EDBEngineError carries the engine's result and its error stack as entries.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "framework/core/exceptions.h"

class TComponent;

class EDatabaseError : public Exception {
 public:
  using Exception::Exception;
};

// The open gave no cursor.
class ENoResultSet : public EDatabaseError {
 public:
  using EDatabaseError::EDatabaseError;
};

// One entry of an engine failure; entry 0 is the top-level result.
class TDBError {
 public:
  TDBError(std::uint16_t errorCode, std::int32_t nativeError, std::string message)
      : errorCode_(errorCode), nativeError_(nativeError), message_(std::move(message)) {}
  std::uint16_t ErrorCode() const { return errorCode_; }
  std::uint8_t Category() const { return static_cast<std::uint8_t>(errorCode_ >> 8); }
  std::uint8_t SubCode() const { return static_cast<std::uint8_t>(errorCode_ & 0xFF); }
  std::int32_t NativeError() const { return nativeError_; }
  const std::string& Message() const { return message_; }

 private:
  std::uint16_t errorCode_;
  std::int32_t nativeError_;
  std::string message_;
};

class EDBEngineError : public EDatabaseError {
 public:
  EDBEngineError(std::string message, std::vector<TDBError> errors)
      : EDatabaseError(std::move(message)), errors_(std::move(errors)) {}
  std::size_t ErrorCount() const { return errors_.size(); }
  const TDBError& Errors(std::size_t index) const { return errors_.at(index); }

 private:
  std::vector<TDBError> errors_;
};

// Throws EDatabaseError with `text`, prefixed "name: " when `component` has a name.
[[noreturn]] void DatabaseError(const std::string& text, const TComponent* component = nullptr);
// The same with a formatted text: "%s" in `format` takes `argument`.
[[noreturn]] void DatabaseErrorFmt(const std::string& format, const std::string& argument,
                                   const TComponent* component = nullptr);
// Replaces the first "%s" of `format` by `argument`.
std::string FormatText(const std::string& format, const std::string& argument);
