// Registry keys in memory, and the reader and writer of the hive text.
#include "platform/registry/hive_format.h"

#include <algorithm>
#include <optional>
#include <unordered_set>

#include "platform/text/text.h"

namespace rvz::registry {

namespace {

constexpr std::string_view kHeader = "RVZ-HIVE 1";

bool isControl(unsigned char c) { return c < 0x20 || c == 0x7F; }

// A name as quoted in a message: long ones are shortened, so that a message
// stays readable whatever the input held.
std::string shown(std::string_view s) {
  constexpr size_t kMax = 120;
  if (s.size() <= kMax) return std::string(s);
  return std::string(s.substr(0, kMax)) + "...";
}

std::string quoted(std::string_view s) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string out = "\"";
  for (char ch : s) {
    unsigned char c = static_cast<unsigned char>(ch);
    switch (ch) {
      case '\\': out += "\\\\"; break;
      case '"': out += "\\\""; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      default:
        if (isControl(c)) {
          out += "\\x";
          out += kHex[c >> 4];
          out += kHex[c & 0xF];
        } else {
          out += ch;
        }
    }
  }
  out += '"';
  return out;
}

void writeKey(const Key& key, const std::string& path, std::string& out) {
  if (!path.empty() || !key.values().empty()) {
    out += "\n[";
    out += path;
    out += "]\n";
    for (const auto& v : key.values()) {
      out += v.name.empty() ? std::string("@") : quoted(v.name);
      out += '=';
      out += quoted(v.data);
      out += '\n';
    }
  }
  for (const auto& child : key.children())
    writeKey(*child, path.empty() ? child->name() : path + "\\" + child->name(), out);
}

class Parser {
 public:
  Parser(std::string_view text, std::string_view source) : text_(text), source_(source) {}

  Key run() {
    if (text_.size() > kMaxHiveFileBytes)
      throw RegistryError("registry hive " + std::string(source_) + " is damaged: larger than " +
                          std::to_string(kMaxHiveFileBytes) + " bytes");
    Key root;
    Key* current = nullptr;
    std::unordered_set<const Key*> declared;
    size_t pos = 0;
    bool first = true;
    while (pos < text_.size() || first) {
      size_t end = text_.find('\n', pos);
      if (end == std::string_view::npos) end = text_.size();
      std::string_view line = text_.substr(pos, end - pos);
      pos = end + 1;
      ++lineNo_;
      if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
      if (first) {
        if (line != kHeader) fail("the first line is not \"" + std::string(kHeader) + "\"");
        first = false;
        continue;
      }
      if (line.empty() || line.front() == ';') continue;
      if (line.front() == '[') {
        if (line.back() != ']' || line.size() < 2) fail("a key line must end with \"]\"");
        std::vector<std::string_view> names;
        try {
          names = splitKeyPath(line.substr(1, line.size() - 2));
        } catch (const RegistryError& e) {
          fail(e.what());
        }
        Key* key = &root;
        for (auto name : names) key = &key->addChild(name);
        if (!declared.insert(key).second) fail("the key is listed twice");
        current = key;
        continue;
      }
      if (!current) fail("a value comes before any [key] line");
      size_t at = 0;
      std::string name;
      if (line.front() == '@') {
        at = 1;
      } else if (line.front() == '"') {
        name = readQuoted(line, at);
        if (name.empty()) fail("a value name in quotes is empty; the default value is written @");
      } else {
        fail("expected a [key] line or a value line such as \"name\"=\"data\"");
      }
      if (at >= line.size() || line[at] != '=') fail("expected \"=\" after the value name");
      ++at;
      if (at >= line.size() || line[at] != '"') fail("the value's data must be in double quotes");
      std::string data = readQuoted(line, at);
      if (at != line.size()) fail("text after the closing quote of the data");
      if (name.find('\0') != std::string::npos) fail("a value name holds a NUL character");
      try {
        checkValue(name, data);
      } catch (const RegistryError& e) {
        fail(e.what());
      }
      if (current->value(name)) fail("the value is listed twice in its key");
      current->setValue(name, data);
    }
    return root;
  }

 private:
  [[noreturn]] void fail(const std::string& what) const {
    throw RegistryError("registry hive " + std::string(source_) + " is damaged: line " + std::to_string(lineNo_) +
                        ": " + what);
  }

  static int hexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
  }

  // Reads a quoted string starting at line[at] == '"'; leaves `at` after the
  // closing quote.
  std::string readQuoted(std::string_view line, size_t& at) const {
    std::string out;
    ++at;
    while (true) {
      if (at >= line.size()) fail("a quoted string is not closed");
      char c = line[at++];
      if (c == '"') break;
      if (isControl(static_cast<unsigned char>(c))) fail("a control character inside quotes; write it as \\xHH");
      if (c != '\\') {
        out += c;
        continue;
      }
      if (at >= line.size()) fail("a quoted string ends in a lone backslash");
      char e = line[at++];
      switch (e) {
        case '\\': out += '\\'; break;
        case '"': out += '"'; break;
        case 'n': out += '\n'; break;
        case 'r': out += '\r'; break;
        case 't': out += '\t'; break;
        case 'x': {
          int hi = at < line.size() ? hexDigit(line[at]) : -1;
          int lo = at + 1 < line.size() ? hexDigit(line[at + 1]) : -1;
          if (hi < 0 || lo < 0) fail("\\x must be followed by two hexadecimal digits");
          out += static_cast<char>(hi * 16 + lo);
          at += 2;
          break;
        }
        default: fail(std::string("unknown escape \\") + e);
      }
    }
    return out;
  }

