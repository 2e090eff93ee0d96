// One writer at a time per database file within this process.
//
// SQLite lets one connection write a database at a time and makes the others
// wait by polling with growing sleeps; a connection that holds an open read
// (a query fetched in slices) is not made to wait at all but fails at once
// with "database is locked". The connections of this server therefore queue
// for a file's writer turn here first, where a waiter wakes the moment the
// turn is free. Other processes are still kept apart by SQLite's own locks.
#pragma once

#include <memory>
#include <string>

namespace rvz::data {

class WriterTurn {
 public:
  WriterTurn() = default;
  // Waits up to `timeoutSeconds` (0: no limit) for the turn of the file with
  // this device and inode number. Throws DataError (kErrFileInUse) naming
  // `shownName` when the wait runs out.
  static WriterTurn take(unsigned long long dev, unsigned long long ino, int timeoutSeconds,
                         const std::string& shownName);

  WriterTurn(WriterTurn&& o) noexcept = default;
  WriterTurn& operator=(WriterTurn&& o) noexcept;
  WriterTurn(const WriterTurn&) = delete;
  WriterTurn& operator=(const WriterTurn&) = delete;
  ~WriterTurn() { release(); }

  void release() noexcept;
  bool held() const { return gate_ != nullptr; }

  struct Gate;

 private:
  std::shared_ptr<Gate> gate_;
};

}  // namespace rvz::data
