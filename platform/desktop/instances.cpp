// Window markers in the home folder, and process facts from /proc.
#include "platform/desktop/instances.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <climits>
#include <fstream>

namespace rvz::desktop {

namespace {

constexpr std::string_view kMarkerHeader = "rvz-screen-windows 1";
constexpr size_t kMaxMarkerClasses = 64;

// At most `limit` bytes of the file; nullopt when it cannot be opened or is
// longer.
std::optional<std::string> readSmallFile(const std::filesystem::path& file, size_t limit) {
  int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return std::nullopt;
  std::string out;
  char buf[1024];
  while (true) {
    ssize_t n = ::read(fd, buf, sizeof buf);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    out.append(buf, static_cast<size_t>(n));
    if (out.size() > limit) {
      ::close(fd);
      return std::nullopt;
    }
  }
  ::close(fd);
  return out;
}

template <class T>
bool parseNumber(std::string_view s, T& out) {
  if (s.empty()) return false;
  auto [p, ec] = std::from_chars(s.data(), s.data() + s.size(), out);
  return ec == std::errc() && p == s.data() + s.size();
}

}  // namespace

std::string formatWindowMarker(const WindowMarker& marker) {
  std::string out(kMarkerHeader);
  out += "\nstart " + std::to_string(marker.startTime) + "\n";
  for (const auto& c : marker.classes) out += "class " + c + "\n";
  return out;
}

std::optional<WindowMarker> parseWindowMarker(std::string_view text) {
  if (text.size() > kMaxMarkerBytes) return std::nullopt;
  WindowMarker m;
  bool haveStart = false;
  size_t pos = 0;
  size_t lineNo = 0;
  while (pos < text.size()) {
    size_t nl = text.find('\n', pos);
    if (nl == std::string_view::npos) return std::nullopt;  // every line ends
    std::string_view line = text.substr(pos, nl - pos);
    pos = nl + 1;
    if (lineNo++ == 0) {
      if (line != kMarkerHeader) return std::nullopt;
      continue;
    }
    if (line.substr(0, 6) == "start ") {
      if (haveStart || !parseNumber(line.substr(6), m.startTime)) return std::nullopt;
      haveStart = true;
    } else if (line.substr(0, 6) == "class " && line.size() > 6) {
      if (m.classes.size() == kMaxMarkerClasses) return std::nullopt;
      m.classes.emplace_back(line.substr(6));
    } else {
      return std::nullopt;
    }
  }
  if (!haveStart) return std::nullopt;
  return m;
}

std::filesystem::path windowMarkerFolder(const std::filesystem::path& home) { return home / ".screen-windows"; }

void announceWindows(const std::filesystem::path& home, const std::vector<std::string>& classes) {
  const std::filesystem::path folder = windowMarkerFolder(home);
  const std::filesystem::path marker = folder / std::to_string(::getpid());
  if (classes.empty()) {
    ::unlink(marker.c_str());
    return;
  }
  auto start = processStartTime(::getpid());
  if (!start) return;
  if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) return;
  std::filesystem::path tmp = marker;
  tmp += ".tmp";
  {
    std::ofstream out(tmp, std::ios::binary | std::ios::trunc);
    out << formatWindowMarker(WindowMarker{*start, classes});
    if (!out) {
      ::unlink(tmp.c_str());
      return;
    }
  }
  if (::rename(tmp.c_str(), marker.c_str()) != 0) ::unlink(tmp.c_str());
}

std::vector<WindowOwner> windowOwners(std::string_view className, const std::filesystem::path& home) {
  std::vector<WindowOwner> owners;
  std::error_code ec;
  std::filesystem::directory_iterator it(windowMarkerFolder(home), ec), end;
  for (; !ec && it != end; it.increment(ec)) {
    pid_t pid = 0;
    if (!parseNumber(it->path().filename().string(), pid) || pid <= 0 || pid == ::getpid()) continue;
    auto text = readSmallFile(it->path(), kMaxMarkerBytes);
    if (!text) continue;
    auto marker = parseWindowMarker(*text);
    auto start = processStartTime(pid);
    if (!start || (marker && marker->startTime != *start)) {
      // The process that wrote it is gone.
      ::unlink(it->path().c_str());
      continue;
    }
    if (!marker) continue;
    bool has = false;
    for (const auto& c : marker->classes) has = has || c == className;
    if (!has) continue;
    auto exe = processExecutable(pid);
    if (exe) owners.push_back(WindowOwner{pid, *exe});
  }
  return owners;
}

std::optional<std::filesystem::path> processExecutable(pid_t pid) {
  std::string link = "/proc/" + std::to_string(pid) + "/exe";
  char buf[PATH_MAX + 16];
  ssize_t n = ::readlink(link.c_str(), buf, sizeof buf);
  if (n <= 0 || static_cast<size_t>(n) >= sizeof buf) return std::nullopt;
  std::string path(buf, static_cast<size_t>(n));
  constexpr std::string_view kDeleted = " (deleted)";
  if (path.size() > kDeleted.size() && path.compare(path.size() - kDeleted.size(), kDeleted.size(), kDeleted) == 0)
    path.resize(path.size() - kDeleted.size());
  return std::filesystem::path(path);
}

std::filesystem::path ownExecutablePath() {
  auto exe = processExecutable(::getpid());
  return exe ? *exe : std::filesystem::path();
}

std::optional<unsigned long long> processStartTime(pid_t pid) {
  auto text = readSmallFile("/proc/" + std::to_string(pid) + "/stat", 4096);
  if (!text) return std::nullopt;
  // The command name in parentheses may hold anything, ")" included; the
  // fields after the last ")" are plain numbers, the state first.
  size_t close = text->rfind(')');
  if (close == std::string::npos) return std::nullopt;
  std::string_view rest = std::string_view(*text).substr(close + 1);
  size_t field = 2;
  size_t pos = 0;
  while (pos < rest.size()) {
    while (pos < rest.size() && rest[pos] == ' ') ++pos;
    size_t endTok = rest.find(' ', pos);
    if (endTok == std::string_view::npos) endTok = rest.size();
    ++field;
    if (field == 22) {
      unsigned long long v = 0;
      if (!parseNumber(rest.substr(pos, endTok - pos), v)) return std::nullopt;
      return v;
    }
    pos = endTok;
  }
  return std::nullopt;
}

bool terminateProcess(pid_t pid) { return pid > 0 && ::kill(pid, SIGKILL) == 0; }

}  // namespace rvz::desktop
