// The console's HTTP side: who may read and work the screen (host, token,
// origin), what it serves, and the stream and the actions over real HTTP
// against a real screen.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <nlohmann/json.hpp>

#include "client/console/console_server.h"
#include "platform/desktop/screen_server.h"
#include "tests/platform/desktop/screen_test_support.h"

namespace fs = std::filesystem;
using nlohmann::json;
using namespace rvz::client::console;
using namespace rvz::desktop;

namespace {

class ConsoleTest : public ::testing::Test {
 protected:
  void SetUp() override { home_ = test_support::makeScratchFolder("rvz_console"); }
  void TearDown() override {
    console_.reset();
    server_.reset();
    if (screen_) main_.run([&] { screen_.reset(); });
    fs::remove_all(home_);
  }
  void startScreen() {
    screen_ = main_.run([&] {
      auto s = std::make_unique<Screen>([this](std::function<void()> t) { main_.post(std::move(t)); });
      test_support::buildServerUi(*s, ui_);
      return s;
    });
    server_ = std::make_unique<ScreenServer>(*screen_, home_ / ".screen.sock");
  }
  void startConsole(std::string token = "t0ken") {
    ConsoleSettings s;
    s.listen = rvz::remoting::parseEndpoint("127.0.0.1:0");
    s.token = std::move(token);
    s.socketPath = home_ / ".screen.sock";
    console_ = std::make_unique<ConsoleServer>(s);
  }
  HttpRequest request(std::string method, std::string path) {
    HttpRequest r;
    r.method = std::move(method);
    r.path = std::move(path);
    r.host = "127.0.0.1:" + std::to_string(console_->port());
    r.token = "t0ken";
    r.contentType = "application/x-www-form-urlencoded";
    return r;
  }
  HttpAnswer post(std::string body, std::function<void(HttpRequest&)> tweak = {}) {
    HttpRequest r = request("POST", "/act");
    r.body = std::move(body);
    r.origin = "http://" + r.host;
    r.fetchSite = "same-origin";
    if (tweak) tweak(r);
    return console_->answer(r);
  }
  // One raw HTTP exchange; reads until `until` shows up or the peer closes.
  std::string http(const std::string& text, const std::string& until) {
    int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(console_->port());
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    timeval tv{20, 0};
    ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
    EXPECT_EQ(::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a), 0);
    EXPECT_EQ(::send(fd, text.data(), text.size(), MSG_NOSIGNAL), static_cast<ssize_t>(text.size()));
    std::string got;
    char buf[4096];
    while (got.find(until) == std::string::npos) {
      ssize_t n = ::recv(fd, buf, sizeof buf, 0);
      if (n <= 0) break;
      got.append(buf, static_cast<size_t>(n));
    }
    ::close(fd);
    return got;
  }

  fs::path home_;
  test_support::MainThread main_;
  std::shared_ptr<test_support::ServerUiRecord> ui_ = std::make_shared<test_support::ServerUiRecord>();
  std::unique_ptr<Screen> screen_;
  std::unique_ptr<ScreenServer> server_;
  std::unique_ptr<ConsoleServer> console_;
};

