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

}  // namespace

LexResult tokenize(std::string_view sql) {
  LexResult r;
  auto fail = [&](std::string message) {
    r.tokens.clear();
    r.error = std::move(message);
    return r;
  };
  size_t i = 0;
  const size_t n = sql.size();
  r.tokens.reserve(n / 4 + 2);
  while (i < n) {
    const char c = sql[i];
    const auto uc = static_cast<unsigned char>(c);
    const size_t start = i;
    if (c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v') {
      ++i;
      continue;
    }
    if (c == '-' && i + 1 < n && sql[i + 1] == '-') {
      while (i < n && sql[i] != '\n') ++i;
      continue;
    }
    if (c == '/' && i + 1 < n && sql[i + 1] == '*') {
      size_t close = sql.find("*/", i + 2);
      if (close == std::string_view::npos) return fail("unterminated /* comment" + at(start));
      i = close + 2;
      continue;
    }
    // N'...': SQL Server's wide text literal, the same text here.
    if ((c == 'N' || c == 'n') && i + 1 < n && sql[i + 1] == '\'') {
      ++i;
      continue;
    }
    // @@IDENTITY and the like: one word.
    if (c == '@' && i + 2 < n && sql[i + 1] == '@' && isWordStart(static_cast<unsigned char>(sql[i + 2]))) {
      i += 2;
      while (i < n && isWordPart(static_cast<unsigned char>(sql[i]))) ++i;
      r.tokens.push_back({TokenKind::Word, std::string(sql.substr(start, i - start)), start});
      continue;
    }
    if (isWordStart(uc)) {
      while (i < n && isWordPart(static_cast<unsigned char>(sql[i]))) ++i;
      // VBA's string-typed function names: Left$, Mid$, Format$ ...
      if (i < n && sql[i] == '$') ++i;
      r.tokens.push_back({TokenKind::Word, std::string(sql.substr(start, i - start)), start});
      continue;
    }
    if (isDigit(c) || (c == '.' && i + 1 < n && isDigit(sql[i + 1]))) {
      while (i < n && isDigit(sql[i])) ++i;
      if (i < n && sql[i] == '.') {
        ++i;
        while (i < n && isDigit(sql[i])) ++i;
      }
      if (i < n && (sql[i] == 'e' || sql[i] == 'E')) {
        size_t j = i + 1;
        if (j < n && (sql[j] == '+' || sql[j] == '-')) ++j;
        if (j < n && isDigit(sql[j])) {
          i = j;
          while (i < n && isDigit(sql[i])) ++i;
        }
      }
      if (i < n && isWordStart(static_cast<unsigned char>(sql[i])))
        return fail("malformed number '" + std::string(sql.substr(start, i + 1 - start)) + "'" + at(start));
      r.tokens.push_back({TokenKind::Number, std::string(sql.substr(start, i - start)), start});
      continue;
    }
    if (c == '\'' || c == '"') {
      std::string value;
      ++i;
      bool closed = false;
      while (i < n) {
        if (sql[i] == c) {
          if (i + 1 < n && sql[i + 1] == c) {
            value.push_back(c);
            i += 2;
            continue;
          }
          ++i;
          closed = true;
          break;
        }
        if (sql[i] == '\0') return fail("NUL character inside a text literal" + at(i));
        value.push_back(sql[i]);
        ++i;
      }
      if (!closed) return fail("unterminated text literal" + at(start));
      r.tokens.push_back({TokenKind::String, std::move(value), start});
      continue;
    }
    if (c == '[' || c == '`') {
      const char close = c == '[' ? ']' : '`';
      size_t end = sql.find(close, i + 1);
      if (end == std::string_view::npos) return fail("unterminated quoted name" + at(start));
      std::string_view name = sql.substr(i + 1, end - i - 1);
      if (name.empty()) return fail("empty quoted name" + at(start));
      if (name.find('\0') != std::string_view::npos) return fail("NUL character inside a quoted name" + at(start));
      r.tokens.push_back({TokenKind::Name, std::string(name), start});
      i = end + 1;
      continue;
    }
    if (c == '#') {
      size_t end = sql.find('#', i + 1);
      std::string_view body = end == std::string_view::npos ? std::string_view() : sql.substr(i + 1, end - i - 1);
      auto stamp = end == std::string_view::npos ? std::nullopt : parseDateText(body);
      if (!stamp && i + 1 < n && (isWordStart(static_cast<unsigned char>(sql[i + 1])) || sql[i + 1] == '#')) {
        // Not a date: SQL Server's #temp (or ##global) table name.
        size_t k = i + 1;
        if (sql[k] == '#') ++k;
        if (k < n && isWordStart(static_cast<unsigned char>(sql[k]))) {
          while (k < n && isWordPart(static_cast<unsigned char>(sql[k]))) ++k;
          r.tokens.push_back({TokenKind::Name, std::string(sql.substr(start, k - start)), start});
          i = k;
          continue;
        }
      }
      if (end == std::string_view::npos) return fail("unterminated date literal" + at(start));
      if (!stamp) return fail("invalid date literal #" + std::string(body.substr(0, 64)) + "#" + at(start));
      r.tokens.push_back({TokenKind::Date, formatStored(*stamp), start});
      i = end + 1;
      continue;
    }
    if (c == '?') {
      r.tokens.push_back({TokenKind::Param, "?", start});
      ++i;
      continue;
    }
    if (i + 1 < n) {
      std::string_view two = sql.substr(i, 2);
      if (two == "<>" || two == "<=" || two == ">=" || two == "!=") {
        r.tokens.push_back({TokenKind::Symbol, std::string(two), start});
        i += 2;
        continue;
      }
    }
    switch (c) {
      case '(': case ')': case ',': case '.': case ';': case '=': case '<': case '>':
      case '+': case '-': case '*': case '/': case '\\': case '&': case '^': case '!': case '%':
        r.tokens.push_back({TokenKind::Symbol, std::string(1, c), start});
        ++i;
        continue;
      default:
        break;
    }
    if (c == '\0') return fail("NUL character" + at(start));
    if (uc < 0x20 || uc == 0x7F) {
      char hex[8];
      std::snprintf(hex, sizeof hex, "\\x%02X", uc);
      return fail(std::string("unexpected control character ") + hex + at(start));
    }
    return fail("unexpected character '" + std::string(1, c) + "'" + at(start));
  }
  r.tokens.push_back({TokenKind::End, {}, n});
  return r;
}

}  // namespace rvz::data::jet
