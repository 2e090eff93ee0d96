// The process-wide list of live service objects and their component names,
// guarded by one exclusive lock that is also held while an object is built
// from its declaration and while one is destroyed; with the connections the
// data service objects lend and the references of report service objects
// still waiting for one (see services/shared_connection.h for the lock
// order).
#pragma once

#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace rvz::services {

class BorrowedConnection;
class SharedConnection;

class LiveObjects {
 public:
  static LiveObjects& instance();

  // The process-wide exclusive lock.
  std::recursive_mutex& lock() { return lock_; }

  // The name for a new object: `base` while no live object bears it, else
  // base_N with the lowest N >= 1 no live object bears (letter case
  // ignored). The name is taken until released, together with the
  // connection the object lends, if any.
  std::string acquireName(const std::string& base, std::shared_ptr<SharedConnection> lends = nullptr);
  void releaseName(const std::string& name);
  // Whether a live object bears the name (letter case ignored).
  bool hasName(const std::string& name);
  std::vector<std::string> names();

  // References waiting for the object they name. Adding and dropping happen
  // under the lock, while the referring object is built or destroyed.
  void addPending(BorrowedConnection* ref);
  void dropPending(BorrowedConnection* ref);
  // The end of every build: binds each pending reference whose object is
  // live and lends a connection; the others keep waiting.
  void resolvePending();

 private:
  struct Entry {
    std::string name;
    std::shared_ptr<SharedConnection> lends;
  };
  std::vector<Entry>::iterator find(const std::string& name);

  std::recursive_mutex lock_;
  std::vector<Entry> objects_;
  std::vector<BorrowedConnection*> pending_;
};

}  // namespace rvz::services
