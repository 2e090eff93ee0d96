// Starts real RoVezevu processes, each in a temporary home with its own
// port, and drives them through quib and the headless screen.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <sqlite3.h>

#include "platform/registry/hive.h"
#include "platform/remoting/type_library.h"
#include "process_test_support.h"
#include "services/quib_type_library.h"

namespace fs = std::filesystem;
using rvz::testing::freePort;
using rvz::testing::slurp;
using rvz::testing::waitFor;
using namespace std::chrono_literals;

namespace {

const fs::path kServer = RVZ_HOST_EXE;
const fs::path kQuib = RVZ_QUIB_EXE;

struct Proc {
  pid_t pid = -1;
  int status = -1;
  bool done = false;
  bool ended() {
    if (done) return true;
    if (::waitpid(pid, &status, WNOHANG) == pid) done = true;
    return done;
  }
  int exitCode() const { return WIFEXITED(status) ? WEXITSTATUS(status) : -1; }
};

class ServerProcess : public ::testing::Test {
 protected:
  void SetUp() override {
    root_ = fs::temp_directory_path() / ("rvz-host-" + std::to_string(::getpid()) + "-" +
                                         ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(root_);
    home_ = root_ / "home";
    fs::create_directories(home_);
    port_ = freePort();
  }
  void TearDown() override {
    for (auto& p : procs_)
      if (!p.ended()) {
        ::kill(p.pid, SIGKILL);
        ::waitpid(p.pid, &p.status, 0);
      }
    for (pid_t pid : serversOfThisHome()) ::kill(pid, SIGKILL);  // started by a client, not by us
    fs::remove_all(root_);
  }

  // Servers running on this test's home, whoever started them.
  std::vector<pid_t> serversOfThisHome() const {
    std::vector<pid_t> found;
    const std::string want = "RVZ_HOME=" + home_.string();
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator("/proc", ec)) {
      const std::string name = entry.path().filename().string();
      if (name.find_first_not_of("0123456789") != std::string::npos) continue;
      std::error_code e2;
      if (fs::read_symlink(entry.path() / "exe", e2) != fs::canonical(kServer)) continue;
      std::stringstream environ(slurp(entry.path() / "environ"));
      for (std::string var; std::getline(environ, var, '\0');)
        if (var == want) {
          found.push_back(std::stoi(name));
          break;
        }
    }
    return found;
  }

  std::vector<std::string> env(const fs::path& home) const {
    return {"RVZ_HOME=" + home.string(), "RVZ_ENDPOINT=127.0.0.1:" + std::to_string(port_), "RVZ_SCREEN_TIMEOUT=3",
            "RVZ_REGISTRY=" + (home / "registry.hive").string()};
  }

  Proc& start(const fs::path& exe, std::vector<std::string> args = {}, fs::path home = {}) {
    if (home.empty()) home = home_;
    auto e = env(home);
    e.insert(e.end(), extraEnv_.begin(), extraEnv_.end());
    pid_t pid = ::fork();
    if (pid == 0) {
      for (auto& v : e) ::putenv(v.data());
      std::string log = (home / ("server-" + std::to_string(::getpid()) + ".log")).string();
      freopen(log.c_str(), "w", stderr);
      std::vector<char*> argv{const_cast<char*>(exe.c_str())};
      for (auto& a : args) argv.push_back(a.data());
      argv.push_back(nullptr);
      ::execv(exe.c_str(), argv.data());
      ::_exit(127);
    }
    procs_.push_back({pid});
    return procs_.back();
  }

  // Runs quib with the server's environment, cut off after `limitSeconds`;
  // its standard output.
  std::string quib(const std::string& args, int* rc = nullptr, fs::path home = {}, int limitSeconds = 20) {
    if (home.empty()) home = home_;
    std::string cmd;
    for (auto& v : env(home)) cmd += v + " ";
    fs::path out = root_ / "quib.out";
    cmd +=
        "timeout " + std::to_string(limitSeconds) + " " + kQuib.string() + " " + args + " > " + out.string() + " 2>&1";
    int r = std::system(cmd.c_str());
    if (rc) *rc = WIFEXITED(r) ? WEXITSTATUS(r) : -1;
    return slurp(out);
  }

  std::string script(const std::string& name, const std::string& body) {
    fs::path p = root_ / name;
    std::ofstream(p) << body;
    return p.string();
  }

  // The sample home with that many rows per table, built by quib init.
  bool sampleHome(int rows) {
    int rc = 0;
    quib("init " + home_.string() + " --rows " + std::to_string(rows), &rc);
    return rc == 0;
  }

  bool serving(fs::path home = {}) {
    int rc = 0;
    quib("screen tray", &rc, home);
    return rc == 0;
  }

  bool waitServing(Proc& p, fs::path home = {}) {
    return waitFor([&] { return p.ended() || serving(home); }) && !p.ended();
  }

  bool waitEnded(Proc& p) {
    return waitFor([&] { return p.ended(); });
  }

