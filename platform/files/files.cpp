// Home folder, Windows-style path resolution and whole-file helpers.
#include "platform/files/files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <system_error>
#include <vector>

#include "platform/text/text.h"

namespace fs = std::filesystem;

namespace rvz::files {
namespace {

bool isSeparator(char c) { return c == '\\' || c == '/'; }

std::string envValue(const char* name) {
  const char* v = std::getenv(name);
  return v ? std::string(v) : std::string();
}

}  // namespace

fs::path driveFolder(char letter, const fs::path& home) {
  char upper = static_cast<char>(letter >= 'a' && letter <= 'z' ? letter - 0x20 : letter);
  char lower = static_cast<char>(upper + 0x20);
  std::string var = std::string("RVZ_DRIVE_") + upper;
  std::string mapped = envValue(var.c_str());
  if (!mapped.empty()) return fs::absolute(fs::path(mapped)).lexically_normal();
  return home / "drives" / std::string(1, lower);
}

namespace {

fs::path driveRoot(char letter) { return driveFolder(letter, homeFolder()); }

// The entry of `dir` whose name equals `name` without regard to case, or an
// empty string. Exact spelling has been tried already by the caller.
std::string caseInsensitiveEntry(const fs::path& dir, const std::string& name) {
  std::error_code ec;
  fs::directory_iterator it(dir, ec);
  if (ec) return {};
  const text::WString wanted = text::utf8ToWide(name);
  std::string best;
  for (const auto& entry : it) {
    std::string candidate = entry.path().filename().string();
    if (!text::equalsNoCase(text::utf8ToWide(candidate), wanted)) continue;
    if (best.empty() || candidate < best) best = std::move(candidate);
  }
  return best;
}

}  // namespace

fs::path homeFolder() {
  std::string home = envValue("RVZ_HOME");
  if (!home.empty()) return fs::absolute(fs::path(home)).lexically_normal();
  std::error_code ec;
  fs::path exe = fs::read_symlink("/proc/self/exe", ec);
  if (ec) throw FileError("Cannot find the executable's folder: " + ec.message());
  return homeOfExecutableFolder(exe.parent_path());
}

fs::path homeOfExecutableFolder(const fs::path& folder) {
  // An installed program's folder is shared and not writable by its
  // service user: its data lives in the state directory instead.
  if (folder == fs::path(RVZ_INSTALL_BINDIR)) return fs::path(kInstalledHome);
  return folder;
}

fs::path resolvePath(std::string_view windowsPath) { return resolvePath(windowsPath, homeFolder()); }

fs::path resolvePath(std::string_view p, const fs::path& base) {
  if (p.empty()) throw FileError("Cannot resolve an empty path");
  fs::path current;
  fs::path floor;  // ".." never climbs above this
  size_t pos = 0;
  const bool hasDrive = p.size() >= 2 && p[1] == ':' && ((p[0] >= 'A' && p[0] <= 'Z') || (p[0] >= 'a' && p[0] <= 'z'));
  if (hasDrive) {
    current = driveRoot(p[0]);
    floor = current;
    pos = 2;
  } else if (isSeparator(p[0])) {
    current = "/";
    floor = current;
  } else {
    current = fs::absolute(base).lexically_normal();
    floor = "/";
  }

  bool matching = true;  // false once a component matched nothing on disk
  while (pos < p.size()) {
    while (pos < p.size() && isSeparator(p[pos])) ++pos;
    size_t end = pos;
    while (end < p.size() && !isSeparator(p[end])) ++end;
    if (end == pos) break;
    std::string comp(p.substr(pos, end - pos));
    pos = end;
    if (comp == ".") continue;
    if (comp == "..") {
      if (current != floor && current.has_relative_path()) current = current.parent_path();
      // Going up leaves a component that did not exist: what lies above it may.
      std::error_code ec;
      matching = fs::exists(current, ec);
      continue;
    }
    if (matching) {
      std::error_code ec;
      if (!fs::exists(current / comp, ec)) {
        std::string found = caseInsensitiveEntry(current, comp);
        if (found.empty()) {
          matching = false;
        } else {
          comp = std::move(found);
        }
      }
    }
    current /= comp;
  }
  return current;
}

std::string readFile(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  if (!in) throw FileError("Cannot open '" + file.string() + "' for reading: " + std::strerror(errno));
  std::string out;
  in.seekg(0, std::ios::end);
  std::streamoff size = in.tellg();
  in.seekg(0, std::ios::beg);
  if (size > 0) out.resize(static_cast<size_t>(size));
  if (size > 0 && !in.read(out.data(), size))
    throw FileError("Cannot read '" + file.string() + "': " + std::strerror(errno));
  return out;
}

void writeFile(const fs::path& file, std::string_view content) {
  std::ofstream out(file, std::ios::binary | std::ios::trunc);
  if (!out) throw FileError("Cannot open '" + file.string() + "' for writing: " + std::strerror(errno));
  out.write(content.data(), static_cast<std::streamsize>(content.size()));
  out.flush();
  if (!out) throw FileError("Cannot write '" + file.string() + "': " + std::strerror(errno));
}

void writePrivateFile(const fs::path& file, std::string_view content) {
  int fd = ::open(file.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  if (fd < 0) throw FileError("Cannot open '" + file.string() + "' for writing: " + std::strerror(errno));
  auto fail = [&](const char* what) {
    int err = errno;
    ::close(fd);
    throw FileError("Cannot " + std::string(what) + " '" + file.string() + "': " + std::strerror(err));
  };
  if (::fchmod(fd, 0600) != 0) fail("protect");
  size_t done = 0;
  while (done < content.size()) {
    ssize_t n = ::write(fd, content.data() + done, content.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) fail("write");
    done += static_cast<size_t>(n);
  }
  if (::fsync(fd) != 0) fail("write");
  if (::close(fd) != 0) throw FileError("Cannot write '" + file.string() + "': " + std::strerror(errno));
}

}  // namespace rvz::files
