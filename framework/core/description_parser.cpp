#include "framework/core/description_parser.h"

#include <cctype>
#include <charconv>

#include "framework/core/exceptions.h"

namespace {

enum class TokenKind { End, Identifier, Text, Integer, Punct };

struct Token {
  TokenKind kind = TokenKind::End;
  std::string text;  // identifier, unescaped text, or the punctuation character
  std::int64_t integer = 0;
  int line = 1;
};

bool IsIdentStart(char c) { return std::isalpha(static_cast<unsigned char>(c)) || c == '_'; }
bool IsIdentChar(char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '_'; }

class Lexer {
 public:
  Lexer(std::string_view text, std::string_view source) : text_(text), source_(source) {}

  [[noreturn]] void Fail(int line, const std::string& what) const {
    throw EReadError(std::string(source_) + ":" + std::to_string(line) + ": " + what);
  }

  Token Next() {
    SkipBlanksAndComments();
    Token token;
    token.line = line_;
    if (pos_ >= text_.size()) return token;
    char c = text_[pos_];
    if (IsIdentStart(c)) {
      token.kind = TokenKind::Identifier;
      token.text = ReadDottedIdentifier();
    } else if (c == '"') {
      token.kind = TokenKind::Text;
      token.text = ReadText();
    } else if (std::isdigit(static_cast<unsigned char>(c)) || c == '-') {
      token.kind = TokenKind::Integer;
      token.integer = ReadInteger();
    } else if (std::string_view("{}=[](),+").find(c) != std::string_view::npos) {
      token.kind = TokenKind::Punct;
      token.text = std::string(1, c);
      ++pos_;
    } else {
      Fail(line_, "unexpected character '" + std::string(1, c) + "'");
    }
    return token;
  }

 private:
  void SkipBlanksAndComments() {
    while (pos_ < text_.size()) {
      char c = text_[pos_];
      if (c == '\n') {
        ++line_;
        ++pos_;
      } else if (c == ' ' || c == '\t' || c == '\r') {
        ++pos_;
      } else if (c == '#') {
        while (pos_ < text_.size() && text_[pos_] != '\n') ++pos_;
      } else {
        break;
      }
    }
  }

  std::string ReadDottedIdentifier() {
    std::string name;
    for (;;) {
      std::size_t start = pos_;
      while (pos_ < text_.size() && IsIdentChar(text_[pos_])) ++pos_;
      name.append(text_.substr(start, pos_ - start));
      if (pos_ + 1 < text_.size() && text_[pos_] == '.' && IsIdentStart(text_[pos_ + 1])) {
        name.push_back('.');
        ++pos_;
        continue;
      }
      if (pos_ < text_.size() && text_[pos_] == '.') Fail(line_, "a name may not end in a period: " + name + ".");
      return name;
    }
  }

  std::string ReadText() {
    std::string value;
    ++pos_;  // opening quote
    for (;;) {
      if (pos_ >= text_.size() || text_[pos_] == '\n') Fail(line_, "text not closed on its line");
      char c = text_[pos_++];
      if (c == '"') return value;
      if (c != '\\') {
        value.push_back(c);
        continue;
      }
      if (pos_ >= text_.size()) Fail(line_, "text not closed on its line");
      char e = text_[pos_++];
      switch (e) {
        case '"': value.push_back('"'); break;
        case '\\': value.push_back('\\'); break;
        case 'n': value.push_back('\n'); break;
        case 'r': value.push_back('\r'); break;
        case 't': value.push_back('\t'); break;
        default: Fail(line_, "unknown escape \\" + std::string(1, e));
      }
    }
  }

  std::int64_t ReadInteger() {
    std::size_t start = pos_;
    bool negative = text_[pos_] == '-';
    if (negative) ++pos_;
    int base = 10;
    if (pos_ + 1 < text_.size() && text_[pos_] == '0' && (text_[pos_ + 1] == 'x' || text_[pos_ + 1] == 'X')) {
      base = 16;
      pos_ += 2;
    }
    std::size_t digits = pos_;
    while (pos_ < text_.size() && std::isxdigit(static_cast<unsigned char>(text_[pos_]))) ++pos_;
    while (pos_ < text_.size() && IsIdentChar(text_[pos_])) ++pos_;  // swallow junk to report it whole
    std::string_view number = text_.substr(digits, pos_ - digits);
    std::uint64_t magnitude = 0;
    auto [end, error] = std::from_chars(number.data(), number.data() + number.size(), magnitude, base);
    if (number.empty() || error != std::errc() || end != number.data() + number.size() ||
        magnitude > static_cast<std::uint64_t>(INT64_MAX)) {
      Fail(line_, "not a whole number: " + std::string(text_.substr(start, pos_ - start)));
    }
    return negative ? -static_cast<std::int64_t>(magnitude) : static_cast<std::int64_t>(magnitude);
  }

