// Group flushing of commits, per database file.
#include "platform/data/commit_flush.h"

#include <map>
#include <memory>
#include <utility>

namespace rvz::data {

CommitFlush& CommitFlush::of(unsigned long long dev, unsigned long long ino) {
  static std::mutex registryMutex;
  static std::map<std::pair<unsigned long long, unsigned long long>, std::unique_ptr<CommitFlush>> files;
  std::lock_guard<std::mutex> lock(registryMutex);
  auto& f = files[{dev, ino}];
  if (!f) f = std::make_unique<CommitFlush>();
  return *f;
}

uint64_t CommitFlush::written() {
  std::lock_guard<std::mutex> lock(m_);
  return ++written_;
}

int CommitFlush::waitDurable(uint64_t ticket, const std::function<int()>& flush) {
  std::unique_lock<std::mutex> lock(m_);
  while (durable_ < ticket) {
    if (flushing_) {
      flushed_.wait(lock);
      continue;
    }
    // Every ticket given out so far belongs to a commit whose writes have
    // returned: one flush covers them all.
    flushing_ = true;
    const uint64_t upTo = written_;
    lock.unlock();
    int rc = 1;
    try {
      rc = flush();
    } catch (...) {
      lock.lock();
      flushing_ = false;
      flushed_.notify_all();
      throw;
    }
    lock.lock();
    flushing_ = false;
    if (rc == 0 && upTo > durable_) durable_ = upTo;
    flushed_.notify_all();
    if (rc != 0) return rc;
  }
  return 0;
}

}  // namespace rvz::data