  // Starts the server as systemd does for a socket unit: the listening
  // socket (bound to `address` and this test's port) as fd 3, LISTEN_FDS=1
  // and LISTEN_PID naming the server.
  Proc& startBySocket(const std::string& address) {
    int listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    ::inet_pton(AF_INET, address.c_str(), &a.sin_addr);
    a.sin_port = htons(static_cast<uint16_t>(port_));
    int one = 1;
    ::setsockopt(listener, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    EXPECT_EQ(::bind(listener, reinterpret_cast<sockaddr*>(&a), sizeof a), 0);
    EXPECT_EQ(::listen(listener, 16), 0);
    auto e = env(home_);
    pid_t pid = ::fork();
    if (pid == 0) {
      for (auto& v : e) ::putenv(v.data());
      if (listener != 3) ::dup2(listener, 3);
      ::fcntl(3, F_SETFD, 0);  // kept across exec
      std::string fds = "LISTEN_FDS=1", pidVar = "LISTEN_PID=" + std::to_string(::getpid());
      ::putenv(fds.data());
      ::putenv(pidVar.data());
      std::string log = (home_ / ("server-" + std::to_string(::getpid()) + ".log")).string();
      freopen(log.c_str(), "w", stderr);
      ::execl(kServer.c_str(), kServer.c_str(), static_cast<char*>(nullptr));
      ::_exit(127);
    }
    ::close(listener);
    procs_.push_back({pid});
    return procs_.back();
  }

  // The server's log of this process (its standard error).
  std::string serverLog(const Proc& p, fs::path home = {}) {
    if (home.empty()) home = home_;
    return slurp(home / ("server-" + std::to_string(p.pid) + ".log"));
  }

  fs::path root_, home_;
  int port_ = 0;
  std::vector<Proc> procs_;
  std::vector<std::string> extraEnv_;  // given to the servers started from now on
};

std::string clsidKey(const rvz::remoting::ClassDesc& c) { return "CLSID\\" + std::string(c.clsid); }

TEST_F(ServerProcess, RegisterRunWritesTheHiveAndUnregisterLeavesOnlyTheCategory) {
  auto& reg = start(kServer, {"/RegServer"});
  ASSERT_TRUE(waitEnded(reg));
  EXPECT_EQ(reg.exitCode(), 0);
  EXPECT_FALSE(fs::exists(home_ / ".screen.sock"));
  rvz::registry::Hive hive(home_ / "registry.hive");
  for (const auto* c : {&rvz::services::datasClass(), &rvz::services::datasBbClass()}) {
    const auto key = clsidKey(*c);
    EXPECT_EQ(hive.value(key, ""), std::string(c->doc));
    EXPECT_EQ(hive.value(key + "\\LocalServer32", ""), fs::canonical(kServer).string());
    EXPECT_EQ(hive.value(std::string(c->progId) + "\\Clsid", ""), std::string(c->clsid));
    EXPECT_EQ(hive.value(key + "\\ProgID", ""), std::string(c->progId));
    EXPECT_EQ(hive.value(key + "\\Version", ""), "1.0");
    EXPECT_EQ(hive.value("AppID\\" + std::string(c->clsid), ""), std::string(c->doc));
    EXPECT_EQ(hive.value(key, "AppID"), std::string(c->clsid));
    EXPECT_EQ(hive.value(key, "Sockets"), "1");
    EXPECT_EQ(hive.value(key, "Web"), "1");
    EXPECT_TRUE(hive.keyExists(key + "\\Implemented Categories\\{13E85B3C-9508-11D2-AB63-00C04FA35CFA}"));
  }
  const std::string once = slurp(home_ / "registry.hive");
  auto& again = start(kServer, {"-REGSERVER"});
  ASSERT_TRUE(waitEnded(again));
  EXPECT_EQ(slurp(home_ / "registry.hive"), once);

  auto& unreg = start(kServer, {"-unregserver"});
  ASSERT_TRUE(waitEnded(unreg));
  EXPECT_EQ(unreg.exitCode(), 0);
  EXPECT_EQ(hive.subkeys(""), std::vector<std::string>{"Component Categories"});
  EXPECT_EQ(hive.subkeys("Component Categories"), std::vector<std::string>{"{13E85B3C-9508-11D2-AB63-00C04FA35CFA}"});
}

TEST_F(ServerProcess, FetchThroughTheServerAppearsInTheActivityLog) {
  ASSERT_TRUE(sampleHome(3));
  int rc = 0;
  auto& p = start(kServer);
  ASSERT_TRUE(waitServing(p));
  auto out = quib("run " + script("fetch.json", R"([{"create":"Quib.datas","as":"d"},
    {"call":"d","method":"ConnectAct","args":[0,"","Sample","",""]},
    {"call":"d","method":"AS_GetRecords","args":["pKh",-1,null,0,"",null,null]},
    {"call":"d","method":"NoSuchMethod","args":[]}])"),
                  &rc);
  std::istringstream lines(out);
  std::string l1, l2, l3, l4;
  std::getline(lines, l1), std::getline(lines, l2), std::getline(lines, l3), std::getline(lines, l4);
  EXPECT_NE(l1.find("\"ok\":true"), std::string::npos) << out;
  EXPECT_NE(l2.find("\"ok\":true"), std::string::npos) << out;
  EXPECT_NE(l3.find("\"bytes\""), std::string::npos) << out;
  EXPECT_NE(l4.find("\"source\":\"Quib.datas\""), std::string::npos) << out;
  auto log = quib("screen log");
  EXPECT_NE(log.find("from (KH K"), std::string::npos) << log;
}

TEST_F(ServerProcess, CloseWithObjectsAsksAndNoKeepsServing) {
  auto& p = start(kServer);
  ASSERT_TRUE(waitServing(p));
  // A class lock counts as live although no object exists.
  std::string cmd;
  for (auto& v : env(home_)) cmd += v + " ";
  cmd += kQuib.string() + " run " +
         script("hold.json", R"([{"lock":"Quib.datas"},{"create":"Quib.datas","as":"d"},{"sleep":8}])") + " > " +
         (root_ / "hold.out").string() + " 2>&1 &";
  ASSERT_EQ(std::system(cmd.c_str()), 0);
  // Closing before the lock is held would end the server: wait for the client's first answer.
  ASSERT_TRUE(waitFor([&] { return slurp(root_ / "hold.out").find("\"ok\":true") != std::string::npos; }));
  quib("screen menu 关闭服务器");
  std::string boxes;
  ASSERT_TRUE(waitFor([&] {
    boxes = quib("screen boxes");
    return boxes.find("COM Server Warning") != std::string::npos;
  }));
  EXPECT_NE(boxes.find("There are still active COM objects"), std::string::npos) << boxes;
  quib("screen answer No");
  EXPECT_FALSE(p.ended());
  EXPECT_TRUE(serving());
  quib("screen menu 关闭服务器");
  ASSERT_TRUE(waitFor([&] { return quib("screen boxes").find("COM Server Warning") != std::string::npos; }));
  quib("screen answer Yes");
  ASSERT_TRUE(waitEnded(p));
  EXPECT_EQ(p.exitCode(), 0);
}

TEST_F(ServerProcess, CloseWithoutObjectsEndsAtOnce) {
  auto& p = start(kServer);
  ASSERT_TRUE(waitServing(p));
  quib("screen menu 关闭服务器");
  ASSERT_TRUE(waitEnded(p));
  EXPECT_EQ(p.exitCode(), 0);
}

TEST_F(ServerProcess, SigtermWithoutObjectsEndsOrderly) {
  auto& p = start(kServer);
  ASSERT_TRUE(waitServing(p));
  ::kill(p.pid, SIGTERM);
  ASSERT_TRUE(waitEnded(p));
  EXPECT_EQ(p.exitCode(), 0);
  EXPECT_FALSE(fs::exists(home_ / ".screen.sock"));
}

TEST_F(ServerProcess, PlatformStartEndsOnTheLastRelease) {
  auto& p = start(kServer, {"-Embedding"});
  ASSERT_TRUE(waitServing(p));
  int rc = 0;
  auto out = quib("run " + script("once.json", R"([{"create":"Quib.datas","as":"d"},{"release":"d"}])"), &rc);
  EXPECT_EQ(rc, 0) << out;
  ASSERT_TRUE(waitEnded(p));
  EXPECT_EQ(p.exitCode(), 0);
}

TEST_F(ServerProcess, AClientStartsTheRegisteredServerAgainAfterItsLastRelease) {
  auto& reg = start(kServer, {"-regserver"});
  ASSERT_TRUE(waitEnded(reg));
  ASSERT_EQ(reg.exitCode(), 0);
  ASSERT_TRUE(serversOfThisHome().empty());

  // No server runs: the client starts the registered one with -Embedding.
  int rc = 0;
  auto out = quib("run " + script("first.json", R"([{"create":"Quib.datas","as":"d"},{"release":"d"}])"), &rc);
  EXPECT_EQ(rc, 0) << out;
  EXPECT_EQ(out, "{\"ok\":true}\n{\"ok\":true}\n");
  // A platform start: the last release ends it.
  ASSERT_TRUE(waitFor([&] { return serversOfThisHome().empty(); })) << "the started server stayed";

  // The next request starts it again; an object held across a sleep keeps
  // that one serving until the client lets go.
  std::string second = script("second.json", R"([{"create":"Quib.datas","as":"d"},
      {"call":"d","method":"GetServerDate","args":[]},{"sleep":1.5}])");
  std::vector<pid_t> during;
  std::thread watcher([&] { waitFor([&] { return !(during = serversOfThisHome()).empty(); }); });
  out = quib("run " + second, &rc);
  watcher.join();
  EXPECT_EQ(rc, 0) << out;
  EXPECT_NE(out.find("{\"ok\":true,\"result\":\""), std::string::npos) << out;
  EXPECT_EQ(during.size(), 1u);
  EXPECT_TRUE(waitFor([&] { return serversOfThisHome().empty(); })) << "the second server stayed";
}

TEST_F(ServerProcess, WithoutARegisteredServerTheClientSaysItCannotConnect) {
  int rc = 0;
  auto out = quib("run " + script("none.json", R"([{"create":"Quib.datas","as":"d"}])"), &rc);
  EXPECT_EQ(rc, 3) << out;
  EXPECT_NE(out.find("Cannot open a session with 127.0.0.1:" + std::to_string(port_)), std::string::npos) << out;
  EXPECT_TRUE(serversOfThisHome().empty());
}

TEST_F(ServerProcess, UserStartStaysAfterTheLastRelease) {
  auto& p = start(kServer);
  ASSERT_TRUE(waitServing(p));
  int rc = 0;
  quib("run " + script("once.json", R"([{"create":"Quib.datas","as":"d"},{"release":"d"}])"), &rc);
  EXPECT_EQ(rc, 0);
  EXPECT_TRUE(serving());
  EXPECT_FALSE(p.ended());
}

TEST_F(ServerProcess, ASecondInstanceOfTheSameFileEndsTheFirst) {
  auto& first = start(kServer);
  ASSERT_TRUE(waitServing(first));
  port_ = freePort();
  auto& second = start(kServer);
  ASSERT_TRUE(waitEnded(procs_[0]));
  EXPECT_TRUE(waitServing(procs_[1]));
  (void)second;
}

TEST_F(ServerProcess, CopiesInDifferentFoldersLiveSideBySide) {
  fs::create_directories(root_ / "copy");
  const fs::path copy = root_ / "copy" / "RoVezevu";
  fs::copy_file(kServer, copy);
  auto& a = start(kServer);
  ASSERT_TRUE(waitServing(a));
  port_ = freePort();
  start(copy);
  EXPECT_TRUE(waitServing(procs_[1]));
  EXPECT_FALSE(procs_[0].ended());
}

