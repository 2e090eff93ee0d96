// SIGTERM and SIGINT as a service manager means them: stop now, without a
// question. The first signal asks the main thread to stop (new calls are
// then refused and the calls in progress run on); if the process has not
// ended `drain` later, or a second signal comes, it ends at once, and the
// objects still alive end with it.
//
// The signals are taken by a thread of their own with sigwait, so the stop
// runs on the main thread like any other close; that needs them blocked in
// every thread, which blockStopSignals() does before any thread starts.
#pragma once

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

namespace rvz::host {

// Blocks SIGTERM, SIGINT, SIGUSR1 and SIGUSR2 (the watcher's own wake-up
// and stand-down) in the calling thread and every thread it starts later.
void blockStopSignals();

// What the watcher does when the drain time has run out, or a second signal
// came, before the process ended; the default writes the reason to the
// operational log and ends the process with exit code 0 without running
// destructors.
using ForcedEnd = std::function<void(const char* reason)>;

class StopSignals {
 public:
  // `onStop` runs on the watcher thread for the first signal, with its
  // number; it must only hand the stop over (post it to the main loop).
  StopSignals(std::chrono::milliseconds drain, std::function<void(int)> onStop, ForcedEnd forcedEnd = {});
  StopSignals(const StopSignals&) = delete;
  StopSignals& operator=(const StopSignals&) = delete;
  // Stands the watcher down: the process has ended its teardown in time.
  ~StopSignals();

  // The drain starts now as if a signal had come (the main thread itself
  // stopping, for instance); no effect once a drain runs.
  void startDrain();

 private:
  void watch();
  // Sets the deadline; false when a drain runs already.
  bool beginDrain();

  std::chrono::milliseconds drain_;
  std::function<void(int)> onStop_;
  ForcedEnd forcedEnd_;
  std::mutex mu_;
  bool draining_ = false;
  std::chrono::steady_clock::time_point deadline_;
  std::thread thread_;
};

}  // namespace rvz::host
