#include "tableaccess/filter_tokenizer.h"

#include "tableaccess/db_errors.h"
#include "tableaccess/filter_messages.h"

namespace {

// Shown for a byte sequence that is not UTF-8 and for a NUL.
constexpr char32_t kReplacement = 0xFFFD;

bool isBlank(char32_t c) { return c >= 1 && c <= 32; }
bool isDigit(char32_t c) { return c >= U'0' && c <= U'9'; }
bool isLetter(char32_t c) { return (c >= U'A' && c <= U'Z') || (c >= U'a' && c <= U'z'); }

// Characters that may not start a token; the two highest 16-bit values are
// not characters.
bool isInvalid(char32_t c) {
  if (c >= 33 && c <= 38) return true;
  if (c >= 123 && c <= 128) return true;
  switch (c) {
    case U'.': case U':': case U';': case U'?': case U'@': case U'\\': case U']': case U'^': case U'`':
    case 255: case 0xFFFE: case 0xFFFF:
      return true;
    default:
      return false;
  }
}

bool isSymbolChar(char32_t c) {
  return isLetter(c) || isDigit(c) || c == U'_' || c == U'.' || c == U'[' || c == U']' || c > 255;
}

// Decodes strictly: no overlong forms, no surrogates, nothing above U+10FFFF.
bool decodeUtf8(std::string_view text, std::vector<char32_t>& chars, std::vector<std::size_t>& offsets) {
  std::size_t i = 0;
  while (i < text.size()) {
    const auto b0 = static_cast<unsigned char>(text[i]);
    std::size_t length = 0;
    char32_t c = 0, minimum = 0;
    if (b0 < 0x80) {
      length = 1;
      c = b0;
    } else if ((b0 & 0xE0) == 0xC0) {
      length = 2;
      c = b0 & 0x1F;
      minimum = 0x80;
    } else if ((b0 & 0xF0) == 0xE0) {
      length = 3;
      c = b0 & 0x0F;
      minimum = 0x800;
    } else if ((b0 & 0xF8) == 0xF0) {
      length = 4;
      c = b0 & 0x07;
      minimum = 0x10000;
    } else {
      return false;
    }
    if (i + length > text.size()) return false;
    for (std::size_t k = 1; k < length; ++k) {
      const auto b = static_cast<unsigned char>(text[i + k]);
      if ((b & 0xC0) != 0x80) return false;
      c = (c << 6) | (b & 0x3F);
    }
    if (c < minimum || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF) || c == 0) return false;
    chars.push_back(c);
    offsets.push_back(i);
    i += length;
  }
  offsets.push_back(text.size());
  return true;
}

}  // namespace

bool SameWord(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    char x = a[i], y = b[i];
    if (x >= 'a' && x <= 'z') x = static_cast<char>(x - 'a' + 'A');
    if (y >= 'a' && y <= 'z') y = static_cast<char>(y - 'a' + 'A');
    if (x != y) return false;
  }
  return true;
}

std::string EncodeUtf8(char32_t c) {
  std::string out;
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (c >> 18));
    out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
  return out;
}

FilterTokenizer::FilterTokenizer(std::string_view text, const FilterLocale& locale)
    : source_(text), decimalSeparator_(locale.decimalSeparator) {
  if (!decodeUtf8(text, chars_, offsets_)) invalidCharacter(EncodeUtf8(kReplacement));
}

std::string_view FilterTokenizer::slice(std::size_t from, std::size_t to) const {
  return source_.substr(offsets_[from], offsets_[to] - offsets_[from]);
}

void FilterTokenizer::invalidCharacter(std::string_view shown) const {
  DatabaseErrorFmt(filter_messages::kInvalidCharacter, std::string(shown));
}

std::string FilterTokenizer::TokenName() const {
  if (token_ == FilterToken::End) return "end of text";
  const std::string_view written = slice(start_, pos_);
  if (token_ == FilterToken::Literal && !isNumber_) return std::string(written);  // already quoted
  return "'" + std::string(written) + "'";
}

void FilterTokenizer::skipBlanksAndComments() {
  for (;;) {
    while (pos_ < chars_.size() && isBlank(chars_[pos_])) ++pos_;
    if (pos_ + 1 < chars_.size() && chars_[pos_] == U'/' && chars_[pos_ + 1] == U'*') {
      std::size_t end = pos_ + 2;
      while (end + 1 < chars_.size() && !(chars_[end] == U'*' && chars_[end + 1] == U'/')) ++end;
      // The character met instead of the comment's end is the end of the text.
      if (end + 1 >= chars_.size()) invalidCharacter("");
      pos_ = end + 2;
      continue;
    }
    return;
  }
}