TEST_F(ServerProcess, StartUpErrorEndsWithExitCodeOne) {
  auto& a = start(kServer);
  ASSERT_TRUE(waitServing(a));
  // Same port, another home: the second cannot listen and gives up.
  const fs::path other = root_ / "other";
  fs::create_directories(other);
  auto& b = start(kServer, {}, other);
  ASSERT_TRUE(waitEnded(b));
  EXPECT_EQ(b.exitCode(), 1);
  EXPECT_NE(slurp(other / ("server-" + std::to_string(b.pid) + ".log")).find("Cannot listen"), std::string::npos);
  EXPECT_FALSE(procs_[0].ended());
}

TEST_F(ServerProcess, AScreenWithoutATrayLeavesTheServerRunning) {
  ::setenv("RVZ_SCREEN_TRAY", "0", 1);
  auto& p = start(kServer);
  ::unsetenv("RVZ_SCREEN_TRAY");
  ASSERT_TRUE(waitFor([&] { return p.ended() || fs::exists(home_ / ".screen.sock"); }));
  int rc = 0;
  ASSERT_TRUE(waitFor([&] {
    quib("run " + script("one.json", R"([{"create":"Quib.datas","as":"d"},{"release":"d"}])"), &rc);
    return rc == 0 || p.ended();
  }));
  EXPECT_EQ(rc, 0);
  EXPECT_FALSE(p.ended());
  auto tray = quib("screen tray");
  EXPECT_EQ(tray.find("\"visible\": true"), std::string::npos) << tray;
}

TEST_F(ServerProcess, ThreeClientsThreeObjectsAndOneReleaseLeavesTheOthers) {
  ASSERT_TRUE(sampleHome(1));
  auto& p = start(kServer);
  ASSERT_TRUE(waitServing(p));
  const std::string connect = R"({"call":"d","method":"ConnectAct","args":[0,"","Sample","",""]})";
  const std::string fetch = R"({"call":"d","method":"AS_GetRecords","args":["pKh",-1,null,0,"",null,null]})";
  const std::string quitter =
      script("a.json", "[{\"create\":\"Quib.datas\",\"as\":\"d\"}," + connect + ",{\"release\":\"d\"}]");
  const std::string stayer =
      script("b.json", "[{\"create\":\"Quib.datas\",\"as\":\"d\"}," + connect + ",{\"sleep\":1.5}," + fetch + "]");
  std::string prefix;
  for (auto& v : env(home_)) prefix += v + " ";
  std::string cmd = "(";
  for (const auto& [file, out] : {std::pair{quitter, "a.out"}, {stayer, "b.out"}, {stayer, "c.out"}})
    cmd += prefix + "timeout 20 " + kQuib.string() + " run " + file + " > " + (root_ / out).string() + " 2>&1 & ";
  cmd += "wait)";
  ASSERT_EQ(std::system(cmd.c_str()), 0);
  for (const char* out : {"a.out", "b.out", "c.out"}) {
    const std::string text = slurp(root_ / out);
    EXPECT_EQ(text.find("\"ok\":false"), std::string::npos) << out << ": " << text;
  }
  EXPECT_NE(slurp(root_ / "b.out").find("\"bytes\""), std::string::npos);
  EXPECT_NE(slurp(root_ / "c.out").find("\"bytes\""), std::string::npos);
}

}  // namespace

TEST_F(ServerProcess, ServiceMethodsAndTheCommandWatchThroughTheServer) {
  ASSERT_TRUE(sampleHome(3));
  int rc = 0;
  auto& p = start(kServer);
  ASSERT_TRUE(waitServing(p));
  auto out = quib("run " + script("methods.json", R"([{"create":"Quib.datas","as":"d"},
    {"call":"d","method":"GetAccounts","args":[]},
    {"call":"d","method":"ConnectAct","args":[0,"","Sample","",""]},
    {"call":"d","method":"SetFilter","args":[["kh","ID = 1"]]},
    {"call":"d","method":"AS_GetRecords","args":["pKh",-1,null,1,"",null,null]},
    {"call":"d","method":"SetFilter","args":[["KH",""]]},
    {"call":"d","method":"GetTableNames","args":[]},
    {"call":"d","method":"AS_Execute","args":["pTmp","update GOODS",null,null]},
    {"call":"d","method":"BackupData","args":[""]},
    {"call":"d","method":"CompactDatabase","args":["",""]},
    {"call":"d","method":"GetServerDate","args":[]}])"),
                  &rc);
  ASSERT_EQ(rc, 0) << out;
  std::istringstream lines(out);
  std::vector<std::string> l;
  for (std::string s; std::getline(lines, s);) l.push_back(s);
  ASSERT_EQ(l.size(), 11u) << out;
  EXPECT_NE(l[1].find("\"result\":0"), std::string::npos) << l[1];  // an account set is registered
  EXPECT_NE(l[2].find("\"result\":0"), std::string::npos) << l[2];
  EXPECT_NE(l[3].find("\"ok\":true"), std::string::npos) << l[3];
  EXPECT_NE(l[4].find("\"out\":[1,"), std::string::npos) << l[4];  // the filter lets one customer through
  EXPECT_NE(l[6].find("|KH|"), std::string::npos) << l[6];
  EXPECT_NE(l[7].find("\"ok\":false"), std::string::npos) << l[7];  // refused by the watch
  EXPECT_NE(l[7].find("cancelled"), std::string::npos) << l[7];
  EXPECT_NE(l[8].find("\"result\":1"), std::string::npos) << l[8];
  EXPECT_NE(l[9].find("\"result\":1"), std::string::npos) << l[9];
  EXPECT_NE(l[10].find("\"ok\":true"), std::string::npos) << l[10];

  auto log = quib("screen log");
  EXPECT_NE(log.find("Not Execute: update GOODS"), std::string::npos) << log;
  EXPECT_NE(log.find("select * from KH"), std::string::npos) << log;  // the backup's dump
  bool backedUp = false;
  for (const auto& e : fs::directory_iterator(home_ / "drives" / "d" / "backup"))
    backedUp = backedUp || e.path().filename().string().find("_备份数据.txt") != std::string::npos;
  EXPECT_TRUE(backedUp);
  EXPECT_TRUE(fs::exists(home_ / "data" / "Sample" / "DaZiva.mdb"));
  EXPECT_FALSE(fs::exists(home_ / "data" / "Sample" / "db1.mdb"));
}

TEST_F(ServerProcess, ServiceMethodFailuresThroughTheServer) {
  // A home without an account registry or company database.
  auto& p = start(kServer);
  ASSERT_TRUE(waitServing(p));
  int rc = 0;
  auto out = quib("run " + script("fail.json", R"([{"create":"Quib.datas","as":"d"},
    {"call":"d","method":"GetAccounts","args":[]},
    {"call":"d","method":"ConnectAct","args":[0,"","Nowhere","",""]},
    {"call":"d","method":"AS_GetRecords","args":["pKh",-1,null,1,"",null,null]},
    {"call":"d","method":"SetFilter","args":["not an array"]},
    {"call":"d","method":"ConnectAct","args":[1,"srv","db","sa",""]},
    {"call":"d","method":"CompactDatabase","args":["",""]},
    {"call":"d","method":"GetServerDateTime","args":[]}])"),
                  &rc);
  ASSERT_EQ(rc, 0) << out;
  std::istringstream lines(out);
  std::vector<std::string> l;
  for (std::string s; std::getline(lines, s);) l.push_back(s);
  ASSERT_EQ(l.size(), 8u) << out;
  EXPECT_NE(l[1].find("\"result\":-1"), std::string::npos) << l[1];  // absorbed: no registry
  EXPECT_NE(l[2].find("\"result\":0"), std::string::npos) << l[2];   // not checked until the first open
  EXPECT_NE(l[3].find("\"ok\":false"), std::string::npos) << l[3];
  EXPECT_NE(l[3].find("DaZiva.mdb"), std::string::npos) << l[3];
  EXPECT_NE(l[4].find("\"ok\":false"), std::string::npos) << l[4];
  // No link settings and no server to reach: the link fails, and no operator answers its question.
  EXPECT_NE(l[5].find("\"result\":-1"), std::string::npos) << l[5];
  EXPECT_NE(l[6].find("\"ok\":false"), std::string::npos) << l[6];
  EXPECT_NE(l[7].find("\"ok\":true"), std::string::npos) << l[7];  // the object stays usable
}

