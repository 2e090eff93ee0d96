// The registry tree in memory (keys with case-insensitive names that keep
// their spelling, string values) and its text form in the hive file.
#pragma once

#include <cstddef>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace rvz::registry {

// A registry operation or a hive file that failed; the text names the key,
// value or file and the reason.
class RegistryError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Bounds that keep a hive, and any file claiming to be one, small enough to
// handle: the key name length and tree depth are those of the Windows
// registry; the value sizes are ours.
inline constexpr size_t kMaxKeyNameChars = 255;
inline constexpr size_t kMaxKeyDepth = 512;
inline constexpr size_t kMaxValueNameChars = 16383;
inline constexpr size_t kMaxValueDataBytes = 1 << 20;
inline constexpr size_t kMaxHiveFileBytes = 64 << 20;

// A string value; the default value of a key has the empty name.
struct Value {
  std::string name;
  std::string data;
};

// One key: its name, its values in the order they were first set, and its
// subkeys ordered by name without regard to case. Names are UTF-8.
class Key {
 public:
  explicit Key(std::string name = {}) : name_(std::move(name)) {}
  Key(const Key& other);
  Key& operator=(const Key& other);
  Key(Key&&) noexcept = default;
  Key& operator=(Key&&) noexcept = default;

  const std::string& name() const { return name_; }

  Key* child(std::string_view name);
  const Key* child(std::string_view name) const;
  // The subkey of that name, created when missing (the existing one keeps
  // its spelling).
  Key& addChild(std::string_view name);
  bool removeChild(std::string_view name);
  const std::vector<std::unique_ptr<Key>>& children() const { return children_; }

  const Value* value(std::string_view name) const;
  // Replaces the data of a value of that name (keeping its spelling and
  // place) or appends a new value.
  void setValue(std::string_view name, std::string_view data);
  bool removeValue(std::string_view name);
  const std::vector<Value>& values() const { return values_; }

  bool operator==(const Key& other) const;

 private:
  size_t lowerBound(std::string_view name) const;

  std::string name_;
  std::vector<Value> values_;
  std::vector<std::unique_ptr<Key>> children_;
};

// The names of a key path such as "CLSID\{…}\ProgID"; "" is the root.
// Throws RegistryError for an empty name (a leading, trailing or doubled
// "\"), a name longer than 255 characters or holding control characters,
// text that is not UTF-8, or a path deeper than 512 keys.
std::vector<std::string_view> splitKeyPath(std::string_view path);

// Checks a value name and its data against the bounds above and UTF-8.
void checkValue(std::string_view name, std::string_view data);

// The tree held by a hive file's text. `source` names the file in messages.
// Throws RegistryError naming the line and what is wrong with it.
Key parseHive(std::string_view text, std::string_view source);

// The text form: a header line "RVZ-HIVE 1", then for every key below the
// root, depth first in name order, a line "[path]" followed by its values as
// lines `@="data"` (the default value) or `"name"="data"`; values of the
// root itself, if any, come first under "[]".
std::string serializeHive(const Key& root);

}  // namespace rvz::registry
