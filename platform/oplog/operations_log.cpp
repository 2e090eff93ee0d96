// The operational log: line format, destination and level.
#include "platform/oplog/operations_log.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <mutex>
#include <stdexcept>

namespace rvz::oplog {
namespace {

struct State {
  std::mutex mu;  // guards fd and journald; writing itself needs no lock
  int fd = STDERR_FILENO;
  bool ownFd = false;
  bool journald = false;
  bool journaldChecked = false;
  std::atomic<int> minimum{static_cast<int>(Level::Info)};
  std::array<std::atomic<uint64_t>, 8> counts{};
};

thread_local std::string tThreadFields;

State& state() {
  static State* s = new State;  // never destroyed: object threads may log during exit
  return *s;
}

bool needsQuotes(std::string_view v) {
  if (v.empty()) return true;
  for (unsigned char c : v)
    if (c <= ' ' || c == '"' || c == '=' || c == '\\' || c == 0x7f) return true;
  return false;
}

void appendValue(std::string& out, std::string_view v) {
  if (!needsQuotes(v)) {
    out += v;
    return;
  }
  out += '"';
  for (unsigned char c : v) {
    switch (c) {
      case '"': out += "\\\""; break;
      case '\\': out += "\\\\"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      default:
        if (c < ' ' || c == 0x7f) {
          char buf[8];
          std::snprintf(buf, sizeof buf, "\\x%02x", c);
          out += buf;
        } else {
          out += static_cast<char>(c);
        }
    }
  }
  out += '"';
}

// Message text stays on one line: line breaks become blanks.
void appendMessage(std::string& out, std::string_view m) {
  for (char c : m) out += (c == '\n' || c == '\r') ? ' ' : c;
}

std::string nowText() {
  using namespace std::chrono;
  auto now = system_clock::now();
  std::time_t t = system_clock::to_time_t(now);
  auto ms = duration_cast<milliseconds>(now.time_since_epoch()).count() % 1000;
  std::tm tm{};
  gmtime_r(&t, &tm);
  char buf[96];
  std::snprintf(buf, sizeof buf, "%04d-%02d-%02dT%02d:%02d:%02d.%03dZ", tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday,
                tm.tm_hour, tm.tm_min, tm.tm_sec, static_cast<int>(ms));
  return buf;
}

bool journalStreamIs(int fd) {
  const char* js = std::getenv("JOURNAL_STREAM");
  if (!js || !*js) return false;
  unsigned long long dev = 0, ino = 0;
  if (std::sscanf(js, "%llu:%llu", &dev, &ino) != 2) return false;
  struct stat st {};
  if (fstat(fd, &st) != 0) return false;
  return static_cast<unsigned long long>(st.st_dev) == dev && static_cast<unsigned long long>(st.st_ino) == ino;
}

}  // namespace

std::string_view levelName(Level level) {
  switch (level) {
    case Level::Error: return "error";
    case Level::Warning: return "warning";
    case Level::Notice: return "notice";
    case Level::Info: return "info";
    case Level::Debug: return "debug";
  }
  return "info";
}

Level parseLevel(std::string_view text) {
  std::string lower;
  for (char c : text) lower += static_cast<char>(c >= 'A' && c <= 'Z' ? c + 0x20 : c);
  for (Level l : {Level::Error, Level::Warning, Level::Notice, Level::Info, Level::Debug})
    if (lower == levelName(l)) return l;
  throw std::invalid_argument("\"" + std::string(text) +
                              "\" is not a log level: use error, warning, notice, info or debug");
}

std::string formatLine(Level level, std::string_view message, std::initializer_list<Field> fields,
                       std::string_view time, bool journald) {
  std::string out;
  out.reserve(64 + message.size());
  if (journald) {
    out += '<';
    out += static_cast<char>('0' + static_cast<int>(level));
    out += '>';
  }
  out += time;
  out += ' ';
  out += levelName(level);
  out += ' ';
  appendMessage(out, message);
  for (const auto& [key, value] : fields) {
    out += ' ';
    out += key;
    out += '=';
    appendValue(out, value);
  }
  out += '\n';
  return out;
}

void setThreadFields(std::initializer_list<Field> fields) {
  tThreadFields.clear();
  for (const auto& [key, value] : fields) {
    tThreadFields += ' ';
    tThreadFields += key;
    tThreadFields += '=';
    appendValue(tThreadFields, value);
  }
}

void setMinimumLevel(Level level) { state().minimum = static_cast<int>(level); }
Level minimumLevel() { return static_cast<Level>(state().minimum.load()); }
bool enabled(Level level) { return static_cast<int>(level) <= state().minimum.load(); }

void writeToFile(const std::filesystem::path& file) {
  int fd = ::open(file.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
  if (fd < 0) throw std::runtime_error("Cannot open the log file " + file.string() + ": " + std::strerror(errno));
  State& s = state();
  std::lock_guard lock(s.mu);
  if (s.ownFd) ::close(s.fd);
  s.fd = fd;
  s.ownFd = true;
  s.journald = false;
  s.journaldChecked = true;
}

void writeToStandardError() {
  State& s = state();
  std::lock_guard lock(s.mu);
  if (s.ownFd) ::close(s.fd);
  s.fd = STDERR_FILENO;
  s.ownFd = false;
  s.journaldChecked = false;
}

bool standardErrorIsJournal() { return journalStreamIs(STDERR_FILENO); }

void write(Level level, std::string_view message, std::initializer_list<Field> fields) {
  State& s = state();
  s.counts[static_cast<size_t>(level)].fetch_add(1, std::memory_order_relaxed);
  if (!enabled(level)) return;
  const std::string time = nowText();
  {
    std::lock_guard lock(s.mu);
    if (!s.journaldChecked) {
      s.journald = journalStreamIs(s.fd);
      s.journaldChecked = true;
    }
    std::string line = formatLine(level, message, fields, time, s.journald);
    if (!tThreadFields.empty()) line.insert(line.size() - 1, tThreadFields);
    // Written under the lock so that a file being switched is not closed
    // under a writer; lines are short, the write is one call.
    const int fd = s.fd;
    const char* p = line.data();
    size_t left = line.size();
    while (left > 0) {
      ssize_t n = ::write(fd, p, left);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) break;  // a log that cannot be written must not stop the server
      p += n;
      left -= static_cast<size_t>(n);
    }
  }
}

uint64_t linesWritten(Level level) {
  return state().counts[static_cast<size_t>(level)].load(std::memory_order_relaxed);
}

}  // namespace rvz::oplog
