// The file-backed hive that stands in for the registry under
// HKEY_CLASSES_ROOT: create key, set, read and delete string values, delete
// a key that has no subkeys, enumerate subkeys and values.
#pragma once

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/registry/hive_format.h"

namespace rvz::registry {

// Every operation reads the hive file afresh, so two Hive objects on one
// file, in one process or in two, see each other's changes. A change is a
// read-modify-write under an exclusive advisory lock on "<file>.lock",
// written to "<file>.tmp" and renamed over the file, so readers (which take
// no lock) always find a whole hive and concurrent writers lose nothing.
// A missing hive file is an empty hive; the first change creates it (its
// folder must exist). A file that is not a hive is a RegistryError.
//
// Key paths are names joined by "\", relative to the root; "" is the root
// itself. Names of keys and values match without regard to letter case and
// keep the spelling they were created with. The default value of a key is
// the value with the empty name.
class Hive {
 public:
  explicit Hive(std::filesystem::path file);

  // $RVZ_REGISTRY when set and not empty, otherwise <home>/registry.hive.
  static std::filesystem::path defaultFile();

  const std::filesystem::path& file() const { return file_; }

  // Creates the key and any missing keys above it; an existing key is left
  // as it is.
  void createKey(std::string_view path);
  bool keyExists(std::string_view path) const;

  // Sets a string value, creating the key when it is missing.
  void setValue(std::string_view path, std::string_view name, std::string_view data);
  // The value's data; nullopt when the key or the value does not exist.
  std::optional<std::string> value(std::string_view path, std::string_view name) const;
  // False when the key or the value does not exist.
  bool deleteValue(std::string_view path, std::string_view name);

  // Deletes a key that has no subkeys, with its values. False when the key
  // does not exist; a RegistryError when it still has subkeys (the key
  // stays) or when the path is the root.
  bool deleteKey(std::string_view path);

  // The names of the key's subkeys in name order, and its values in the
  // order they were first set. RegistryError when the key does not exist.
  std::vector<std::string> subkeys(std::string_view path) const;
  std::vector<Value> values(std::string_view path) const;

  // Runs `change` on the whole tree under the lock and writes the result as
  // one change; nothing is written when `change` throws or leaves the tree
  // as it was.
  void edit(const std::function<void(Key& root)>& change);
  // The whole tree as it is in the file now.
  Key snapshot() const;

 private:
  Key load() const;

  std::filesystem::path file_;
};

}  // namespace rvz::registry
