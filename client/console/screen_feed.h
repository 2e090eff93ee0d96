// The screen's state as the console's page shows it, kept up to date from
// the screen's watch connection: after each change the tray, the open boxes
// and dialogs and the windows are read once and, when they differ from what
// was last published, published as one JSON text. Pages wait for a newer
// state instead of asking the screen themselves.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

namespace rvz::client::console {

class ScreenFeed {
 public:
  struct State {
    uint64_t serial = 0;                      // counts publications, from 1
    std::shared_ptr<const std::string> json;  // one line of JSON
  };

  // Starts following the screen at `socketPath` on a thread of its own.
  // While the screen cannot be reached the state says so, with the reason,
  // and the feed tries again every second.
  explicit ScreenFeed(std::filesystem::path socketPath);
  ~ScreenFeed();
  ScreenFeed(const ScreenFeed&) = delete;
  ScreenFeed& operator=(const ScreenFeed&) = delete;

  // The first state published after `seen` (0: the current one, once there
  // is one); waits at most `wait`. An empty json: nothing newer in time, or
  // the feed is stopping (stopping() tells which).
  State newerThan(uint64_t seen, std::chrono::milliseconds wait);
  bool stopping() const;
  // Wakes every waiter and ends the thread; newerThan returns at once.
  void stop();

  const std::filesystem::path& socketPath() const { return path_; }

 private:
  void run();
  void refresh();
  void publish(std::string json);

  std::filesystem::path path_;
  mutable std::mutex mu_;
  std::condition_variable cv_;
  bool stop_ = false;
  State state_;
  int stopPipe_[2] = {-1, -1};
  std::thread thread_;
};

}  // namespace rvz::client::console
