// Per-process registry of database file uses, with flock(2) across processes.
#include "platform/data/file_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <map>
#include <mutex>
#include <thread>

#include "platform/data/data_error.h"

namespace rvz::data {
namespace {

struct Entry {
  int fd = -1;
  int sharedUsers = 0;
  bool exclusive = false;
};

using Key = std::pair<unsigned long long, unsigned long long>;

std::mutex& registryMutex() {
  static std::mutex m;
  return m;
}

std::map<Key, Entry>& registry() {
  static std::map<Key, Entry> r;
  return r;
}

std::string inUseText(const std::string& shown, const char* why) {
  return "Could not use '" + shown + "'; file already in use (" + why + ").";
}

}  // namespace

FileUse FileUse::acquire(const std::filesystem::path& file, Mode mode, int timeoutSeconds, const std::string& shown) {
  const auto deadline =
      std::chrono::steady_clock::now() + std::chrono::seconds(timeoutSeconds < 0 ? 0 : timeoutSeconds);
  for (;;) {
    struct stat st {};
    if (::stat(file.c_str(), &st) != 0)
      throw DataError::engine(kErrFileNotFound, "Could not find file '" + shown + "'.");
    const Key key{static_cast<unsigned long long>(st.st_dev), static_cast<unsigned long long>(st.st_ino)};
    const char* busyReason = nullptr;
    {
      std::lock_guard<std::mutex> lock(registryMutex());
      auto it = registry().find(key);
      if (it != registry().end()) {
        Entry& e = it->second;
        if (mode == Mode::Shared && !e.exclusive) {
          ++e.sharedUsers;
          FileUse use;
          use.held_ = true;
          use.dev_ = key.first;
          use.ino_ = key.second;
          use.mode_ = mode;
          return use;
        }
        busyReason = e.exclusive ? "held alone by another connection of this server"
                                 : "open in another connection of this server";
      } else {
        // No use of this file in the process: opening and closing a
        // descriptor here cannot disturb any lock of ours.
        int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0) {
          int err = errno;
          if (err == ENOENT) throw DataError::engine(kErrFileNotFound, "Could not find file '" + shown + "'.");
          throw DataError::engine(kErrFileInUse, "Could not use '" + shown + "'; " + std::strerror(err) + ".");
        }
        struct stat fst {};
        if (::fstat(fd, &fst) != 0 || fst.st_dev != st.st_dev || fst.st_ino != st.st_ino) {
          ::close(fd);  // replaced between stat and open: look again
          continue;
        }
        int op = (mode == Mode::Shared ? LOCK_SH : LOCK_EX) | LOCK_NB;
        if (::flock(fd, op) == 0) {
          Entry e;
          e.fd = fd;
          e.exclusive = mode == Mode::Exclusive;
          e.sharedUsers = mode == Mode::Shared ? 1 : 0;
          registry()[key] = e;
          FileUse use;
          use.held_ = true;
          use.dev_ = key.first;
          use.ino_ = key.second;
          use.mode_ = mode;
          return use;
        }
        int err = errno;
        ::close(fd);
        if (err != EWOULDBLOCK)
          throw DataError::engine(kErrFileInUse, "Could not use '" + shown + "'; " + std::strerror(err) + ".");
        busyReason = mode == Mode::Shared ? "held alone by another process" : "open in another process";
      }
    }
    if (mode == Mode::Exclusive || std::chrono::steady_clock::now() >= deadline)
      throw DataError::engine(kErrFileInUse, inUseText(shown, busyReason));
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
}

FileUse::FileUse(FileUse&& o) noexcept : held_(o.held_), dev_(o.dev_), ino_(o.ino_), mode_(o.mode_) { o.held_ = false; }

FileUse& FileUse::operator=(FileUse&& o) noexcept {
  if (this != &o) {
    release();
    held_ = o.held_;
    dev_ = o.dev_;
    ino_ = o.ino_;
    mode_ = o.mode_;
    o.held_ = false;
  }
  return *this;
}

void FileUse::release() noexcept {
  if (!held_) return;
  held_ = false;
  std::lock_guard<std::mutex> lock(registryMutex());
  auto it = registry().find(Key{dev_, ino_});
  if (it == registry().end()) return;
  Entry& e = it->second;
  if (mode_ == Mode::Exclusive)
    e.exclusive = false;
  else if (e.sharedUsers > 0)
    --e.sharedUsers;
  if (e.sharedUsers == 0 && !e.exclusive) {
    ::close(e.fd);
    registry().erase(it);
  }
}

int FileUse::usersInProcess(const std::filesystem::path& file) {
  struct stat st {};
  if (::stat(file.c_str(), &st) != 0) return 0;
  std::lock_guard<std::mutex> lock(registryMutex());
  auto it =
      registry().find(Key{static_cast<unsigned long long>(st.st_dev), static_cast<unsigned long long>(st.st_ino)});
  if (it == registry().end()) return 0;
  return it->second.sharedUsers + (it->second.exclusive ? 1 : 0);
}

}  // namespace rvz::data
