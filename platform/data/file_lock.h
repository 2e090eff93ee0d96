// Use of a database file by the connections of this process and of others:
// every open connection holds the file shared, compaction (and an exclusive
// share mode) holds it alone.
//
// Within the process, uses are counted per file identity (device and inode),
// so two spellings of one path are one file. Across processes each file
// carries an advisory flock(2) lock, shared or exclusive. The lock sits on
// one descriptor per file and process, opened by the first use and closed by
// the last: closing any other descriptor of a file would drop the POSIX
// record locks that SQLite holds on it for this process.
#pragma once

#include <filesystem>
#include <string>

namespace rvz::data {

class FileUse {
 public:
  enum class Mode { Shared, Exclusive };

  FileUse() = default;
  // Takes the file for a use. A shared use waits up to `timeoutSeconds` for
  // an exclusive holder elsewhere to let go; an exclusive use never waits.
  // `shownName` is how messages name the file. Throws DataError
  // (kErrFileNotFound, kErrFileInUse).
  static FileUse acquire(const std::filesystem::path& file, Mode mode, int timeoutSeconds,
                         const std::string& shownName);

  FileUse(FileUse&& o) noexcept;
  FileUse& operator=(FileUse&& o) noexcept;
  FileUse(const FileUse&) = delete;
  FileUse& operator=(const FileUse&) = delete;
  ~FileUse() { release(); }

  void release() noexcept;
  bool held() const { return held_; }
  // The file's identity while held.
  unsigned long long device() const { return dev_; }
  unsigned long long inode() const { return ino_; }

  // Connections of this process that use the file now (for tests and messages).
  static int usersInProcess(const std::filesystem::path& file);

 private:
  bool held_ = false;
  unsigned long long dev_ = 0, ino_ = 0;
  Mode mode_ = Mode::Shared;
};

}  // namespace rvz::data
