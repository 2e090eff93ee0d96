// Profile reads and writes on the file under flock(2) (shared for a read,
// exclusive for a write), so that readers never see half a write from this
// or another process; and the computer name from the host name.
#include "platform/profile/profile.h"

#include <fcntl.h>
#include <sys/file.h>  // LOCK_SH, LOCK_EX
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstring>
#include <filesystem>

#include "platform/files/file_handle.h"
#include "platform/files/files.h"
#include "platform/profile/ini_text.h"
#include "platform/text/text.h"

namespace rvz::profile {

namespace {

using files::FileHandle;

std::string cutToBuffer(std::string_view ansi, size_t bufferSize) {
  if (bufferSize == 0) return {};
  return std::string(ansi.substr(0, text::ansiPrefixLength(ansi, bufferSize - 1)));
}

bool hasLineBreak(std::string_view s) { return s.find_first_of("\r\n") != std::string_view::npos; }

}  // namespace

std::string getPrivateProfileString(std::string_view section, std::string_view key, std::string_view defaultValue,
                                    std::string_view fileName, size_t bufferSize) {
  std::string_view def = defaultValue;
  while (!def.empty() && (def.back() == ' ' || def.back() == '\t')) def.remove_suffix(1);
  auto fallback = [&] { return text::ansiToUtf8(cutToBuffer(text::utf8ToAnsi(def), bufferSize)); };

  std::filesystem::path path;
  try {
    path = files::resolvePath(fileName);
  } catch (const files::FileError&) {
    return fallback();
  }
  FileHandle fd(path, O_RDONLY);
  if (!fd.valid() || !fd.lock(LOCK_SH)) return fallback();
  std::string content;
  if (!fd.readToEnd(content)) return fallback();

  auto value = findValue(content, text::utf8ToAnsi(section), text::utf8ToAnsi(key));
  if (!value) return fallback();
  return text::ansiToUtf8(cutToBuffer(*value, bufferSize));
}

void writePrivateProfileString(std::string_view section, std::string_view key, std::string_view value,
                               std::string_view fileName) {
  const std::string failure = "Unable to write to " + std::string(fileName);
  auto fail = [&](const std::string& cause) { throw ProfileError(failure, cause); };

  if (hasLineBreak(section) || hasLineBreak(key) || hasLineBreak(value))
    fail("a section name, key name or value holds a line break");
  if (section.find(']') != std::string_view::npos) fail("the section name holds \"]\"");
  if (key.find('=') != std::string_view::npos) fail("the key name holds \"=\"");
  if (key.empty()) fail("the key name is empty");

  std::filesystem::path path;
  try {
    path = files::resolvePath(fileName);
  } catch (const files::FileError& e) {
    fail(e.what());
  }

  // The read-only attribute of Windows is the absence of write permission
  // here; it is checked by hand so that it holds for root as well, who may
  // write anything.
  struct stat st {};
  if (::stat(path.c_str(), &st) == 0) {
    if (!S_ISREG(st.st_mode)) fail(path.string() + " is not a file");
    if ((st.st_mode & S_IWUSR) == 0) fail(path.string() + " is read-only");
  } else {
    struct stat dir {};
    std::filesystem::path folder = path.parent_path();
    if (folder.empty()) folder = ".";
    if (::stat(folder.c_str(), &dir) != 0) fail("folder " + folder.string() + ": " + std::strerror(errno));
    if ((dir.st_mode & S_IWUSR) == 0) fail("folder " + folder.string() + " is read-only");
  }

  FileHandle fd(path, O_RDWR | O_CREAT, 0644);
  if (!fd.valid()) fail(path.string() + ": " + std::strerror(errno));
  if (!fd.lock(LOCK_EX)) fail(path.string() + ": cannot lock: " + std::strerror(errno));
  std::string content;
  if (!fd.readToEnd(content)) fail(path.string() + ": " + std::strerror(errno));

  std::string updated = withValue(content, text::utf8ToAnsi(section), text::utf8ToAnsi(key), text::utf8ToAnsi(value));
  if (updated == content) return;
  if (!fd.writeAllAt(updated, 0)) fail(path.string() + ": " + std::strerror(errno));
  if (::ftruncate(fd.get(), static_cast<off_t>(updated.size())) != 0) fail(path.string() + ": " + std::strerror(errno));
}

std::string netbiosName(std::string_view hostName) {
  std::string_view label = hostName.substr(0, hostName.find('.'));
  std::string name = text::upperCaseAscii(label);
  if (name.size() > 15) name.resize(15);
  return name;
}

std::optional<std::string> getComputerName() {
  char buf[HOST_NAME_MAX + 1] = {};
  if (::gethostname(buf, sizeof buf - 1) != 0) return std::nullopt;
  std::string name = netbiosName(buf);
  if (name.empty()) return std::nullopt;
  return name;
}

}  // namespace rvz::profile
