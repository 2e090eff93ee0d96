// The activity log and the command watch: the cost of one add early and
// late in a long run (log_add_late_vs_early: adds must not grow dearer with
// the log's history), and a 10 000-statement apply with the watch on
// against the same apply with the watch off (watch_overhead).
#include <stdlib.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <deque>
#include <filesystem>
#include <future>
#include <mutex>
#include <string_view>
#include <thread>

#include "bench/paired_timing.h"
#include "host/activity_log.h"
#include "host/log_sink.h"
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
  void addLogEntry(std::string_view e) override {
    bool wake;
    {
      std::unique_lock g(m_);
      space_.wait(g, [&] { return q_.size() < 4096; });
      wake = q_.empty();  // the consumer sleeps only on an empty queue
      q_.emplace_back(e);
    }
    if (wake) cv_.notify_one();
  }
  bool take(std::string& e) {
    std::unique_lock g(m_);
    cv_.wait(g, [&] { return !q_.empty() || done_; });
    if (q_.empty()) return false;
    e = std::move(q_.front());
    q_.pop_front();
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
  std::deque<std::string> q_;
  bool done_ = false;
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
        h.addLogEntry(std::string(buf).substr(0, 40));
      }
    });
  std::thread closer([&] {
    for (auto& p : producers) p.join();
    h.finish();
  });
  const int total = kThreads * kEach;
  double early = 0, late = 0;
  std::string e;
  for (int n = 0; h.take(e); ++n) {
    const text::WString wide = text::utf8ToWide(e);
    auto t0 = Clock::now();
    log.add(wide);
    double dt = std::chrono::duration<double>(Clock::now() - t0).count();
    if (n < kWindow) early += dt;
    if (n >= total - kWindow) late += dt;
  }
  closer.join();
  return late / early;
}

double processCpuSeconds() {
  timespec t{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

// Waits until the main thread has applied what the watch handed over.
void drain(remoting::MessageLoop& loop) {
  std::promise<void> done;
  loop.postAfter(host::LoopLogSink::kBatchWindow + std::chrono::milliseconds(1), [&] { done.set_value(); });
  done.get_future().wait();
}

struct Cost {
  double wall, cpu;
};

// The apply's wall time, and the CPU time of the whole process (the object
// thread and the main thread's share) until its entries are in the log:
// the CPU figure does not count the time the machine gave to others.
Cost applyCost(bool watch, const std::string& home, remoting::MessageLoop& loop) {
  services::TDatas d;
  d.Cn.setConnectionString("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + home + "/bench.mdb");
  d.Cn.setWillExecute(watch ? data::WillExecuteHandler(services::CnWillExecute) : data::WillExecuteHandler());
  d.Cn.execute("delete from AppLog");
  Variant params, owner;
  int32_t recs = 0;
  auto meta =
      packets::materialize(packets::decodePacket(d.host().AS_GetRecords(u"pAppLog", 0, recs, 1, u"", params, owner)));
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
  double c0 = processCpuSeconds();
  d.host().AS_ApplyUpdates(u"pAppLog", dv, -1, errors, owner);
  double wall = std::chrono::duration<double>(Clock::now() - t0).count();
  drain(loop);
  double cpu = processCpuSeconds() - c0;
  if (errors != 0) std::fprintf(stderr, "apply reported %d errors\n", errors);
  return {wall, cpu};
}

}  // namespace

// "log_bench watch" measures only the watch (for profiling it).
int main(int argc, char** argv) {
  const bool watchOnly = argc > 1 && std::string_view(argv[1]) == "watch";
  char dir[] = "/tmp/rvz_logbench_XXXXXX";
  if (!mkdtemp(dir)) return 1;
  setenv("RVZ_HOME", dir, 1);
  files::writeFile(std::string(dir) + "/bench.mdb", "");
  {
    data::Connection cn(std::string("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=") + dir + "/bench.mdb");
    cn.execute(
        "create table AppLog (uName ANSIVARCHAR(20), cName ANSIVARCHAR(20), CZ ANSIVARCHAR(30), RQ DATETIME, "
        "SJ ANSIVARCHAR(5))");
  }
  if (!watchOnly) std::printf("log_add_late_vs_early=%.3f\n", logLateVsEarly());

  // The watch with the server's own route to the log: entries posted to a
  // message loop that a "main" thread runs.
  remoting::MessageLoop loop;
  auto log = std::make_shared<host::ActivityLog>();
  services::setActivityLogSink(std::make_shared<host::LoopLogSink>(loop, log));
  std::thread mainThread([&] { loop.run(); });
  double wallOn = 0, wallOff = 0;
  const bench::PairedFigure watchCost = bench::pairedRatio(
      [&] {
        const Cost c = applyCost(true, dir, loop);
        wallOn = c.wall;
        return c.cpu;
      },
      [&] {
        const Cost c = applyCost(false, dir, loop);
        wallOff = c.wall;
        return c.cpu;
      },
      9);
  loop.post([&] { loop.quit(); });
  mainThread.join();
  services::setActivityLogSink(nullptr);
  if (log->text().empty()) std::fprintf(stderr, "the watch logged nothing\n");
  std::printf("apply_cpu_seconds_watch_off=%.4f apply_cpu_seconds_watch_on=%.4f last_wall_on_vs_off=%.3f\n",
              watchCost.peerSeconds, watchCost.oursSeconds, wallOn / wallOff);
  bench::printFigure("watch_overhead", watchCost);
  std::filesystem::remove_all(dir);
  return 0;
}
