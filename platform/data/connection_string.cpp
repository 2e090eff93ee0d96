// Reader and writer of OLE DB connection strings.
#include "platform/data/connection_string.h"

#include "platform/data/data_error.h"
#include "platform/text/text.h"

namespace rvz::data {
namespace {

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

std::string_view trim(std::string_view s) {
  while (!s.empty() && isBlank(s.front())) s.remove_prefix(1);
  while (!s.empty() && isBlank(s.back())) s.remove_suffix(1);
  return s;
}

[[noreturn]] void malformed(size_t pos, const std::string& what) {
  throw DataError::component(kErrBadConnectionString,
                             "Connection string is malformed at character " + std::to_string(pos + 1) + ": " + what);
}

std::string quoteIfNeeded(const std::string& v) {
  bool needs = v.empty() || isBlank(v.front()) || isBlank(v.back()) || v.front() == '"' || v.front() == '\'' ||
               v.front() == '=' || v.find(';') != std::string::npos;
  if (!needs) return v;
  char q = v.find('"') == std::string::npos ? '"' : (v.find('\'') == std::string::npos ? '\'' : '"');
  std::string out(1, q);
  for (char c : v) {
    out.push_back(c);
    if (c == q) out.push_back(c);
  }
  out.push_back(q);
  return out;
}

std::string quoteKey(const std::string& k) {
  std::string out;
  for (char c : k) {
    out.push_back(c);
    if (c == '=') out.push_back('=');
  }
  return out;
}

size_t findNoCase(std::string_view hay, std::string_view needle) {
  if (needle.size() > hay.size()) return std::string_view::npos;
  for (size_t i = 0; i + needle.size() <= hay.size(); ++i)
    if (text::equalsNoCaseAscii(hay.substr(i, needle.size()), needle)) return i;
  return std::string_view::npos;
}

}  // namespace

ConnectionString ConnectionString::parse(std::string_view s) {
  ConnectionString cs;
  size_t i = 0;
  const size_t n = s.size();
  while (i < n) {
    while (i < n && (isBlank(s[i]) || s[i] == ';')) ++i;
    if (i >= n) break;
    // Key, up to a single '='.
    const size_t keyStart = i;
    std::string key;
    bool sawEquals = false;
    while (i < n) {
      char c = s[i];
      if (c == '=') {
        if (i + 1 < n && s[i + 1] == '=') {
          key.push_back('=');
          i += 2;
          continue;
        }
        sawEquals = true;
        ++i;
        break;
      }
      if (c == ';') break;
      key.push_back(c);
      ++i;
    }
    std::string trimmedKey(trim(key));
    // The item's text is not shown: it may be the tail of a password.
    if (!sawEquals) malformed(keyStart, "expected 'Key=Value', found an item without '='");
    if (trimmedKey.empty()) malformed(keyStart, "expected a key name before '='");

    // Value.
    while (i < n && isBlank(s[i])) ++i;
    std::string value;
    if (i < n && (s[i] == '"' || s[i] == '\'')) {
      const char q = s[i];
      const size_t quoteStart = i;
      ++i;
      bool closed = false;
      while (i < n) {
        if (s[i] == q) {
          if (i + 1 < n && s[i + 1] == q) {
            value.push_back(q);
            i += 2;
            continue;
          }
          ++i;
          closed = true;
          break;
        }
        value.push_back(s[i++]);
      }
      if (!closed)
        malformed(quoteStart, "the quoted value of '" + trimmedKey + "' has no closing " +
                                  (q == '"' ? "double quote" : "single quote"));
      while (i < n && isBlank(s[i])) ++i;
      if (i < n && s[i] != ';') malformed(i, "expected ';' after the quoted value of '" + trimmedKey + "'");
    } else {
      const size_t start = i;
      while (i < n && s[i] != ';') ++i;
      value = std::string(trim(s.substr(start, i - start)));
    }
    bool replaced = false;
    for (auto& item : cs.items_) {
      if (text::equalsNoCaseAscii(item.key, trimmedKey)) {
        item.value = value;
        replaced = true;
      }
    }
    if (!replaced) cs.items_.push_back({std::move(trimmedKey), std::move(value)});
  }
  return cs;
}

std::optional<std::string> ConnectionString::find(std::string_view key) const {
  for (const auto& item : items_)
    if (text::equalsNoCaseAscii(item.key, key)) return item.value;
  return std::nullopt;
}

void ConnectionString::set(std::string_view key, std::string value) {
  for (auto& item : items_) {
    if (text::equalsNoCaseAscii(item.key, key)) {
      item.value = std::move(value);
      return;
    }
  }
  items_.push_back({std::string(key), std::move(value)});
}

std::string ConnectionString::toString() const {
  std::string out;
  for (const auto& item : items_) {
    if (!out.empty()) out.push_back(';');
    out += quoteKey(item.key) + "=" + quoteIfNeeded(item.value);
  }
  return out;
}

std::string ConnectionString::toRedactedString() const {
  std::string out;
  for (const auto& item : items_) {
    if (isPasswordKey(item.key)) continue;
    if (!out.empty()) out.push_back(';');
    out += quoteKey(item.key) + "=" + quoteIfNeeded(item.value);
  }
  return out;
}

bool isPasswordKey(std::string_view key) {
  key = trim(key);
  if (text::equalsNoCaseAscii(key, "pwd")) return true;
  constexpr std::string_view kPassword = "password";
  return key.size() >= kPassword.size() &&
         text::equalsNoCaseAscii(key.substr(key.size() - kPassword.size()), kPassword);
}

std::string redactConnectionString(std::string_view text) {
  try {
    return ConnectionString::parse(text).toRedactedString();
  } catch (...) {
    size_t cut = std::min(findNoCase(text, "password"), findNoCase(text, "pwd"));
    if (cut == std::string_view::npos) return std::string(text);
    return std::string(text.substr(0, cut)) + "...";
  }
}

std::string composeConnectionString(std::initializer_list<std::pair<std::string_view, std::string_view>> items) {
  std::string out;
  for (const auto& [key, value] : items) {
    if (!out.empty()) out += ';';
    out += quoteKey(std::string(key));
    out += '=';
    out += quoteIfNeeded(std::string(value));
  }
  return out;
}

std::string jetConnectionString(std::string_view file, std::string_view password) {
  return composeConnectionString({{"Provider", "Microsoft.Jet.OLEDB.4.0"},
                                  {"Data Source", file},
                                  {"Persist Security Info", "False"},
                                  {"Jet OLEDB:Database Password", password}});
}

}  // namespace rvz::data
