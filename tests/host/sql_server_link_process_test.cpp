// A SQL Server account set through a running server on the throwaway
// PostgreSQL cluster that RVZ_TEST_PG names (scripts/test starts it; the
// tests skip without it): RoVezevu.ini that connects, a missing one, a
// failing link answered No, and one configured on the screen until OK. The
// test logins are members of the cluster's password group (scripts/
// pg-cluster.sh), so a wrong password is refused as on a real server.
#include <arpa/inet.h>
#include <libpq-fe.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <future>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "catalogue/schema.h"
#include "link/password_scrambler.h"
#include "platform/data/connection.h"
#include "platform/data/connection_string.h"
#include "process_test_support.h"

namespace fs = std::filesystem;
using rvz::testing::freePort;
using rvz::testing::slurp;
using rvz::testing::waitFor;
using json = nlohmann::json;
using namespace std::chrono_literals;

namespace {

const fs::path kServer = RVZ_HOST_EXE;
const fs::path kQuib = RVZ_QUIB_EXE;

// The test cluster: host, port and the user that owns it.
struct Cluster {
  std::string host, port, user;
  std::string passwordGroup;  // logins in it must give their password; empty: every login is trusted
  bool read() {
    const char* cs = std::getenv("RVZ_TEST_PG");
    if (!cs || !*cs) return false;
    auto parsed = rvz::data::ConnectionString::parse(cs);
    std::string source = parsed.value("Data Source");
    auto comma = source.find(',');
    host = source.substr(0, comma);
    port = comma == std::string::npos ? "5432" : source.substr(comma + 1);
    user = parsed.value("User ID");
    const char* group = std::getenv("RVZ_TEST_PG_PASSWORD_GROUP");
    passwordGroup = group ? group : "";
    return true;
  }
  // PostgreSQL SQL past the provider, as the cluster's owner.
  void raw(const std::string& db, const std::string& sql) const {
    std::string info = "host=" + host + " port=" + port + " user=" + user + " dbname=" + db;
    PGconn* c = PQconnectdb(info.c_str());
    ASSERT_EQ(PQstatus(c), CONNECTION_OK) << PQerrorMessage(c);
    PQsetNoticeProcessor(
        c, [](void*, const char*) {}, nullptr);
    PGresult* r = PQexec(c, sql.c_str());
    EXPECT_TRUE(PQresultStatus(r) == PGRES_COMMAND_OK || PQresultStatus(r) == PGRES_TUPLES_OK)
        << sql << ": " << PQresultErrorMessage(r);
    PQclear(r);
    PQfinish(c);
  }
};

class SqlServerLinkProcess : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!cluster_.read()) GTEST_SKIP() << "RVZ_TEST_PG is not set: no test cluster";
    static std::atomic<int> serial{0};
    const std::string tag = std::to_string(::getpid()) + "_" + std::to_string(++serial);
    root_ = fs::temp_directory_path() / ("rvz-link-" + tag);
    fs::remove_all(root_);
    home_ = root_ / "home";
    fs::create_directories(home_ / "data");
    db_ = "rvz_link_" + tag;
    login_ = "rvz_link_u" + tag;
    cluster_.raw("postgres", "CREATE ROLE " + login_ + " LOGIN PASSWORD 'Secret-1'" +
                                 (cluster_.passwordGroup.empty() ? "" : " IN ROLE " + cluster_.passwordGroup));
    cluster_.raw("postgres", "CREATE DATABASE " + db_ + " OWNER " + login_);
    // The company schema through the provider, as the login that owns it.
    rvz::data::Connection cn("Provider=SQLOLEDB.1;Data Source=" + cluster_.host + "," + cluster_.port +
                             ";User ID=" + login_ + ";Password=Secret-1;Initial Catalog=" + db_);
    for (const auto& statement : rvz::catalogue::companySchemaStatements()) cn.execute(statement);
    cn.execute("insert into KH (ID, BH, MC) values (7, 'K007', '服务器客户')");
    cn.close();
    port_ = freePort();
  }
  void TearDown() override {
    if (server_ > 0) {
      ::kill(server_, SIGKILL);
      ::waitpid(server_, nullptr, 0);
    }
    if (!db_.empty()) {
      cluster_.raw("postgres", "DROP DATABASE IF EXISTS " + db_ + " WITH (FORCE)");
      cluster_.raw("postgres", "DROP ROLE IF EXISTS " + login_);
    }
    fs::remove_all(root_);
  }

  std::vector<std::string> env() const {
    return {"RVZ_HOME=" + home_.string(), "RVZ_ENDPOINT=127.0.0.1:" + std::to_string(port_),
            "RVZ_SCREEN_TIMEOUT=" + screenTimeout_, "RVZ_REGISTRY=" + (home_ / "registry.hive").string(),
            // Data Source "." is the local server as libpq finds it.
            "PGHOST=" + cluster_.host, "PGPORT=" + cluster_.port};
  }
  void startServer() {
    auto e = env();
    server_ = ::fork();
    if (server_ == 0) {
      for (auto& v : e) ::putenv(v.data());
      std::string log = (home_ / "server.log").string();
      freopen(log.c_str(), "w", stderr);
      ::execl(kServer.c_str(), kServer.c_str(), static_cast<char*>(nullptr));
      ::_exit(127);
    }
    ASSERT_TRUE(waitFor([&] { return quib("screen tray").find("visible") != std::string::npos; }));
  }
  std::string quib(const std::string& args, int limitSeconds = 60) {
    static std::atomic<int> n{0};
    fs::path out = root_ / ("quib" + std::to_string(++n) + ".out");
    std::string cmd;
    for (auto& v : env()) cmd += "'" + v + "' ";
    cmd = "env " + cmd + "timeout " + std::to_string(limitSeconds) + " " + kQuib.string() + " " + args + " > " +
          out.string() + " 2>&1";
    (void)std::system(cmd.c_str());
    return slurp(out);
  }
  std::string run(const std::string& steps) {
    fs::path p = root_ / "script.json";
    std::ofstream(p) << steps;
    return quib("run --decode " + p.string());
  }
  json boxes() {
    try {
      return json::parse(quib("screen boxes"));
    } catch (const std::exception&) {
      return json::array();
    }
  }
  // The value a control of the open dialog shows.
  std::string controlText(const std::string& name) {
    for (const auto& b : boxes())
      if (b["kind"] == "dialog")
        for (const auto& c : b["controls"])
          if (c["name"] == name) return c.value("text", "");
    return "<no " + name + ">";
  }
  // The dialog, alone on the screen, lists `database` in its drop-down.
  bool databaseListed(const std::string& database) {
    json b = boxes();
    if (b.size() != 1) return false;
    for (const auto& c : b[0]["controls"])
      if (c["name"] == "edDBName")
        for (const auto& item : c["items"])
          if (item == database) return true;
    return false;
  }
  // Neither password in the server's log, its activity log or any quib answer so far.
  void expectNoPasswordShown(const std::vector<std::string>& passwords) {
    std::string seen = slurp(home_ / "server.log") + quib("screen log");
    for (const auto& e : fs::directory_iterator(root_))
      if (e.path().extension() == ".out") seen += slurp(e.path());
    for (const auto& p : passwords) EXPECT_EQ(seen.find(p), std::string::npos) << p;
  }
  void ini(const std::string& text) { std::ofstream(home_ / "RoVezevu.ini", std::ios::binary) << text; }
  std::string iniText() { return slurp(home_ / "RoVezevu.ini"); }

  static constexpr const char* kConnectAndFetch =
      R"([{"create":"Quib.datas","as":"d"},
          {"call":"d","method":"ConnectAct","args":[1,"","","",""]},
          {"call":"d","method":"AS_GetRecords","args":["pKh",-1,null,1,"",null,null]}])";

  Cluster cluster_;
  fs::path root_, home_;
  std::string db_, login_;
  std::string screenTimeout_ = "3";
  int port_ = 0;
  pid_t server_ = -1;
};

