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

}  // namespace

NumberedText numberMarkers(std::string_view s) {
  NumberedText out;
  out.sql.reserve(s.size() + 8);
  size_t i = 0;
  auto copyTo = [&](size_t end) {
    out.sql.append(s.substr(i, end - i));
    i = end;
  };
  while (i < s.size()) {
    const char c = s[i];
    if (c == '?') {
      // "?" takes the next number; "?N" (the translator's numbered form)
      // keeps its own.
      size_t j = i + 1;
      while (j < s.size() && s[j] >= '0' && s[j] <= '9' && j - i <= 5) ++j;
      if (j > i + 1 && s[i + 1] == '0') {
        copyTo(j);  // no marker: the server reports it
      } else if (j > i + 1) {
        out.sql += '$';
        out.sql.append(s.substr(i + 1, j - i - 1));
        out.markers = std::max(out.markers, std::stoi(std::string(s.substr(i + 1, j - i - 1))));
        i = j;
      } else if (out.markers >= 99999) {
        copyTo(i + 1);  // past any number a statement can bind: the server reports it
      } else {
        out.sql += '$' + std::to_string(++out.markers);
        ++i;
      }
    } else if (c == '\'') {
      // E'...' takes backslash escapes; the E was copied already.
      const bool escapes = i > 0 && (s[i - 1] == 'E' || s[i - 1] == 'e') && (i < 2 || !isIdentChar(s[i - 2]));
      size_t j = i + 1;
      while (j < s.size()) {
        if (escapes && s[j] == '\\') {
          j += 2;
          continue;
        }
        if (s[j] == '\'') {
          if (j + 1 < s.size() && s[j + 1] == '\'') {
            j += 2;
            continue;
          }
          ++j;
          break;
        }
        ++j;
      }
      copyTo(j > s.size() ? s.size() : j);
    } else if (c == '"') {
      size_t j = i + 1;
      while (j < s.size()) {
        if (s[j] == '"') {
          if (j + 1 < s.size() && s[j + 1] == '"') {
            j += 2;
            continue;
          }
          ++j;
          break;
        }
        ++j;
      }
      copyTo(j);
    } else if (c == '-' && i + 1 < s.size() && s[i + 1] == '-') {
      size_t j = s.find('\n', i);
      copyTo(j == std::string_view::npos ? s.size() : j);
    } else if (c == '/' && i + 1 < s.size() && s[i + 1] == '*') {
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
      copyTo(j);
    } else if (c == '$' && (i == 0 || !isIdentChar(s[i - 1]))) {
      size_t tagEnd = dollarTagEnd(s, i);
      if (tagEnd == std::string_view::npos) {
        copyTo(i + 1);
        continue;
      }
      std::string_view tag = s.substr(i, tagEnd - i);
      size_t close = s.find(tag, tagEnd);
      copyTo(close == std::string_view::npos ? s.size() : close + tag.size());
    } else if (isIdentChar(c)) {
      // A name or number: copied whole, so "a$b" keeps its "$".
      size_t j = i + 1;
      while (j < s.size() && (isIdentChar(s[j]) || s[j] == '$')) ++j;
      copyTo(j);
    } else {
      copyTo(i + 1);
    }
  }
  return out;
}

}  // namespace rvz::data::pg
