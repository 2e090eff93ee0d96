// Writer turns: a gate per database file, found by device and inode.
#include "platform/data/writer_turn.h"

#include <chrono>
#include <condition_variable>
#include <map>
#include <mutex>

#include "platform/data/data_error.h"

namespace rvz::data {

struct WriterTurn::Gate {
  std::mutex m;
  std::condition_variable freed;
  bool taken = false;
};

namespace {

using Key = std::pair<unsigned long long, unsigned long long>;

// Gates live as long as the process: one small entry per database file ever
// written, so a turn never has to outlive its registry entry.
std::shared_ptr<WriterTurn::Gate> gateOf(const Key& key) {
  static std::mutex registryMutex;
  static std::map<Key, std::shared_ptr<WriterTurn::Gate>> gates;
  std::lock_guard<std::mutex> lock(registryMutex);
  auto& g = gates[key];
  if (!g) g = std::make_shared<WriterTurn::Gate>();
  return g;
}

}  // namespace

WriterTurn WriterTurn::take(unsigned long long dev, unsigned long long ino, int timeoutSeconds,
                            const std::string& shownName) {
  std::shared_ptr<Gate> g = gateOf(Key{dev, ino});
  std::unique_lock<std::mutex> lock(g->m);
  auto free = [&] { return !g->taken; };
  if (timeoutSeconds <= 0) {
    g->freed.wait(lock, free);
  } else if (!g->freed.wait_for(lock, std::chrono::seconds(timeoutSeconds), free)) {
    throw DataError::engine(kErrFileInUse, "Could not update '" + shownName +
                                               "'; another connection of this server kept it busy for " +
                                               std::to_string(timeoutSeconds) + " seconds.");
  }
  g->taken = true;
  WriterTurn t;
  t.gate_ = std::move(g);
  return t;
}

WriterTurn& WriterTurn::operator=(WriterTurn&& o) noexcept {
  if (this != &o) {
    release();
    gate_ = std::move(o.gate_);
  }
  return *this;
}

void WriterTurn::release() noexcept {
  if (!gate_) return;
  {
    std::lock_guard<std::mutex> lock(gate_->m);
    gate_->taken = false;
  }
  gate_->freed.notify_one();
  gate_.reset();
}

}  // namespace rvz::data
