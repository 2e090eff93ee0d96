// ConnectAct with a SQL Server account set, against a stand-in server
// registered as SQLOLEDB.1: the link settings decide Cn's string, a failed
// link gives -1 or is configured on the screen, and Cn's guard stays free
// while the operator is asked.
#include <gtest/gtest.h>

#include <future>
#include <nlohmann/json.hpp>

#include "../link/fake_sql_server.h"
#include "../platform/desktop/screen_test_support.h"
#include "link/password_scrambler.h"
#include "platform/profile/profile.h"
#include "service_test_support.h"

using namespace rvz;
using namespace rvz::services;
using namespace rvz::services::testing;
using json = nlohmann::json;

namespace {

class SqlServerAccountSet : public ServiceHome {
 protected:
  void SetUp() override {
    ServiceHome::SetUp();
    server_ = link::test_support::installFakeSqlServer();
    ini_ = (home_ / "RoVezevu.ini").string();
    desktop::ScreenOptions options;
    options.applicationTitle = "Qorvane进销存服务器";
    screen_ = main_.run([&] {
      return std::make_unique<desktop::Screen>([this](std::function<void()> t) { main_.post(std::move(t)); }, options);
    });
  }
  void TearDown() override {
    main_.run([&] { screen_.reset(); });
    ServiceHome::TearDown();
  }
  void set(const char* key, const std::string& value) {
    profile::writePrivateProfileString("Connection", key, value, ini_);
  }
  desktop::Reply act(desktop::Command c, std::vector<std::string> args = {}) {
    desktop::Request r;
    r.command = c;
    r.args = std::move(args);
    return screen_->handle(r);
  }
  json waitForBoxes(size_t n) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    json b = json::parse(act(desktop::Command::Boxes).text);
    while (b.size() != n && std::chrono::steady_clock::now() < deadline) {
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
      b = json::parse(act(desktop::Command::Boxes).text);
    }
    EXPECT_EQ(b.size(), n) << b.dump();
    return b;
  }

  std::shared_ptr<link::test_support::FakeServerState> server_;
  std::string ini_;
  desktop::test_support::MainThread main_;
  std::unique_ptr<desktop::Screen> screen_;
};

TEST_F(SqlServerAccountSet, TheLinkSettingsGiveCnItsStringAndOpenIt) {
  set("ServerName", ".");
  set("UserId", "sa");
  set("Password", link::ScramblePassword("right", link::kPasswordKey, true));
  TDatas d;
  EXPECT_EQ(d.ConnectAct(1, u"ignored", u"ignored", u"ignored", u"ignored"), 0);
  EXPECT_TRUE(d.Cn.isOpen());
  EXPECT_EQ(d.Cn.connectionString(),
            "Provider=SQLOLEDB.1;Data Source=.;User ID=sa;Password=right;Initial Catalog=DaZiva");
  EXPECT_EQ(d.companyDatabaseFile(), "");  // kept: no Access set was chosen
  // Open on the server: an Access set now is only recorded.
  EXPECT_EQ(d.ConnectAct(0, u"", u"Sample", u"", u""), 0);
  EXPECT_NE(d.Cn.connectionString().find("SQLOLEDB.1"), std::string::npos);
}

TEST_F(SqlServerAccountSet, AFailedLinkWithoutAnAnswerGivesMinusOneAndAnEmptyString) {
  set("UserId", "sa");
  set("Password", link::ScramblePassword("wrong", link::kPasswordKey, true));
  TDatas d;  // no screen: nobody to ask
  EXPECT_EQ(d.ConnectAct(1, u"", u"", u"", u""), -1);
  EXPECT_FALSE(d.Cn.isOpen());
  EXPECT_EQ(d.Cn.connectionString(), "");
  EXPECT_EQ(profile::getPrivateProfileString("Connection", "ServerName", "", ini_), ".");
}

TEST_F(SqlServerAccountSet, TheQuestionAndDialogWaitWithoutHoldingCn) {
  set("UserId", "sa");
  TDatas d;
  d.setScreen(screen_.get());
  auto call = std::async(std::launch::async, [&] { return d.ConnectAct(1, u"", u"", u"", u""); });
  waitForBoxes(1);
  // A borrower of Cn gets its turn while the question stands.
  auto borrower = std::async(std::launch::async, [&] { auto use = d.useCn(); });
  EXPECT_EQ(borrower.wait_for(std::chrono::seconds(20)), std::future_status::ready);
  EXPECT_TRUE(act(desktop::Command::Answer, {"Yes"}).ok);
  waitForBoxes(1);
  auto borrower2 = std::async(std::launch::async, [&] { auto use = d.useCn(); });
  EXPECT_EQ(borrower2.wait_for(std::chrono::seconds(20)), std::future_status::ready);
  EXPECT_TRUE(act(desktop::Command::Set, {"edPWD", "right"}).ok);
  EXPECT_TRUE(act(desktop::Command::Click, {"btnOK"}).ok);
  json b = waitForBoxes(1);
  EXPECT_EQ(b[0]["caption"], "信息");
  EXPECT_TRUE(act(desktop::Command::Answer, {"OK"}).ok);
  EXPECT_EQ(call.get(), 0);
  // The dialog's string replaces Cn's while Cn is closed; it opens later.
  EXPECT_EQ(d.Cn.connectionString(),
            "Provider=SQLOLEDB.1;Data Source=.;User ID=sa;Password=right;Initial Catalog=DaZiva");
  EXPECT_FALSE(d.Cn.isOpen());
  EXPECT_NO_THROW(d.Cn.open());
}

}  // namespace
