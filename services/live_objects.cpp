// Component names of live service objects.
#include "services/live_objects.h"

#include <algorithm>

#include "platform/text/text.h"

namespace rvz::services {

namespace {
bool sameName(const std::string& a, const std::string& b) {
  return text::equalsNoCase(text::utf8ToWide(a), text::utf8ToWide(b));
}
}  // namespace

LiveObjects& LiveObjects::instance() {
  static LiveObjects objects;
  return objects;
}

bool LiveObjects::hasName(const std::string& name) {
  std::lock_guard g(lock_);
  return std::any_of(names_.begin(), names_.end(), [&](const std::string& n) { return sameName(n, name); });
}

std::string LiveObjects::acquireName(const std::string& base) {
  std::lock_guard g(lock_);
  std::string name = base;
  for (int n = 1; hasName(name); ++n) name = base + "_" + std::to_string(n);
  names_.push_back(name);
  return name;
}

void LiveObjects::releaseName(const std::string& name) {
  std::lock_guard g(lock_);
  auto it = std::find_if(names_.begin(), names_.end(), [&](const std::string& n) { return sameName(n, name); });
  if (it != names_.end()) names_.erase(it);
}

std::vector<std::string> LiveObjects::names() {
  std::lock_guard g(lock_);
  return names_;
}

}  // namespace rvz::services