TEST_F(ServerProcess, TheActivityLogShowsEveryCommandNewestFirst) {
  ASSERT_TRUE(sampleHome(3));
  int rc = 0;
  auto& p = start(kServer);
  ASSERT_TRUE(waitServing(p));
  auto out = quib("run " + script("log.json", R"([{"create":"Quib.datas","as":"d"},
    {"call":"d","method":"ConnectAct","args":[0,"","Sample","",""]},
    {"call":"d","method":"AS_Execute","args":["pTmp","delete from AppLog where uName = 'A'",null,null]},
    {"call":"d","method":"AS_Execute","args":["pTmp","update ASSETS",null,null]},
    {"call":"d","method":"AS_Execute","args":["pTmp"," UPDATE GOODS",null,null]},
    {"call":"d","method":"AS_Execute","args":["pTmp","update goods set x = 1",null,null]},
    {"call":"d","method":"AS_Execute","args":["pTmp","update GOODS",null,null]}])"),
                  &rc);
  ASSERT_EQ(rc, 0) << out;
  auto log = quib("screen log");
  // Newest first, each entry followed by a blank line; the refused one
  // marked, the ones let through as they came (they fail in the database).
  EXPECT_EQ(log.rfind("Not Execute: update GOODS\r\n\r\nupdate goods set x = 1\r\n\r\n UPDATE GOODS\r\n\r\n"
                      "update ASSETS\r\n\r\ndelete from AppLog where uName = 'A'\r\n\r\n",
                      0),
            0u)
      << log;
}

namespace {

// The window's JSON from `quib screen windows`, and one control's.
nlohmann::json mainWindowOf(const std::string& windows) {
  auto list = nlohmann::json::parse(windows, nullptr, false);
  if (!list.is_array()) return {};
  for (const auto& w : list)
    if (w.value("name", "") == "frmMains") return w;
  return {};
}

nlohmann::json controlOf(const nlohmann::json& window, const std::string& name) {
  for (const auto& c : window.value("controls", nlohmann::json::array()))
    if (c.value("name", "") == name) return c;
  return {};
}

}  // namespace

TEST_F(ServerProcess, TheMainWindowsControlsWorkThroughTheScreen) {
  ASSERT_TRUE(sampleHome(1));
  int rc = 0;
  auto& p = start(kServer);
  ASSERT_TRUE(waitServing(p));

  auto w = mainWindowOf(quib("screen windows"));
  ASSERT_FALSE(w.is_null());
  EXPECT_EQ(w["class"], "TfrmMains");
  EXPECT_EQ(w["visible"], false);  // never shown
  EXPECT_EQ(w["stayOnTop"], false);
  EXPECT_EQ(controlOf(w, "CheckBox1")["text"], "置顶");
  EXPECT_EQ(controlOf(w, "SpeedButton1")["text"], "删除");
  EXPECT_EQ(controlOf(w, "SpeedButton2")["text"], "其他消息");
  EXPECT_EQ(controlOf(w, "Panel2")["visible"], false);
  for (const char* c : {"Panel1", "Memo1", "Memo2"}) EXPECT_FALSE(controlOf(w, c).is_null()) << c;

  // A hidden window is worked only when the request names it.
  auto refused = quib("screen click SpeedButton2", &rc);
  EXPECT_NE(rc, 0) << refused;

  quib("screen --window frmMains click CheckBox1", &rc);
  EXPECT_EQ(rc, 0);
  w = mainWindowOf(quib("screen windows"));
  EXPECT_EQ(w["stayOnTop"], true);
  EXPECT_EQ(controlOf(w, "CheckBox1")["checked"], true);
  quib("screen --window frmMains click CheckBox1");
  EXPECT_EQ(mainWindowOf(quib("screen windows"))["stayOnTop"], false);

  quib("screen --window frmMains click SpeedButton2");
  EXPECT_EQ(controlOf(mainWindowOf(quib("screen windows")), "Panel2")["visible"], true);
  quib("screen --window frmMains click SpeedButton2");
  EXPECT_EQ(controlOf(mainWindowOf(quib("screen windows")), "Panel2")["visible"], false);

  quib("run " + script("fetch.json", R"([{"create":"Quib.datas","as":"d"},
    {"call":"d","method":"ConnectAct","args":[0,"","Sample","",""]},
    {"call":"d","method":"AS_GetRecords","args":["pKh",-1,null,0,"",null,null]}])"));
  EXPECT_NE(quib("screen log").find("select"), std::string::npos);
  quib("screen --window frmMains click SpeedButton1", &rc);
  EXPECT_EQ(rc, 0);
  EXPECT_EQ(quib("screen log"), "");
  EXPECT_FALSE(p.ended());
}

TEST_F(ServerProcess, TheLogKeepsItsFirst10240CharactersAndLosesNoConcurrentEntry) {
  ASSERT_TRUE(sampleHome(1));
  auto& p = start(kServer);
  ASSERT_TRUE(waitServing(p));

  // Two clients, each on its own object thread, send at once.
  auto sender = [&](const std::string& who) {
    std::string steps =
        R"([{"create":"Quib.datas","as":"d"},{"call":"d","method":"ConnectAct","args":[0,"","Sample","",""]})";
    for (int i = 0; i < 20; ++i)
      steps += ",{\"call\":\"d\",\"method\":\"AS_Execute\",\"args\":[\"pTmp\",\"delete from AppLog where uName = '" +
               who + "-" + std::to_string(i) + "'\",null,null]}";
    return script(who + ".json", steps + "]");
  };
  std::string prefix;
  for (auto& v : env(home_)) prefix += v + " ";
  std::string cmd = "(";
  for (const char* who : {"a", "b"})
    cmd += prefix + "timeout 20 " + kQuib.string() + " run " + sender(who) + " > " + (root_ / who).string() +
           ".out 2>&1 & ";
  ASSERT_EQ(std::system((cmd + "wait)").c_str()), 0);
  const std::string log = quib("screen log");
  for (const char* who : {"a", "b"}) {
    size_t last = 0;
    for (int i = 19; i >= 0; --i) {  // newest first
      const std::string entry =
          "delete from AppLog where uName = '" + std::string(who) + "-" + std::to_string(i) + "'\r\n\r\n";
      size_t at = log.find(entry);
      ASSERT_NE(at, std::string::npos) << entry << " missing from\n" << log;
      EXPECT_GE(at, last) << entry;
      last = at;
    }
  }

  // A long command cuts an older one in the middle; one longer than the
  // limit keeps only its own start.
  std::string longer = "delete from AppLog where uName = 'x'";
  while (longer.size() < 10000) longer += " or uName = 'x'";
  quib("run " + script("long.json", R"([{"create":"Quib.datas","as":"d"},
    {"call":"d","method":"ConnectAct","args":[0,"","Sample","",""]},
    {"call":"d","method":"AS_Execute","args":["pTmp",")" +
                                        longer + R"(",null,null]}])"));
  std::string cut = quib("screen log");
  ASSERT_EQ(cut.size(), 10240u);
  EXPECT_EQ(cut.substr(0, longer.size() + 4), longer + "\r\n\r\n");
  EXPECT_EQ(cut.substr(longer.size() + 4), log.substr(0, 10240 - longer.size() - 4));

  std::string huge = longer;
  while (huge.size() < 12000) huge += " or uName = 'y'";
  quib("run " + script("huge.json", R"([{"create":"Quib.datas","as":"d"},
    {"call":"d","method":"ConnectAct","args":[0,"","Sample","",""]},
    {"call":"d","method":"AS_Execute","args":["pTmp",")" +
                                        huge + R"(",null,null]}])"));
  EXPECT_EQ(quib("screen log"), huge.substr(0, 10240));
  EXPECT_FALSE(p.ended());
}

TEST_F(ServerProcess, ADeltaAppliedThroughTheServerIsLoggedWithItsMarkers) {
  ASSERT_TRUE(sampleHome(1));
  int rc = 0;
  auto& p = start(kServer);
  ASSERT_TRUE(waitServing(p));
  auto out = quib("run --decode " + script("apply.json", R"([{"create":"Quib.datas","as":"d"},
    {"call":"d","method":"ConnectAct","args":[0,"","Sample","",""]},
    {"call":"d","method":"AS_ApplyUpdates","args":["pAppLog",{"packet":{
      "columns":[{"name":"uName","fieldtype":"string","WIDTH":20},{"name":"cName","fieldtype":"string","WIDTH":20},
                 {"name":"CZ","fieldtype":"string","WIDTH":30},{"name":"RQ","fieldtype":"date"},
                 {"name":"SJ","fieldtype":"string","WIDTH":5}],
      "rows":[{"status":"inserted","values":["操作员","单据","新增",{"date":"2008-08-30"},"12:00"]}]}},-1,null,null]},
    {"call":"d","method":"AS_GetRecords","args":["pAppLog",-1,null,1,"",null,null]}])"),
                  &rc);
  ASSERT_EQ(rc, 0) << out;
  EXPECT_NE(out.find(R"({"ok":true,"result":null,"out":[0,null]})"), std::string::npos) << out;  // no error
  // The fetch after it shows the row, decoded.
  EXPECT_NE(
      out.find(R"({"status":"original","values":["操作员","单据","新增",{"date":"2008-08-30T00:00:00"},"12:00"]})"),
      std::string::npos)
      << out;
  EXPECT_EQ(quib("screen log")
                .find("select * from AppLog order by RQ desc,uName,SJ\r\n\r\n\r\n"
                      "insert into AppLog\r\n  (uName, cName, CZ, RQ, SJ)\r\nvalues\r\n  (?, ?, ?, ?, ?)\r\n\r\n\r\n"),
            0u)
      << quib("screen log");
}

