// Task queues and the main message loop.
#include "platform/remoting/message_loop.h"

namespace rvz::remoting {

bool TaskQueue::push(Task&& task) {
  {
    std::lock_guard lock(mu_);
    if (closed_) return false;
    tasks_.push_back(std::move(task));
  }
  cv_.notify_one();
  return true;
}

std::optional<Task> TaskQueue::pop() {
  std::unique_lock lock(mu_);
  cv_.wait(lock, [&] { return closed_ || !tasks_.empty(); });
  if (tasks_.empty()) return std::nullopt;
  Task t = std::move(tasks_.front());
  tasks_.pop_front();
  return t;
}

std::optional<Task> TaskQueue::tryPop() {
  std::lock_guard lock(mu_);
  if (tasks_.empty()) return std::nullopt;
  Task t = std::move(tasks_.front());
  tasks_.pop_front();
  return t;
}

void TaskQueue::close() {
  {
    std::lock_guard lock(mu_);
    closed_ = true;
  }
  cv_.notify_all();
}

bool TaskQueue::closed() const {
  std::lock_guard lock(mu_);
  return closed_;
}

size_t TaskQueue::size() const {
  std::lock_guard lock(mu_);
  return tasks_.size();
}

MessageLoop::~MessageLoop() {
  // Dropped tasks may post again from their destructors; take them out of
  // the queue first so that no lock is held while they are destroyed.
  std::deque<Task> left;
  std::multimap<std::chrono::steady_clock::time_point, Task> timers;
  {
    std::lock_guard lock(mu_);
    left.swap(tasks_);
    timers.swap(timers_);
  }
}

void MessageLoop::post(Task task) {
  {
    std::lock_guard lock(mu_);
    tasks_.push_back(std::move(task));
  }
  cv_.notify_one();
}

void MessageLoop::postAfter(std::chrono::steady_clock::duration delay, Task task) {
  {
    std::lock_guard lock(mu_);
    timers_.emplace(std::chrono::steady_clock::now() + delay, std::move(task));
  }
  cv_.notify_one();
}

void MessageLoop::queueDueTimers(std::chrono::steady_clock::time_point now) {
  while (!timers_.empty() && timers_.begin()->first <= now) {
    tasks_.push_back(std::move(timers_.begin()->second));
    timers_.erase(timers_.begin());
  }
}

void MessageLoop::run() {
  while (true) {
    Task t;
    {
      std::unique_lock lock(mu_);
      while (true) {
        queueDueTimers(std::chrono::steady_clock::now());
        if (quit_ || !tasks_.empty()) break;
        if (timers_.empty())
          cv_.wait(lock);
        else
          cv_.wait_until(lock, timers_.begin()->first);
      }
      if (quit_) return;
      t = std::move(tasks_.front());
      tasks_.pop_front();
    }
    t();
  }
}

size_t MessageLoop::runPending() {
  size_t n;
  {
    std::lock_guard lock(mu_);
    queueDueTimers(std::chrono::steady_clock::now());
    n = tasks_.size();
  }
  size_t ran = 0;
  for (; ran < n; ++ran) {
    Task t;
    {
      std::lock_guard lock(mu_);
      if (quit_ || tasks_.empty()) break;
      t = std::move(tasks_.front());
      tasks_.pop_front();
    }
    t();
  }
  return ran;
}

void MessageLoop::quit() {
  {
    std::lock_guard lock(mu_);
    quit_ = true;
  }
  cv_.notify_all();
}

bool MessageLoop::quitRequested() const {
  std::lock_guard lock(mu_);
  return quit_;
}

}  // namespace rvz::remoting
