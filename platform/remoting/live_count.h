// The live object count of the server process: live objects plus class
// object locks. The change that brings it back to zero is the last release,
// which is reported to the host.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>

namespace rvz::remoting {

class LiveCount {
 public:
  using Callback = std::function<void()>;

  // The callback runs on the thread whose release reached zero (an object
  // thread, a transport thread or the main thread); a host that must act
  // on its main thread posts from there.
  void onLastRelease(Callback cb);

  void add();
  void release();
  int64_t value() const { return count_.load(std::memory_order_acquire); }
  // How many times the count has returned to zero.
  uint64_t lastReleases() const { return lastReleases_.load(std::memory_order_acquire); }

 private:
  std::atomic<int64_t> count_{0};
  std::atomic<uint64_t> lastReleases_{0};
  std::mutex cbMu_;
  Callback cb_;
};

}  // namespace rvz::remoting
