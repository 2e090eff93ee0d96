// The screen's socket server: takes the operator console's requests on a
// Unix socket in the home folder, one request per connection, and has the
// screen perform them. A "watch" connection stays open instead and gets a
// line with the screen's version after each change, so that a console
// shows what changed without asking over and over.
#pragma once

#include <sys/types.h>

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <thread>
#include <vector>

#include "platform/desktop/screen.h"
#include "platform/desktop/screen_client.h"

namespace rvz::desktop {

class ScreenServer {
 public:
  // Listens at `socketPath` and serves on a thread of its own. The socket
  // is created owner-only (in a private folder, then renamed into place,
  // so that it is never reachable by others) and replaces a socket left at
  // that path; only peers of this user are served. Throws ScreenError when
  // it cannot listen.
  explicit ScreenServer(Screen& screen, std::filesystem::path socketPath = defaultSocketPath());
  // Stops taking requests (the screen's requests in progress give up),
  // ends the thread and removes the socket unless another process has
  // replaced it meanwhile. Destroy the server before its screen.
  ~ScreenServer();
  ScreenServer(const ScreenServer&) = delete;
  ScreenServer& operator=(const ScreenServer&) = delete;

  const std::filesystem::path& socketPath() const { return path_; }

  // Watch connections held open at most at once; more are refused.
  static constexpr size_t kMaxWatchers = 8;

 private:
  void serve();
  // True when the connection became a watcher and stays open.
  bool serveOne(int fd);
  void tellWatchers();

  Screen& screen_;
  std::filesystem::path path_;
  int listenFd_ = -1;
  int wake_[2] = {-1, -1};
  dev_t dev_ = 0;
  ino_t ino_ = 0;
  std::atomic<bool> stop_{false};
  std::atomic<uint64_t> version_{0};
  uint64_t told_ = 0;          // the version the watchers were last sent
  std::vector<int> watchers_;  // the server thread's only
  std::thread thread_;
};

}  // namespace rvz::desktop