TEST_F(SqlServerLinkProcess, SettingsThatConnectServeTheServerDatabase) {
  ini("[Connection]\r\nServerName=.\r\nDatabaseName=" + db_ + "\r\nUserId=" + login_ +
      "\r\nPassword=" + rvz::link::ScramblePassword("Secret-1", rvz::link::kPasswordKey, true) + "\r\n");
  startServer();
  std::string out = run(kConnectAndFetch);
  EXPECT_NE(out.find(R"("result":0)"), std::string::npos) << out;
  EXPECT_NE(out.find("服务器客户"), std::string::npos) << out;
  EXPECT_NE(quib("screen log").find("from (KH K left outer join DQ D"), std::string::npos);

  // A change applied through the server reaches the server database, and
  // its UPDATE shows in the activity log.
  out = run(R"([{"create":"Quib.datas","as":"d"},
    {"call":"d","method":"ConnectAct","args":[1,"","","",""]},
    {"call":"d","method":"AS_ApplyUpdates","args":["pKh",{"packet":{
      "columns":[{"name":"ID","fieldtype":"i4"},{"name":"BH","fieldtype":"string","WIDTH":12},
                 {"name":"MC","fieldtype":"string","WIDTH":20}],
      "rows":[{"status":"original","values":[7,"K007","服务器客户"]},
              {"status":"modified","values":[{"unchanged":true},{"unchanged":true},"改名客户"]}]}},0,null,null]},
    {"call":"d","method":"AS_GetRecords","args":["pKh",-1,null,1,"",null,null]}])");
  EXPECT_NE(out.find(R"({"ok":true,"result":null,"out":[0,null]})"), std::string::npos) << out;
  EXPECT_NE(out.find("改名客户"), std::string::npos) << out;
  const std::string log = quib("screen log");
  EXPECT_NE(log.find("update KH  set\r\n MC = ?"), std::string::npos) << log;
  expectNoPasswordShown({"Secret-1"});
}

