// Live object count with its last-release callback.
#include "platform/remoting/live_count.h"

#include <stdexcept>

namespace rvz::remoting {

void LiveCount::onLastRelease(Callback cb) {
  std::lock_guard lock(cbMu_);
  cb_ = std::move(cb);
}

void LiveCount::add() { count_.fetch_add(1, std::memory_order_acq_rel); }

void LiveCount::release() {
  int64_t before = count_.fetch_sub(1, std::memory_order_acq_rel);
  if (before <= 0) {
    count_.fetch_add(1, std::memory_order_acq_rel);
    throw std::logic_error("Live object count released below zero");
  }
  if (before != 1) return;
  lastReleases_.fetch_add(1, std::memory_order_acq_rel);
  Callback cb;
  {
    std::lock_guard lock(cbMu_);
    cb = cb_;
  }
  if (cb) cb();
}

}  // namespace rvz::remoting
