#include "link/sql_server_link.h"

#include "link/link_config.h"
#include "link/link_settings.h"
#include "link/password_scrambler.h"
#include "platform/data/connection.h"
#include "platform/desktop/screen.h"
#include "platform/oplog/operations_log.h"
#include "platform/profile/profile.h"

namespace rvz::link {

void requirePlainValue(std::string_view element, std::string_view value) {
  if (value.find(';') != std::string_view::npos)
    throw LinkValueError("The " + std::string(element) +
                         " of the SQL Server link holds a \";\", which its connection string cannot carry");
  size_t first = value.find_first_not_of(" \t");
  if (first != std::string_view::npos && (value[first] == '"' || value[first] == '\''))
    throw LinkValueError("The " + std::string(element) +
                         " of the SQL Server link starts with a quote, which its connection string cannot carry");
}

std::string BuildSqlServerConnectionString(std::string_view server, std::string_view database, std::string_view userId,
                                           std::string_view password, bool trusted, bool autoTranslate) {
  std::string s = "Provider=SQLOLEDB.1;";
  if (!server.empty()) {
    requirePlainValue("server name", server);
    s += "Data Source=" + std::string(server) + ";";
  }
  if (trusted) {
    s += "Integrated Security=SSPI;";
  } else {
    requirePlainValue("user name", userId);
    s += "User ID=" + std::string(userId) + ";";
    if (!password.empty()) {
      requirePlainValue("password", password);
      s += "Password=" + std::string(password) + ";";
    }
  }
  requirePlainValue("database name", database);
  s += "Initial Catalog=" + std::string(database) + ";";
  if (!autoTranslate) s += "Auto Translate=False";
  if (!s.empty() && s.back() == ';') s.pop_back();
  return s;
}

std::string ConnectionStringValue(std::string_view s, std::string_view key) {
  std::string needle = std::string(key) + "=";
  size_t at = s.find(needle);
  if (at == std::string_view::npos) return {};
  size_t begin = at + needle.size();
  // The walk to ";" starts where the key starts; a key that holds a ";"
  // of its own thus ends its value before it begins: empty.
  size_t end = s.find(';', at);
  if (end == std::string_view::npos) end = s.size();
  if (end < begin) return {};
  return std::string(s.substr(begin, end - begin));
}

SqlServerLinkValues ParseSqlServerConnectionString(std::string_view s) {
  SqlServerLinkValues v;
  v.server = ConnectionStringValue(s, "Data Source");
  v.database = ConnectionStringValue(s, "Initial Catalog");
  v.userId = ConnectionStringValue(s, "User ID");
  v.password = ConnectionStringValue(s, "Password");
  v.trusted = ConnectionStringValue(s, "Integrated Security") == "SSPI";
  v.ok = !v.database.empty();
  return v;
}

std::mutex& linkFlowLock() {
  static std::mutex m;
  return m;
}

namespace {

// The link as the settings describe it, read afresh.
std::string connectionStringFromSettings(const std::string& file) {
  const std::string section(kLinkSection);
  std::string server = profile::getPrivateProfileString(section, kKeyServerName, "", file);
  // An empty server is stored as "." for the next time (and for the
  // dialog); this attempt goes without a Data Source.
  if (server.empty()) writeLinkValue(file, section, kKeyServerName, ".");
  std::string database = profile::getPrivateProfileString(section, kKeyDatabaseName, kDefaultDatabaseName, file);
  bool trusted = readProfileBool(file, section, kKeyTrustConnect, false);
  std::string userId, password;
  if (!trusted) {
    userId = profile::getPrivateProfileString(section, kKeyUserId, "", file);
    std::string scrambled = profile::getPrivateProfileString(section, kKeyPassword, "", file);
    if (!scrambled.empty()) password = ScramblePassword(scrambled, kPasswordKey, false);
  }
  if (userId.empty()) trusted = true;
  bool autoTranslate = readProfileBool(file, section, kKeyAutoTranslate, true);
  return BuildSqlServerConnectionString(server, database, userId, password, trusted, autoTranslate);
}

bool askToConfigure(desktop::Screen* screen) {
  if (!screen) return false;
  desktop::BoxRequest box;
  box.text = std::string(kConfigureQuestion);
  box.caption = "询问";
  box.buttons = desktop::Buttons::YesNo;
  box.icon = desktop::BoxIcon::Question;
  box.defaultButton = desktop::Answer::No;
  box.topmost = true;
  return screen->messageBox(box) == desktop::Answer::Yes;
}

void tellConfigured(desktop::Screen& screen) {
  desktop::BoxRequest box;
  box.text = std::string(kConfiguredNotice);
  box.caption = "信息";
  box.buttons = desktop::Buttons::OK;
  box.icon = desktop::BoxIcon::Information;
  screen.messageBox(box);
}

}  // namespace

std::string OpenSqlServerLink(const LinkConnection& connection, const std::string& settingsFile,
                              desktop::Screen* screen) {
  std::lock_guard flow(linkFlowLock());
  OpenLinkSettings open(settingsFile);
  const std::string built = connectionStringFromSettings(settingsFile);
  connection.assign(built);
  try {
    connection.open();
    return built;
  } catch (const std::exception& e) {
    // The provider's text never carries the password.
    oplog::warning("the SQL Server link could not be opened", {{"error", e.what()}});
  }
  if (!askToConfigure(screen)) return {};
  std::string configured = ShowLinkDialog(*screen, settingsFile, kDefaultDatabaseName);
  if (configured.empty()) return {};
  SaveLinkSettings(configured, kLinkSection);
  tellConfigured(*screen);
  return configured;
}

std::string OpenSqlServerLink(data::Connection& connection, const std::string& settingsFile, desktop::Screen* screen) {
  LinkConnection c{[&connection](const std::string& s) { connection.setConnectionString(s); },
                   [&connection] { connection.open(); }};
  return OpenSqlServerLink(c, settingsFile, screen);
}

}  // namespace rvz::link
