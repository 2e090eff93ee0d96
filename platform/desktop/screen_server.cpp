// The screen's socket server thread: accept, check the peer, read one
// request line, have the screen perform it, write one reply line.
#include "platform/desktop/screen_server.h"

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/desktop/unix_socket.h"

namespace rvz::desktop {

namespace {

// How long a client may take to send its request, and to take the reply.
constexpr auto kClientWait = std::chrono::seconds(5);

std::string errnoText() { return std::strerror(errno); }

}  // namespace

ScreenServer::ScreenServer(Screen& screen, std::filesystem::path socketPath)
    : screen_(screen), path_(std::move(socketPath)) {
  auto fail = [&](const std::string& what) {
    if (listenFd_ >= 0) ::close(listenFd_);
    listenFd_ = -1;
    throw ScreenError("cannot listen at " + path_.string() + ": " + what);
  };
  std::filesystem::path folder = path_.parent_path();
  std::string tmpl = (folder / ".screen.XXXXXX").string();
  if (!::mkdtemp(tmpl.data())) fail("cannot make a private folder beside it: " + errnoText());
  const std::filesystem::path privateDir = tmpl;
  const std::filesystem::path bound = privateDir / "s";
  auto cleanup = [&] {
    ::unlink(bound.c_str());
    ::rmdir(privateDir.c_str());
  };

  listenFd_ = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (listenFd_ < 0) {
    cleanup();
    fail("socket: " + errnoText());
  }
  try {
    detail::UnixAddress addr(bound);
    if (::bind(listenFd_, addr.get(), addr.size()) != 0) throw ScreenError("bind: " + errnoText());
  } catch (const ScreenError& e) {
    cleanup();
    fail(e.what());
  }
  // Owner-only before it becomes reachable at its real name; the rename
  // also replaces a socket an earlier process left there.
  if (::chmod(bound.c_str(), 0600) != 0 || ::rename(bound.c_str(), path_.c_str()) != 0) {
    std::string why = errnoText();
    cleanup();
    fail(why);
  }
  ::rmdir(privateDir.c_str());
  struct stat st {};
  if (::stat(path_.c_str(), &st) == 0) dev_ = st.st_dev, ino_ = st.st_ino;
  if (::listen(listenFd_, 16) != 0 || ::pipe2(wake_, O_CLOEXEC | O_NONBLOCK) != 0) {
    std::string why = errnoText();
    ::unlink(path_.c_str());
    fail(why);
  }
  // Called under the screen's lock: it only notes the version and wakes
  // the server thread (a full pipe already wakes it).
  screen_.setChangeListener([this](uint64_t v) {
    version_.store(v);
    char c = 'c';
    (void)!::write(wake_[1], &c, 1);
  });
  thread_ = std::thread([this] { serve(); });
}

ScreenServer::~ScreenServer() {
  stop_ = true;
  screen_.setChangeListener({});
  screen_.stopRequests();
  char c = 'x';
  (void)!::write(wake_[1], &c, 1);
  if (thread_.joinable()) thread_.join();
  for (int fd : watchers_) ::close(fd);
  ::close(wake_[0]);
  ::close(wake_[1]);
  ::close(listenFd_);
  struct stat st {};
  // Another process may have put its own socket here since.
  if (::stat(path_.c_str(), &st) == 0 && st.st_dev == dev_ && st.st_ino == ino_) ::unlink(path_.c_str());
}

void ScreenServer::serve() {
  std::vector<pollfd> fds;
  while (!stop_) {
    fds.assign({{listenFd_, POLLIN, 0}, {wake_[0], POLLIN, 0}});
    // A watcher never sends after its request: anything readable is its
    // end (or garbage), and the connection is closed.
    for (int w : watchers_) fds.push_back({w, POLLIN, 0});
    if (::poll(fds.data(), fds.size(), -1) < 0) {
      if (errno == EINTR) continue;
      return;
    }
    if (stop_) return;
    for (size_t i = fds.size(); i-- > 2;) {
      if (!fds[i].revents) continue;
      ::close(fds[i].fd);
      watchers_.erase(watchers_.begin() + static_cast<std::ptrdiff_t>(i - 2));
    }
    if (fds[1].revents) {
      char buf[256];
      while (::read(wake_[0], buf, sizeof buf) > 0) {
      }
      tellWatchers();
    }
    if (!(fds[0].revents & POLLIN)) continue;
    int fd = ::accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC);
    if (fd < 0) continue;
    if (serveOne(fd))
      watchers_.push_back(fd);
    else
      ::close(fd);
  }
}

void ScreenServer::tellWatchers() {
  uint64_t v = version_.load();
  if (v == told_) return;
  told_ = v;
  const std::string line = encodeReply(Reply{true, std::to_string(v)}) + "\n";
  for (size_t i = watchers_.size(); i-- > 0;) {
    // A watcher that does not keep up (its buffer full) is dropped rather
    // than waited for; it sees the end and connects again.
    ssize_t n = ::send(watchers_[i], line.data(), line.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
    if (n == static_cast<ssize_t>(line.size())) continue;
    ::close(watchers_[i]);
    watchers_.erase(watchers_.begin() + static_cast<std::ptrdiff_t>(i));
  }
}

bool ScreenServer::serveOne(int fd) {
  try {
    Reply reply;
    bool watch = false;
    ucred peer{};
    socklen_t len = sizeof peer;
    if (::getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &peer, &len) != 0 || peer.uid != ::geteuid()) {
      reply = Reply{false, "refused: the screen serves only the user it runs as"};
    } else {
      try {
        auto deadline = std::chrono::steady_clock::now() + kClientWait;
        Request request = decodeRequest(detail::readLine(fd, kMaxRequestBytes, deadline, "screen request"));
        if (request.command == Command::Watch && watchers_.size() >= kMaxWatchers) {
          reply = Reply{false, "the screen already has " + std::to_string(kMaxWatchers) + " watchers"};
        } else {
          reply = screen_.handle(request);
          watch = request.command == Command::Watch && reply.ok;
        }
      } catch (const ScreenError& e) {
        reply = Reply{false, e.what()};
      }
    }
    detail::writeAll(fd, encodeReply(reply) + "\n", std::chrono::steady_clock::now() + kClientWait, "screen reply");
    return watch;
  } catch (const std::exception&) {
    // A client that went away or stalls gets nothing; the next one is served.
    return false;
  }
}

}  // namespace rvz::desktop
