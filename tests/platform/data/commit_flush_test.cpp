// Group flushing of commits: a wait flushes only what no finished flush
// covers, one flush covers every commit written before it began, and a
// failed flush confirms nothing.
#include "platform/data/commit_flush.h"

#include <gtest/gtest.h>

#include <atomic>
#include <future>
#include <thread>

using rvz::data::CommitFlush;

namespace {

TEST(CommitFlush, AWaitFlushesOnlyWhatNoFlushCoversYet) {
  CommitFlush f;
  int flushes = 0;
  auto flush = [&] {
    ++flushes;
    return 0;
  };
  const uint64_t t1 = f.written();
  EXPECT_EQ(f.waitDurable(t1, flush), 0);
  EXPECT_EQ(flushes, 1);
  EXPECT_EQ(f.waitDurable(t1, flush), 0);
  EXPECT_EQ(flushes, 1);
  const uint64_t t2 = f.written();
  const uint64_t t3 = f.written();
  EXPECT_EQ(f.waitDurable(t3, flush), 0);  // covers t2 as well
  EXPECT_EQ(f.waitDurable(t2, flush), 0);
  EXPECT_EQ(flushes, 2);
}

TEST(CommitFlush, AFailedFlushConfirmsNothingAndTheNextWaitTriesAgain) {
  CommitFlush f;
  const uint64_t t = f.written();
  EXPECT_EQ(f.waitDurable(t, [] { return 10; }), 10);
  int flushes = 0;
  EXPECT_EQ(f.waitDurable(t, [&] { return ++flushes, 0; }), 0);
  EXPECT_EQ(flushes, 1);
  EXPECT_THROW(f.waitDurable(f.written(), []() -> int { throw std::runtime_error("flush"); }), std::runtime_error);
  EXPECT_EQ(f.waitDurable(f.written(), [&] { return ++flushes, 0; }), 0);  // not left flushing
  EXPECT_EQ(flushes, 2);
}

// Commits written while a flush is under way are not covered by it; the
// waiters for them share the next one.
TEST(CommitFlush, CommitsWrittenDuringAFlushShareTheNextOne) {
  CommitFlush f;
  std::atomic<int> flushes{0};
  std::promise<void> entered, release;
  std::shared_future<void> released = release.get_future().share();
  const uint64_t t1 = f.written();
  std::thread first([&] {
    EXPECT_EQ(f.waitDurable(t1,
                            [&] {
                              ++flushes;
                              entered.set_value();
                              released.wait();
                              return 0;
                            }),
              0);
  });
  entered.get_future().wait();
  const uint64_t t2 = f.written();
  const uint64_t t3 = f.written();
  auto waiter = [&](uint64_t t) {
    return std::thread([&f, &flushes, t] { EXPECT_EQ(f.waitDurable(t, [&] { return ++flushes, 0; }), 0); });
  };
  std::thread second = waiter(t2), third = waiter(t3);
  release.set_value();
  first.join();
  second.join();
  third.join();
  EXPECT_EQ(flushes.load(), 2);
}

TEST(CommitFlush, OneStatePerFile) {
  EXPECT_EQ(&CommitFlush::of(1, 2), &CommitFlush::of(1, 2));
  EXPECT_NE(&CommitFlush::of(1, 2), &CommitFlush::of(1, 3));
  EXPECT_NE(&CommitFlush::of(1, 2), &CommitFlush::of(2, 2));
}

}  // namespace
