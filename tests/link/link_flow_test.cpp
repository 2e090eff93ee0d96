// The connect-or-configure flow and the link dialog on a headless screen,
// against a stand-in SQL Server: the strings built from the settings, the
// question, the dialog's controls and rules, what is stored, and two
// clients at once.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <future>
#include <nlohmann/json.hpp>
#include <sstream>

#include "../platform/desktop/screen_test_support.h"
#include "fake_sql_server.h"
#include "link/link_config.h"
#include "link/link_settings.h"
#include "link/password_scrambler.h"
#include "link/sql_server_link.h"
#include "platform/profile/profile.h"

namespace rvz::link {
namespace {

namespace fs = std::filesystem;
using desktop::Command;
using json = nlohmann::json;

class LinkFlowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    home_ = desktop::test_support::makeScratchFolder("rvz_link");
    file_ = (home_ / "RoVezevu.ini").string();
    server_ = test_support::installFakeSqlServer();
    desktop::ScreenOptions options;
    options.applicationTitle = "Qorvane进销存服务器";
    screen_ = main_.run([&] {
      return std::make_unique<desktop::Screen>([this](std::function<void()> t) { main_.post(std::move(t)); }, options);
    });
  }
  void TearDown() override {
    main_.run([&] { screen_.reset(); });
    fs::permissions(home_, fs::perms::owner_all, fs::perm_options::add);
    fs::remove_all(home_);
  }

  void put(const std::string& text) { std::ofstream(file_, std::ios::binary) << text; }
  std::string get(std::string_view key) { return profile::getPrivateProfileString("Connection", key, "<none>", file_); }

  desktop::Reply act(Command c, std::vector<std::string> args = {}) {
    desktop::Request r;
    r.command = c;
    r.args = std::move(args);
    return screen_->handle(r);
  }
  void ok(Command c, std::vector<std::string> args = {}) {
    desktop::Reply r = act(c, args);
    EXPECT_TRUE(r.ok) << r.text;
  }
  json boxes() { return json::parse(act(Command::Boxes).text); }
  // Boxes shown by other threads appear when those threads get there.
  json waitForBoxes(size_t n) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    json b = boxes();
    while (b.size() != n && std::chrono::steady_clock::now() < deadline) {
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
      b = boxes();
    }
    EXPECT_EQ(b.size(), n) << b.dump();
    return b;
  }
  std::map<std::string, json> controls(const json& dialog) {
    std::map<std::string, json> m;
    for (const auto& c : dialog["controls"]) m[c["name"]] = c;
    return m;
  }

  // The flow on a connection of its own thread.
  std::future<std::string> flow() {
    return std::async(std::launch::async, [this] {
      data::Connection cn;
      return OpenSqlServerLink(cn, file_, screen_.get());
    });
  }

  fs::path home_;
  std::string file_;
  std::shared_ptr<test_support::FakeServerState> server_;
  desktop::test_support::MainThread main_;
  std::unique_ptr<desktop::Screen> screen_;
};

