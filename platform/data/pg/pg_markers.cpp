// "?" markers to $n.
#include "platform/data/pg/pg_markers.h"

#include <algorithm>

namespace rvz::data::pg {
namespace {

bool isIdentChar(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' ||
         static_cast<unsigned char>(c) >= 0x80;
}

// End of a dollar-quote tag starting at `i` ("$$" or "$tag$"), or npos.
size_t dollarTagEnd(std::string_view s, size_t i) {
  size_t j = i + 1;
  if (j < s.size() && s[j] >= '0' && s[j] <= '9') return std::string_view::npos;  // $1: a parameter
  while (j < s.size() && isIdentChar(s[j]) && s[j] != '$') ++j;
  if (j < s.size() && s[j] == '$') return j + 1;
  return std::string_view::npos;
}

// The ends of the spans a "?" inside is not a marker of, each starting at
// s[i]; an unterminated one runs to the end of the text.

// '...' or "...": a doubled quote stands for one; with `escapes` (E'...') a
// backslash takes the next character.
size_t quotedEnd(std::string_view s, size_t i, char quote, bool escapes) {
  size_t j = i + 1;
  while (j < s.size()) {
    if (escapes && s[j] == '\\') {
      j += 2;
      continue;
    }
    if (s[j] == quote) {
      if (j + 1 < s.size() && s[j + 1] == quote) {
        j += 2;
        continue;
      }
      return j + 1;
    }
    ++j;
  }
  return s.size();
}

// /* ... */, nested.
size_t blockCommentEnd(std::string_view s, size_t i) {
  size_t j = i + 2;
  int depth = 1;
  while (j < s.size() && depth > 0) {
    if (s[j] == '/' && j + 1 < s.size() && s[j + 1] == '*') {
      ++depth;
      j += 2;
    } else if (s[j] == '*' && j + 1 < s.size() && s[j + 1] == '/') {
      --depth;
      j += 2;
    } else {
      ++j;
    }
  }
  return j;
}

// $tag$ ... $tag$; a "$" that starts no tag is itself.
size_t dollarQuotedEnd(std::string_view s, size_t i) {
  size_t tagEnd = dollarTagEnd(s, i);
  if (tagEnd == std::string_view::npos) return i + 1;
  std::string_view tag = s.substr(i, tagEnd - i);
  size_t close = s.find(tag, tagEnd);
  return close == std::string_view::npos ? s.size() : close + tag.size();
}

// Where the span of text starting at s[i] that is copied as it is ends: a
// literal, a quoted name, a comment, or a name or number (whole, so that
// "a$b" keeps its "$"); i + 1 for a character alone.
size_t copiedEnd(std::string_view s, size_t i) {
  const char c = s[i];
  if (c == '\'') {
    // E'...' takes backslash escapes; the E was copied already.
    const bool escapes = i > 0 && (s[i - 1] == 'E' || s[i - 1] == 'e') && (i < 2 || !isIdentChar(s[i - 2]));
    return quotedEnd(s, i, '\'', escapes);
  }
  if (c == '"') return quotedEnd(s, i, '"', false);
  if (c == '-' && i + 1 < s.size() && s[i + 1] == '-') {
    size_t j = s.find('\n', i);
    return j == std::string_view::npos ? s.size() : j;
  }
  if (c == '/' && i + 1 < s.size() && s[i + 1] == '*') return blockCommentEnd(s, i);
  if (c == '$' && (i == 0 || !isIdentChar(s[i - 1]))) return dollarQuotedEnd(s, i);
  if (isIdentChar(c)) {
    size_t j = i + 1;
    while (j < s.size() && (isIdentChar(s[j]) || s[j] == '$')) ++j;
    return j;
  }
  return i + 1;
}

// The marker at s[i] written into `out`; returns where the text goes on.
// "?" takes the next number; "?N" (the translator's numbered form) keeps its
// own.
size_t marker(std::string_view s, size_t i, NumberedText& out) {
  size_t j = i + 1;
  while (j < s.size() && s[j] >= '0' && s[j] <= '9' && j - i <= 5) ++j;
  if (j > i + 1 && s[i + 1] == '0') {
    out.sql.append(s.substr(i, j - i));  // no marker: the server reports it
    return j;
  }
  if (j > i + 1) {
    out.sql += '$';
    out.sql.append(s.substr(i + 1, j - i - 1));
    out.markers = std::max(out.markers, std::stoi(std::string(s.substr(i + 1, j - i - 1))));
    return j;
  }
  if (out.markers >= 99999) {
    out.sql += '?';  // past any number a statement can bind: the server reports it
    return i + 1;
  }
  out.sql += '$' + std::to_string(++out.markers);
  return i + 1;
}

}  // namespace

NumberedText numberMarkers(std::string_view s) {
  NumberedText out;
  out.sql.reserve(s.size() + 8);
  size_t i = 0;
  while (i < s.size()) {
    if (s[i] == '?') {
      i = marker(s, i, out);
      continue;
    }
    size_t end = copiedEnd(s, i);
    out.sql.append(s.substr(i, end - i));
    i = end;
  }
  return out;
}

}  // namespace rvz::data::pg
