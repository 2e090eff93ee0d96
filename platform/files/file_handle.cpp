// File handles: open, close, and EINTR-safe reads, writes and locks.
#include "platform/files/file_handle.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>

namespace rvz::files {

FileHandle::FileHandle(const std::filesystem::path& file, int flags, mode_t mode)
    : fd_(::open(file.c_str(), flags | O_CLOEXEC, mode)) {}

FileHandle::~FileHandle() {
  if (fd_ >= 0) ::close(fd_);
}

bool FileHandle::lock(int how) {
  while (::flock(fd_, how) != 0)
    if (errno != EINTR) return false;
  return true;
}

bool FileHandle::readToEnd(std::string& out, size_t limit) {
  char buf[16384];
  while (out.size() <= limit) {
    ssize_t n = ::read(fd_, buf, sizeof buf);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    if (n == 0) return true;
    out.append(buf, static_cast<size_t>(n));
  }
  return true;
}

bool FileHandle::writeAll(std::string_view data) {
  while (!data.empty()) {
    ssize_t n = ::write(fd_, data.data(), data.size());
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    data.remove_prefix(static_cast<size_t>(n));
  }
  return true;
}

bool FileHandle::writeAllAt(std::string_view data, off_t offset) {
  while (!data.empty()) {
    ssize_t n = ::pwrite(fd_, data.data(), data.size(), offset);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    data.remove_prefix(static_cast<size_t>(n));
    offset += static_cast<off_t>(n);
  }
  return true;
}

}  // namespace rvz::files
