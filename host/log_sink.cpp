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
  LogEntries batch;
  {
    std::lock_guard g(m_);
    batch.swap(waiting_);
    // A timer still set applies nothing when it fires; the next entry sets
    // a new one, so none waits for a timer that has already fired.
    timerSet_ = false;
  }
  if (batch.empty()) return;
  auto log = log_.lock();
  if (!log) return;
  log->addAll(batch);
  if (applied_) applied_();
}

}  // namespace rvz::host
