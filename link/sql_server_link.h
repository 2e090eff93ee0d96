// The SQL Server link: the connection strings it composes and reads back,
// and the connect-or-configure flow that a data service runs when its
// client chooses a SQL Server account set (the settings are in
// link_settings.h, the dialog in link_config.h).
#pragma once

#include <functional>
#include <mutex>
#include <stdexcept>
#include <string>
#include <string_view>

namespace rvz::desktop {
class Screen;
}
namespace rvz::data {
class Connection;
}

namespace rvz::link {

// A value that a connection string cannot carry as written (it holds a ";"
// or starts with a quote, either of which would change how the string's
// other keys are read). The text names the element, never the value.
class LinkValueError : public std::invalid_argument {
 public:
  using std::invalid_argument::invalid_argument;
};

// Throws LinkValueError when `value` cannot be written unquoted as the
// element `element` of a connection string.
void requirePlainValue(std::string_view element, std::string_view value);

// "Provider=SQLOLEDB.1;[Data Source=<server>;]" then "Integrated
// Security=SSPI;" when trusted, else "User ID=<user>;[Password=<pw>;]",
// then "Initial Catalog=<database>;[Auto Translate=False]", without a last
// ";". Values are written as they are; one that would change the string's
// other keys is refused (LinkValueError).
std::string BuildSqlServerConnectionString(std::string_view server, std::string_view database, std::string_view userId,
                                           std::string_view password, bool trusted, bool autoTranslate);

// The value of `key` in a connection string: the text after the first
// occurrence of "<key>=" (exact case, a plain substring search, so a key
// that ends another key's name may match inside it) up to the next ";" or
// the end; empty when absent. Nothing is trimmed or unquoted.
std::string ConnectionStringValue(std::string_view connectionString, std::string_view key);

struct SqlServerLinkValues {
  std::string server;    // Data Source
  std::string database;  // Initial Catalog
  std::string userId;    // User ID
  std::string password;  // Password
  bool trusted = false;  // Integrated Security is exactly "SSPI"
  bool ok = false;       // a database is named
};
SqlServerLinkValues ParseSqlServerConnectionString(std::string_view connectionString);

// The connection the flow works on: `assign` gives it a connection string
// (a failure there fails the flow), `open` opens it (a failure there is
// the failed link the flow offers to configure). The caller takes whatever
// guard its connection needs inside each, so that none is held while the
// flow waits for the operator.
struct LinkConnection {
  std::function<void(const std::string&)> assign;
  std::function<void()> open;
};

// The lock that serialises the connect-or-configure flow and the dialog,
// which share process-wide slots. Lock order: this lock comes before the
// dialog's own lock and before any guard the LinkConnection takes.
std::mutex& linkFlowLock();

// The connect-or-configure flow on the settings file `settingsFile`: builds
// the string from the link settings, assigns and opens it; when the open
// fails, asks the operator on `screen` whether to configure the link and
// shows the link dialog. Returns the built string when the connection
// opened, the dialog's string when the operator configured the link, and
// an empty text otherwise (no screen counts as the answer No). Runs under
// linkFlowLock for its whole course; the calling thread waits for the
// operator.
std::string OpenSqlServerLink(const LinkConnection& connection, const std::string& settingsFile,
                              desktop::Screen* screen);
// The same on a connection used by this thread alone.
std::string OpenSqlServerLink(data::Connection& connection, const std::string& settingsFile, desktop::Screen* screen);

// The question, the notice and their texts.
inline constexpr std::string_view kConfigureQuestion = "无法连接到数据库服务器, 是否进行数据连接配置? ";
inline constexpr std::string_view kConfiguredNotice = "连接配置完成, 如果没有出现登录对话框, 请重新启动本系统!";

}  // namespace rvz::link