  std::string_view text_;
  std::string_view source_;
  std::size_t pos_ = 0;
  int line_ = 1;
};

class Parser {
 public:
  Parser(std::string_view text, std::string_view source) : lexer_(text, source) {
    current_ = lexer_.Next();
    next_ = lexer_.Next();
  }

  TDescriptionObject ParseRoot() {
    TDescriptionObject root = ParseObject();
    if (current_.kind != TokenKind::End) Fail("only one object may stand at the top of a description");
    return root;
  }

 private:
  [[noreturn]] void Fail(const std::string& what) const { lexer_.Fail(current_.line, what); }

  Token Take() {
    Token taken = std::move(current_);
    current_ = std::move(next_);
    next_ = lexer_.Next();
    return taken;
  }

  bool IsPunct(const Token& token, char c) const {
    return token.kind == TokenKind::Punct && token.text.size() == 1 && token.text[0] == c;
  }

  void Expect(char c) {
    if (!IsPunct(current_, c)) Fail(std::string("expected '") + c + "', found " + Describe(current_));
    Take();
  }

  static std::string Describe(const Token& token) {
    switch (token.kind) {
      case TokenKind::End: return "the end of the text";
      case TokenKind::Identifier: return "'" + token.text + "'";
      case TokenKind::Text: return "a text";
      case TokenKind::Integer: return "a number";
      case TokenKind::Punct: return "'" + token.text + "'";
    }
    return "?";
  }

  std::string PlainName(const char* what) {
    if (current_.kind != TokenKind::Identifier) Fail(std::string("expected ") + what + ", found " + Describe(current_));
    if (current_.text.find('.') != std::string::npos) Fail(std::string("a period in the ") + what + ": " + current_.text);
    return Take().text;
  }

  TDescriptionObject ParseObject() {
    TDescriptionObject object;
    object.line = current_.line;
    object.className = PlainName("class name");
    object.name = PlainName("object name");
    Expect('{');
    while (!IsPunct(current_, '}')) {
      if (current_.kind == TokenKind::End) lexer_.Fail(object.line, "object " + object.name + " is not closed");
      if (current_.kind == TokenKind::Identifier && IsPunct(next_, '=')) {
        TDescriptionProperty property;
        property.line = current_.line;
        property.name = Take().text;
        Take();  // '='
        property.value = ParseValue();
        object.properties.push_back(std::move(property));
      } else if (current_.kind == TokenKind::Identifier && next_.kind == TokenKind::Identifier) {
        object.children.push_back(ParseObject());
      } else {
        Fail("expected a property or an object, found " + Describe(current_));
      }
    }
    Take();  // '}'
    return object;
  }

  TPropertyValue ParseValue() {
    TPropertyValue value;
    switch (current_.kind) {
      case TokenKind::Text:
        value.kind = TValueKind::Text;
        value.text = Take().text;
        while (IsPunct(current_, '+')) {
          Take();
          if (current_.kind != TokenKind::Text) Fail("expected a text after '+'");
          value.text += Take().text;
        }
        return value;
      case TokenKind::Integer:
        value.kind = TValueKind::Integer;
        value.integer = Take().integer;
        return value;
      case TokenKind::Identifier:
        if (current_.text == "true" || current_.text == "false") {
          value.kind = TValueKind::Boolean;
          value.boolean = Take().text == "true";
        } else {
          value.kind = TValueKind::Identifier;
          value.text = Take().text;
        }
        return value;
      case TokenKind::Punct:
        if (IsPunct(current_, '[')) return ParseItems(TValueKind::Set, ']');
        if (IsPunct(current_, '(')) return ParseItems(TValueKind::List, ')');
        break;
      case TokenKind::End:
        break;
    }
    Fail("expected a value, found " + Describe(current_));
  }

  TPropertyValue ParseItems(TValueKind kind, char close) {
    TPropertyValue value;
    value.kind = kind;
    Take();  // opening bracket
    if (IsPunct(current_, close)) {
      Take();
      return value;
    }
    for (;;) {
      if (kind == TValueKind::Set) {
        if (current_.kind != TokenKind::Identifier) Fail("a set holds identifiers only");
        TPropertyValue member;
        member.kind = TValueKind::Identifier;
        member.text = Take().text;
        value.items.push_back(std::move(member));
      } else {
        value.items.push_back(ParseValue());
      }
      if (IsPunct(current_, close)) {
        Take();
        return value;
      }
      Expect(',');
    }
  }

  Lexer lexer_;
  Token current_;
  Token next_;
};

}  // namespace

TDescriptionObject ParseDescription(std::string_view text, std::string_view source) {
  Parser parser(text, source);
  return parser.ParseRoot();
}
