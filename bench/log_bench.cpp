// The activity log and the command watch: the cost of one add early and
// late in a long run (log_add_late_vs_early: adds must not grow dearer with
// the log's history), and a 10 000-statement apply with the watch on
// against the same apply with the watch off (watch_overhead).
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <deque>
#include <filesystem>
#include <mutex>
#include <thread>

#include "host/activity_log.h"
#include "platform/files/files.h"
#include "platform/packets/materialized.h"
#include "platform/packets/packet_reader.h"
#include "services/command_watch.h"
#include "services/dms.h"

using namespace rvz;
using Clock = std::chrono::steady_clock;

namespace {

// Entries handed over by many threads and applied one at a time by one
// consumer, as the main thread applies them.
class Handover : public services::ActivityLogSink {
 public:
  // Bounded, as a message queue the producers wait on when it is full:
  // the figure is about the log, not about a backlog of a million entries.
  void addLogEntry(text::WString e) override {
    bool wake;
    {
      std::unique_lock g(m_);
      space_.wait(g, [&] { return q_.size() < 4096; });
      wake = q_.empty() && !pending_;  // the consumer sleeps only on an empty queue
      pending_ = true;
      q_.push_back(std::move(e));
    }
    if (wake) cv_.notify_one();
  }
  // Everything waiting, oldest first; false when finished and empty. After
  // a wake it lets a moment pass so that a burst of commands is applied as
  // one batch and their senders rarely pay for a wake-up.
  bool takeAll(std::vector<text::WString>& out) {
    std::unique_lock g(m_);
    cv_.wait(g, [&] { return !q_.empty() || done_; });
    if (q_.empty()) return false;
    g.unlock();
    std::this_thread::sleep_for(std::chrono::microseconds(500));
    g.lock();
    out.assign(std::make_move_iterator(q_.begin()), std::make_move_iterator(q_.end()));
    q_.clear();
    pending_ = false;
    space_.notify_all();
    return true;
  }
  bool take(text::WString& e) {
    std::unique_lock g(m_);
    cv_.wait(g, [&] { return !q_.empty() || done_; });
    if (q_.empty()) return false;
    e = std::move(q_.front());
    q_.pop_front();
    if (q_.empty()) pending_ = false;
    if (q_.size() == 4095) space_.notify_all();
    return true;
  }
  void finish() {
    std::lock_guard g(m_);
    done_ = true;
    cv_.notify_all();
  }

 private:
  std::mutex m_;
  std::condition_variable cv_, space_;
  std::deque<text::WString> q_;
  bool done_ = false;
  bool pending_ = false;  // a wake-up is on its way or being served
};

double logLateVsEarly() {
  constexpr int kThreads = 4, kEach = 250000, kWindow = 100000;
  Handover h;
  host::ActivityLog log;
  std::vector<std::thread> producers;
  for (int t = 0; t < kThreads; ++t)
    producers.emplace_back([&h, t] {
      for (int i = 0; i < kEach; ++i) {
        char buf[64];
        std::snprintf(buf, sizeof buf, "select * from Goods where ID=%07d -- %d", i, t);
        h.addLogEntry(text::utf8ToWide(std::string(buf).substr(0, 40)));
      }
    });
  std::thread closer([&] {
    for (auto& p : producers) p.join();
    h.finish();
  });
  const int total = kThreads * kEach;
  double early = 0, late = 0;
  text::WString e;
  for (int n = 0; h.take(e); ++n) {
    auto t0 = Clock::now();
    log.add(e);
    double dt = std::chrono::duration<double>(Clock::now() - t0).count();
    if (n < kWindow) early += dt;
    if (n >= total - kWindow) late += dt;
  }
  closer.join();
  return late / early;
}

double applySeconds(bool watch, const std::string& home) {
  services::TDatas d;
  d.Cn.setConnectionString("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + home + "/bench.mdb");
  d.Cn.setWillExecute(watch ? data::WillExecuteHandler(services::CnWillExecute) : data::WillExecuteHandler());
  d.Cn.execute("delete from AppLog");
  Variant params, owner;
  int32_t recs = 0;
  auto meta = packets::materialize(
      packets::decodePacket(d.host().AS_GetRecords(u"pAppLog", 0, recs, 1, u"", params, owner)));
  packets::MaterializedPacket delta;
  delta.columns = meta.columns;
  for (int i = 0; i < 10000; ++i)
    delta.records.push_back({packets::RowStatus::Inserted,
                             {packets::Cell::of(Variant(u"user")), packets::Cell::of(Variant(u"bench")),
                              packets::Cell::of(Variant(text::utf8ToWide("row " + std::to_string(i)))),
                              packets::Cell::null(), packets::Cell::of(Variant(u"12:00"))}});
  Variant dv = packets::packetToVariant(packets::encode(delta));
  int32_t errors = 0;
  auto t0 = Clock::now();
  d.host().AS_ApplyUpdates(u"pAppLog", dv, -1, errors, owner);
  double s = std::chrono::duration<double>(Clock::now() - t0).count();
  if (errors != 0) std::fprintf(stderr, "apply reported %d errors\n", errors);
  return s;
}

}  // namespace

int main() {
  char dir[] = "/tmp/rvz_logbench_XXXXXX";
  if (!mkdtemp(dir)) return 1;
  setenv("RVZ_HOME", dir, 1);
  files::writeFile(std::string(dir) + "/bench.mdb", "");
  {
    data::Connection cn(std::string("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=") + dir + "/bench.mdb");
    cn.execute("create table AppLog (uName ANSIVARCHAR(20), cName ANSIVARCHAR(20), CZ ANSIVARCHAR(30), RQ DATETIME, "
               "SJ ANSIVARCHAR(5))");
  }
  std::printf("log_add_late_vs_early=%.3f\n", logLateVsEarly());

  // The watch with a log applied on a consumer thread, as the server runs it.
  auto sink = std::make_shared<Handover>();
  services::setActivityLogSink(sink);
  host::ActivityLog log;
  std::thread consumer([&] {
    std::vector<text::WString> waiting;
    while (sink->takeAll(waiting)) log.addAll(waiting);
  });
  double on = 1e300, off = 1e300;
  for (int i = 0; i < 3; ++i) {
    off = std::min(off, applySeconds(false, dir));
    on = std::min(on, applySeconds(true, dir));
  }
  sink->finish();
  consumer.join();
  services::setActivityLogSink(nullptr);
  std::printf("apply_seconds_watch_off=%.4f apply_seconds_watch_on=%.4f\n", off, on);
  std::printf("watch_overhead=%.3f\n", on / off);
  std::filesystem::remove_all(dir);
  return 0;
}
