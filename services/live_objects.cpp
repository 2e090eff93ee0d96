// Component names of live service objects and the binding of references
// between them.
#include "services/live_objects.h"

#include <algorithm>

#include "platform/text/text.h"
#include "services/shared_connection.h"

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

std::vector<LiveObjects::Entry>::iterator LiveObjects::find(const std::string& name) {
  return std::find_if(objects_.begin(), objects_.end(), [&](const Entry& e) { return sameName(e.name, name); });
}

bool LiveObjects::hasName(const std::string& name) {
  std::lock_guard g(lock_);
  return find(name) != objects_.end();
}

std::string LiveObjects::acquireName(const std::string& base, std::shared_ptr<SharedConnection> lends) {
  std::lock_guard g(lock_);
  std::string name = base;
  for (int n = 1; hasName(name); ++n) name = base + "_" + std::to_string(n);
  objects_.push_back({name, std::move(lends)});
  return name;
}

void LiveObjects::releaseName(const std::string& name) {
  std::lock_guard g(lock_);
  auto it = find(name);
  if (it != objects_.end()) objects_.erase(it);
}

std::vector<std::string> LiveObjects::names() {
  std::lock_guard g(lock_);
  std::vector<std::string> out;
  for (const auto& e : objects_) out.push_back(e.name);
  return out;
}

void LiveObjects::addPending(BorrowedConnection* ref) {
  std::lock_guard g(lock_);
  pending_.push_back(ref);
}

void LiveObjects::dropPending(BorrowedConnection* ref) {
  std::lock_guard g(lock_);
  pending_.erase(std::remove(pending_.begin(), pending_.end(), ref), pending_.end());
}

void LiveObjects::resolvePending() {
  std::lock_guard g(lock_);
  for (auto it = pending_.begin(); it != pending_.end();) {
    auto owner = find((*it)->objectName());
    if (owner != objects_.end() && owner->lends) {
      (*it)->bind(owner->lends);
      it = pending_.erase(it);
    } else {
      ++it;
    }
  }
}

}  // namespace rvz::services
