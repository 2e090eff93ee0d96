#include "link/link_config.h"

#include <mutex>

#include "link/link_settings.h"
#include "link/sql_server_link.h"
#include "platform/profile/profile.h"

namespace rvz::link {

namespace {

using desktop::Answer;
using desktop::ControlKind;

desktop::Control& place(desktop::Control& c, int left, int top, int width, int height, int tabOrder = 0) {
  c.bounds = {left, top, width, height};
  c.tabOrder = tabOrder;
  return c;
}

// An auto-sized label in the form's 12-pixel font: 12 pixels across a
// double-byte character, 6 across any other.
desktop::Control& label(desktop::Control& c, int left, int top) {
  int width = 0;
  for (size_t i = 0; i < c.text.size();) {
    unsigned char b = static_cast<unsigned char>(c.text[i]);
    size_t n = b < 0x80 ? 1 : b < 0xE0 ? 2 : b < 0xF0 ? 3 : 4;
    width += n == 1 ? 6 : 12;
    i += n;
  }
  return place(c, left, top, width, 12);
}

// The one dialog of the process at a time: its slot and the dialog's
// settings slot are shared by every caller. Lock order: after the
// connect-or-configure flow's lock.
std::mutex& dialogLock() {
  static std::mutex m;
  return m;
}

}  // namespace

TdlgLinkConfig::TdlgLinkConfig(desktop::Screen& screen)
    : screen_(screen), form_("dlgLinkConfig", "TdlgLinkConfig", "配置数据库"), qry1("qry1", &conn) {
  form_.width = 333;
  form_.height = 222;
  desktop::Window::Form& l = form_.form;
  l.centred = true;
  l.borderStyle = "dialog";
  l.borderIcons = {"systemMenu", "minimize"};
  l.fontName = "宋体";
  l.fontHeight = 12;
  l.charset = "GB2312";
  l.showHint = true;
  l.activeControl = "edServer";

  constexpr int kBoxLeft = 159, kBoxWidth = 141, kBoxHeight = 20;
  label(form_.add("lbServer", ControlKind::Label, "数据库服务器："), 38, 36);
  place(form_.add("edServer", ControlKind::Edit, "."), kBoxLeft, 28, kBoxWidth, kBoxHeight, 1);
  label(form_.add("lbUID", ControlKind::Label, "用户名："), 38, 67);
  place(form_.add("edUID", ControlKind::Edit, "sa"), kBoxLeft, 58, kBoxWidth, kBoxHeight, 2);
  label(form_.add("lbPWD", ControlKind::Label, "密码："), 38, 98);
  place(form_.add("edPWD", ControlKind::Edit), kBoxLeft, 90, kBoxWidth, kBoxHeight, 3).passwordChar = '*';
  label(form_.add("lbDBName", ControlKind::Label, "数据库名称："), 38, 129);
  desktop::Control& db =
      place(form_.add("edDBName", ControlKind::ComboBox, "Ravelmoor"), kBoxLeft, 121, kBoxWidth, kBoxHeight, 4);
  db.hint = "在这里输入连接数据库名";
  db.onDropDown = [this] { listDatabases(); };
  desktop::Control& test = label(form_.add("Label1", ControlKind::Label, "测试连接..."), 38, 160);
  test.underline = true;
  test.cursor = "hand";
  test.onClick = [this] { testLink(); };
  place(form_.add("btnOK", ControlKind::Button, "确定(&O)"), 75, 183, 88, 29, 5).modalResult = Answer::OK;
  place(form_.add("btnCancel", ControlKind::Button, "取消(&C)"), 183, 183, 88, 29, 6).modalResult = Answer::Cancel;
  desktop::Control& trust = place(form_.add("chbTrust", ControlKind::CheckBox, "使用信任连接"), 38, 5, 97, 17);
  trust.hint = "Win NT 信任连接\nWindow 9x 系统不能选择此方式";

  form_.onShow = [this] { formShow(); };
  form_.onCloseQuery = [this](Answer r) { return closeQuery(r); };

  for (data::Connection* c : {&conn, &conn_test}) {
    c->setLoginPrompt(false);
    c->setConnectTimeout(30);
  }
  qry1.setCommandText(std::string(kListDatabasesSql));
}

std::string TdlgLinkConfig::text(std::string_view control) const {
  return const_cast<desktop::Window&>(form_).control(control).currentText();
}

desktop::Answer TdlgLinkConfig::showModal(const std::string& settingsFile) {
  settingsFile_ = settingsFile;
  Answer r = screen_.showModal(form_);
  settingsFile_.clear();  // the dialog's settings slot is released when the form closes
  return r;
}

void TdlgLinkConfig::formShow() {
  if (!defaultDatabaseName.empty()) form_.control("edDBName").text = defaultDatabaseName;
  if (auto computer = profile::getComputerName()) {
    desktop::Control& server = form_.control("edServer");
    desktop::Control& user = form_.control("edUID");
    server.text = *computer;
    if (!settingsFile_.empty()) {
      server.text = profile::getPrivateProfileString(kLinkSection, "servername", server.text, settingsFile_);
      user.text = profile::getPrivateProfileString(kLinkSection, "userid", user.text, settingsFile_);
    }
  }
  desktop::Control& trust = form_.control("chbTrust");
  trust.visible = false;
  trust.checked = false;
  form_.form.charset = "GB2312";
}

std::string TdlgLinkConfig::BuildDialogConnectionString(bool useMaster) const {
  std::string server = text("edServer"), user = text("edUID"), password = text("edPWD");
  std::string database = useMaster ? std::string("master") : text("edDBName");
  std::string s = "Provider=SQLOLEDB.1;";
  if (!server.empty()) {
    requirePlainValue("server name", server);
    s += "Data Source=" + server + ";";
  }
  requirePlainValue("user name", user);
  s += "User ID=" + user + ";";
  if (!password.empty()) {
    requirePlainValue("password", password);
    s += "Password=" + password + ";";
  }
  requirePlainValue("database name", database);
  s += "Initial Catalog=" + database + ";";
  if (s.back() == ';') s.pop_back();
  return s;
}

std::string TdlgLinkConfig::BuildTestConnectionString() const {
  std::string server = text("edServer"), user = text("edUID"), password = text("edPWD"), database = text("edDBName");
  requirePlainValue("server name", server);
  requirePlainValue("user name", user);
  requirePlainValue("password", password);
  requirePlainValue("database name", database);
  std::string s = "Provider=SQLOLEDB.1;Data Source=" + server + ";User ID=" + user;
  if (!password.empty()) s += ";Password=" + password;
  s += ";Initial Catalog=" + database;
  return s;
}

void TdlgLinkConfig::listDatabases() {
  desktop::Control& list = form_.control("edDBName");
  list.items.clear();
  try {
    qry1.close();
    conn.close();
    conn.setLoginPrompt(false);
    conn.setKeepConnection(false);
    conn.setConnectionString(BuildDialogConnectionString(true));
    conn.open();
    qry1.close();
    qry1.open();
    for (qry1.first(); !qry1.eof(); qry1.next()) list.items.push_back(qry1.field("CATALOG_NAME").textUtf8());
  } catch (...) {
    // A failure leaves the list empty; the screen shows its text in the
    // host's error box.
    list.items.clear();
    qry1.close();
    conn.close();
    throw;
  }
}

void TdlgLinkConfig::testLink() {
  desktop::BoxRequest box;
  box.caption = "提示";
  try {
    conn_test.close();
    conn_test.setConnectionString(BuildDialogConnectionString(false));
    conn_test.open();
    box.text = std::string(kTestSucceeded);
    box.buttons = desktop::Buttons::OK;
    box.icon = desktop::BoxIcon::None;
  } catch (const std::exception&) {
    box.text = std::string(kTestFailed);
    box.buttons = desktop::Buttons::OK;
    box.icon = desktop::BoxIcon::Error;
  }
  screen_.messageBox(box);
}

bool TdlgLinkConfig::closeQuery(Answer result) {
  testConnectionString.clear();
  if (result != Answer::OK) return true;
  try {
    testConnectionString = BuildTestConnectionString();
    data::Connection probe;
    probe.setLoginPrompt(false);
    probe.setKeepConnection(false);
    probe.setConnectTimeout(kOkConnectTimeoutSeconds);
    probe.setConnectionString(testConnectionString);
    probe.open();
    return true;
  } catch (const std::exception& e) {
    screen_.showError(e.what());
    return false;
  }
}

std::string ShowLinkDialog(desktop::Screen& screen, const std::string& settingsFile,
                           std::string_view defaultDatabaseName) {
  std::lock_guard one(dialogLock());
  std::string result;
  TdlgLinkConfig dlg(screen);
  dlg.defaultDatabaseName = std::string(defaultDatabaseName);
  if (dlg.showModal(settingsFile) == Answer::OK) result = dlg.BuildDialogConnectionString(false);
  return result;
}

}  // namespace rvz::link
