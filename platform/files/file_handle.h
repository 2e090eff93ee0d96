// An open file descriptor that is closed on every path out, and the reads,
// writes and whole-file locks on one that go on when a signal interrupts
// them. The settings files and the registry hive are read and changed
// through these, under flock(2) where other processes may write.
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <filesystem>
#include <limits>
#include <string>
#include <string_view>

namespace rvz::files {

class FileHandle {
 public:
  // Opens with open(2); not valid() when that fails, with errno telling why.
  FileHandle(const std::filesystem::path& file, int flags, mode_t mode = 0);
  ~FileHandle();
  FileHandle(FileHandle&& other) noexcept : fd_(other.release()) {}
  FileHandle& operator=(FileHandle&&) = delete;
  FileHandle(const FileHandle&) = delete;
  FileHandle& operator=(const FileHandle&) = delete;

  bool valid() const { return fd_ >= 0; }
  int get() const { return fd_; }

  // flock(2) with `how` (LOCK_SH or LOCK_EX), waiting for it; false with
  // errno on failure. Closing the handle releases the lock.
  bool lock(int how);
  // Appends the rest of the file from the current offset to `out`; false
  // with errno on a read error. Stops once `out` holds more than `limit`
  // bytes, so that a caller refusing large files never holds much more.
  bool readToEnd(std::string& out, size_t limit = std::numeric_limits<size_t>::max());
  // Writes all of `data` at the current offset, or from `offset` when one
  // is given; false with errno on a write error.
  bool writeAll(std::string_view data);
  bool writeAllAt(std::string_view data, off_t offset);

 private:
  int release() {
    int fd = fd_;
    fd_ = -1;
    return fd;
  }
  int fd_ = -1;
};

}  // namespace rvz::files
