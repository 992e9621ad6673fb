#include "tableaccess/engine_binding.h"

#include <cctype>
#include <cstdio>
#include <memory>
#include <mutex>
#include <vector>

#include "engine/access/result_text.h"

namespace binding {
namespace {

// Switches the engine's session off the file system of a previous one.
std::unique_ptr<px::EngineSession>& EngineSlot() {
  static std::unique_ptr<px::EngineSession> engine;
  return engine;
}

bool& ActiveFlag() {
  static bool active = false;
  return active;
}

std::mutex& TranslateToProgramLock() {
  static std::mutex lock;
  return lock;
}

std::mutex& TranslateToTableLock() {
  static std::mutex lock;
  return lock;
}

std::string Trimmed(std::string_view text) {
  auto blankOrControl = [](char c) { return static_cast<unsigned char>(c) <= 32 || c == 127; };
  while (!text.empty() && blankOrControl(text.front())) text.remove_prefix(1);
  while (!text.empty() && blankOrControl(text.back())) text.remove_suffix(1);
  return std::string(text);
}

bool SameLine(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i]))) return false;
  }
  return true;
}

std::string Hex4(std::uint16_t code) {
  char text[8];
  std::snprintf(text, sizeof text, "%.4X", static_cast<unsigned>(code));
  return text;
}

constexpr px::ResultCode kSessionInUse = 0x2F01;  // the engine's own "session busy"
constexpr px::ResultCode kServerMessage = 0x2EC4;  // a driver's own message stands alone

}  // namespace

px::EngineSession& Engine() {
  auto& engine = EngineSlot();
  if (!engine) engine = std::make_unique<px::EngineSession>(px::localFileSystem());
  return *engine;
}

void UseFileSystem(px::FileSystem& fs) {
  auto& engine = EngineSlot();
  if (engine && engine->started()) (void)engine->end();
  engine = std::make_unique<px::EngineSession>(fs);
}

bool SessionActive() { return ActiveFlag(); }
void SetSessionActive(bool active) { ActiveFlag() = active; }

EDBEngineError ErrorFor(const px::Status& status) {
  const std::uint16_t code = status.code();
  std::vector<TDBError> entries;
  if (!SessionActive() && code != kSessionInUse) {
    std::string message =
        "An error occurred while attempting to initialize the database engine (error $" + Hex4(code) + ")";
    entries.emplace_back(code, 0, message);
    return EDBEngineError(message, std::move(entries));
  }

  entries.emplace_back(code, 0, std::string(px::resultText(code)));
  // The session's stack explains this failure when it ends in it; a cursor
  // failure carries its detail in the result itself.
  px::ErrorStack& stack = Engine().errors();
  const auto& recorded = stack.entries();
  if (!recorded.empty() && recorded.back().code == code && recorded.back().text == status.message()) {
    px::ErrorEntry entry;
    for (std::size_t n = 1; stack.entry(n, entry) && entry.code != px::rc::kOk && entry.code != px::rc::kNotInitialized;
         ++n) {
      entries.emplace_back(entry.code, entry.nativeError, entry.text);
    }
  } else if (!status.message().empty()) {
    entries.emplace_back(code, 0, status.message());
  }
  stack.clear();

  std::vector<std::string> lines;
  auto add = [&lines](std::string_view text) {
    std::string line = Trimmed(text);
    if (line.empty()) return;
    for (const std::string& seen : lines) {
      if (SameLine(seen, line)) return;
    }
    lines.push_back(std::move(line));
  };
  const bool codeTexts = code != kServerMessage;
  if (codeTexts) add(entries[0].Message());
  for (std::size_t i = 1; i < entries.size(); ++i) {
    if (codeTexts && entries[i].NativeError() == 0) add(px::resultText(entries[i].ErrorCode()));
    add(entries[i].Message());
  }
  std::string message;
  for (const std::string& line : lines) {
    if (!message.empty()) message += "\r\n";
    message += line;
  }
  if (message.empty()) message = "Engine error $" + Hex4(code);
  return EDBEngineError(message, std::move(entries));
}

void Check(const px::Status& status) {
  if (!status.ok()) throw ErrorFor(status);
}

FetchResult Classify(const px::Status& status) {
  if (status.ok()) return FetchResult::Ok;
  if (status.code() == px::rc::kAtBeginning) return FetchResult::AtBeginning;
  if (status.code() == px::rc::kAtEnd) return FetchResult::AtEnd;
  return FetchResult::Error;
}

std::string ToProgram(const px::WritableTable& table, std::string_view stored) {
  std::lock_guard<std::mutex> guard(TranslateToProgramLock());
  std::string text;
  if (!table.table().decodeText(stored, text).ok()) return std::string(stored);
  return text;
}

std::string ToTable(const px::WritableTable& table, std::string_view text) {
  std::lock_guard<std::mutex> guard(TranslateToTableLock());
  std::string stored;
  if (!table.table().encodeText(text, stored).ok()) {
    // Characters the table's code page lacks become '?', as a translation
    // without a mapping for them would write.
    stored.clear();
    for (unsigned char c : text) {
      if (c < 0x80) stored.push_back(static_cast<char>(c));
      else if ((c & 0xC0) != 0x80) stored.push_back('?');
    }
  }
  return stored;
}

}  // namespace binding