TEST_F(LinkFlowTest, TheStringIsBuiltFromTheSettingsAndEmptyServersBecomeDot) {
  const std::string pw = ScramblePassword("pw", kPasswordKey, true);
  struct Case {
    std::optional<std::string> ini;  // nullopt: no file
    std::string built;
  };
  const Case cases[] = {
      {std::nullopt, "Provider=SQLOLEDB.1;Integrated Security=SSPI;Initial Catalog=DaZiva"},
      {"[Connection]\r\nServerName=\r\n", "Provider=SQLOLEDB.1;Integrated Security=SSPI;Initial Catalog=DaZiva"},
      {"[connection]\r\nservername=srv\r\nTrustConnect=0\r\nUserId=\r\n",
       "Provider=SQLOLEDB.1;Data Source=srv;Integrated Security=SSPI;Initial Catalog=DaZiva"},
      {"[Connection]\r\nTrustConnect=1\r\nUserId=sa\r\nPassword=" + pw + "\r\n",
       "Provider=SQLOLEDB.1;Integrated Security=SSPI;Initial Catalog=DaZiva"},
      {"[Connection]\r\nTrustConnect=0x1\r\nUserId=sa\r\n",
       "Provider=SQLOLEDB.1;Integrated Security=SSPI;Initial Catalog=DaZiva"},
      {"[Connection]\r\nTrustConnect=yes\r\nUserId=sa\r\n", "Provider=SQLOLEDB.1;User ID=sa;Initial Catalog=DaZiva"},
      {"[Connection]\r\nUserId=sa\r\nPassword=" + pw + "\r\nAuto Translate=0\r\n",
       "Provider=SQLOLEDB.1;User ID=sa;Password=pw;Initial Catalog=DaZiva;Auto Translate=False"},
      {"[Connection]\r\nUserId=sa\r\nAuto Translate=1\r\nDatabaseName=Ravelmoor\r\n",
       "Provider=SQLOLEDB.1;User ID=sa;Initial Catalog=Ravelmoor"},
      {"[Connection]\r\nAuto Translate=yes\r\nDatabaseName=\r\n",
       "Provider=SQLOLEDB.1;Integrated Security=SSPI;Initial Catalog="},
      // Not made by the scrambler: unscrambled all the same.
      {"[Connection]\r\nUserId=u\r\nPassword=0077\r\n",
       std::string("Provider=SQLOLEDB.1;User ID=u;Password=") + '\0' + ";Initial Catalog=DaZiva"},
  };
  for (const auto& c : cases) {
    fs::remove(file_);
    if (c.ini) put(*c.ini);
    std::vector<std::string> assigned;
    LinkConnection cn{[&](const std::string& s) { assigned.push_back(s); }, [] {}};
    EXPECT_EQ(OpenSqlServerLink(cn, file_, nullptr), c.built) << c.ini.value_or("no file");
    EXPECT_EQ(assigned, std::vector<std::string>{c.built});
    EXPECT_NE(get("ServerName"), "");  // "." written for an empty one
    if (!c.ini) {
      EXPECT_EQ(get("ServerName"), ".");
      EXPECT_EQ(fs::status(file_).permissions() & (fs::perms::group_all | fs::perms::others_all), fs::perms::none);
    }
  }
  EXPECT_TRUE(boxes().empty());
}

TEST_F(LinkFlowTest, AFailedOpenAsksAndNoGivesNothing) {
  std::vector<std::string> assigned;
  LinkConnection cn{[&](const std::string& s) { assigned.push_back(s); },
                    [] { throw std::runtime_error("Login failed for user 'sa'"); }};
  // Without a screen nobody can answer: as No.
  EXPECT_EQ(OpenSqlServerLink(cn, file_, nullptr), "");

  auto result = std::async(std::launch::async, [&] { return OpenSqlServerLink(cn, file_, screen_.get()); });
  json b = waitForBoxes(1);
  EXPECT_EQ(b[0]["kind"], "box");
  EXPECT_EQ(b[0]["caption"], "询问");
  EXPECT_EQ(b[0]["text"], "无法连接到数据库服务器, 是否进行数据连接配置? ");
  EXPECT_EQ(b[0]["buttons"], json::array({"Yes", "No"}));
  EXPECT_EQ(b[0]["default"], "No");
  EXPECT_EQ(b[0]["icon"], "question");
  ok(Command::Answer, {"No"});
  EXPECT_EQ(result.get(), "");
  EXPECT_TRUE(boxes().empty());
}

TEST_F(LinkFlowTest, AssignmentRefusedByAnOpenConnectionFailsTheFlow) {
  LinkConnection cn{
      [](const std::string&) { throw std::runtime_error("Operation is not allowed when the object is open"); }, [] {}};
  EXPECT_THROW(OpenSqlServerLink(cn, file_, screen_.get()), std::runtime_error);
  EXPECT_TRUE(boxes().empty());
}

