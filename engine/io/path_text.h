// Paths and UTF-8 text. The engine's texts (messages, names from the command
// line, the configuration and the views) are UTF-8; a std::filesystem::path
// holds wide characters on Windows, and its constructor from a plain string
// would take that string in the system's code page, not as UTF-8. So every
// path made from text goes through pathFromUtf8, and every path shown in a
// text through pathText.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace px {

// True when `text` is well-formed UTF-8.
inline bool isUtf8(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size()) {
    const auto lead = static_cast<unsigned char>(text[i]);
    const std::size_t length = lead < 0x80 ? 1 : (lead >> 5) == 0x6 ? 2 : (lead >> 4) == 0xE ? 3 : (lead >> 3) == 0x1E ? 4 : 0;
    if (length == 0 || i + length > text.size() || (length == 2 && lead < 0xC2)) return false;
    for (std::size_t k = 1; k < length; ++k)
      if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80) return false;
    // No overlong forms, no surrogates, nothing beyond U+10FFFF.
    const auto second = length > 1 ? static_cast<unsigned char>(text[i + 1]) : 0;
    if ((lead == 0xE0 && second < 0xA0) || (lead == 0xED && second >= 0xA0) || (lead == 0xF0 && second < 0x90) ||
        (lead == 0xF4 && second >= 0x90) || lead > 0xF4)
      return false;
    i += length;
  }
  return true;
}

// The path that UTF-8 `text` names; on POSIX the bytes as they are. Text
// that is not UTF-8 (a file saved in the system's code page) is taken the
// way the system takes a plain string, rather than refused.
inline std::filesystem::path pathFromUtf8(std::string_view text) {
  if (!isUtf8(text)) return std::filesystem::path(std::string(text));
  return std::filesystem::path(std::u8string(text.begin(), text.end()));
}

// The path as UTF-8 text, for messages and for comparisons with names.
inline std::string pathText(const std::filesystem::path& path) {
  const std::u8string text = path.u8string();
  return std::string(text.begin(), text.end());
}

}  // namespace px
