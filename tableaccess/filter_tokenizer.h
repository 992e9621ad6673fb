// Splits a filter text into its tokens, one at a time. The text is UTF-8; the
// character classes of the language apply to its code points. Every failure
// throws EDatabaseError with the bare message text.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "tableaccess/filter_locale.h"

enum class FilterToken : std::uint8_t {
  End,
  Symbol,   // a word: field name, NULL, the truth words, AND, OR, NOT
  Name,     // a field name in brackets
  Literal,  // quoted text, or a number (IsNumber)
  LParen, RParen, Eq, Ne, Ge, Le, Gt, Lt, Plus, Minus, Times, Divide, Comma,
  Like, IsNull, IsNotNull, In,
};

class FilterTokenizer {
 public:
  // Checks that the text is UTF-8 without NUL characters (else "Invalid filter
  // expression character"); the first token is read by the first Next().
  FilterTokenizer(std::string_view text, const FilterLocale& locale);

  // Reads the token after the current one; the current becomes the previous.
  void Next();

  FilterToken Token() const { return token_; }
  FilterToken Previous() const { return previous_; }
  // A symbol's or bracketed name's text, a literal's value (quotes resolved,
  // at most kMaxLiteralChars characters), else the token as written.
  const std::string& Text() const { return text_; }
  // For a literal: whether it was a number rather than quoted text.
  bool IsNumber() const { return isNumber_; }
  // The token as messages name it: as written, in quotes ("'AND'", "'x'"), or
  // "end of text".
  std::string TokenName() const;

  static constexpr std::size_t kMaxLiteralChars = 512;

 private:
  void skipBlanksAndComments();
  void readLiteral();
  void readNumber();
  void readName();
  void readSymbol();
  void readIsKeyword();
  // A run of ASCII letters after blanks, for the words after IS.
  std::string_view nextWord();
  std::string_view slice(std::size_t from, std::size_t to) const;
  [[noreturn]] void invalidCharacter(std::string_view shown) const;

  std::string_view source_;
  std::vector<char32_t> chars_;
  std::vector<std::size_t> offsets_;  // byte offset of each code point, and of the end
  char32_t decimalSeparator_;
  std::size_t pos_ = 0;
  std::size_t start_ = 0;             // where the current token begins
  FilterToken token_ = FilterToken::End;
  FilterToken previous_ = FilterToken::End;
  std::string text_;
  bool isNumber_ = false;
};

// UTF-8 of one code point.
std::string EncodeUtf8(char32_t c);

// Whether two words are the same, ASCII letters compared without regard to
// case and every other byte as it is: how the language matches its keywords
// and truth words, whatever the process's locale.
bool SameWord(std::string_view a, std::string_view b);
