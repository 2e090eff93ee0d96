// The stop signal watcher.
#include "host/stop_signals.h"

#include <pthread.h>
#include <signal.h>
#include <time.h>

#include <cerrno>
#include <cstdlib>
#include <string>

#include "platform/oplog/operations_log.h"

namespace rvz::host {
namespace {

sigset_t stopSet() {
  sigset_t set;
  sigemptyset(&set);
  sigaddset(&set, SIGTERM);
  sigaddset(&set, SIGINT);
  sigaddset(&set, SIGUSR1);
  sigaddset(&set, SIGUSR2);
  return set;
}

void endNow(const char* reason) {
  oplog::warning("ending at once", {{"reason", reason}});
  std::_Exit(0);
}

const char* signalName(int sig) { return sig == SIGTERM ? "SIGTERM" : sig == SIGINT ? "SIGINT" : "signal"; }

}  // namespace

void blockStopSignals() {
  sigset_t set = stopSet();
  pthread_sigmask(SIG_BLOCK, &set, nullptr);
}

StopSignals::StopSignals(std::chrono::milliseconds drain, std::function<void(int)> onStop, ForcedEnd forcedEnd)
    : drain_(drain), onStop_(std::move(onStop)), forcedEnd_(forcedEnd ? std::move(forcedEnd) : ForcedEnd(endNow)) {
  blockStopSignals();
  thread_ = std::thread([this] { watch(); });
}

StopSignals::~StopSignals() {
  pthread_kill(thread_.native_handle(), SIGUSR2);
  thread_.join();
}

bool StopSignals::beginDrain() {
  std::lock_guard lock(mu_);
  if (draining_) return false;
  draining_ = true;
  deadline_ = std::chrono::steady_clock::now() + drain_;
  return true;
}

void StopSignals::startDrain() {
  // The watcher may be waiting for a signal without a deadline: woken, it
  // waits for the deadline instead.
  if (beginDrain()) pthread_kill(thread_.native_handle(), SIGUSR1);
}

void StopSignals::watch() {
  const sigset_t set = stopSet();
  for (;;) {
    bool draining;
    std::chrono::steady_clock::time_point deadline;
    {
      std::lock_guard lock(mu_);
      draining = draining_;
      deadline = deadline_;
    }
    int sig = 0;
    if (!draining) {
      if (sigwait(&set, &sig) != 0) continue;
    } else {
      auto left = deadline - std::chrono::steady_clock::now();
      if (left <= std::chrono::steady_clock::duration::zero()) {
        forcedEnd_("the calls in progress did not end within the drain time");
        return;
      }
      auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(left).count();
      timespec ts{static_cast<time_t>(ns / 1000000000), static_cast<long>(ns % 1000000000)};
      sig = sigtimedwait(&set, nullptr, &ts);
      if (sig < 0) continue;  // EAGAIN: the deadline is checked above; EINTR: again
    }
    if (sig == SIGUSR2) return;    // our own stand-down
    if (sig == SIGUSR1) continue;  // a drain started: wait for its deadline
    if (draining) {
      forcedEnd_((std::string("a second ") + signalName(sig) + " came while stopping").c_str());
      return;
    }
    oplog::notice("stop requested", {{"signal", signalName(sig)}, {"drain_ms", std::to_string(drain_.count())}});
    beginDrain();
    onStop_(sig);
  }
}

}  // namespace rvz::host