  std::string_view text_;
  std::string_view source_;
  size_t lineNo_ = 0;
};

}  // namespace

Key::Key(const Key& other) : name_(other.name_), values_(other.values_) {
  children_.reserve(other.children_.size());
  for (const auto& c : other.children_) children_.push_back(std::make_unique<Key>(*c));
}

Key& Key::operator=(const Key& other) {
  if (this != &other) *this = Key(other);
  return *this;
}

size_t Key::lowerBound(std::string_view name) const {
  auto it = std::lower_bound(
      children_.begin(), children_.end(), name,
      [](const std::unique_ptr<Key>& k, std::string_view n) { return text::compareNoCaseUtf8(k->name(), n) < 0; });
  return static_cast<size_t>(it - children_.begin());
}

Key* Key::child(std::string_view name) {
  size_t i = lowerBound(name);
  if (i < children_.size() && text::compareNoCaseUtf8(children_[i]->name(), name) == 0) return children_[i].get();
  return nullptr;
}

const Key* Key::child(std::string_view name) const { return const_cast<Key*>(this)->child(name); }

Key& Key::addChild(std::string_view name) {
  size_t i = lowerBound(name);
  if (i < children_.size() && text::compareNoCaseUtf8(children_[i]->name(), name) == 0) return *children_[i];
  auto it =
      children_.insert(children_.begin() + static_cast<std::ptrdiff_t>(i), std::make_unique<Key>(std::string(name)));
  return **it;
}

bool Key::removeChild(std::string_view name) {
  size_t i = lowerBound(name);
  if (i < children_.size() && text::compareNoCaseUtf8(children_[i]->name(), name) == 0) {
    children_.erase(children_.begin() + static_cast<std::ptrdiff_t>(i));
    return true;
  }
  return false;
}

const Value* Key::value(std::string_view name) const {
  for (const auto& v : values_)
    if (text::compareNoCaseUtf8(v.name, name) == 0) return &v;
  return nullptr;
}

void Key::setValue(std::string_view name, std::string_view data) {
  for (auto& v : values_)
    if (text::compareNoCaseUtf8(v.name, name) == 0) {
      v.data = data;
      return;
    }
  values_.push_back(Value{std::string(name), std::string(data)});
}

bool Key::removeValue(std::string_view name) {
  for (auto it = values_.begin(); it != values_.end(); ++it)
    if (text::compareNoCaseUtf8(it->name, name) == 0) {
      values_.erase(it);
      return true;
    }
  return false;
}

bool Key::operator==(const Key& other) const {
  if (name_ != other.name_ || values_.size() != other.values_.size() || children_.size() != other.children_.size())
    return false;
  for (size_t i = 0; i < values_.size(); ++i)
    if (values_[i].name != other.values_[i].name || values_[i].data != other.values_[i].data) return false;
  for (size_t i = 0; i < children_.size(); ++i)
    if (!(*children_[i] == *other.children_[i])) return false;
  return true;
}

std::vector<std::string_view> splitKeyPath(std::string_view path) {
  std::vector<std::string_view> names;
  if (path.empty()) return names;
  size_t start = 0;
  while (true) {
    size_t end = path.find('\\', start);
    std::string_view name = path.substr(start, end == std::string_view::npos ? path.size() - start : end - start);
    auto bad = [&](const std::string& why) {
      throw RegistryError("registry key path \"" + shown(path) + "\": " + why);
    };
    if (name.empty()) bad("a key name is empty (a leading, trailing or doubled \"\\\")");
    auto len = text::wideLength(name);
    if (!len) bad("not UTF-8 text");
    if (*len > kMaxKeyNameChars) bad("a key name is longer than " + std::to_string(kMaxKeyNameChars) + " characters");
    for (char c : name)
      if (isControl(static_cast<unsigned char>(c))) bad("a key name holds a control character");
    names.push_back(name);
    if (names.size() > kMaxKeyDepth) bad("deeper than " + std::to_string(kMaxKeyDepth) + " keys");
    if (end == std::string_view::npos) break;
    start = end + 1;
  }
  return names;
}

void checkValue(std::string_view name, std::string_view data) {
  auto len = text::wideLength(name);
  if (!len) throw RegistryError("registry value name is not UTF-8 text");
  if (*len > kMaxValueNameChars)
    throw RegistryError("registry value name is longer than " + std::to_string(kMaxValueNameChars) + " characters");
  if (name.find('\0') != std::string_view::npos) throw RegistryError("registry value name holds a NUL character");
  if (data.size() > kMaxValueDataBytes)
    throw RegistryError("registry value \"" + shown(name) + "\" is longer than " + std::to_string(kMaxValueDataBytes) +
                        " bytes");
  if (!text::isValidUtf8(data)) throw RegistryError("registry value \"" + shown(name) + "\" is not UTF-8 text");
}

Key parseHive(std::string_view text, std::string_view source) { return Parser(text, source).run(); }

std::string serializeHive(const Key& root) {
  std::string out(kHeader);
  out += '\n';
  writeKey(root, std::string(), out);
  return out;
}

}  // namespace rvz::registry
