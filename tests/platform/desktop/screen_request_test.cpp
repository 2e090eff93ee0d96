// The wire form of screen requests and replies: what is refused and why,
// what survives a round trip, and a server that answers bad requests with
// a reason and goes on serving.
#include "platform/desktop/screen_request.h"

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <nlohmann/json.hpp>

#include "platform/desktop/screen_client.h"
#include "platform/desktop/screen_server.h"
#include "screen_test_support.h"

namespace fs = std::filesystem;
using namespace rvz::desktop;

namespace {

TEST(ScreenRequest, BadRequestsAreRefusedNamingTheFault) {
  struct Case {
    std::string line;
    const char* reason;
  };
  const Case cases[] = {
      {"", "malformed screen request: [json.exception.parse_error"},
      {"not json", "malformed screen request"},
      {"[]", "not a JSON object"},
      {"{}", "no \"command\""},
      {R"({"command":5})", "\"command\" is not a string"},
      {R"({"command":"paint"})", "unknown screen command \"paint\""},
      {R"({"command":"menu"})", "\"menu\" takes 1 argument, not 0"},
      {R"({"command":"log","args":["x"]})", "\"log\" takes 0 arguments, not 1"},
      {R"({"command":"set","args":["edServer"]})", "\"set\" takes 2 arguments, not 1"},
      {R"({"command":"menu","args":[1]})", "an argument is not a string"},
      {R"({"command":"menu","args":"x"})", "\"args\" is not an array"},
      {R"({"command":"log","extra":1})", "unknown member \"extra\""},
      {R"({"command":"log","window":3})", "\"window\" is not a string"},
      {R"({"command":"menu","args":[["x"]]})", "nested deeper than 2 levels"},
      {"{\"command\":\"menu\",\"args\":[\"\xff\"]}", "malformed screen request"},
      {std::string(70000, ' '), "longer than 65536 bytes"},
  };
  for (const auto& c : cases) {
    try {
      decodeRequest(c.line);
      ADD_FAILURE() << "accepted " << c.line.substr(0, 60);
    } catch (const ScreenError& e) {
      EXPECT_NE(std::string(e.what()).find(c.reason), std::string::npos) << e.what();
    }
  }
}

TEST(ScreenRequest, RequestsAndRepliesSurviveTheWire) {
  const Request requests[] = {
      {Command::Log, {}, ""},
      {Command::Menu, {"关闭服务器"}, ""},
      {Command::Set, {"edServer", "a \"quoted\"\nline\\"}, "dlgLinkConfig"},
      {Command::Click, {"Label1"}, ""},
      {Command::Answer, {"Yes"}, ""},
      {Command::DropDown, {"edDBName"}, ""},
      {Command::Close, {}, ""},
      {Command::Windows, {}, ""},
  };
  for (const auto& r : requests) {
    std::string line = encodeRequest(r);
    EXPECT_EQ(line.find('\n'), std::string::npos);
    Request back = decodeRequest(line);
    EXPECT_EQ(back.command, r.command);
    EXPECT_EQ(back.args, r.args);
    EXPECT_EQ(back.window, r.window);
  }
  for (const Reply& r : {Reply{true, "C\r\n\r\nB\r\n\r\n"}, Reply{false, "no message box or dialog is open"}}) {
    Reply back = decodeReply(encodeReply(r));
    EXPECT_EQ(back.ok, r.ok);
    EXPECT_EQ(back.text, r.text);
  }
  for (const char* bad : {"{}", R"({"ok":"yes"})", R"({"ok":true})", R"({"ok":false,"text":"x"})", "[1]"})
    EXPECT_THROW(decodeReply(bad), ScreenError) << bad;
}

class ScreenServerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    home_ = test_support::makeScratchFolder("rvz_screen_srv");
    screen_ = main_.run([&] {
      auto s = std::make_unique<Screen>([this](std::function<void()> t) { main_.post(std::move(t)); });
      test_support::buildServerUi(*s, std::make_shared<test_support::ServerUiRecord>());
      return s;
    });
    server_ = std::make_unique<ScreenServer>(*screen_, home_ / ".screen.sock");
  }
  void TearDown() override {
    server_.reset();
    main_.run([&] { screen_.reset(); });
    fs::remove_all(home_);
  }

  int connectRaw() {
    int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un a{};
    a.sun_family = AF_UNIX;
    std::string p = (home_ / ".screen.sock").string();
    std::copy(p.begin(), p.end(), a.sun_path);
    EXPECT_EQ(::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a), 0);
    return fd;
  }
  // Sends raw bytes and returns the reply line.
  std::string raw(const std::string& bytes) {
    int fd = connectRaw();
    size_t off = 0;
    while (off < bytes.size()) {
      ssize_t n = ::send(fd, bytes.data() + off, bytes.size() - off, MSG_NOSIGNAL);
      if (n <= 0) break;  // the server may stop reading a line that is too long
      off += static_cast<size_t>(n);
    }
    ::shutdown(fd, SHUT_WR);
    std::string reply;
    char buf[4096];
    ssize_t n;
    while ((n = ::recv(fd, buf, sizeof buf, 0)) > 0) reply.append(buf, static_cast<size_t>(n));
    ::close(fd);
    return reply;
  }

  fs::path home_;
  test_support::MainThread main_;
  std::unique_ptr<Screen> screen_;
  std::unique_ptr<ScreenServer> server_;
};

