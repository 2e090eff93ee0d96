// Entries handed over from many threads reach the log on the loop's thread,
// whole, in the order handed over, and readers see all that came before.
#include "host/log_sink.h"

#include <gtest/gtest.h>

#include <future>
#include <latch>
#include <map>
#include <string>
#include <thread>
#include <vector>

using namespace rvz;
using namespace rvz::host;

namespace {

std::vector<std::string> entriesOf(const text::WString& log) {
  std::vector<std::string> out;
  std::string s = text::wideToUtf8(log);
  size_t at = 0;
  while (at < s.size()) {
    size_t end = s.find("\r\n\r\n", at);
    if (end == std::string::npos) end = s.size();
    out.push_back(s.substr(at, end - at));
    at = end + 4;
  }
  return out;
}

// Runs `f` on the loop's thread and waits for it.
template <class F>
void onLoop(remoting::MessageLoop& loop, F f) {
  std::promise<void> done;
  loop.post([&] {
    f();
    done.set_value();
  });
  done.get_future().wait();
}

}  // namespace

TEST(LoopLogSink, EntriesFromManyThreadsArriveWholeAndInOrder) {
  remoting::MessageLoop loop;
  auto log = std::make_shared<ActivityLog>();
  auto sink = std::make_shared<LoopLogSink>(loop, log);
  std::thread mainThread([&] { loop.run(); });

  // Few enough that all of them fit in the log.
  constexpr int kThreads = 4, kEach = 150;
  std::latch start(kThreads);
  std::vector<std::thread> senders;
  for (int t = 0; t < kThreads; ++t)
    senders.emplace_back([&, t] {
      start.arrive_and_wait();
      for (int i = 0; i < kEach; ++i) sink->addLogEntry("t" + std::to_string(t) + " #" + std::to_string(i));
    });
  for (auto& s : senders) s.join();

  text::WString seen;
  onLoop(loop, [&] {
    sink->applyWaiting();  // a reader sees what was handed over before it
    seen = log->text();
  });
  loop.post([&] { loop.quit(); });
  mainThread.join();

  // Newest first, every entry whole and once, each thread's in the order
  // it handed them over.
  auto entries = entriesOf(seen);
  ASSERT_EQ(entries.size(), static_cast<size_t>(kThreads * kEach));
  std::map<int, int> next;
  for (int t = 0; t < kThreads; ++t) next[t] = kEach - 1;
  for (const std::string& e : entries) {
    ASSERT_EQ(e[0], 't') << e;
    int t = std::stoi(e.substr(1, e.find(' ') - 1));
    int i = std::stoi(e.substr(e.find('#') + 1));
    ASSERT_EQ(e, "t" + std::to_string(t) + " #" + std::to_string(i));
    EXPECT_EQ(i, next[t]--) << "thread " << t;
  }
}

TEST(LoopLogSink, TheTimerAppliesWhatWaitsAndNothingOnceTheLogIsGone) {
  remoting::MessageLoop loop;
  auto log = std::make_shared<ActivityLog>();
  auto sink = std::make_shared<LoopLogSink>(loop, log);
  sink->addLogEntry("A");
  sink->addLogEntry("B");
  EXPECT_TRUE(log->text().empty());  // nothing is applied off the loop's thread
  loop.postAfter(LoopLogSink::kBatchWindow * 2, [&] { loop.quit(); });
  loop.run();
  EXPECT_EQ(log->text(), u"B\r\n\r\nA\r\n\r\n");

  // The window and its log go while an entry waits: its timer finds no log.
  {
    remoting::MessageLoop second;
    auto gone = std::make_shared<ActivityLog>();
    auto s = std::make_shared<LoopLogSink>(second, gone);
    s->addLogEntry("C");
    gone.reset();
    int ran = 0;
    second.postAfter(LoopLogSink::kBatchWindow * 2, [&] {
      ++ran;
      second.quit();
    });
    second.run();
    EXPECT_EQ(ran, 1);
  }
  // A sink gone before its timer fires leaves the timer harmless.
  {
    remoting::MessageLoop third;
    auto kept = std::make_shared<ActivityLog>();
    auto s = std::make_shared<LoopLogSink>(third, kept);
    s->addLogEntry("D");
    s.reset();
    third.postAfter(LoopLogSink::kBatchWindow * 2, [&] { third.quit(); });
    third.run();
    EXPECT_TRUE(kept->text().empty());
  }
}