void FilterTokenizer::Next() {
  previous_ = token_;
  isNumber_ = false;
  skipBlanksAndComments();
  start_ = pos_;
  if (pos_ == chars_.size()) {
    token_ = FilterToken::End;
    text_.clear();
    return;
  }
  const char32_t c = chars_[pos_];
  auto single = [&](FilterToken t, std::size_t length = 1) {
    token_ = t;
    pos_ += length;
    text_ = std::string(slice(start_, pos_));
  };
  const char32_t after = pos_ + 1 < chars_.size() ? chars_[pos_ + 1] : 0;
  switch (c) {
    case U'\'': readLiteral(); return;
    case U'[': readName(); return;
    case U'(': single(FilterToken::LParen); return;
    case U')': single(FilterToken::RParen); return;
    case U'*': single(FilterToken::Times); return;
    case U'+': single(FilterToken::Plus); return;
    case U',': single(FilterToken::Comma); return;
    case U'/': single(FilterToken::Divide); return;
    case U'=': single(FilterToken::Eq); return;
    case U'<':
      if (after == U'=') single(FilterToken::Le, 2);
      else if (after == U'>') single(FilterToken::Ne, 2);
      else single(FilterToken::Lt);
      return;
    case U'>':
      if (after == U'=') single(FilterToken::Ge, 2);
      else single(FilterToken::Gt);
      return;
    default: break;
  }
  if (c == U'-' || isDigit(c)) {
    // After an operand a minus (or a stray digit) can only be the operator.
    if (previous_ == FilterToken::Symbol || previous_ == FilterToken::Name || previous_ == FilterToken::Literal ||
        previous_ == FilterToken::RParen) {
      single(FilterToken::Minus);
    } else {
      readNumber();
    }
    return;
  }
  if (isInvalid(c)) invalidCharacter(EncodeUtf8(c));
  readSymbol();
}

void FilterTokenizer::readLiteral() {
  std::string value;
  std::size_t count = 0;
  std::size_t p = pos_ + 1;
  for (;;) {
    if (p == chars_.size()) DatabaseError(filter_messages::kUnterminatedString);
    char32_t c = chars_[p];
    if (c == U'\'') {
      // Two quotes stand for one; any other quote ends the literal.
      if (p + 1 < chars_.size() && chars_[p + 1] == U'\'') {
        ++p;
      } else {
        ++p;
        break;
      }
    }
    if (count < kMaxLiteralChars) {
      value += EncodeUtf8(c);
      ++count;
    }
    ++p;
  }
  pos_ = p;
  token_ = FilterToken::Literal;
  text_ = std::move(value);
}

void FilterTokenizer::readNumber() {
  std::size_t p = pos_ + 1;
  while (p < chars_.size()) {
    const char32_t c = chars_[p];
    if (!(isDigit(c) || c == U'+' || c == U'-' || c == U'E' || c == U'e' || c == decimalSeparator_)) break;
    ++p;
  }
  // "IN (1, 2)" under a comma separator: the comma before a blank separates.
  if (decimalSeparator_ == U',' && p - 1 > pos_ && chars_[p - 1] == U',' && p < chars_.size() && isBlank(chars_[p]))
    --p;
  pos_ = p;
  token_ = FilterToken::Literal;
  isNumber_ = true;
  text_ = std::string(slice(start_, pos_));
}

void FilterTokenizer::readName() {
  std::size_t close = pos_ + 1;
  while (close < chars_.size() && chars_[close] != U']') ++close;
  if (close == chars_.size()) DatabaseError(filter_messages::kUnterminatedName);
  text_ = std::string(slice(pos_ + 1, close));
  pos_ = close + 1;
  token_ = FilterToken::Name;
}

void FilterTokenizer::readSymbol() {
  std::size_t p = pos_ + 1;
  while (p < chars_.size() && isSymbolChar(chars_[p])) ++p;
  pos_ = p;
  text_ = std::string(slice(start_, pos_));
  token_ = FilterToken::Symbol;
  if (SameWord(text_, "LIKE")) {
    token_ = FilterToken::Like;
  } else if (SameWord(text_, "IN")) {
    token_ = FilterToken::In;
  } else if (SameWord(text_, "IS")) {
    readIsKeyword();
  }
}

std::string_view FilterTokenizer::nextWord() {
  while (pos_ < chars_.size() && isBlank(chars_[pos_])) ++pos_;
  const std::size_t from = pos_;
  while (pos_ < chars_.size() && isLetter(chars_[pos_])) ++pos_;
  return slice(from, pos_);
}

void FilterTokenizer::readIsKeyword() {
  const std::string_view word = nextWord();
  if (SameWord(word, "NULL")) {
    token_ = FilterToken::IsNull;
  } else if (SameWord(word, "NOT") && SameWord(nextWord(), "NULL")) {
    token_ = FilterToken::IsNotNull;
  } else {
    DatabaseError(filter_messages::kInvalidKeyword);
  }
  text_ = std::string(slice(start_, pos_));
}