TEST_F(ScreenServerTest, BadRequestsGetAReasonAndTheServerGoesOn) {
  struct Case {
    std::string bytes;
    const char* reason;
  };
  const Case cases[] = {
      {"hello\n", "malformed screen request"},
      {"{\"command\":\"paint\"}\n", "unknown screen command"},
      {std::string(100000, 'x') + "\n", "longer than 65536 bytes"},
      {"", "malformed screen request"},  // connected and said nothing
  };
  for (const auto& c : cases) {
    std::string reply = raw(c.bytes);
    ASSERT_FALSE(reply.empty());
    EXPECT_EQ(reply.back(), '\n');
    Reply r = decodeReply(reply.substr(0, reply.size() - 1));
    EXPECT_FALSE(r.ok);
    EXPECT_NE(r.text.find(c.reason), std::string::npos) << r.text;
  }
  Reply good = sendScreenRequest(Request{Command::Tray, {}, ""}, home_ / ".screen.sock");
  ASSERT_TRUE(good.ok) << good.text;
  EXPECT_EQ(nlohmann::json::parse(good.text)["hint"], "Qorvane服务器");
}

TEST(ScreenClient, UnreachableScreenIsAClearError) {
  try {
    sendScreenRequest(Request{Command::Log, {}, ""}, "/nonexistent/folder/.screen.sock");
    ADD_FAILURE();
  } catch (const ScreenError& e) {
    EXPECT_NE(std::string(e.what()).find("cannot reach the screen at /nonexistent/folder/.screen.sock"),
              std::string::npos);
  }
}

TEST(ScreenText, ButtonNamesAndFullStops) {
  struct Case {
    const char* in;
    const char* out;
  };
  const Case stops[] = {{"Login failed", "Login failed."},
                        {"done.", "done."},
                        {"无法关闭", "无法关闭."},
                        {"ends!", "ends!"},
                        {"", ""},
                        {"a-", "a-"}};
  for (const auto& c : stops) EXPECT_EQ(withFullStop(c.in), c.out) << c.in;
  EXPECT_EQ(answerFromName("yes"), Answer::Yes);
  EXPECT_EQ(answerFromName("CANCEL"), Answer::Cancel);
  EXPECT_EQ(answerFromName("Maybe"), std::nullopt);
  EXPECT_EQ(answerFromName(""), std::nullopt);
}

}  // namespace