TEST_F(ServerProcess, AggregationIsRefusedAndAKilledClientsObjectsAreReleased) {
  auto& p = start(kServer, {"-Embedding"});
  ASSERT_TRUE(waitServing(p));
  int rc = 0;
  auto out = quib("run " + script("outer.json", R"([{"create":"Quib.datas","as":"d","outer":true}])"), &rc);
  EXPECT_EQ(out.rfind("{\"ok\":false,\"hresult\":\"0x80040110\"", 0), 0u) << out;
  // The request's own lock on the class was the only reference: its release
  // is the last one, and a platform start ends with it.
  ASSERT_TRUE(waitEnded(p));
  EXPECT_EQ(p.exitCode(), 0);

  // A client killed while it holds an object: its reference is released on
  // its behalf, and that last release ends the server.
  auto& q = start(kServer, {"-Embedding"});
  ASSERT_TRUE(waitServing(q));
  std::string cmd;
  for (auto& v : env(home_)) cmd += v + " ";
  const fs::path hold = root_ / "hold.out";
  cmd += kQuib.string() + " run " + script("hold.json", R"([{"create":"Quib.datas","as":"d"},{"sleep":60}])") + " > " +
         hold.string() + " 2>&1 & echo $! > " + (root_ / "quib.pid").string();
  ASSERT_EQ(std::system(cmd.c_str()), 0);
  ASSERT_TRUE(waitFor([&] { return slurp(hold).find("\"ok\":true") != std::string::npos; }));
  EXPECT_FALSE(q.ended());
  ::kill(std::stoi(slurp(root_ / "quib.pid")), SIGKILL);
  EXPECT_TRUE(waitFor([&] { return q.ended(); }, 15s)) << "the killed client's object was not released";
}

// A live client that makes no call for a minute keeps its session: its
// connection answers the server's keep-alive pings meanwhile, and the
// object it holds keeps a platform-started server running.
TEST_F(ServerProcess, AnIdleClientKeepsItsObjectsForAMinute) {
  auto& p = start(kServer, {"-Embedding"});
  ASSERT_TRUE(waitServing(p));
  int rc = 0;
  auto out = quib("run " + script("idle.json", R"([{"create":"Quib.datas","as":"d"},{"sleep":60},
      {"call":"d","method":"GetServerDate","args":[]},{"release":"d"}])"),
                  &rc, {}, 90);
  EXPECT_EQ(rc, 0) << out;
  EXPECT_EQ(out.rfind("{\"ok\":true}\n{\"ok\":true}\n{\"ok\":true,\"result\":\"", 0), 0u) << out;
  EXPECT_FALSE(p.ended() && p.exitCode() != 0);
  // Its release was the last one: the server it kept running ends now.
  EXPECT_TRUE(waitEnded(p));
}

// The report service through the server: a report object created before
// any data service object, two clients, and an owner released and created
// again.
namespace {

// One JSON answer per line.
std::vector<nlohmann::json> answers(const std::string& out) {
  std::vector<nlohmann::json> all;
  std::istringstream lines(out);
  for (std::string line; std::getline(lines, line);)
    if (!line.empty()) all.push_back(nlohmann::json::parse(line, nullptr, false));
  return all;
}

std::string reportFetch(const std::string& object, const std::string& provider, const std::string& sql) {
  return R"({"call":")" + object + R"(","method":"AS_GetRecords","args":[")" + provider + R"(",-1,null,1,")" + sql +
         R"(",null,null]})";
}

constexpr const char* kSalesByCustomer =
    "select K.MC, sum(M.SL*M.DJ) as JE from XSKDZB Z, XSKD M, KH K where M.ZBID=Z.ID and Z.KHID=K.ID "
    "and Z.RQ between #2000-01-01# and #2037-12-31# group by K.MC order by K.MC";
constexpr const char* kStockByWarehouse =
    "select C.MC, sum(K.JCS) as SL from HPKC K, CK C where K.CKID=C.ID group by C.MC";
constexpr const char* kReceivablesAgeing =
    "select K.MC, sum(iif(DateDiff('d', Z.RQ, Date()) <= 30, Z.JE, 0)) as D30, "
    "sum(iif(DateDiff('d', Z.RQ, Date()) > 30, Z.JE, 0)) as Older from XSKDZB Z, KH K where Z.KHID=K.ID group by K.MC";
const std::string kMissing = "Missing Connection or ConnectionString";

}  // namespace

TEST_F(ServerProcess, AReportObjectWaitsForTheDataServiceAndItsCommandsAreLogged) {
  ASSERT_TRUE(sampleHome(3));
  auto& p = start(kServer);
  ASSERT_TRUE(waitServing(p));
  auto out =
      quib("run --decode " + script("wait.json",
                                    "["
                                    R"({"create":"Quib.DatasBb","as":"b"},)" +
                                        reportFetch("b", "pKhXsHz", kSalesByCustomer) + "," +
                                        R"({"create":"Quib.datas","as":"d"},)"
                                        R"({"call":"d","method":"ConnectAct","args":[0,"","Sample","",""]},)" +
                                        reportFetch("b", "pKhXsHz", kSalesByCustomer) + "," +
                                        reportFetch("b", "pCkkcHz", kStockByWarehouse) + "," +
                                        reportFetch("b", "pYskZlfx", kReceivablesAgeing) + "," +
                                        R"({"call":"b","method":"AS_Execute","args":["pBbPub","update KH",null,null]},)"
                                        R"({"call":"b","method":"NoSuchMethod","args":[]}])"));
  auto a = answers(out);
  ASSERT_EQ(a.size(), 9u) << out;
  EXPECT_EQ(a[1]["ok"], false) << out;
  EXPECT_EQ(a[1]["source"], "Quib.DatasBb");
  EXPECT_EQ(a[1]["description"], "KhXsHz: " + kMissing);
  for (int i : {4, 5, 6}) {
    ASSERT_EQ(a[i]["ok"], true) << a[i];
    EXPECT_FALSE(a[i]["result"]["packet"]["rows"].empty()) << a[i];
  }
  EXPECT_EQ(a[4]["result"]["packet"]["columns"].size(), 2u);
  EXPECT_EQ(a[6]["result"]["packet"]["columns"].size(), 3u);
  EXPECT_EQ(a[7]["ok"], false);
  EXPECT_EQ(a[7]["source"], "Quib.DatasBb");
  EXPECT_EQ(a[8]["source"], "Quib.DatasBb");

  const std::string log = quib("screen log");
  EXPECT_EQ(log.find(kSalesByCustomer), log.rfind(kSalesByCustomer)) << "the waiting fetch sent nothing: " << log;
  for (const char* sent : {kSalesByCustomer, kStockByWarehouse, kReceivablesAgeing, "Not Execute: update KH"})
    EXPECT_NE(log.find(sent), std::string::npos) << sent << " missing from " << log;
}

