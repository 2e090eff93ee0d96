// The link configuration dialog dlgLinkConfig (TdlgLinkConfig) on the
// server's screen: server, login, password and database of the SQL Server
// link, the server's database list, a test link on request, and OK only
// once a test connection with the entered values succeeds.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "platform/data/connection.h"
#include "platform/data/query.h"
#include "platform/desktop/screen.h"

namespace rvz::link {

inline constexpr std::string_view kListDatabasesSql = "exec sp_catalogs_rowset;2 null";
inline constexpr std::string_view kTestSucceeded = "数据库连接成功！";
inline constexpr std::string_view kTestFailed = "数据库连接错误！";
// How long the test connection behind OK may take.
inline constexpr int kOkConnectTimeoutSeconds = 10;

class TdlgLinkConfig {
 public:
  explicit TdlgLinkConfig(desktop::Screen& screen);
  TdlgLinkConfig(const TdlgLinkConfig&) = delete;
  TdlgLinkConfig& operator=(const TdlgLinkConfig&) = delete;

  // Shows the form modally on the calling thread, reading the server and
  // user boxes from `settingsFile`; returns how it closed.
  desktop::Answer showModal(const std::string& settingsFile);

  // The connection string of the boxes' contents; with useMaster the
  // database is "master" (to list the server's databases).
  std::string BuildDialogConnectionString(bool useMaster) const;
  // The string that OK tests: every element written, Data Source also when
  // empty.
  std::string BuildTestConnectionString() const;

  std::string defaultDatabaseName;
  std::string testConnectionString;  // built when the form is asked to close

  desktop::Window& form() { return form_; }

 private:
  void formShow();
  void listDatabases();
  void testLink();
  bool closeQuery(desktop::Answer result);
  std::string text(std::string_view control) const;

  desktop::Screen& screen_;
  desktop::Window form_;
  std::string settingsFile_;  // the dialog's settings slot while shown
  data::Connection conn;
  data::Query qry1;
  data::Connection conn_test;
};

// Shows the dialog and returns the connection string of the entered link,
// or an empty text when it was cancelled or closed without OK. Dialogs are
// shown one at a time in the process.
std::string ShowLinkDialog(desktop::Screen& screen, const std::string& settingsFile,
                           std::string_view defaultDatabaseName);

}  // namespace rvz::link
