// Following the screen: one watch connection, and for each change a read
// of tray, boxes and windows over the ordinary one-request connections.
#include "client/console/screen_feed.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <nlohmann/json.hpp>

#include "platform/desktop/screen_client.h"

namespace rvz::client::console {

namespace {

using nlohmann::ordered_json;

// How long a read of the screen may take: a dialog's thread that is busy
// may hold it up to the screen's own 30 s.
constexpr auto kReadWait = std::chrono::seconds(40);
constexpr int kRetryMs = 1000;

}  // namespace

ScreenFeed::ScreenFeed(std::filesystem::path socketPath) : path_(std::move(socketPath)) {
  if (::pipe2(stopPipe_, O_CLOEXEC) != 0) throw std::runtime_error("cannot make a pipe for the screen feed");
  thread_ = std::thread([this] { run(); });
}

ScreenFeed::~ScreenFeed() {
  stop();
  if (thread_.joinable()) thread_.join();
  ::close(stopPipe_[0]);
  ::close(stopPipe_[1]);
}

void ScreenFeed::stop() {
  {
    std::lock_guard lk(mu_);
    if (stop_) return;
    stop_ = true;
  }
  cv_.notify_all();
  char c = 's';
  (void)!::write(stopPipe_[1], &c, 1);
}

bool ScreenFeed::stopping() const {
  std::lock_guard lk(mu_);
  return stop_;
}

ScreenFeed::State ScreenFeed::newerThan(uint64_t seen, std::chrono::milliseconds wait) {
  std::unique_lock lk(mu_);
  cv_.wait_for(lk, wait, [&] { return stop_ || state_.serial > seen; });
  if (stop_ || state_.serial <= seen) return State{};
  return state_;
}

void ScreenFeed::publish(std::string json) {
  {
    std::lock_guard lk(mu_);
    if (state_.json && *state_.json == json) return;
    state_.serial++;
    state_.json = std::make_shared<const std::string>(std::move(json));
  }
  cv_.notify_all();
}

void ScreenFeed::refresh() {
  ordered_json s;
  s["connected"] = true;
  std::string problems;
  auto read = [&](desktop::Command c, const char* member) {
    desktop::Reply r = desktop::sendScreenRequest(desktop::Request{c, {}, {}}, path_, kReadWait);
    if (!r.ok) {
      problems += (problems.empty() ? "" : "; ") + std::string(member) + ": " + r.text;
      s[member] = nullptr;
      return;
    }
    try {
      s[member] = ordered_json::parse(r.text);
    } catch (const ordered_json::exception&) {
      problems += (problems.empty() ? "" : "; ") + std::string(member) + ": the screen's reply is not JSON";
      s[member] = nullptr;
    }
  };
  read(desktop::Command::Tray, "tray");
  read(desktop::Command::Boxes, "boxes");
  read(desktop::Command::Windows, "windows");
  s["error"] = problems;
  publish(s.dump(-1, ' ', false, ordered_json::error_handler_t::replace));
}

void ScreenFeed::run() {
  while (!stopping()) {
    try {
      desktop::watchScreen(path_, stopPipe_[0], [this](uint64_t) { refresh(); });
    } catch (const std::exception& e) {
      ordered_json s;
      s["connected"] = false;
      s["error"] = e.what();
      publish(s.dump(-1, ' ', false, ordered_json::error_handler_t::replace));
    }
    pollfd p{stopPipe_[0], POLLIN, 0};
    if (!stopping()) (void)::poll(&p, 1, kRetryMs);
  }
}

}  // namespace rvz::client::console
