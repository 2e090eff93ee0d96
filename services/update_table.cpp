// Tokenizer for the update table. Blanks, CR, LF, "," and "(" separate
// tokens (tabs and ")" do not); quotes make quoted tokens; "/* */" and "//"
// are comments; runs of "=<>" and numbers are tokens of their own.
#include "services/update_table.h"

#include <vector>

#include "platform/text/text.h"

namespace rvz::services {

namespace {

enum class Kind { Word, Quoted, Number, Operator, Dot, Comment, End };

struct Token {
  Kind kind;
  std::string text;
  size_t end;  // offset just past the token
};

bool isSeparator(char c) { return c == ' ' || c == '\r' || c == '\n' || c == ',' || c == '('; }
bool isOperator(char c) { return c == '=' || c == '<' || c == '>'; }
bool isQuote(char c) { return c == '"' || c == '\'' || c == '`'; }
bool isDigit(char c) { return c >= '0' && c <= '9'; }

class Tokenizer {
 public:
  explicit Tokenizer(std::string_view s) : s_(s) {}

  Token next() {
    while (pos_ < s_.size() && isSeparator(s_[pos_])) ++pos_;
    if (pos_ >= s_.size()) return {Kind::End, {}, pos_};
    size_t start = pos_;
    char c = s_[pos_];
    if (c == '/' && pos_ + 1 < s_.size() && s_[pos_ + 1] == '*') {
      size_t e = s_.find("*/", pos_ + 2);
      pos_ = e == std::string_view::npos ? s_.size() : e + 2;
      return {Kind::Comment, {}, pos_};
    }
    if (c == '/' && pos_ + 1 < s_.size() && s_[pos_ + 1] == '/') {
      size_t e = s_.find('\n', pos_);
      pos_ = e == std::string_view::npos ? s_.size() : e + 1;
      return {Kind::Comment, {}, pos_};
    }
    if (isQuote(c)) {
      size_t e = s_.find(c, pos_ + 1);
      std::string body(s_.substr(pos_ + 1, (e == std::string_view::npos ? s_.size() : e) - pos_ - 1));
      pos_ = e == std::string_view::npos ? s_.size() : e + 1;
      return {Kind::Quoted, body, pos_};
    }
    if (isOperator(c)) {
      while (pos_ < s_.size() && isOperator(s_[pos_])) ++pos_;
      return {Kind::Operator, std::string(s_.substr(start, pos_ - start)), pos_};
    }
    if (c == '.') {
      ++pos_;
      return {Kind::Dot, ".", pos_};
    }
    if (isDigit(c)) {
      while (pos_ < s_.size() && (isDigit(s_[pos_]) || s_[pos_] == '.')) ++pos_;
      return {Kind::Number, std::string(s_.substr(start, pos_ - start)), pos_};
    }
    while (pos_ < s_.size() && !isSeparator(s_[pos_]) && !isQuote(s_[pos_]) && !isOperator(s_[pos_]) &&
           s_[pos_] != '.' &&
           !(s_[pos_] == '/' && pos_ + 1 < s_.size() && (s_[pos_ + 1] == '*' || s_[pos_ + 1] == '/')))
      ++pos_;
    return {Kind::Word, std::string(s_.substr(start, pos_ - start)), pos_};
  }

  // The character right after offset `at`, or 0 at the end.
  char charAt(size_t at) const { return at < s_.size() ? s_[at] : '\0'; }
  size_t pos() const { return pos_; }
  void skipTo(size_t p) { pos_ = p; }

 private:
  std::string_view s_;
  size_t pos_ = 0;
};

bool wordIs(const Token& t, std::string_view w) { return t.kind == Kind::Word && text::equalsNoCaseAscii(t.text, w); }

// Clause keywords. Two-word ones count when their second word follows.
bool isClauseKeyword(const Token& t, Tokenizer& tz) {
  if (t.kind != Kind::Word) return false;
  for (auto w : {"SELECT", "FROM", "WHERE", "HAVING", "UNION", "PLAN"})
    if (wordIs(t, w)) return true;
  std::string_view second;
  if (wordIs(t, "GROUP") || wordIs(t, "ORDER"))
    second = "BY";
  else if (wordIs(t, "FOR"))
    second = "UPDATE";
  else
    return false;
  size_t saved = tz.pos();
  Token n = tz.next();
  tz.skipTo(saved);
  return wordIs(n, second);
}

}  // namespace

std::optional<std::string> updateTableName(std::string_view commandText) {
  Tokenizer tz(commandText);
  for (;;) {
    Token t = tz.next();
    if (t.kind == Kind::End) return std::nullopt;
    if (wordIs(t, "FROM")) break;
  }
  for (;;) {
    Token t = tz.next();
    if (t.kind == Kind::End) return std::nullopt;
    if (t.kind == Kind::Number || t.kind == Kind::Operator || t.kind == Kind::Comment || t.kind == Kind::Dot) continue;
    if (isClauseKeyword(t, tz)) return std::nullopt;
    std::string name = t.text;
    if (!name.empty() && name.back() == ';') name.pop_back();
    size_t end = t.end;
    while (tz.charAt(end) == '.') {
      tz.skipTo(end + 1);
      Token part = tz.next();
      if (part.kind == Kind::End) break;
      name += "." + part.text;
      end = part.end;
    }
    return name;
  }
}

}  // namespace rvz::services
