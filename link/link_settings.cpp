#include "link/link_settings.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <limits>
#include <mutex>

#include "link/password_scrambler.h"
#include "link/sql_server_link.h"
#include "platform/files/files.h"
#include "platform/profile/profile.h"

namespace rvz::link {

namespace {

struct Slot {
  std::mutex mu;  // guards the text of the slot only; nothing is taken under it
  std::optional<std::string> file;
};

Slot& slot() {
  static Slot s;
  return s;
}

}  // namespace

std::string linkSettingsPath() {
  std::string h = files::homeFolder().string();
  if (h.empty() || (h.back() != '/' && h.back() != '\\')) h += '/';
  return h + std::string(kSettingsFileName);
}

std::optional<long long> parseProfileInteger(std::string_view s) {
  size_t i = 0;
  while (i < s.size() && (s[i] == ' ' || s[i] == '\t')) ++i;
  bool negative = false;
  if (i < s.size() && (s[i] == '+' || s[i] == '-')) negative = s[i++] == '-';
  int base = 10;
  if (i + 1 < s.size() && s[i] == '0' && (s[i + 1] == 'x' || s[i + 1] == 'X')) {
    base = 16;
    i += 2;
  }
  if (i >= s.size()) return std::nullopt;
  unsigned long long v = 0;
  for (; i < s.size(); ++i) {
    char c = s[i];
    int d;
    if (c >= '0' && c <= '9')
      d = c - '0';
    else if (base == 16 && c >= 'a' && c <= 'f')
      d = c - 'a' + 10;
    else if (base == 16 && c >= 'A' && c <= 'F')
      d = c - 'A' + 10;
    else
      return std::nullopt;
    v = v * static_cast<unsigned>(base) + static_cast<unsigned>(d);
    if (v > static_cast<unsigned long long>(std::numeric_limits<long long>::max())) return std::nullopt;
  }
  long long r = static_cast<long long>(v);
  return negative ? -r : r;
}

bool readProfileBool(std::string_view file, std::string_view section, std::string_view key, bool defaultValue) {
  std::string v = profile::getPrivateProfileString(section, key, "", file);
  auto n = parseProfileInteger(v);
  return n ? *n != 0 : defaultValue;
}

void writeProfileBool(std::string_view file, std::string_view section, std::string_view key, bool value) {
  writeLinkValue(file, section, key, value ? "1" : "0");
}

void writeLinkValue(std::string_view file, std::string_view section, std::string_view key, std::string_view value) {
  // The file may come to hold the scrambled password, which anyone who can
  // read the file can unscramble: a file made here is owner-only. An
  // existing file keeps the permissions its owner gave it.
  std::error_code ec;
  std::filesystem::path path;
  try {
    path = files::resolvePath(file);
  } catch (const std::exception&) {
    path.clear();
  }
  if (!path.empty() && !std::filesystem::exists(path, ec)) {
    int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd >= 0) ::close(fd);
    // A failure here is reported by the write below, with the file's name.
  }
  profile::writePrivateProfileString(section, key, value, file);
}

OpenLinkSettings::OpenLinkSettings(std::string file) {
  std::lock_guard lk(slot().mu);
  slot().file = std::move(file);
}

OpenLinkSettings::~OpenLinkSettings() {
  std::lock_guard lk(slot().mu);
  slot().file.reset();
}

std::optional<std::string> openLinkSettingsFile() {
  std::lock_guard lk(slot().mu);
  return slot().file;
}

bool SaveLinkSettings(std::string_view connectionString, std::string_view section) {
  std::optional<std::string> file = openLinkSettingsFile();
  if (!file) return false;
  SqlServerLinkValues v = ParseSqlServerConnectionString(connectionString);
  if (!v.ok) return false;
  writeLinkValue(*file, section, kKeyServerName, v.server);
  writeLinkValue(*file, section, kKeyDatabaseName, v.database);
  writeProfileBool(*file, section, kKeyTrustConnect, v.trusted);
  writeProfileBool(*file, section, kKeyAutoTranslate, false);
  if (v.trusted) return true;
  writeLinkValue(*file, section, kKeyUserId, v.userId);
  writeLinkValue(*file, section, kKeyPassword,
                 v.password.empty() ? std::string() : ScramblePassword(v.password, kPasswordKey, true));
  return true;
}

}  // namespace rvz::link
