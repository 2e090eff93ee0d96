// The process-wide list of live service objects and their component names,
// guarded by one exclusive lock that is also held while an object is built
// from its declaration and while one is destroyed.
#pragma once

#include <mutex>
#include <string>
#include <vector>

namespace rvz::services {

class LiveObjects {
 public:
  static LiveObjects& instance();

  // The process-wide exclusive lock.
  std::recursive_mutex& lock() { return lock_; }

  // The name for a new object: `base` while no live object bears it, else
  // base_N with the lowest N >= 1 no live object bears (letter case
  // ignored). The name is taken until released.
  std::string acquireName(const std::string& base);
  void releaseName(const std::string& name);
  // Whether a live object bears the name (letter case ignored).
  bool hasName(const std::string& name);
  std::vector<std::string> names();

 private:
  std::recursive_mutex lock_;
  std::vector<std::string> names_;
};

}  // namespace rvz::services