TEST_F(LinkFlowTest, ConfiguredThroughTheDialogUntilOkConnects) {
  put("[Connection]\r\nServerName=.\r\nUserId=boss\r\nDatabaseName=Other\r\nPassword=" +
      ScramblePassword("old", kPasswordKey, true) + "\r\n");
  auto result = flow();
  waitForBoxes(1);
  ok(Command::Answer, {"Yes"});
  json b = waitForBoxes(1);
  ASSERT_EQ(b[0]["kind"], "dialog");
  EXPECT_EQ(b[0]["name"], "dlgLinkConfig");
  EXPECT_EQ(b[0]["class"], "TdlgLinkConfig");
  EXPECT_EQ(b[0]["caption"], "配置数据库");
  EXPECT_EQ(b[0]["width"], 333);
  EXPECT_EQ(b[0]["height"], 222);
  EXPECT_EQ(b[0]["form"], json::parse(R"({"position":"screenCenter",
      "borderStyle":"dialog","borderIcons":["systemMenu","minimize"],
      "font":{"name":"宋体","height":12,"charset":"GB2312"},"showHint":true,"activeControl":"edServer"})"));
  auto c = controls(b[0]);
  struct Expect {
    const char *name, *kind, *text;
    int left, top, width, height, tab;
  };
  const Expect expected[] = {
      {"lbServer", "label", "数据库服务器：", 38, 36, 84, 12, 0},  // labels size themselves to their text
      {"edServer", "edit", ".", 159, 28, 141, 20, 1},              // the stored server
      {"lbUID", "label", "用户名：", 38, 67, 48, 12, 0},
      {"edUID", "edit", "boss", 159, 58, 141, 20, 2},  // the stored user
      {"lbPWD", "label", "密码：", 38, 98, 36, 12, 0},
      {"edPWD", "edit", "", 159, 90, 141, 20, 3},  // never filled from the settings
      {"lbDBName", "label", "数据库名称：", 38, 129, 72, 12, 0},
      {"edDBName", "combobox", "DaZiva", 159, 121, 141, 20, 4},  // the caller's default
      {"Label1", "label", "测试连接...", 38, 160, 66, 12, 0},
      {"btnOK", "button", "确定(&O)", 75, 183, 88, 29, 5},
      {"btnCancel", "button", "取消(&C)", 183, 183, 88, 29, 6},
      {"chbTrust", "checkbox", "使用信任连接", 38, 5, 97, 17, 0},
  };
  ASSERT_EQ(c.size(), std::size(expected));
  for (const auto& e : expected) {
    const json& j = c[e.name];
    EXPECT_EQ(j["kind"], e.kind) << e.name;
    EXPECT_EQ(j["text"], e.text) << e.name;
    EXPECT_EQ(j["left"], e.left) << e.name;
    EXPECT_EQ(j["top"], e.top) << e.name;
    EXPECT_EQ(j["width"], e.width) << e.name;
    EXPECT_EQ(j["height"], e.height) << e.name;
    EXPECT_EQ(j.value("tabOrder", 0), e.tab) << e.name;
  }
  EXPECT_EQ(c["edDBName"]["hint"], "在这里输入连接数据库名");
  EXPECT_EQ(c["chbTrust"]["hint"], "Win NT 信任连接\nWindow 9x 系统不能选择此方式");
  EXPECT_EQ(c["chbTrust"]["visible"], false);
  EXPECT_EQ(c["Label1"]["underline"], true);
  EXPECT_EQ(c["Label1"]["cursor"], "hand");
  EXPECT_EQ(c["edPWD"]["password"], true);
  EXPECT_EQ(c["btnOK"]["result"], "OK");
  EXPECT_EQ(c["btnCancel"]["result"], "Cancel");

  // OK with the wrong password: refused, the failure in the error box.
  ok(Command::Set, {"edUID", "sa"});
  ok(Command::Set, {"edPWD", "wrong"});
  ok(Command::Click, {"btnOK"});
  b = waitForBoxes(2);
  EXPECT_EQ(b[1]["caption"], "Qorvane进销存服务器");
  EXPECT_EQ(b[1]["text"], "Login failed for user sa.");
  EXPECT_EQ(b[1]["icon"], "error");
  ok(Command::Answer, {"OK"});
  EXPECT_EQ(server_->timeouts.back(), kOkConnectTimeoutSeconds);

  // The list of databases comes from the server, through master.
  ok(Command::Set, {"edPWD", "right"});
  ok(Command::DropDown, {"edDBName"});
  c = controls(waitForBoxes(1)[0]);
  EXPECT_EQ(c["edDBName"]["items"], json::array({"DaZiva", "Ravelmoor"}));
  EXPECT_EQ(c["edPWD"]["text"], "*****");
  EXPECT_EQ(server_->connects.back(),
            "Provider=SQLOLEDB.1;Data Source=.;User ID=sa;Password=right;Initial Catalog=master");
  EXPECT_EQ(server_->commands.back(), "exec sp_catalogs_rowset;2 null");
  EXPECT_EQ(server_->timeouts.back(), 30);
  ok(Command::Set, {"edDBName", "Ravelmoor"});

  // The test link.
  ok(Command::Click, {"Label1"});
  b = waitForBoxes(2);
  EXPECT_EQ(b[1]["caption"], "提示");
  EXPECT_EQ(b[1]["text"], "数据库连接成功！");
  EXPECT_EQ(b[1]["icon"], "none");
  ok(Command::Answer, {"OK"});

  // OK connects now: the settings are stored and the notice shown.
  ok(Command::Click, {"btnOK"});
  b = waitForBoxes(1);
  EXPECT_EQ(b[0]["kind"], "box");
  EXPECT_EQ(b[0]["caption"], "信息");
  EXPECT_EQ(b[0]["text"], "连接配置完成, 如果没有出现登录对话框, 请重新启动本系统!");
  EXPECT_EQ(b[0]["icon"], "information");
  ok(Command::Answer, {"OK"});
  EXPECT_EQ(result.get(), "Provider=SQLOLEDB.1;Data Source=.;User ID=sa;Password=right;Initial Catalog=Ravelmoor");
  EXPECT_EQ(get("ServerName"), ".");
  EXPECT_EQ(get("DatabaseName"), "Ravelmoor");
  EXPECT_EQ(get("TrustConnect"), "0");
  EXPECT_EQ(get("Auto Translate"), "0");
  EXPECT_EQ(get("UserId"), "sa");
  std::string stored = get("Password");
  EXPECT_EQ(stored.size(), 2u + 2u * 5u);
  EXPECT_EQ(ScramblePassword(stored, kPasswordKey, false), "right");
  std::ifstream in(file_, std::ios::binary);
  std::stringstream raw;
  raw << in.rdbuf();
  EXPECT_EQ(raw.str().find("right"), std::string::npos);
}

