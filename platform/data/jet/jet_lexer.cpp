// Tokenizer of Jet SQL command texts.
#include "platform/data/jet/jet_lexer.h"

#include <cstdio>

#include "platform/data/jet/jet_dates.h"

namespace rvz::data::jet {

namespace {

bool isWordStart(unsigned char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_' || c >= 0x80; }
bool isWordPart(unsigned char c) { return isWordStart(c) || (c >= '0' && c <= '9'); }
bool isDigit(char c) { return c >= '0' && c <= '9'; }

std::string at(size_t offset) { return " at offset " + std::to_string(offset); }

// What is wrong with the text and where; ends the scan.
struct LexFailure {
  std::string message;
};

// One scan over a command text: each step reads one token (or what is
// dropped) at the current offset.
class Scanner {
 public:
  explicit Scanner(std::string_view sql) : sql_(sql), n_(sql.size()) {}

  std::vector<Token> run() {
    tokens_.reserve(n_ / 4 + 2);
    while (i_ < n_) {
      if (skipIgnored()) continue;
      const char c = sql_[i_];
      if (c == '@' && i_ + 2 < n_ && sql_[i_ + 1] == '@' && isWordStart(byte(i_ + 2)))
        sessionWord();
      else if (isWordStart(byte(i_)))
        word();
      else if (isDigit(c) || (c == '.' && i_ + 1 < n_ && isDigit(sql_[i_ + 1])))
        number();
      else if (c == '\'' || c == '"')
        text(c);
      else if (c == '[' || c == '`')
        quotedName(c == '[' ? ']' : '`');
      else if (c == '#')
        dateOrTempName();
      else
        symbol();
    }
    tokens_.push_back({TokenKind::End, {}, n_});
    return std::move(tokens_);
  }

 private:
  unsigned char byte(size_t k) const { return static_cast<unsigned char>(sql_[k]); }
  [[noreturn]] static void fail(std::string message) { throw LexFailure{std::move(message)}; }
  void push(TokenKind kind, std::string text, size_t start) { tokens_.push_back({kind, std::move(text), start}); }
  std::string from(size_t start) const { return std::string(sql_.substr(start, i_ - start)); }
  void skipWordParts() {
    while (i_ < n_ && isWordPart(byte(i_))) ++i_;
  }
  void skipDigits() {
    while (i_ < n_ && isDigit(sql_[i_])) ++i_;
  }

  // White space, comments, and the N of N'...' (SQL Server's wide text
  // literal, the same text here); false when none is at the offset.
  bool skipIgnored() {
    const char c = sql_[i_];
    if (c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v') {
      ++i_;
    } else if (c == '-' && i_ + 1 < n_ && sql_[i_ + 1] == '-') {
      while (i_ < n_ && sql_[i_] != '\n') ++i_;
    } else if (c == '/' && i_ + 1 < n_ && sql_[i_ + 1] == '*') {
      size_t close = sql_.find("*/", i_ + 2);
      if (close == std::string_view::npos) fail("unterminated /* comment" + at(i_));
      i_ = close + 2;
    } else if ((c == 'N' || c == 'n') && i_ + 1 < n_ && sql_[i_ + 1] == '\'') {
      ++i_;
    } else {
      return false;
    }
    return true;
  }

  // @@IDENTITY and the like: one word.
  void sessionWord() {
    const size_t start = i_;
    i_ += 2;
    skipWordParts();
    push(TokenKind::Word, from(start), start);
  }

  void word() {
    const size_t start = i_;
    skipWordParts();
    // VBA's string-typed function names: Left$, Mid$, Format$ ...
    if (i_ < n_ && sql_[i_] == '$') ++i_;
    push(TokenKind::Word, from(start), start);
  }

  void number() {
    const size_t start = i_;
    skipDigits();
    if (i_ < n_ && sql_[i_] == '.') {
      ++i_;
      skipDigits();
    }
    if (i_ < n_ && (sql_[i_] == 'e' || sql_[i_] == 'E')) {
      size_t j = i_ + 1;
      if (j < n_ && (sql_[j] == '+' || sql_[j] == '-')) ++j;
      if (j < n_ && isDigit(sql_[j])) {
        i_ = j;
        skipDigits();
      }
    }
    if (i_ < n_ && isWordStart(byte(i_)))
      fail("malformed number '" + std::string(sql_.substr(start, i_ + 1 - start)) + "'" + at(start));
    push(TokenKind::Number, from(start), start);
  }

  // '...' or "...": a doubled quote stands for one.
  void text(char quote) {
    const size_t start = i_++;
    std::string value;
    for (;;) {
      if (i_ >= n_) fail("unterminated text literal" + at(start));
      const char c = sql_[i_];
      if (c == quote && i_ + 1 < n_ && sql_[i_ + 1] == quote) {
        value.push_back(quote);
        i_ += 2;
        continue;
      }
      ++i_;
      if (c == quote) break;
      if (c == '\0') fail("NUL character inside a text literal" + at(i_ - 1));
      value.push_back(c);
    }
    push(TokenKind::String, std::move(value), start);
  }

  // [name] or `name`.
  void quotedName(char close) {
    const size_t start = i_;
    size_t end = sql_.find(close, i_ + 1);
    if (end == std::string_view::npos) fail("unterminated quoted name" + at(start));
    std::string_view name = sql_.substr(i_ + 1, end - i_ - 1);
    if (name.empty()) fail("empty quoted name" + at(start));
    if (name.find('\0') != std::string_view::npos) fail("NUL character inside a quoted name" + at(start));
    push(TokenKind::Name, std::string(name), start);
    i_ = end + 1;
  }

  // #date#, or else SQL Server's #temp (or ##global) table name.
  void dateOrTempName() {
    const size_t start = i_;
    size_t end = sql_.find('#', i_ + 1);
    std::string_view body = end == std::string_view::npos ? std::string_view() : sql_.substr(i_ + 1, end - i_ - 1);
    auto stamp = end == std::string_view::npos ? std::nullopt : parseDateText(body);
    if (!stamp && i_ + 1 < n_ && (isWordStart(byte(i_ + 1)) || sql_[i_ + 1] == '#')) {
      size_t k = i_ + 1;
      if (sql_[k] == '#') ++k;
      if (k < n_ && isWordStart(byte(k))) {
        i_ = k;
        skipWordParts();
        push(TokenKind::Name, from(start), start);
        return;
      }
    }
    if (end == std::string_view::npos) fail("unterminated date literal" + at(start));
    if (!stamp) fail("invalid date literal #" + std::string(body.substr(0, 64)) + "#" + at(start));
    push(TokenKind::Date, formatStored(*stamp), start);
    i_ = end + 1;
  }

  // ? and the operators; anything else is refused.
  void symbol() {
    const size_t start = i_;
    const char c = sql_[i_];
    if (c == '?') {
      push(TokenKind::Param, "?", start);
      ++i_;
      return;
    }
    if (i_ + 1 < n_) {
      std::string_view two = sql_.substr(i_, 2);
      if (two == "<>" || two == "<=" || two == ">=" || two == "!=") {
        push(TokenKind::Symbol, std::string(two), start);
        i_ += 2;
        return;
      }
    }
    if (std::string_view("(),.;=<>+-*/\\&^!%").find(c) != std::string_view::npos) {
      push(TokenKind::Symbol, std::string(1, c), start);
      ++i_;
      return;
    }
    const auto uc = static_cast<unsigned char>(c);
    if (c == '\0') fail("NUL character" + at(start));
    if (uc < 0x20 || uc == 0x7F) {
      char hex[8];
      std::snprintf(hex, sizeof hex, "\\x%02X", uc);
      fail(std::string("unexpected control character ") + hex + at(start));
    }
    fail("unexpected character '" + std::string(1, c) + "'" + at(start));
  }

  std::string_view sql_;
  size_t n_;
  size_t i_ = 0;
  std::vector<Token> tokens_;
};

}  // namespace

LexResult tokenize(std::string_view sql) {
  LexResult r;
  try {
    r.tokens = Scanner(sql).run();
  } catch (const LexFailure& f) {
    r.error = f.message;
  }
  return r;
}

}  // namespace rvz::data::jet