TEST_F(ServerProcess, ReportsOfTwoClientsReadThroughTheObjectNamedDatas) {
  ASSERT_TRUE(sampleHome(1));
  auto& p = start(kServer);
  ASSERT_TRUE(waitServing(p));
  // The first client's data service is "Datas" on the sample; the second's
  // is Datas_1 on an account set that does not exist, which would fail any
  // fetch through it. The first holds its objects while the second works,
  // with a call now and then that keeps its session alive.
  const std::string kHold = R"({"sleep":2},{"call":"b","method":"AS_GetProviderNames","args":[]})";
  const std::string first = script(
      "a.json", R"([{"create":"Quib.datas","as":"d"},{"call":"d","method":"ConnectAct","args":[0,"","Sample","",""]},)"
                R"({"create":"Quib.DatasBb","as":"b"},)" +
                    kHold + "," + kHold + "," + kHold + "," + reportFetch("b", "pCkkcHz", kStockByWarehouse) + "]");
  const std::string second = script("b.json", R"([{"create":"Quib.datas","as":"d"},)"
                                              R"({"call":"d","method":"ConnectAct","args":[0,"","Nowhere","",""]},)"
                                              R"({"create":"Quib.DatasBb","as":"b"},)" +
                                                  reportFetch("b", "pCkkcHz", kStockByWarehouse) + "]");
  std::string cmd;
  for (auto& v : env(home_)) cmd += v + " ";
  const fs::path aOut = root_ / "a.out";
  cmd += "timeout 30 " + kQuib.string() + " run " + first + " > " + aOut.string() + " 2>&1 &";
  ASSERT_EQ(std::system(cmd.c_str()), 0);
  ASSERT_TRUE(waitFor([&] { return answers(slurp(aOut)).size() >= 3; })) << slurp(aOut);
  const std::string b = quib("run " + second);
  ASSERT_TRUE(waitFor([&] { return answers(slurp(aOut)).size() >= 10; }, 30s)) << slurp(aOut);
  for (const std::string& text : {slurp(aOut), b}) {
    EXPECT_EQ(text.find("\"ok\":false"), std::string::npos) << text;
    EXPECT_NE(text.find("\"bytes\""), std::string::npos) << text;
  }
}

TEST_F(ServerProcess, AReleasedOwnerLeavesOldReportsWithoutAConnectionAndNewOnesBindToItsSuccessor) {
  ASSERT_TRUE(sampleHome(1));
  auto& p = start(kServer);
  ASSERT_TRUE(waitServing(p));
  auto out =
      quib("run " +
           script("again.json",
                  R"([{"create":"Quib.datas","as":"d"},{"create":"Quib.DatasBb","as":"old"},)" +
                      reportFetch("old", "pCkkcHz", kStockByWarehouse) + R"(,{"release":"d"},)" +
                      reportFetch("old", "pCkkcHz", kStockByWarehouse) + R"(,{"create":"Quib.datas","as":"d2"},)" +
                      reportFetch("old", "pCkkcHz", kStockByWarehouse) + R"(,{"create":"Quib.DatasBb","as":"fresh"},)" +
                      reportFetch("fresh", "pCkkcHz", kStockByWarehouse) + "]"));
  auto a = answers(out);
  ASSERT_EQ(a.size(), 9u) << out;
  EXPECT_EQ(a[2]["ok"], true) << out;
  for (int i : {4, 6}) {
    EXPECT_EQ(a[i]["ok"], false) << out;
    EXPECT_EQ(a[i]["description"], "CkkcHz: " + kMissing) << out;
  }
  EXPECT_EQ(a[8]["ok"], true) << out;
  EXPECT_TRUE(serving());
}

// Runs the server executable with `args` in this test's environment and
// waits for it; its exit code, with standard output and error in `out`.
int askServer(const std::string& args, std::string& out, const std::vector<std::string>& env) {
  std::string cmd;
  for (auto& v : env) cmd += v + " ";
  const fs::path file = fs::temp_directory_path() / ("rvz-ask-" + std::to_string(::getpid()));
  cmd += "timeout 20 " + kServer.string() + " " + args + " > " + file.string() + " 2>&1";
  int r = std::system(cmd.c_str());
  out = slurp(file);
  fs::remove(file);
  return WIFEXITED(r) ? WEXITSTATUS(r) : -1;
}

TEST_F(ServerProcess, HelpAndVersionAnswerWithoutEndingTheRunningServer) {
  auto& p = start(kServer);
  ASSERT_TRUE(waitServing(p));
  std::string out;
  EXPECT_EQ(askServer("--help", out, env(home_)), 0);
  EXPECT_NE(out.find("Usage: RoVezevu"), std::string::npos) << out;
  EXPECT_NE(out.find("RVZ_ENDPOINT"), std::string::npos) << out;
  EXPECT_EQ(askServer("--version", out, env(home_)), 0);
  EXPECT_EQ(out.rfind("RoVezevu ", 0), 0u) << out;
  EXPECT_FALSE(p.ended());
  EXPECT_TRUE(serving());
}

TEST_F(ServerProcess, StartUpErrorsEndAtOnceWhenNoOperatorCanAnswer) {
  // No box timeout: a box waiting for an answer would hold the process.
  struct Case {
    std::string var, named;
  };
  const Case cases[] = {
      {"RVZ_MAX_OBJECTS=abc", "RVZ_MAX_OBJECTS"},
      {"RVZ_REMOTE=1", "RVZ_TLS_CERT"},
      {"RVZ_DRAIN_SECONDS=soon", "RVZ_DRAIN_SECONDS"},
  };
  for (const auto& c : cases) {
    extraEnv_ = {"RVZ_SCREEN_TIMEOUT=", c.var};
    auto& p = start(kServer);
    ASSERT_TRUE(waitEnded(p)) << c.var << " left a hung process";
    EXPECT_EQ(p.exitCode(), 1) << c.var;
    const std::string log = serverLog(p);
    EXPECT_NE(log.find("error start-up failed"), std::string::npos) << log;
    EXPECT_NE(log.find(c.named), std::string::npos) << log;
    EXPECT_FALSE(fs::exists(home_ / ".screen.sock"));
  }
}

TEST_F(ServerProcess, SigtermWithALiveObjectStopsWithoutAQuestion) {
  auto& p = start(kServer);
  ASSERT_TRUE(waitServing(p));
  std::string cmd;
  for (auto& v : env(home_)) cmd += v + " ";
  const fs::path hold = root_ / "hold.out";
  cmd += "timeout 30 " + kQuib.string() + " run " +
         script("hold.json", R"([{"create":"Quib.datas","as":"d"},{"sleep":20}])") + " > " + hold.string() + " 2>&1 &";
  ASSERT_EQ(std::system(cmd.c_str()), 0);
  ASSERT_TRUE(waitFor([&] { return slurp(hold).find("\"ok\":true") != std::string::npos; }));
  ::kill(p.pid, SIGTERM);
  ASSERT_TRUE(waitEnded(p)) << "SIGTERM with a live object did not end the server";
  EXPECT_EQ(p.exitCode(), 0);
  const std::string log = serverLog(p);
  EXPECT_NE(log.find("notice stop requested signal=SIGTERM"), std::string::npos) << log;
  EXPECT_NE(log.find("notice stopping reason=SIGTERM live_objects=1"), std::string::npos) << log;
  EXPECT_NE(log.find("notice stopped"), std::string::npos) << log;
  EXPECT_EQ(log.find("COM Server Warning"), std::string::npos) << log;
}

TEST_F(ServerProcess, QuibInitWritesTheSampleWhereDriveDIsMapped) {
  const fs::path drive = root_ / "elsewhere";
  int rc = 0;
  std::string cmd = "RVZ_DRIVE_D=" + drive.string() + " timeout 60 " + kQuib.string() + " init " + home_.string();
  rc = std::system(cmd.c_str());
  ASSERT_EQ(rc, 0);
  EXPECT_TRUE(fs::exists(drive / "Dediriva" / "Server" / "Data" / "Sample" / "DaZiva.mdb"));
  EXPECT_FALSE(fs::exists(home_ / "drives" / "d"));
  EXPECT_TRUE(fs::exists(home_ / "data" / "Sample" / "DaZiva.mdb"));
}

TEST_F(ServerProcess, AStopThatCannotFinishIsCutOffAfterTheDrainTime) {
  // The close question holds the main thread, and nobody answers it: the
  // stop signal's drain time runs out and the process ends all the same.
  extraEnv_ = {"RVZ_SCREEN_TIMEOUT=", "RVZ_DRAIN_SECONDS=0.5"};
  auto& p = start(kServer);
  ASSERT_TRUE(waitServing(p));
  std::string cmd;
  for (auto& v : env(home_)) cmd += v + " ";
  const fs::path hold = root_ / "hold.out";
  cmd += "timeout 30 " + kQuib.string() + " run " +
         script("hold.json", R"([{"create":"Quib.datas","as":"d"},{"sleep":20}])") + " > " + hold.string() + " 2>&1 &";
  ASSERT_EQ(std::system(cmd.c_str()), 0);
  ASSERT_TRUE(waitFor([&] { return slurp(hold).find("\"ok\":true") != std::string::npos; }));
  quib("screen menu 关闭服务器");
  ASSERT_TRUE(waitFor([&] { return quib("screen boxes").find("COM Server Warning") != std::string::npos; }));
  ::kill(p.pid, SIGTERM);
  ASSERT_TRUE(waitEnded(p));
  EXPECT_EQ(p.exitCode(), 0);
  const std::string log = serverLog(p);
  EXPECT_NE(log.find("warning ending at once reason=\"the calls in progress did not end within the drain time\""),
            std::string::npos)
      << log;
}