TEST_F(LinkFlowTest, CancelAfterAFailedOkStoresNothing) {
  put("[Connection]\r\nServerName=srv9\r\nUserId=boss\r\n");
  auto result = flow();
  waitForBoxes(1);
  ok(Command::Answer, {"Yes"});
  json b = waitForBoxes(1);
  EXPECT_EQ(controls(b[0])["edServer"]["text"], "srv9");
  ok(Command::Click, {"btnOK"});  // srv9 cannot be reached
  b = waitForBoxes(2);
  EXPECT_EQ(b[1]["text"], "[DBNETLIB][ConnectionOpen (Connect()).]SQL Server does not exist or access denied.");
  ok(Command::Answer, {"OK"});
  // The test link fails too, with its own text.
  ok(Command::Click, {"Label1"});
  b = waitForBoxes(2);
  EXPECT_EQ(b[1]["caption"], "提示");
  EXPECT_EQ(b[1]["text"], "数据库连接错误！");
  EXPECT_EQ(b[1]["icon"], "error");
  ok(Command::Answer, {"OK"});
  // The list stays empty; the failure is shown.
  ok(Command::DropDown, {"edDBName"});
  b = waitForBoxes(2);
  EXPECT_EQ(b[1]["caption"], "Qorvane进销存服务器");
  ok(Command::Answer, {"OK"});
  EXPECT_EQ(controls(waitForBoxes(1)[0])["edDBName"]["items"], json::array());
  ok(Command::Click, {"btnCancel"});
  EXPECT_EQ(result.get(), "");
  EXPECT_TRUE(waitForBoxes(0).empty());  // no notice
  EXPECT_EQ(get("ServerName"), "srv9");
  EXPECT_EQ(get("UserId"), "boss");
  EXPECT_EQ(get("DatabaseName"), "<none>");
}

