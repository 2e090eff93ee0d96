// The route of activity log entries from the object threads to the main
// thread: entries wait back to back in one buffer in the order they are
// handed over, and a timer on the main loop applies everything waiting with
// ActivityLog::addAll a moment after the first of them arrived, so a burst
// of commands costs the main thread one wake-up and one rewrite of the log,
// and the senders a copy of their text each, no system call or allocation
// of their own.
#pragma once

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <mutex>

#include "host/activity_log.h"
#include "platform/remoting/message_loop.h"
#include "services/command_watch.h"

namespace rvz::host {

class LoopLogSink final : public services::ActivityLogSink, public std::enable_shared_from_this<LoopLogSink> {
 public:
  // How long the first waiting entry may wait for others to join it.
  static constexpr std::chrono::milliseconds kBatchWindow{5};

  // Entries reach the log only while it lives: a timer still set when the
  // window and its log are gone applies nothing.
  // `applied` runs on the main thread after each batch reached the log.
  LoopLogSink(remoting::MessageLoop& loop, std::weak_ptr<ActivityLog> log, std::function<void()> applied = {})
      : loop_(loop), log_(std::move(log)), applied_(std::move(applied)) {}

  // Any thread.
  void addLogEntry(std::string_view entry) override;

  // Any thread: entries are also written to the operational log as they
  // arrive (on the sending object thread, whose lines name its object).
  void setMirror(bool on) { mirror_ = on; }

  // Main thread: applies what waits now. Whoever reads or clears the log
  // calls it first, so that it sees every entry handed over before.
  void applyWaiting();

 private:
  remoting::MessageLoop& loop_;
  std::weak_ptr<ActivityLog> log_;
  std::function<void()> applied_;
  // Room kept from one batch to the next; a burst beyond it is let go.
  static constexpr size_t kKeptRoomBytes = size_t{4} << 20;

  std::mutex m_;
  LogEntries waiting_;   // guarded by m_
  LogEntries applying_;  // main thread: the batch applied last, its room then handed to the senders
  bool timerSet_ = false;
  std::atomic<bool> mirror_{false};
};

}  // namespace rvz::host
