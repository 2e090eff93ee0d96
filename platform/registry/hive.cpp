// Hive operations on the file: unlocked reads, locked read-modify-write
// changes written through a temporary file and a rename.
#include "platform/registry/hive.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "platform/files/file_handle.h"
#include "platform/files/files.h"

namespace rvz::registry {

namespace {

std::string errnoText(int err) { return std::strerror(err); }

using files::FileHandle;

// The whole file, or nullopt when it does not exist.
std::optional<std::string> readIfExists(const std::filesystem::path& file) {
  FileHandle fd(file, O_RDONLY);
  if (!fd.valid()) {
    if (errno == ENOENT) return std::nullopt;
    throw RegistryError("cannot read registry hive " + file.string() + ": " + errnoText(errno));
  }
  std::string out;
  // Refuse before holding much more than a hive may be.
  if (!fd.readToEnd(out, kMaxHiveFileBytes))
    throw RegistryError("cannot read registry hive " + file.string() + ": " + errnoText(errno));
  if (out.size() > kMaxHiveFileBytes)
    throw RegistryError("registry hive " + file.string() + " is damaged: larger than " +
                        std::to_string(kMaxHiveFileBytes) + " bytes");
  return out;
}

// Holds the exclusive lock of a hive for one change.
class WriteLock {
 public:
  explicit WriteLock(const std::filesystem::path& file) : fd_(lockFileOf(file), O_RDWR | O_CREAT, 0600) {
    if (!fd_.valid())
      throw RegistryError("cannot lock registry hive " + file.string() + ": " + lockFileOf(file).string() + ": " +
                          errnoText(errno));
    if (!fd_.lock(LOCK_EX)) throw RegistryError("cannot lock registry hive " + file.string() + ": " + errnoText(errno));
  }
  WriteLock(const WriteLock&) = delete;
  WriteLock& operator=(const WriteLock&) = delete;

 private:
  static std::filesystem::path lockFileOf(std::filesystem::path file) { return file += ".lock"; }
  FileHandle fd_;  // closing it releases the lock
};

void replaceFile(const std::filesystem::path& file, const std::string& text) {
  std::filesystem::path tmp = file;
  tmp += ".tmp";
  {
    FileHandle fd(tmp, O_WRONLY | O_CREAT | O_TRUNC, 0600);
    if (!fd.valid())
      throw RegistryError("cannot write registry hive " + file.string() + ": " + tmp.string() + ": " +
                          errnoText(errno));
    if (!fd.writeAll(text)) throw RegistryError("cannot write registry hive " + tmp.string() + ": " + errnoText(errno));
    // The data must be on disk before the rename makes it the hive, or a
    // crash could leave an empty hive behind.
    if (::fsync(fd.get()) != 0)
      throw RegistryError("cannot write registry hive " + file.string() + ": " + errnoText(errno));
  }
  if (::rename(tmp.c_str(), file.c_str()) != 0) {
    int err = errno;
    ::unlink(tmp.c_str());
    throw RegistryError("cannot write registry hive " + file.string() + ": " + errnoText(err));
  }
}

const Key& keyAt(const Key& root, std::string_view path) {
  const Key* key = &root;
  for (auto name : splitKeyPath(path)) {
    key = key->child(name);
    if (!key) throw RegistryError("registry key " + std::string(path) + " does not exist");
  }
  return *key;
}

const Key* findKey(const Key& root, std::string_view path) {
  const Key* key = &root;
  for (auto name : splitKeyPath(path)) {
    key = key->child(name);
    if (!key) return nullptr;
  }
  return key;
}

Key* findKey(Key& root, std::string_view path) {
  return const_cast<Key*>(findKey(static_cast<const Key&>(root), path));
}

}  // namespace

Hive::Hive(std::filesystem::path file) : file_(std::move(file)) {}

std::filesystem::path Hive::defaultFile() {
  const char* env = std::getenv("RVZ_REGISTRY");
  if (env && *env) return env;
  return files::homeFolder() / "registry.hive";
}

Key Hive::load() const {
  auto text = readIfExists(file_);
  if (!text) return Key();
  return parseHive(*text, file_.string());
}

Key Hive::snapshot() const { return load(); }

void Hive::edit(const std::function<void(Key& root)>& change) {
  WriteLock lock(file_);
  auto text = readIfExists(file_);
  Key root = text ? parseHive(*text, file_.string()) : Key();
  change(root);
  std::string updated = serializeHive(root);
  // Rewriting the same entries (as every start of the server does) leaves
  // the file alone.
  if (text && *text == updated) return;
  replaceFile(file_, updated);
}

void Hive::createKey(std::string_view path) {
  auto names = splitKeyPath(path);
  edit([&](Key& root) {
    Key* key = &root;
    for (auto name : names) key = &key->addChild(name);
  });
}

bool Hive::keyExists(std::string_view path) const {
  splitKeyPath(path);
  return findKey(load(), path) != nullptr;
}

void Hive::setValue(std::string_view path, std::string_view name, std::string_view data) {
  auto names = splitKeyPath(path);
  checkValue(name, data);
  edit([&](Key& root) {
    Key* key = &root;
    for (auto n : names) key = &key->addChild(n);
    key->setValue(name, data);
  });
}

std::optional<std::string> Hive::value(std::string_view path, std::string_view name) const {
  splitKeyPath(path);
  Key root = load();
  const Key* key = findKey(root, path);
  if (!key) return std::nullopt;
  const Value* v = key->value(name);
  if (!v) return std::nullopt;
  return v->data;
}

bool Hive::deleteValue(std::string_view path, std::string_view name) {
  splitKeyPath(path);
  bool removed = false;
  edit([&](Key& root) {
    Key* key = findKey(root, path);
    removed = key && key->removeValue(name);
  });
  return removed;
}

bool Hive::deleteKey(std::string_view path) {
  auto names = splitKeyPath(path);
  if (names.empty()) throw RegistryError("the root of the registry cannot be deleted");
  bool removed = false;
  edit([&](Key& root) {
    Key* parent = &root;
    for (size_t i = 0; i + 1 < names.size() && parent; ++i) parent = parent->child(names[i]);
    Key* key = parent ? parent->child(names.back()) : nullptr;
    if (!key) return;
    if (!key->children().empty())
      throw RegistryError("cannot delete registry key " + std::string(path) + ": it has subkeys");
    removed = parent->removeChild(names.back());
  });
  return removed;
}

std::vector<std::string> Hive::subkeys(std::string_view path) const {
  Key root = load();
  std::vector<std::string> out;
  for (const auto& child : keyAt(root, path).children()) out.push_back(child->name());
  return out;
}

std::vector<Value> Hive::values(std::string_view path) const {
  Key root = load();
  return keyAt(root, path).values();
}

}  // namespace rvz::registry