TEST_F(ConsoleTest, ThePageIsServedToAnyoneOnLoopbackButTheScreenOnlyWithTheToken) {
  startScreen();
  startConsole();
  for (const char* path : {"/", "/console.js", "/console.css"}) {
    HttpRequest r = request("GET", path);
    r.token.clear();
    HttpAnswer a = console_->answer(r);
    EXPECT_EQ(a.status, 200u) << path;
    EXPECT_FALSE(a.body.empty()) << path;
    // The page holds no secret: the token reaches it only by the operator.
    EXPECT_EQ(a.body.find("t0ken"), std::string::npos) << path;
  }
  EXPECT_EQ(console_->answer(request("GET", "/")).contentType, "text/html; charset=utf-8");
  EXPECT_EQ(console_->answer(request("POST", "/")).status, 405u);
  EXPECT_EQ(console_->answer(request("GET", "/nothing")).status, 404u);

  struct Case {
    std::string path, token;
    unsigned status;
  };
  const Case cases[] = {
      {"/events", "", 401}, {"/events", "t0ke", 401},  {"/events", "t0kenX", 401},
      {"/act", "", 401},    {"/events", "t0ken", 200},
  };
  for (const auto& c : cases) {
    HttpRequest r = request(c.path == "/act" ? "POST" : "GET", c.path);
    r.token = c.token;
    HttpAnswer a = console_->answer(r);
    EXPECT_EQ(a.status, c.status) << c.path << " " << c.token;
    EXPECT_EQ(a.events, c.status == 200) << c.path;
  }
  EXPECT_EQ(console_->answer(request("POST", "/events")).status, 405u);
  EXPECT_EQ(console_->answer(request("GET", "/act")).status, 405u);

  // Without TLS, only loopback names: a name of another site that points
  // here (DNS rebinding) gets nothing, not even the page.
  for (const char* host : {"evil.example:7212", "evil.example", "10.0.0.5:7212", "127.0.0.1.evil.example"}) {
    HttpRequest r = request("GET", "/");
    r.host = host;
    EXPECT_EQ(console_->answer(r).status, 403u) << host;
  }
  for (const char* host : {"localhost:7212", "127.0.0.1", "[::1]:7212", "127.1.2.3:80"}) {
    HttpRequest r = request("GET", "/");
    r.host = host;
    EXPECT_EQ(console_->answer(r).status, 200u) << host;
  }
}

TEST_F(ConsoleTest, ActionsComeOnlyFromTheConsolesOwnPage) {
  startScreen();
  startConsole();
  struct Case {
    const char* what;
    std::function<void(HttpRequest&)> tweak;
    unsigned status;
  };
  const Case cases[] = {
      {"another origin", [](HttpRequest& r) { r.origin = "http://evil.example"; }, 403},
      {"same host, other scheme", [](HttpRequest& r) { r.origin = "https://" + r.host; }, 403},
      {"a cross-site fetch", [](HttpRequest& r) { r.fetchSite = "cross-site"; }, 403},
      {"a same-site fetch", [](HttpRequest& r) { r.fetchSite = "same-site"; }, 403},
      {"not a form", [](HttpRequest& r) { r.contentType = "text/plain"; }, 415},
      {"a form too long", [](HttpRequest& r) { r.bodyTooLarge = true; }, 413},
      {"a broken form", [](HttpRequest& r) { r.body = "command=menu&target=%"; }, 400},
      {"a reading command", [](HttpRequest& r) { r.body = "command=log"; }, 400},
  };
  for (const auto& c : cases) {
    HttpAnswer a = post("command=menu&target=menuClose", c.tweak);
    EXPECT_EQ(a.status, c.status) << c.what << ": " << a.body;
    EXPECT_EQ(json::parse(a.body)["ok"], false) << c.what;
  }
  // Nothing of it reached the screen.
  EXPECT_EQ(json::parse(sendScreenRequest(Request{Command::Boxes, {}, {}}, home_ / ".screen.sock").text).size(), 0u);

  // A client that is no browser sends no Origin; the token is its proof.
  HttpAnswer a = post("command=menu&target=menuClose", [](HttpRequest& r) {
    r.origin.clear();
    r.fetchSite.clear();
    r.contentType = "application/x-www-form-urlencoded; charset=UTF-8";
  });
  EXPECT_EQ(a.status, 200u) << a.body;
  EXPECT_EQ(json::parse(a.body)["ok"], true);
  // The screen's refusal is told to the page as it is.
  a = post("command=answer&target=Maybe");
  EXPECT_EQ(json::parse(a.body)["error"],
            "the box \"COM Server Warning\" has no button \"Maybe\"; its buttons are Yes, No");
  a = post("command=answer&target=No");
  EXPECT_EQ(json::parse(a.body)["ok"], true);
  main_.run([] {});
  std::lock_guard lk(ui_->mu);
  EXPECT_EQ(ui_->closeAnswers, std::vector<Answer>{Answer::No});
}

