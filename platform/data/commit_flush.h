// Commits made durable together: one flush of a database file's log for
// every commit written before the flush began.
//
// A connection writes its commit to the write-ahead log without waiting for
// the disk, lets go of its writer turn, and only then waits here until the
// log is on disk up to its commit; it reports the commit after that. While
// one connection flushes, the commits of others go on, and the next flush
// covers all of them: connections that commit at the same time share the
// wait for the disk instead of each waiting for it in turn while the
// others queue for the writer turn.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>

namespace rvz::data {

class CommitFlush {
 public:
  // The flush state of the file with this device and inode number, shared
  // by every connection of the process to it; it lives as long as the
  // process (one small entry per database file ever written).
  static CommitFlush& of(unsigned long long dev, unsigned long long ino);

  // A commit has been written to the log (its writes have returned): the
  // ticket to wait for.
  uint64_t written();

  // Returns once the log is on disk up to the commit of `ticket`. When no
  // flush that covers it is under way, the caller flushes: `flush` makes
  // the log durable through the caller's own handle and returns 0, or an
  // error code, which is returned (the commits stay unconfirmed, and the
  // next waiter tries again).
  int waitDurable(uint64_t ticket, const std::function<int()>& flush);

  CommitFlush() = default;
  CommitFlush(const CommitFlush&) = delete;
  CommitFlush& operator=(const CommitFlush&) = delete;

 private:
  std::mutex m_;
  std::condition_variable flushed_;
  uint64_t written_ = 0;   // tickets given out
  uint64_t durable_ = 0;   // tickets on disk
  bool flushing_ = false;  // a flush is under way (outside the mutex)
};

}  // namespace rvz::data
