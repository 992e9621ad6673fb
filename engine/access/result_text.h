// What a result code means, in words a user can act on, and the error stack
// that carries the detail of one failure (outermost context first) up to the
// binding, which turns it into the lines of an error message.
//
// Texts are static and live for the whole program. An ErrorStack is a plain
// value: it belongs to whoever holds it (the engine session) and is not
// thread-safe beyond that.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "engine/result_codes.h"
#include "engine/status.h"

namespace px {

// The engine's text for a code. A code without a text of its own gets its
// category's text (categoryText), so every code reads as something.
std::string_view resultText(ResultCode code);

// The generic text of a category ("Unexpected lock conflict"), used for codes
// that have no text of their own.
std::string_view categoryText(std::uint8_t category);

struct ErrorEntry {
  ResultCode code = rc::kOk;
  std::int32_t nativeError = 0;  // the operating system's error number; 0 if none
  std::string text;              // the detail: "patient.db: block 12: chain broken"
};

// The entries below one top-level result. Entries are numbered from 1: entry 1
// is the outermost context ("the table could not be opened"), the last one is
// where the fault was found. The top-level result itself is not on the stack;
// its caller holds it. Reading past the end answers rc::kOk, so a reader can
// walk "from 1 until the code is 0".
class ErrorStack {
 public:
  // Adds an entry below the ones already there (further from the caller).
  void push(ErrorEntry entry);
  void push(ResultCode code, std::int32_t nativeError, std::string text);
  // Adds a failed Status as an entry; an ok one is ignored.
  void push(const Status& status);
  // Adds an entry above all others, for context added while a failure travels
  // outward ("opening patient.db" above what went wrong inside).
  void pushOutermost(ErrorEntry entry);

  void clear() { entries_.clear(); }
  std::size_t size() const { return entries_.size(); }
  bool empty() const { return entries_.empty(); }

  // Entry `number` (1 = outermost). Returns false and an empty entry (code
  // rc::kOk) for 0 and for numbers beyond the last.
  bool entry(std::size_t number, ErrorEntry& out) const;
  // The code of entry `number`, rc::kOk beyond the end.
  ResultCode codeAt(std::size_t number) const;

  const std::vector<ErrorEntry>& entries() const { return entries_; }

 private:
  std::vector<ErrorEntry> entries_;
};

}  // namespace px