TEST_F(SqlServerLinkProcess, WithoutSettingsTheOperatingSystemIdentityIsTriedAndNoMeansMinusOne) {
  startServer();  // no RoVezevu.ini: DaZiva as the cluster's own user, which has no such database
  std::string out =
      run(R"([{"create":"Quib.datas","as":"d"},{"call":"d","method":"ConnectAct","args":[1,"","","",""]}])");
  EXPECT_NE(out.find(R"("result":-1)"), std::string::npos) << out;  // the question timed out to No
  EXPECT_NE(iniText().find("ServerName=."), std::string::npos);
  EXPECT_EQ(fs::status(home_ / "RoVezevu.ini").permissions() & (fs::perms::group_all | fs::perms::others_all),
            fs::perms::none);
}

TEST_F(SqlServerLinkProcess, AFailingLinkIsConfiguredOnTheScreenUntilOkConnects) {
  screenTimeout_ = "120";
  ini("[Connection]\r\nServerName=.\r\nDatabaseName=" + db_ + "\r\nUserId=nobody_here\r\n");
  startServer();
  auto client = std::async(std::launch::async, [&] { return run(kConnectAndFetch); });
  ASSERT_TRUE(waitFor([&] {
    json b = boxes();
    return b.size() == 1 && b[0]["caption"] == "询问";
  }));
  quib("screen answer Yes");
  ASSERT_TRUE(waitFor([&] {
    json b = boxes();
    return b.size() == 1 && b[0]["kind"] == "dialog";
  }));
  // OK with the wrong login is refused with the provider's text.
  quib("screen click btnOK");
  ASSERT_TRUE(waitFor([&] { return boxes().size() == 2; }));
  EXPECT_EQ(boxes()[1]["caption"], "Qorvane进销存服务器");
  quib("screen answer OK");
  quib("screen set edUID " + login_);
  quib("screen set edPWD Secret-1");
  quib("screen dropdown edDBName");
  ASSERT_TRUE(waitFor([&] { return databaseListed(db_); }));
  quib("screen set edDBName " + db_);
  quib("screen click btnOK");
  ASSERT_TRUE(waitFor([&] {
    json b = boxes();
    return b.size() == 1 && b[0]["caption"] == "信息";
  }));
  quib("screen answer OK");
  std::string out = client.get();
  EXPECT_NE(out.find(R"("result":0)"), std::string::npos) << out;
  EXPECT_NE(out.find("服务器客户"), std::string::npos) << out;
  std::string stored = iniText();
  EXPECT_NE(stored.find("UserId=" + login_), std::string::npos);
  EXPECT_NE(stored.find("Auto Translate=0"), std::string::npos);
  EXPECT_EQ(stored.find("Secret-1"), std::string::npos);  // scrambled
}