TEST_F(ServerProcess, TheOperationalLogShowsSessionsObjectsAndFailures) {
  ASSERT_TRUE(sampleHome(1));
  extraEnv_ = {"RVZ_LOG_ACTIVITY=1"};
  auto& p = start(kServer);
  ASSERT_TRUE(waitServing(p));
  int rc = 0;
  auto out = quib("run " + script("work.json", R"([{"create":"Quib.datas","as":"d"},
      {"call":"d","method":"ConnectAct","args":[0,"","Sample","",""]},
      {"call":"d","method":"AS_GetRecords","args":["pNoSuchProvider",-1,null,1,"",null,null]},
      {"call":"d","method":"AS_GetRecords","args":["pKh",-1,null,1,"",null,null]},
      {"release":"d"}])"),
                  &rc);
  ASSERT_EQ(rc, 0) << out;
  ::kill(p.pid, SIGTERM);
  ASSERT_TRUE(waitEnded(p));
  const std::string log = serverLog(p);
  // Every line: time, level, message, then key=value fields.
  std::stringstream lines(log);
  for (std::string line; std::getline(lines, line);)
    EXPECT_TRUE(line.size() > 25 && line[4] == '-' && line[10] == 'T' && line[23] == 'Z') << line;
  for (const char* want : {" notice serving endpoint=127.0.0.1:", " info session opened session=",
                           " peer=ipv4:127.0.0.1:", " info object created session=", " object=1 class=Quib.datas",
                           " notice account set chosen set=Sample type=0 object=1 class=Quib.datas",
                           " warning call failed session=", " method=AS_GetRecords hresult=0x",
                           " source=Quib.datas text=", " info activity entry=", " info object released session=",
                           " info session ended session=", " notice stopped reason=SIGTERM"})
    EXPECT_NE(log.find(want), std::string::npos) << want << "\n" << log;
}

TEST_F(ServerProcess, AServerStartedOnDemandLogsToAFileInItsHome) {
  auto& p = start(kServer, {"-Embedding"});
  ASSERT_TRUE(waitServing(p));
  int rc = 0;
  quib("run " + script("once.json", R"([{"create":"Quib.datas","as":"d"},{"release":"d"}])"), &rc);
  ASSERT_TRUE(waitEnded(p));
  const std::string log = slurp(home_ / "RoVezevu.log");
  EXPECT_NE(log.find(" notice serving endpoint="), std::string::npos) << log;
  EXPECT_NE(log.find(" mode=platform "), std::string::npos) << log;
  EXPECT_NE(log.find(" notice stopped reason=\"the last object was released\""), std::string::npos) << log;
  EXPECT_EQ(serverLog(p).find("serving"), std::string::npos) << "standard error is nobody's in a platform start";
}

TEST_F(ServerProcess, AProbeWithNoActivateStartsNoServer) {
  auto& reg = start(kServer, {"-regserver"});
  ASSERT_TRUE(waitEnded(reg));
  int rc = 0;
  auto out = quib("run --no-activate " + script("probe.json", R"([{"create":"Quib.datas","as":"d"}])"), &rc);
  EXPECT_EQ(rc, 3) << out;
  EXPECT_TRUE(serversOfThisHome().empty());
}

// A plain HTTP GET on loopback; the whole response, headers included.
std::string httpGet(int port, const std::string& path) {
  int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  a.sin_port = htons(static_cast<uint16_t>(port));
  std::string response;
  if (::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0) {
    const std::string request = "GET " + path + " HTTP/1.0\r\nHost: localhost\r\n\r\n";
    if (::write(fd, request.data(), request.size()) == static_cast<ssize_t>(request.size())) {
      char buf[4096];
      for (ssize_t n; (n = ::read(fd, buf, sizeof buf)) > 0;) response.append(buf, static_cast<size_t>(n));
    }
  }
  ::close(fd);
  return response;
}

TEST_F(ServerProcess, MetricsAreServedWhereRvzMetricsSays) {
  const int metricsPort = freePort();
  extraEnv_ = {"RVZ_METRICS=127.0.0.1:" + std::to_string(metricsPort)};
  auto& p = start(kServer);
  ASSERT_TRUE(waitServing(p));
  int rc = 0;
  quib("run " + script("one.json", R"([{"create":"Quib.datas","as":"d"},
      {"call":"d","method":"AS_GetRecords","args":["pNoSuchProvider",-1,null,1,"",null,null]}])"),
       &rc);
  const std::string r = httpGet(metricsPort, "/metrics");
  EXPECT_EQ(r.substr(0, 13).substr(8), " 200 ") << r;
  EXPECT_NE(r.find("text/plain; version=0.0.4"), std::string::npos) << r;
  EXPECT_NE(r.find("rvz_calls_total{method=\"CreateObject\",outcome=\"ok\"} 1\n"), std::string::npos) << r;
  EXPECT_NE(r.find("rvz_calls_total{method=\"AS_GetRecords\",outcome=\"failed\"} 1\n"), std::string::npos) << r;
  EXPECT_NE(r.find("rvz_call_failures_total{hresult=\"0x"), std::string::npos) << r;
  EXPECT_NE(r.find("rvz_live_objects{class=\"Quib.datas\"} 0\n"), std::string::npos) << "quib released it: " << r;
  EXPECT_EQ(httpGet(metricsPort, "/").substr(8, 5), " 404 ");
}

TEST_F(ServerProcess, StartedByItsSocketItServesThatSocketAndEndsAfterTheLastRelease) {
  Proc& p = startBySocket("127.0.0.1");
  ASSERT_TRUE(waitServing(p));
  int rc = 0;
  auto out = quib("run " + script("once.json", R"([{"create":"Quib.datas","as":"d"},{"release":"d"}])"), &rc);
  EXPECT_EQ(rc, 0) << out;
  EXPECT_EQ(out.rfind("{\"ok\":true}", 0), 0u) << out;
  ASSERT_TRUE(waitEnded(p)) << "a socket-activated server ends after its last release";
  EXPECT_EQ(p.exitCode(), 0);
  // Standard error is not a journal here: the log of a server started for a
  // client is in its home.
  const std::string log = slurp(home_ / "RoVezevu.log");
  EXPECT_NE(log.find(" mode=platform socket_activated=yes "), std::string::npos) << log;
  EXPECT_NE(log.find("endpoint=127.0.0.1:" + std::to_string(port_)), std::string::npos) << log;
}

TEST_F(ServerProcess, AHandedOverSocketOnAnotherThanLoopbackIsAStartUpError) {
  Proc& p = startBySocket("0.0.0.0");
  ASSERT_TRUE(waitEnded(p));
  EXPECT_EQ(p.exitCode(), 1);
  const std::string log = slurp(home_ / "RoVezevu.log") + serverLog(p);
  EXPECT_NE(log.find("not on a loopback address"), std::string::npos) << log;
}

TEST_F(ServerProcess, AWrongTokenIsRefusedLoggedAndCountedAndTheFlagCarriesTheRightOne) {
  const int metricsPort = freePort();
  extraEnv_ = {"RVZ_TOKEN=s3cret", "RVZ_METRICS=127.0.0.1:" + std::to_string(metricsPort)};
  auto& p = start(kServer);
  ASSERT_TRUE(waitServing(p));
  const std::string once = script("once.json", R"([{"create":"Quib.datas","as":"d"},{"release":"d"}])");
  int rc = 0;
  auto out = quib("run --no-activate --token wrong " + once, &rc);
  EXPECT_EQ(rc, 3) << out;
  out = quib("run --no-activate --token s3cret " + once, &rc);
  EXPECT_EQ(rc, 0) << out;
  EXPECT_EQ(out.rfind("{\"ok\":true}", 0), 0u) << out;
  EXPECT_EQ(httpGet(metricsPort, "/metrics").substr(8, 5), " 401 ") << "the token guards the metrics too";
  ::kill(p.pid, SIGTERM);
  ASSERT_TRUE(waitEnded(p));
  const std::string log = serverLog(p);
  EXPECT_NE(log.find(" warning request refused peer=ipv4:127.0.0.1:"), std::string::npos) << log;
  EXPECT_NE(log.find(" reason=\"the client token is missing or wrong\""), std::string::npos) << log;
  EXPECT_EQ(log.find("s3cret"), std::string::npos) << "a token never reaches the log";
}

