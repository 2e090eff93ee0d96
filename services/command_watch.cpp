// The command watch.
#include "services/command_watch.h"

#include <atomic>
#include <cstdint>
#include <mutex>
#include <utility>

namespace rvz::services {

namespace {

std::mutex sinkLock;  // guards currentSink
std::shared_ptr<ActivityLogSink> currentSink;
// Changes with every setActivityLogSink (under sinkLock).
std::atomic<uint64_t> sinkSerial{1};

// The sink a thread last saw, with the serial it had then: a command on an
// object thread costs one atomic load here, not a lock and a reference
// count. A replaced sink is let go by each thread at its next command (or
// its end), never called after its replacement was seen.
struct SeenSink {
  uint64_t serial = 0;
  std::shared_ptr<ActivityLogSink> sink;
};
thread_local SeenSink seenSink;

}  // namespace

void setActivityLogSink(std::shared_ptr<ActivityLogSink> sink) {
  std::shared_ptr<ActivityLogSink> old;
  {
    std::lock_guard g(sinkLock);
    old = std::exchange(currentSink, std::move(sink));
    sinkSerial.fetch_add(1, std::memory_order_release);
  }
  seenSink = {};  // the setting thread lets its own copy go at once
}

std::shared_ptr<ActivityLogSink> activityLogSink() {
  std::lock_guard g(sinkLock);
  return currentSink;
}

namespace {

ActivityLogSink* threadSink() {
  const uint64_t serial = sinkSerial.load(std::memory_order_acquire);
  if (seenSink.serial != serial) {
    std::lock_guard g(sinkLock);
    seenSink.sink = currentSink;
    seenSink.serial = sinkSerial.load(std::memory_order_relaxed);
  }
  return seenSink.sink.get();
}

bool startsWithUpdate(std::string_view ansi) { return text::equalsNoCaseAscii(ansi.substr(0, 6), "UPDATE"); }

// Byte by byte, with a to z raised: setting bit 5 turns only S into s, E
// into e and T into t among all byte values, so the test needs no call.
bool containsSet(std::string_view ansi) {
  for (size_t i = 0; i + 3 <= ansi.size(); ++i)
    if ((ansi[i] | 0x20) == 's' && (ansi[i + 1] | 0x20) == 'e' && (ansi[i + 2] | 0x20) == 't') return true;
  return false;
}

bool isAscii(std::string_view s) {
  for (char c : s)
    if (static_cast<unsigned char>(c) >= 0x80) return false;
  return true;
}

}  // namespace

bool refusesCommand(std::string_view commandTextUtf8) {
  // ASCII text is its own ANSI form, and most commands are ASCII or begin
  // with six ASCII characters that are not UPDATE: those are decided
  // without converting the whole text. An ASCII "SET" in the UTF-8 text is
  // one in the ANSI text too (the code page keeps ASCII as it is), so an
  // UPDATE that has one is let through after a scan up to it. The rest goes
  // through the code page, since in CP936 a trail byte may be a letter of
  // "SET".
  std::string_view head = commandTextUtf8.substr(0, 6);
  if (isAscii(head)) {
    if (!startsWithUpdate(commandTextUtf8)) return false;
    if (containsSet(commandTextUtf8)) return false;
  }
  if (isAscii(commandTextUtf8)) return !containsSet(commandTextUtf8);
  std::string ansi = text::utf8ToAnsi(commandTextUtf8);
  return startsWithUpdate(ansi) && !containsSet(ansi);
}

void CnWillExecute(std::string_view commandTextUtf8, data::EventStatus& status) {
  static constexpr std::string_view kNotExecute = "Not Execute: ";
  const bool refused = refusesCommand(commandTextUtf8);
  if (refused) status = data::EventStatus::Cancel;
  ActivityLogSink* sink = threadSink();
  if (!sink) return;
  if (!refused) {
    sink->addLogEntry(commandTextUtf8);
    return;
  }
  std::string entry;
  entry.reserve(kNotExecute.size() + commandTextUtf8.size());
  entry.append(kNotExecute).append(commandTextUtf8);
  sink->addLogEntry(entry);
}

}  // namespace rvz::services
