// Handing log entries over to the main loop in batches.
#include "host/log_sink.h"

#include "platform/oplog/operations_log.h"

namespace rvz::host {

void LoopLogSink::addLogEntry(std::string_view entry) {
  if (mirror_) oplog::info("activity", {{"entry", entry}});
  {
    std::lock_guard g(m_);
    waiting_.add(entry);
    if (timerSet_) return;
    timerSet_ = true;
  }
  loop_.postAfter(kBatchWindow, [self = weak_from_this()] {
    if (auto sink = self.lock()) sink->applyWaiting();
  });
}

void LoopLogSink::applyWaiting() {
  // What the last call applied (or failed to apply) goes; its room stays
  // for the senders, so that a busy run of commands grows the buffer once,
  // not in every batch.
  applying_.clear();
  if (applying_.roomBytes() > kKeptRoomBytes) applying_ = LogEntries();
  {
    std::lock_guard g(m_);
    applying_.swap(waiting_);
    // A timer still set applies nothing when it fires; the next entry sets
    // a new one, so none waits for a timer that has already fired.
    timerSet_ = false;
  }
  if (applying_.empty()) return;
  auto log = log_.lock();
  if (!log) return;
  log->addAll(applying_);
  if (applied_) applied_();
}

}  // namespace rvz::host
