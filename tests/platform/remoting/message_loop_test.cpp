// The main message loop, task queues and the live object count.
#include "platform/remoting/message_loop.h"

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "platform/remoting/live_count.h"

using namespace rvz::remoting;

TEST(MessageLoop, RunsPostedTasksInOrderOnItsThreadUntilQuit) {
  MessageLoop loop;
  std::vector<int> order;
  std::thread::id ranOn;
  std::vector<std::thread> posters;
  for (int i = 0; i < 4; ++i) loop.post([&order, i] { order.push_back(i); });
  loop.post([&] {
    ranOn = std::this_thread::get_id();
    // Work posted from other threads while the loop runs joins the queue.
    for (int t = 0; t < 3; ++t) posters.emplace_back([&loop] { loop.post([] {}); });
    for (auto& p : posters) p.join();
    loop.post([&loop] { loop.quit(); });
  });
  int after = 0;
  loop.run();
  loop.post([&after] { ++after; });  // stays queued after the quit
  EXPECT_EQ(order, (std::vector<int>{0, 1, 2, 3}));
  EXPECT_EQ(ranOn, std::this_thread::get_id());
  EXPECT_TRUE(loop.quitRequested());
  EXPECT_EQ(after, 0);
}

TEST(MessageLoop, DroppedTasksAreDestroyedWithTheLoop) {
  auto token = std::make_shared<int>(1);
  std::weak_ptr<int> watch = token;
  {
    MessageLoop loop;
    loop.post([t = std::move(token)] {});
    loop.quit();
    loop.run();
    EXPECT_FALSE(watch.expired());
  }
  EXPECT_TRUE(watch.expired());
}

TEST(MessageLoop, RunPendingRunsOnlyWhatIsQueued) {
  MessageLoop loop;
  int ran = 0;
  loop.post([&] {
    ++ran;
    loop.post([&] { ++ran; });
  });
  EXPECT_EQ(loop.runPending(), 1u);
  EXPECT_EQ(ran, 1);
  EXPECT_EQ(loop.runPending(), 1u);
  EXPECT_EQ(ran, 2);
  EXPECT_EQ(loop.runPending(), 0u);
}

TEST(MessageLoop, TimersRunWhenDueAfterWhatIsQueuedThen) {
  using namespace std::chrono_literals;
  MessageLoop loop;
  std::vector<std::string> order;
  auto start = std::chrono::steady_clock::now();
  std::chrono::steady_clock::duration firedAfter{};
  loop.postAfter(60ms, [&] {
    order.push_back("late");
    loop.quit();
  });
  loop.postAfter(20ms, [&] {
    firedAfter = std::chrono::steady_clock::now() - start;
    order.push_back("early");
  });
  loop.postAfter(20ms, [&] { order.push_back("early, second"); });
  loop.post([&] { order.push_back("now"); });
  EXPECT_EQ(loop.runPending(), 1u);  // nothing is due yet
  loop.run();
  EXPECT_EQ(order, (std::vector<std::string>{"now", "early", "early, second", "late"}));
  EXPECT_GE(firedAfter, 20ms);

  // A timer posted from another thread wakes a loop that waits for nothing.
  MessageLoop idle;
  std::thread poster([&] { idle.postAfter(5ms, [&] { idle.quit(); }); });
  idle.run();
  poster.join();
}

TEST(MessageLoop, TimersLeftAreDroppedWithTheLoop) {
  auto token = std::make_shared<int>(1);
  std::weak_ptr<int> watch = token;
  {
    MessageLoop loop;
    loop.postAfter(std::chrono::hours(1), [t = std::move(token)] {});
  }
  EXPECT_TRUE(watch.expired());
}

TEST(TaskQueue, ClosedQueueRefusesButHandsOutWhatItHolds) {
  TaskQueue q;
  int ran = 0;
  Task a = [&] { ran += 1; };
  ASSERT_TRUE(q.push(std::move(a)));
  q.close();
  Task b = [&] { ran += 10; };
  EXPECT_FALSE(q.push(std::move(b)));
  EXPECT_TRUE(static_cast<bool>(b));  // left with the caller
  auto t = q.pop();
  ASSERT_TRUE(t.has_value());
  (*t)();
  EXPECT_FALSE(q.pop().has_value());
  EXPECT_EQ(ran, 1);
}

TEST(TaskQueue, ConsumerWakesForEachTask) {
  TaskQueue q;
  std::atomic<int> sum{0};
  std::thread consumer([&] {
    while (auto t = q.pop()) (*t)();
  });
  for (int i = 1; i <= 100; ++i) {
    Task t = [&sum, i] { sum += i; };
    ASSERT_TRUE(q.push(std::move(t)));
  }
  Task last = [&q] { q.close(); };
  ASSERT_TRUE(q.push(std::move(last)));
  consumer.join();
  EXPECT_EQ(sum.load(), 5050);
}

TEST(LiveCount, LastReleaseIsReportedEachTimeTheCountReturnsToZero) {
  LiveCount live;
  int reports = 0;
  live.onLastRelease([&] { ++reports; });
  live.add();
  live.add();
  live.release();
  EXPECT_EQ(reports, 0);
  live.release();
  EXPECT_EQ(reports, 1);
  live.add();
  live.release();
  EXPECT_EQ(reports, 2);
  EXPECT_EQ(live.lastReleases(), 2u);
  EXPECT_THROW(live.release(), std::logic_error);
  EXPECT_EQ(live.value(), 0);
}

TEST(LiveCount, ConcurrentChangesLoseNothing) {
  LiveCount live;
  std::atomic<int> reports{0};
  live.onLastRelease([&] { ++reports; });
  live.add();  // held throughout, so no thread sees zero
  std::vector<std::thread> threads;
  for (int t = 0; t < 8; ++t)
    threads.emplace_back([&] {
      for (int i = 0; i < 1000; ++i) {
        live.add();
        live.release();
      }
    });
  for (auto& t : threads) t.join();
  EXPECT_EQ(live.value(), 1);
  EXPECT_EQ(reports.load(), 0);
  live.release();
  EXPECT_EQ(reports.load(), 1);
}