// Processes killed at the worst moments: a client in the middle of an apply
// and between the slices of a fetch, the server in the middle of an apply.
// After each the company database is intact, the apply is all or nothing,
// and the server (started again after its own death) serves the next client.
class KilledMidway : public ServerProcess {
 protected:
  static constexpr int kRows = 20000;

  void SetUp() override {
    ServerProcess::SetUp();
    procs_.reserve(16);  // references to started processes stay valid
  }

  // Stops the server at a moment when it holds a write transaction open on
  // the company database (a probe of the test cannot begin one), and leaves
  // it stopped. Between tries the server runs on. False when no such moment
  // came within the limit.
  bool stopInsideAWrite(Proc& server, std::chrono::seconds limit = 60s) {
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(database().c_str(), &db, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK) return false;
    sqlite3_busy_timeout(db, 0);
    bool inside = false;
    const auto end = std::chrono::steady_clock::now() + limit;
    while (!inside && std::chrono::steady_clock::now() < end) {
      ::kill(server.pid, SIGSTOP);
      int st = 0;
      if (::waitpid(server.pid, &st, WUNTRACED) != server.pid || !WIFSTOPPED(st)) {
        server.status = st;
        server.done = true;
        break;
      }
      inside = sqlite3_exec(db, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr) == SQLITE_BUSY;
      if (!inside) {
        sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
        ::kill(server.pid, SIGCONT);
        std::this_thread::sleep_for(1ms);
      }
    }
    sqlite3_close(db);
    return inside;
  }

  fs::path database() const { return home_ / "data" / "Sample" / "DaZiva.mdb"; }

  // The first value of a statement run on the company database directly.
  std::string scalar(const std::string& sql) {
    sqlite3* db = nullptr;
    std::string value = "(no value)";
    if (sqlite3_open_v2(database().c_str(), &db, SQLITE_OPEN_READWRITE, nullptr) == SQLITE_OK) {
      sqlite3_busy_timeout(db, 30000);
      sqlite3_stmt* st = nullptr;
      if (sqlite3_prepare_v2(db, sql.c_str(), -1, &st, nullptr) == SQLITE_OK && sqlite3_step(st) == SQLITE_ROW)
        value = reinterpret_cast<const char*>(sqlite3_column_text(st, 0));
      else
        value = sqlite3_errmsg(db);
      sqlite3_finalize(st);
    }
    sqlite3_close(db);
    return value;
  }
  std::string rowsTagged(const std::string& tag) {
    return scalar("select count(*) from AppLog where uName like '" + tag + "-%'");
  }

  // A script that adds `rows` AppLog rows named <tag>-0 ... in one delta
  // and then waits `sleepSeconds`.
  std::string applyScript(const std::string& tag, int rows, int sleepSeconds = 0) {
    std::string values;
    for (int i = 0; i < rows; ++i) {
      if (i) values += ",";
      values += R"({"status":"inserted","values":[")" + tag + "-" + std::to_string(i) +
                R"(","单据","新增",{"date":"2008-08-30"},"12:00"]})";
    }
    std::string s = R"([{"create":"Quib.datas","as":"d"},
      {"call":"d","method":"ConnectAct","args":[0,"","Sample","",""]},
      {"call":"d","method":"AS_ApplyUpdates","args":["pAppLog",{"packet":{
        "columns":[{"name":"uName","fieldtype":"string","WIDTH":20},{"name":"cName","fieldtype":"string","WIDTH":20},
                   {"name":"CZ","fieldtype":"string","WIDTH":30},{"name":"RQ","fieldtype":"date"},
                   {"name":"SJ","fieldtype":"string","WIDTH":5}],
        "rows":[)" + values +
                    R"(]}},-1,null,null]})";
    if (sleepSeconds) s += R"(,{"sleep":)" + std::to_string(sleepSeconds) + "}";
    return script(tag + ".json", s + "]");
  }

  // quib running a script in the background, both outputs into `out`.
  Proc& runInBackground(const std::string& scriptPath, const fs::path& out) {
    auto e = env(home_);
    pid_t pid = ::fork();
    if (pid == 0) {
      for (auto& v : e) ::putenv(v.data());
      freopen(out.c_str(), "w", stdout);
      ::dup2(::fileno(stdout), 2);
      ::execl(kQuib.c_str(), kQuib.c_str(), "run", scriptPath.c_str(), static_cast<char*>(nullptr));
      ::_exit(127);
    }
    procs_.push_back({pid});
    return procs_.back();
  }

  // A one-row apply by another client, which must succeed.
  void anotherClientApplies(const std::string& tag) {
    int rc = 0;
    auto out = quib("run " + applyScript(tag, 1), &rc, {}, 60);
    EXPECT_EQ(rc, 0) << out;
    EXPECT_NE(out.find(R"({"ok":true,"result":null,"out":[0,null]})"), std::string::npos) << out;
    EXPECT_EQ(rowsTagged(tag), "1");
  }
};

TEST_F(KilledMidway, AClientKilledInAnApplyOrAFetchLeavesAllOrNothingAndTheServerServesOthers) {
  ASSERT_TRUE(sampleHome(1));
  auto& server = start(kServer);
  ASSERT_TRUE(waitServing(server));

  // In the middle of an apply: the server finishes or drops the whole of it.
  Proc& applier = runInBackground(applyScript("A", kRows), root_ / "a.out");
  ASSERT_TRUE(stopInsideAWrite(server)) << slurp(root_ / "a.out");
  ::kill(applier.pid, SIGKILL);
  ASSERT_TRUE(waitEnded(applier));
  ::kill(server.pid, SIGCONT);
  anotherClientApplies("B");  // it waits for the dead client's transaction to end
  const std::string a = rowsTagged("A");
  EXPECT_TRUE(a == "0" || a == std::to_string(kRows)) << a << " of " << kRows << " rows kept";
  EXPECT_EQ(scalar("pragma integrity_check"), "ok");

  // Between the slices of a fetch: its open cursor stands in nobody's way.
  const fs::path fetchOut = root_ / "f.out";
  Proc& reader = runInBackground(script("fetch.json", R"([{"create":"Quib.datas","as":"d"},
    {"call":"d","method":"ConnectAct","args":[0,"","Sample","",""]},
    {"call":"d","method":"AS_GetRecords","args":["pAppLog",10,null,1,"",null,null]},{"sleep":60}])"),
                                 fetchOut);
  ASSERT_TRUE(waitFor([&] { return answers(slurp(fetchOut)).size() == 3; }, 30s)) << slurp(fetchOut);
  EXPECT_EQ(slurp(fetchOut).find("\"ok\":false"), std::string::npos) << slurp(fetchOut);
  ::kill(reader.pid, SIGKILL);
  ASSERT_TRUE(waitEnded(reader));
  anotherClientApplies("C");
  EXPECT_EQ(scalar("pragma integrity_check"), "ok");
  EXPECT_FALSE(server.ended()) << "status " << server.status << "\n" << serverLog(server);
}

TEST_F(KilledMidway, AServerKilledInAnApplyKeepsAllOrNothingAndServesOnceStartedAgain) {
  ASSERT_TRUE(sampleHome(1));
  auto& server = start(kServer);
  ASSERT_TRUE(waitServing(server));
  const fs::path out = root_ / "a.out";
  Proc& applier = runInBackground(applyScript("A", kRows), out);
  ASSERT_TRUE(stopInsideAWrite(server)) << slurp(out);
  ::kill(server.pid, SIGKILL);
  ASSERT_TRUE(waitEnded(server));
  ASSERT_TRUE(waitFor([&] { return applier.ended(); }, 30s)) << "the client did not see its server go";
  EXPECT_EQ(slurp(out).find(R"("out":[0,null])"), std::string::npos) << slurp(out);

  // Its transaction was open when it died: nothing of it is kept.
  EXPECT_EQ(scalar("pragma integrity_check"), "ok");
  EXPECT_EQ(rowsTagged("A"), "0");

  auto& again = start(kServer);
  ASSERT_TRUE(waitServing(again));
  anotherClientApplies("B");
  EXPECT_EQ(scalar("pragma integrity_check"), "ok");
}