TEST_F(ConsoleTest, TheStreamShowsTheScreenAndWhatChangesOverHttp) {
  startScreen();
  startConsole();
  const std::string host = "Host: 127.0.0.1:" + std::to_string(console_->port()) + "\r\n";
  // Without the token the stream does not start.
  std::string refused = http("GET /events HTTP/1.1\r\n" + host + "Connection: close\r\n\r\n", "\r\n\r\n{");
  EXPECT_EQ(refused.rfind("HTTP/1.1 401", 0), 0u) << refused;

  // The first event is the state as it is: the tray and the main window.
  std::string got = http("GET /events HTTP/1.1\r\n" + host + "X-Console-Token: t0ken\r\n\r\n", "\n\n");
  ASSERT_EQ(got.rfind("HTTP/1.1 200", 0), 0u) << got;
  EXPECT_NE(got.find("text/event-stream"), std::string::npos);
  EXPECT_NE(got.find("Content-Security-Policy"), std::string::npos);
  size_t data = got.find("event: state\ndata: ");
  ASSERT_NE(data, std::string::npos) << got;
  json state = json::parse(got.substr(data + 19, got.find("\n\n", data) - data - 19));
  EXPECT_EQ(state["connected"], true);
  EXPECT_EQ(state["tray"]["hint"], "Qorvane服务器");
  EXPECT_EQ(state["boxes"].size(), 0u);
  EXPECT_EQ(state["windows"][0]["name"], "frmMains");

  // An action over HTTP opens the question; the feed publishes it.
  const std::string body = "command=menu&target=menuClose";
  std::string act =
      http("POST /act HTTP/1.1\r\n" + host +
               "X-Console-Token: t0ken\r\nOrigin: http://127.0.0.1:" + std::to_string(console_->port()) +
               "\r\nContent-Type: application/x-www-form-urlencoded\r\nContent-Length: " + std::to_string(body.size()) +
               "\r\nConnection: close\r\n\r\n" + body,
           "}");
  EXPECT_NE(act.find("{\"ok\":true}"), std::string::npos) << act;
  ScreenFeed::State s = console_->feed().newerThan(0, std::chrono::seconds(20));
  for (int i = 0; i < 100 && s.json && json::parse(*s.json)["boxes"].empty(); ++i)
    s = console_->feed().newerThan(s.serial, std::chrono::seconds(20));
  ASSERT_TRUE(s.json);
  json boxes = json::parse(*s.json)["boxes"];
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0]["caption"], "COM Server Warning");
  sendScreenRequest(Request{Command::Answer, {"No"}, {}}, home_ / ".screen.sock");
}

TEST_F(ConsoleTest, AScreenThatIsNotThereIsSaidSo) {
  startConsole();
  ScreenFeed::State s = console_->feed().newerThan(0, std::chrono::seconds(20));
  ASSERT_TRUE(s.json);
  json state = json::parse(*s.json);
  EXPECT_EQ(state["connected"], false);
  EXPECT_NE(state["error"].get<std::string>().find("cannot reach the screen at"), std::string::npos);
  HttpAnswer a = post("command=close");
  EXPECT_EQ(a.status, 502u);
}

TEST(ConsoleSettingsTest, OtherMachinesOnlyWithTlsAndAConfiguredToken) {
  ConsoleSettings s;
  s.listen = rvz::remoting::parseEndpoint("0.0.0.0:7212");
  EXPECT_THROW(s.validate(), std::invalid_argument);
  s.token = "configured";
  EXPECT_THROW(s.validate(), std::invalid_argument);
  s.tlsCertFile = "cert.pem";
  EXPECT_THROW(s.validate(), std::invalid_argument);  // a certificate without its key
  s.tlsKeyFile = "key.pem";
  EXPECT_NO_THROW(s.validate());
  s.token.clear();
  EXPECT_THROW(s.validate(), std::invalid_argument);
  s.listen = rvz::remoting::parseEndpoint("127.0.0.1:7212");
  EXPECT_NO_THROW(s.validate());

  std::string t = makeToken();
  EXPECT_EQ(t.size(), 64u);
  EXPECT_EQ(t.find_first_not_of("0123456789abcdef"), std::string::npos);
  EXPECT_NE(t, makeToken());
}

}  // namespace