TEST_F(LinkFlowTest, EmptyServerAndPasswordBoxesInTheReturnedAndTestedStrings) {
  server_->password = "";
  TdlgLinkConfig dlg(*screen_);
  dlg.defaultDatabaseName = "DaZiva";
  auto shown = std::async(std::launch::async, [&] { return dlg.showModal(""); });
  waitForBoxes(1);
  ok(Command::Set, {"edServer", ""});
  ok(Command::Click, {"btnOK"});
  EXPECT_EQ(shown.get(), desktop::Answer::OK);
  EXPECT_EQ(dlg.testConnectionString, "Provider=SQLOLEDB.1;Data Source=;User ID=sa;Initial Catalog=DaZiva");
  EXPECT_EQ(dlg.BuildDialogConnectionString(false), "Provider=SQLOLEDB.1;User ID=sa;Initial Catalog=DaZiva");
  EXPECT_EQ(dlg.BuildDialogConnectionString(true), "Provider=SQLOLEDB.1;User ID=sa;Initial Catalog=master");
}

TEST_F(LinkFlowTest, SavingNeedsAnOpenFileAndADatabase) {
  const std::string trusted = "Provider=SQLOLEDB.1;Data Source=s;Integrated Security=SSPI;Initial Catalog=db";
  EXPECT_FALSE(SaveLinkSettings(trusted, "Connection"));  // no file open
  EXPECT_FALSE(fs::exists(file_));
  put("[Connection]\r\nUserId=keep\r\nPassword=ABCD\r\n");
  {
    OpenLinkSettings open(file_);
    EXPECT_FALSE(SaveLinkSettings("Provider=SQLOLEDB.1;Data Source=s;User ID=x", "Connection"));
    EXPECT_EQ(get("ServerName"), "<none>");
    EXPECT_TRUE(SaveLinkSettings(trusted, "Connection"));
    EXPECT_EQ(get("ServerName"), "s");
    EXPECT_EQ(get("TrustConnect"), "1");
    EXPECT_EQ(get("Auto Translate"), "0");
    EXPECT_EQ(get("UserId"), "keep");
    EXPECT_EQ(get("Password"), "ABCD");
    EXPECT_TRUE(SaveLinkSettings("Provider=SQLOLEDB.1;User ID=u;Initial Catalog=db", "Connection"));
    EXPECT_EQ(get("ServerName"), "");
    EXPECT_EQ(get("UserId"), "u");
    EXPECT_EQ(get("Password"), "");  // an empty password is stored empty
  }
  EXPECT_FALSE(SaveLinkSettings(trusted, "Connection"));  // released again
  // A file that cannot be written fails the save with its name.
  fs::permissions(file_, fs::perms::owner_read);
  OpenLinkSettings open(file_);
  try {
    SaveLinkSettings(trusted, "Connection");
    FAIL();
  } catch (const profile::ProfileError& e) {
    EXPECT_EQ(std::string(e.what()), "Unable to write to " + file_);
  }
}

TEST_F(LinkFlowTest, TwoClientsTakeTheirTurnsOneFlowAtATime) {
  std::mutex mu;
  std::vector<std::string> events;
  auto client = [&](std::string name) {
    return std::async(std::launch::async, [&, name] {
      LinkConnection cn{[&, name](const std::string&) {
                          std::lock_guard lk(mu);
                          events.push_back(name + " assign");
                        },
                        [] { throw std::runtime_error("no server"); }};
      return OpenSqlServerLink(cn, file_, screen_.get());
    });
  };
  auto a = client("a");
  waitForBoxes(1);
  auto b = client("b");
  // b waits for a's flow to end: one question at a time, and b has not
  // begun while a's question stands.
  json shown = boxes();
  EXPECT_EQ(shown.size(), 1u);
  {
    std::lock_guard lk(mu);
    EXPECT_EQ(events, std::vector<std::string>{"a assign"});
    events.push_back("a answered");
  }
  ok(Command::Answer, {"No"});
  EXPECT_EQ(a.get(), "");
  waitForBoxes(1);
  ok(Command::Answer, {"Yes"});
  waitForBoxes(1);
  ok(Command::Click, {"btnCancel"});
  EXPECT_EQ(b.get(), "");
  EXPECT_EQ(events, (std::vector<std::string>{"a assign", "a answered", "b assign"}));
}

}  // namespace
}  // namespace rvz::link
