// The live object count of the server process: live objects plus class
// object locks. The change that brings it back to zero is the last release,
// which is reported to the host.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <utility>

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

  // One unit of the count for a scope: added by the constructor, given back
  // by release() or, at the latest, by the destructor, so that no path out of
  // the scope (an exception included) leaves the count raised for good.
  class Hold {
   public:
    explicit Hold(LiveCount& count) : count_(&count) { count.add(); }
    ~Hold() {
      try {
        release();
      } catch (...) {
        // The last-release callback failed; the count itself is right.
      }
    }
    Hold(const Hold&) = delete;
    Hold& operator=(const Hold&) = delete;
    // Gives the unit back now (may run the last-release callback).
    void release() {
      if (LiveCount* c = std::exchange(count_, nullptr)) c->release();
    }

   private:
    LiveCount* count_;
  };

 private:
  std::atomic<int64_t> count_{0};
  std::atomic<uint64_t> lastReleases_{0};
  std::mutex cbMu_;
  Callback cb_;
};

}  // namespace rvz::remoting
