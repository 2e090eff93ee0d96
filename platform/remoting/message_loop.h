// Message queues of the object platform: a move-only task, a blocking task
// queue (the queue of an object thread), and the main thread's message loop
// that creation requests and the host's own work are posted to.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <type_traits>
#include <utility>

namespace rvz::remoting {

// A callable run once, which may own move-only state (a pending reply that
// must be answered exactly once, for instance).
class Task {
 public:
  Task() = default;
  template <class F>
  requires(!std::is_same_v<std::decay_t<F>, Task> && std::is_invocable_v<F&>) Task(F f)
      : impl_(std::make_unique<Impl<F>>(std::move(f))) {}  // NOLINT: implicit by design
  Task(Task&&) noexcept = default;
  Task& operator=(Task&&) noexcept = default;

  explicit operator bool() const { return impl_ != nullptr; }
  void operator()() { impl_->run(); }

 private:
  struct Base {
    virtual ~Base() = default;
    virtual void run() = 0;
  };
  template <class F>
  struct Impl final : Base {
    explicit Impl(F f) : f(std::move(f)) {}
    void run() override { f(); }
    F f;
  };
  std::unique_ptr<Base> impl_;
};

// A first-in first-out queue of tasks. Consumers wait on a condition
// variable; close() wakes them and refuses later pushes, while the tasks
// already queued are still handed out.
class TaskQueue {
 public:
  // False when the queue is closed; the task is then left with the caller.
  bool push(Task&& task);
  // The next task, waiting for one; nullopt once closed and empty.
  std::optional<Task> pop();
  // The next task if one is queued now.
  std::optional<Task> tryPop();
  void close();
  bool closed() const;
  size_t size() const;

 private:
  mutable std::mutex mu_;
  std::condition_variable cv_;
  std::deque<Task> tasks_;
  bool closed_ = false;
};

// The main thread's message loop: tasks posted from any thread run on the
// thread that calls run(), one at a time, in the order posted; a task
// posted with a delay (a timer) runs once that much time has passed, after
// the tasks already queued then. quit() makes run() return after the task
// in progress; tasks posted later stay queued and are dropped when the loop
// is destroyed.
class MessageLoop {
 public:
  MessageLoop() = default;
  MessageLoop(const MessageLoop&) = delete;
  MessageLoop& operator=(const MessageLoop&) = delete;
  ~MessageLoop();

  void post(Task task);
  void postAfter(std::chrono::steady_clock::duration delay, Task task);
  void run();
  // Runs the tasks queued now and the timers due now, without waiting; the
  // count run.
  size_t runPending();
  void quit();
  bool quitRequested() const;

 private:
  // Moves the timers due by `now` to the end of the queue, earliest first.
  void queueDueTimers(std::chrono::steady_clock::time_point now);

  mutable std::mutex mu_;
  std::condition_variable cv_;
  std::deque<Task> tasks_;
  std::multimap<std::chrono::steady_clock::time_point, Task> timers_;  // equal times keep their order
  bool quit_ = false;
};

}  // namespace rvz::remoting
