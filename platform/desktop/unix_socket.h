// Unix socket plumbing shared by the screen's server and client: addresses
// for paths of any length, bounded line reads with a deadline, whole writes.
#pragma once

#include <sys/socket.h>
#include <sys/un.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <string_view>

namespace rvz::desktop::detail {

// The address of a socket path. A path too long for sun_path is reached
// through /proc/self/fd/<n>/<name>, <n> being its folder opened here and
// kept open as long as the address lives.
class UnixAddress {
 public:
  explicit UnixAddress(const std::filesystem::path& path);
  ~UnixAddress();
  UnixAddress(const UnixAddress&) = delete;
  UnixAddress& operator=(const UnixAddress&) = delete;

  const sockaddr* get() const { return reinterpret_cast<const sockaddr*>(&addr_); }
  socklen_t size() const { return size_; }

 private:
  sockaddr_un addr_{};
  socklen_t size_ = 0;
  int dirFd_ = -1;
};

// Reads up to and without the first "\n" (or to the end of the stream).
// Throws ScreenError when the line grows past `limit`, the deadline passes
// or the read fails; `what` names the line in messages.
std::string readLine(int fd, size_t limit, std::chrono::steady_clock::time_point deadline, const char* what);

// Writes all of `data`; throws ScreenError on failure or at the deadline.
void writeAll(int fd, std::string_view data, std::chrono::steady_clock::time_point deadline, const char* what);

}  // namespace rvz::desktop::detail
