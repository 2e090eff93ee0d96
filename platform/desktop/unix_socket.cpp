// Socket addresses and deadline-bounded line I/O with poll(2).
#include "platform/desktop/unix_socket.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/desktop/screen_request.h"

namespace rvz::desktop::detail {

namespace {

int msUntil(std::chrono::steady_clock::time_point deadline) {
  auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
  if (left.count() <= 0) return 0;
  return left.count() > 1000000 ? 1000000 : static_cast<int>(left.count());
}

// Waits until fd is ready for `events`; false at the deadline.
bool waitFor(int fd, short events, std::chrono::steady_clock::time_point deadline) {
  while (true) {
    pollfd p{fd, events, 0};
    int r = ::poll(&p, 1, msUntil(deadline));
    if (r > 0) return true;
    if (r == 0) return false;
    if (errno != EINTR) return true;  // let the read or write report it
  }
}

}  // namespace

UnixAddress::UnixAddress(const std::filesystem::path& path) {
  addr_.sun_family = AF_UNIX;
  std::string p = path.string();
  if (p.size() >= sizeof addr_.sun_path) {
    std::filesystem::path folder = path.parent_path();
    dirFd_ = ::open(folder.empty() ? "." : folder.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    if (dirFd_ < 0) throw ScreenError("screen socket " + p + ": cannot open its folder: " + std::strerror(errno));
    p = "/proc/self/fd/" + std::to_string(dirFd_) + "/" + path.filename().string();
    if (p.size() >= sizeof addr_.sun_path) {
      ::close(dirFd_);
      throw ScreenError("screen socket " + path.string() + ": the file name is too long");
    }
  }
  std::memcpy(addr_.sun_path, p.data(), p.size());
  size_ = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + p.size() + 1);
}

UnixAddress::~UnixAddress() {
  if (dirFd_ >= 0) ::close(dirFd_);
}

std::string readLine(int fd, size_t limit, std::chrono::steady_clock::time_point deadline, const char* what) {
  std::string line;
  char buf[4096];
  while (true) {
    if (!waitFor(fd, POLLIN, deadline)) throw ScreenError(std::string(what) + " did not arrive in time");
    ssize_t n = ::recv(fd, buf, sizeof buf, 0);
    if (n < 0) {
      if (errno == EINTR || errno == EAGAIN) continue;
      throw ScreenError(std::string("cannot read the ") + what + ": " + std::strerror(errno));
    }
    if (n == 0) return line;
    std::string_view chunk(buf, static_cast<size_t>(n));
    size_t nl = chunk.find('\n');
    line.append(chunk.substr(0, nl));
    if (line.size() > limit)
      throw ScreenError(std::string(what) + " is longer than " + std::to_string(limit) + " bytes");
    if (nl != std::string_view::npos) return line;
  }
}

void writeAll(int fd, std::string_view data, std::chrono::steady_clock::time_point deadline, const char* what) {
  while (!data.empty()) {
    if (!waitFor(fd, POLLOUT, deadline)) throw ScreenError(std::string("cannot send the ") + what + " in time");
    ssize_t n = ::send(fd, data.data(), data.size(), MSG_NOSIGNAL);
    if (n < 0) {
      if (errno == EINTR || errno == EAGAIN) continue;
      throw ScreenError(std::string("cannot send the ") + what + ": " + std::strerror(errno));
    }
    data.remove_prefix(static_cast<size_t>(n));
  }
}

}  // namespace rvz::desktop::detail