// A wrong password in RoVezevu.ini: refused by the server, answered No it is
// -1; answered Yes, the operator types the right one, lists the databases,
// tests and confirms, and the client goes on with the server database.
TEST_F(SqlServerLinkProcess, AWrongPasswordIsAnsweredNoThenConfiguredOnTheScreen) {
  if (cluster_.passwordGroup.empty()) GTEST_SKIP() << "the test cluster trusts every login";
  screenTimeout_ = "120";
  const std::string wrong = "Wrong-9x";
  ini("[Connection]\r\nServerName=.\r\nDatabaseName=" + db_ + "\r\nUserId=" + login_ +
      "\r\nPassword=" + rvz::link::ScramblePassword(wrong, rvz::link::kPasswordKey, true) + "\r\n");
  startServer();
  auto question = [&] {
    json b = boxes();
    return b.size() == 1 && b[0]["caption"] == "询问";
  };

  auto refused = std::async(std::launch::async, [&] { return run(kConnectAndFetch); });
  ASSERT_TRUE(waitFor(question));
  quib("screen answer No");
  std::string out = refused.get();
  EXPECT_NE(out.find(R"("result":-1)"), std::string::npos) << out;

  auto client = std::async(std::launch::async, [&] { return run(kConnectAndFetch); });
  ASSERT_TRUE(waitFor(question));
  quib("screen answer Yes");
  ASSERT_TRUE(waitFor([&] {
    json b = boxes();
    return b.size() == 1 && b[0]["kind"] == "dialog";
  }));
  EXPECT_EQ(controlText("edServer"), ".");
  EXPECT_EQ(controlText("edUID"), login_);
  EXPECT_EQ(controlText("edPWD"), "");  // never taken from the settings
  // The wrong password typed again: OK is refused with the server's text,
  // which does not carry it.
  quib("screen set edPWD " + wrong);
  EXPECT_EQ(controlText("edPWD"), std::string(wrong.size(), '*'));
  quib("screen set edDBName " + db_);
  quib("screen click btnOK");
  ASSERT_TRUE(waitFor([&] { return boxes().size() == 2; }));
  json error = boxes()[1];
  EXPECT_NE(error["text"].get<std::string>().find("password authentication failed"), std::string::npos) << error;
  quib("screen answer OK");
  quib("screen set edPWD Secret-1");
  quib("screen dropdown edDBName");
  ASSERT_TRUE(waitFor([&] { return databaseListed(db_); }));
  quib("screen set edDBName " + db_);
  quib("screen click Label1");
  ASSERT_TRUE(waitFor([&] {
    json b = boxes();
    return b.size() == 2 && b[1]["caption"] == "提示";
  }));
  EXPECT_EQ(boxes()[1]["text"], "数据库连接成功！");
  quib("screen answer OK");
  quib("screen click btnOK");
  ASSERT_TRUE(waitFor([&] {
    json b = boxes();
    return b.size() == 1 && b[0]["caption"] == "信息";
  }));
  EXPECT_EQ(boxes()[0]["text"], "连接配置完成, 如果没有出现登录对话框, 请重新启动本系统!");
  quib("screen answer OK");
  out = client.get();
  EXPECT_NE(out.find(R"("result":0)"), std::string::npos) << out;
  EXPECT_NE(out.find("服务器客户"), std::string::npos) << out;

  // Stored scrambled: the file holds neither password, and its Password
  // value unscrambles to the right one.
  const std::string stored = iniText();
  EXPECT_EQ(stored.find("Secret-1"), std::string::npos);
  EXPECT_NE(stored.find("UserId=" + login_), std::string::npos);
  const auto at = stored.find("Password=");
  ASSERT_NE(at, std::string::npos) << stored;
  const auto end = stored.find_first_of("\r\n", at);
  EXPECT_EQ(rvz::link::ScramblePassword(stored.substr(at + 9, end - at - 9), rvz::link::kPasswordKey, false),
            "Secret-1");
  // The next client connects with what was stored, without asking.
  out = run(kConnectAndFetch);
  EXPECT_NE(out.find(R"("result":0)"), std::string::npos) << out;
  EXPECT_TRUE(boxes().empty());
  expectNoPasswordShown({"Secret-1", wrong});
}

TEST_F(SqlServerLinkProcess, CancelAfterAFailedOkStoresNothing) {
  screenTimeout_ = "120";
  ini("[Connection]\r\nServerName=.\r\nDatabaseName=" + db_ + "\r\nUserId=nobody_here\r\n");
  const std::string before = iniText();
  startServer();
  auto client = std::async(std::launch::async, [&] {
    return run(R"([{"create":"Quib.datas","as":"d"},{"call":"d","method":"ConnectAct","args":[1,"","","",""]}])");
  });
  ASSERT_TRUE(waitFor([&] { return boxes().size() == 1; }));
  quib("screen answer Yes");
  ASSERT_TRUE(waitFor([&] {
    json b = boxes();
    return b.size() == 1 && b[0]["kind"] == "dialog";
  }));
  quib("screen click btnOK");
  ASSERT_TRUE(waitFor([&] { return boxes().size() == 2; }));
  quib("screen answer OK");
  quib("screen click btnCancel");
  std::string out = client.get();
  EXPECT_NE(out.find(R"("result":-1)"), std::string::npos) << out;
  EXPECT_EQ(iniText(), before);
  EXPECT_TRUE(boxes().empty());
}

}  // namespace
