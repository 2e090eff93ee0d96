// Scratch folders for tests and benchmark programs: a fresh folder under
// /tmp that goes, with everything in it, when its owner goes; and a scope
// that sets an environment variable (the server's home RVZ_HOME, a drive
// folder) and gives the previous value back at its end.
#pragma once

#include <stdlib.h>

#include <filesystem>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <system_error>
#include <utility>

namespace rvz::testsupport {

// A new folder /tmp/<prefix>_XXXXXX that the caller removes; throws
// std::runtime_error when none can be made.
inline std::filesystem::path newScratchFolder(std::string_view prefix) {
  std::string tmpl = "/tmp/" + std::string(prefix) + "_XXXXXX";
  if (!mkdtemp(tmpl.data())) throw std::runtime_error("cannot create a scratch folder " + tmpl);
  return tmpl;
}

class ScratchFolder {
 public:
  // A new folder /tmp/rvz_<tag>_XXXXXX.
  explicit ScratchFolder(std::string_view tag) : path_(newScratchFolder("rvz_" + std::string(tag))) {}
  ~ScratchFolder() {
    std::error_code ignored;  // a test that already failed must not abort here
    // A test may have left the folder read-only.
    std::filesystem::permissions(path_, std::filesystem::perms::owner_all, std::filesystem::perm_options::add, ignored);
    std::filesystem::remove_all(path_, ignored);
  }
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;

  const std::filesystem::path& path() const { return path_; }
  std::filesystem::path operator/(const std::filesystem::path& relative) const { return path_ / relative; }

 private:
  std::filesystem::path path_;
};

// The variable `name` holds `value` while the scope lives.
class EnvScope {
 public:
  EnvScope(std::string name, const std::string& value) : name_(std::move(name)) {
    if (const char* old = getenv(name_.c_str())) previous_ = old;
    setenv(name_.c_str(), value.c_str(), 1);
  }
  ~EnvScope() {
    if (previous_)
      setenv(name_.c_str(), previous_->c_str(), 1);
    else
      unsetenv(name_.c_str());
  }
  EnvScope(const EnvScope&) = delete;
  EnvScope& operator=(const EnvScope&) = delete;

 private:
  std::string name_;
  std::optional<std::string> previous_;
};

// RVZ_HOME names `home` while the scope lives.
class HomeScope : public EnvScope {
 public:
  explicit HomeScope(const std::filesystem::path& home) : EnvScope("RVZ_HOME", home.string()) {}
};

}  // namespace rvz::testsupport
