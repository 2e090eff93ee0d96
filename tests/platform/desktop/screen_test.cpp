// The headless screen worked through its socket the way `quib screen` does:
// the log, the tray icon and its menu, message boxes answered from another
// thread or taken by their timeout, a modal dialog's controls, a refused
// tray icon, and what is refused with which reason.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <nlohmann/json.hpp>
#include <map>
#include <sstream>

#include "platform/desktop/screen.h"
#include "platform/desktop/screen_client.h"
#include "platform/desktop/screen_server.h"
#include "platform/text/text.h"
#include "screen_test_support.h"

namespace fs = std::filesystem;
using nlohmann::json;
using namespace rvz::desktop;
using rvz::desktop::test_support::MainThread;
using rvz::desktop::test_support::ServerUiRecord;

namespace {

struct QuibRun {
  int code;
  std::string out;
  std::string err;
};

class ScreenTest : public ::testing::Test {
 protected:
  void SetUp() override { home_ = test_support::makeScratchFolder("rvz_screen"); }
  void TearDown() override {
    stop();
    fs::remove_all(home_);
  }

  void start(ScreenOptions options = {}) {
    options.applicationTitle = "Qorvane进销存服务器";
    options.home = home_;
    screen_ = main_.run([&] {
      auto s = std::make_unique<Screen>([this](std::function<void()> t) { main_.post(std::move(t)); }, options);
      test_support::buildServerUi(*s, ui_);
      return s;
    });
    server_ = std::make_unique<ScreenServer>(*screen_, home_ / ".screen.sock");
  }
  void stop() {
    server_.reset();
    if (screen_) main_.run([&] { screen_.reset(); });
  }

  QuibRun quib(std::vector<std::string> args) {
    args.insert(args.begin(), {"--socket", (home_ / ".screen.sock").string()});
    std::ostringstream out, err;
    int code = runScreenCommand(args, out, err);
    return QuibRun{code, out.str(), err.str()};
  }
  std::string ok(std::vector<std::string> args) {
    QuibRun r = quib(args);
    EXPECT_EQ(r.code, 0) << r.err;
    return r.out;
  }
  std::string refused(std::vector<std::string> args) {
    QuibRun r = quib(args);
    EXPECT_EQ(r.code, 1) << r.out;
    return r.err;
  }
  json boxes() { return json::parse(ok({"boxes"})); }
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
  void setLog(const std::string& text) {
    std::lock_guard lk(ui_->mu);
    ui_->log = text;
  }

  fs::path home_;
  MainThread main_;
  std::shared_ptr<ServerUiRecord> ui_ = std::make_shared<ServerUiRecord>();
  std::unique_ptr<Screen> screen_;
  std::unique_ptr<ScreenServer> server_;
};

TEST_F(ScreenTest, LogIsPrintedExactlyAsTheWindowHoldsIt) {
  start();
  EXPECT_EQ(ok({"log"}), "");
  const std::string log = "update Kh set uName=? where ID=?\r\n\r\n\r\nselect * from Kh 客户\r\n\r\n";
  setLog(log);
  EXPECT_EQ(ok({"log"}), log);
  // "删除" clears it; the main window is hidden, so only its own code can.
  main_.run([&] { screen_->findWindow("frmMains")->control("SpeedButton1").onClick(); });
  EXPECT_EQ(ok({"log"}), "");
}

TEST_F(ScreenTest, TrayShowsItsStateAndItsMenu) {
  start();
  json tray = json::parse(ok({"tray"}));
  EXPECT_EQ(tray["visible"], true);
  EXPECT_EQ(tray["enabled"], true);
  EXPECT_EQ(tray["hint"], "Qorvane服务器");
  ASSERT_EQ(tray["menu"].size(), 1u);
  EXPECT_EQ(tray["menu"][0]["caption"], "关闭服务器");
  EXPECT_EQ(tray["menu"][0]["name"], "menuClose");

  // The tray holds 63 bytes of ANSI text at most, never half a character.
  std::string wide;
  for (int i = 0; i < 40; ++i) wide += "服";  // 80 bytes in CP936
  main_.run([&] { screen_->trayIcon().setHint(wide); });
  std::string hint = json::parse(ok({"tray"}))["hint"];
  EXPECT_EQ(rvz::text::utf8ToAnsi(hint).size(), 62u);
  main_.run([&] { screen_->trayIcon().setHint(std::string(70, 'h')); });
  EXPECT_EQ(json::parse(ok({"tray"}))["hint"], std::string(63, 'h'));
}

TEST_F(ScreenTest, MenuClickRunsOnTheMainThreadAndItsBoxIsAnswered) {
  start();
  EXPECT_EQ(ok({"menu", "关闭服务器"}), "");
  json b = boxes();
  ASSERT_EQ(b.size(), 1u);
  EXPECT_EQ(b[0]["kind"], "box");
  EXPECT_EQ(b[0]["caption"], "COM Server Warning");
  EXPECT_EQ(b[0]["text"], "There are still active COM objects in this application.");
  EXPECT_EQ(b[0]["buttons"], json::array({"Yes", "No"}));
  EXPECT_EQ(b[0]["default"], "No");
  EXPECT_EQ(b[0]["icon"], "warning");
  EXPECT_EQ(b[0]["input"], true);

  // While the main thread waits in its box it still answers for its
  // windows, but its tray menu is behind the box.
  setLog("still here");
  EXPECT_EQ(ok({"log"}), "still here");
  EXPECT_NE(refused({"menu", "关闭服务器"}).find("behind a message box"), std::string::npos);

  EXPECT_NE(refused({"answer", "Maybe"}).find("its buttons are Yes, No"), std::string::npos);
  EXPECT_EQ(ok({"answer", "no"}), "");
  EXPECT_EQ(boxes().size(), 0u);
  // The menu item's name works as well as its caption.
  ok({"menu", "menuClose"});
  ok({"answer", "Yes"});
  main_.run([] {});  // the handler has finished
  std::lock_guard lk(ui_->mu);
  EXPECT_EQ(ui_->closeAnswers, (std::vector<Answer>{Answer::No, Answer::Yes}));
  EXPECT_EQ(ui_->closeThread, main_.id());
}

TEST_F(ScreenTest, BoxOfAnotherThreadWaitsUntilAnswered) {
  start();
  BoxRequest box;
  box.caption = "询问";
  box.text = "无法连接到数据库服务器, 是否进行数据连接配置? ";
  box.buttons = Buttons::YesNo;
  box.defaultButton = Answer::No;
  box.icon = BoxIcon::Question;
  box.topmost = true;
  auto first = std::async(std::launch::async, [&] { return screen_->messageBox(box); });
  waitForBoxes(1);
  BoxRequest second = box;
  second.caption = "ZUR Error";
  second.buttons = Buttons::OK;
  second.defaultButton = Answer::None;
  auto later = std::async(std::launch::async, [&] { return screen_->messageBox(second); });
  json b = waitForBoxes(2);
  EXPECT_EQ(b[0]["caption"], "询问");
  EXPECT_EQ(b[1]["caption"], "ZUR Error");
  EXPECT_EQ(b[1]["default"], "OK");  // no default given: the first button
  EXPECT_EQ(first.wait_for(std::chrono::seconds(0)), std::future_status::timeout);

  // The oldest box is answered first, each on its own thread.
  EXPECT_NE(refused({"answer", "OK"}).find("has no button \"OK\""), std::string::npos);
  ok({"answer", "Yes"});
  EXPECT_EQ(first.get(), Answer::Yes);
  EXPECT_EQ(later.wait_for(std::chrono::seconds(0)), std::future_status::timeout);
  ok({"close"});  // an OK box closes with OK
  EXPECT_EQ(later.get(), Answer::OK);
  EXPECT_NE(refused({"answer", "Yes"}).find("no message box or dialog is open"), std::string::npos);
}

TEST_F(ScreenTest, UnansweredBoxesTakeTheirDefaultAfterTheTimeout) {
  ScreenOptions o;
  o.boxTimeout = std::chrono::milliseconds(20);
  start(o);
  struct Case {
    Buttons buttons;
    Answer def;
    Answer expected;
  };
  const Case cases[] = {
      {Buttons::YesNo, Answer::No, Answer::No},
      {Buttons::YesNo, Answer::None, Answer::Yes},
      {Buttons::YesNoCancel, Answer::Cancel, Answer::Cancel},
      {Buttons::OK, Answer::None, Answer::OK},
  };
  for (const auto& c : cases) {
    BoxRequest box;
    box.caption = "COM Server Warning";
    box.buttons = c.buttons;
    box.defaultButton = c.def;
    EXPECT_EQ(std::async(std::launch::async, [&] { return screen_->messageBox(box); }).get(), c.expected);
  }
  // On the main thread, too.
  ok({"menu", "关闭服务器"});
  main_.run([] {});
  std::lock_guard lk(ui_->mu);
  EXPECT_EQ(ui_->closeAnswers, std::vector<Answer>{Answer::No});

  BoxRequest bad;
  bad.buttons = Buttons::OKCancel;
  bad.defaultButton = Answer::Yes;
  EXPECT_THROW(screen_->messageBox(bad), ScreenError);
}

TEST(BoxTimeout, ComesFromTheEnvironment) {
  struct Case {
    const char* value;
    std::optional<long long> ms;  // nullopt: refused
  };
  const Case cases[] = {{"2", 2000},           {"0.25", 250},        {"0", 0},
                        {"abc", std::nullopt}, {"-1", std::nullopt}, {"1s", std::nullopt},
                        {"inf", std::nullopt}};
  for (const auto& c : cases) {
    setenv("RVZ_SCREEN_TIMEOUT", c.value, 1);
    if (c.ms) {
      EXPECT_EQ(boxTimeoutFromEnvironment(), std::chrono::milliseconds(*c.ms)) << c.value;
    } else {
      EXPECT_THROW(boxTimeoutFromEnvironment(), ScreenError) << c.value;
    }
  }
  setenv("RVZ_SCREEN_TIMEOUT", "", 1);
  EXPECT_EQ(boxTimeoutFromEnvironment(), std::nullopt);
  unsetenv("RVZ_SCREEN_TIMEOUT");
  EXPECT_EQ(boxTimeoutFromEnvironment(), std::nullopt);
}

TEST(ScreenOptionsTest, ServerOptionsComeFromTheEnvironment) {
  const char* old = getenv("RVZ_HOME");
  std::string saved = old ? old : "";
  setenv("RVZ_HOME", "/srv/rvz-home", 1);
  setenv("RVZ_SCREEN_TIMEOUT", "1.5", 1);
  setenv("RVZ_SCREEN_TRAY", "0", 1);
  ScreenOptions o = ScreenOptions::fromEnvironment();
  EXPECT_EQ(o.home, fs::path("/srv/rvz-home"));
  EXPECT_EQ(o.boxTimeout, std::chrono::milliseconds(1500));
  EXPECT_FALSE(o.acceptsTrayIcon);
  unsetenv("RVZ_SCREEN_TIMEOUT");
  unsetenv("RVZ_SCREEN_TRAY");
  o = ScreenOptions::fromEnvironment();
  EXPECT_EQ(o.boxTimeout, std::nullopt);
  EXPECT_TRUE(o.acceptsTrayIcon);
  if (old)
    setenv("RVZ_HOME", saved.c_str(), 1);
  else
    unsetenv("RVZ_HOME");
}

// A dialog shaped like the link configuration dialog, shown by an object
// thread; its handlers run on that thread.
struct LinkDialog {
  Window w{"dlgLinkConfig", "TdlgLinkConfig", "配置数据库"};
  Screen& screen;
  std::thread::id handlerThread;
  int tests = 0;
  explicit LinkDialog(Screen& s) : screen(s) {
    w.add("lbServer", ControlKind::Label, "数据库服务器：");
    w.add("edServer", ControlKind::Edit, ".");
    w.add("edUID", ControlKind::Edit, "sa");
    w.add("edPWD", ControlKind::Edit).passwordChar = '*';
    Control& db = w.add("edDBName", ControlKind::ComboBox, "Ravelmoor");
    db.hint = "在这里输入连接数据库名";
    db.onDropDown = [this] { w.control("edDBName").items = {"master", "DaZiva"}; };
    w.add("Label1", ControlKind::Label, "测试连接...").onClick = [this] {
      handlerThread = std::this_thread::get_id();
      ++tests;
      BoxRequest box;
      box.caption = "提示";
      box.text = w.control("edServer").text == "srv01" ? "数据库连接成功！" : "数据库连接错误！";
      screen.messageBox(box);
    };
    w.add("btnOK", ControlKind::Button, "确定(&O)").modalResult = Answer::OK;
    w.add("btnCancel", ControlKind::Button, "取消(&C)").modalResult = Answer::Cancel;
    w.add("chbTrust", ControlKind::CheckBox, "使用信任连接");
    w.onShow = [this] { w.control("chbTrust").visible = false; };
    // OK only closes once the password is given.
    w.onCloseQuery = [this](Answer r) {
      if (r != Answer::OK || !w.control("edPWD").text.empty()) return true;
      throw ScreenError("Login failed for user sa");
    };
  }
};

TEST_F(ScreenTest, DialogControlsAreWorkedThroughTheScreen) {
  start();
  LinkDialog dlg(*screen_);
  std::thread::id dialogThread;
  auto result = std::async(std::launch::async, [&] {
    dialogThread = std::this_thread::get_id();
    return screen_->showModal(dlg.w);
  });
  json b = waitForBoxes(1);
  ASSERT_EQ(b[0]["kind"], "dialog");
  EXPECT_EQ(b[0]["name"], "dlgLinkConfig");
  EXPECT_EQ(b[0]["class"], "TdlgLinkConfig");
  EXPECT_EQ(b[0]["caption"], "配置数据库");
  std::map<std::string, json> controls;
  for (const auto& c : b[0]["controls"]) controls[c["name"]] = c;
  EXPECT_EQ(controls.size(), 9u);
  EXPECT_EQ(controls["lbServer"]["text"], "数据库服务器：");
  EXPECT_EQ(controls["edServer"]["kind"], "edit");
  EXPECT_EQ(controls["edServer"]["text"], ".");
  EXPECT_EQ(controls["edDBName"]["kind"], "combobox");
  EXPECT_EQ(controls["edDBName"]["hint"], "在这里输入连接数据库名");
  EXPECT_EQ(controls["btnOK"]["text"], "确定(&O)");
  EXPECT_EQ(controls["btnOK"]["result"], "OK");
  EXPECT_EQ(controls["chbTrust"]["visible"], false);  // hidden when shown
  EXPECT_EQ(controls["chbTrust"]["checked"], false);

  ok({"set", "edServer", "srv01"});
  ok({"set", "edPWD", "秘密pw"});
  ok({"dropdown", "edDBName"});
  ok({"--window", "DLGLINKCONFIG", "set", "edDBName", "DaZiva"});
  b = boxes();
  for (const auto& c : b[0]["controls"]) controls[c["name"]] = c;
  EXPECT_EQ(controls["edPWD"]["text"], "****");  // a person sees stars
  EXPECT_EQ(controls["edDBName"]["items"], json::array({"master", "DaZiva"}));
  EXPECT_EQ(controls["edDBName"]["text"], "DaZiva");

  // The test link's box comes in front of the dialog and takes the answer.
  ok({"click", "Label1"});
  b = boxes();
  ASSERT_EQ(b.size(), 2u);
  EXPECT_EQ(b[0]["input"], false);
  EXPECT_EQ(b[1]["text"], "数据库连接成功！");
  EXPECT_NE(refused({"set", "edServer", "x"}).find("no open dialog or shown window has a control named edServer"),
            std::string::npos);
  ok({"answer", "OK"});
  EXPECT_EQ(boxes().size(), 1u);
  EXPECT_EQ(result.wait_for(std::chrono::seconds(0)), std::future_status::timeout);

  ok({"answer", "确定(O)"});  // the button as shown
  EXPECT_EQ(result.get(), Answer::OK);
  EXPECT_EQ(dlg.handlerThread, dialogThread);
  EXPECT_EQ(dlg.tests, 1);
  EXPECT_EQ(dlg.w.control("edServer").text, "srv01");
  EXPECT_EQ(dlg.w.control("edPWD").text, "秘密pw");
  EXPECT_FALSE(dlg.w.visible);
  EXPECT_EQ(boxes().size(), 0u);
}

TEST_F(ScreenTest, DialogCloseQueryCanKeepItOpen) {
  start();
  LinkDialog dlg(*screen_);
  auto result = std::async(std::launch::async, [&] { return screen_->showModal(dlg.w); });
  waitForBoxes(1);
  // OK is refused (no password): the failure is shown in an error box
  // captioned with the application title, and the dialog stays.
  ok({"click", "btnOK"});
  json b = boxes();
  ASSERT_EQ(b.size(), 2u);
  EXPECT_EQ(b[1]["caption"], "Qorvane进销存服务器");
  EXPECT_EQ(b[1]["text"], "Login failed for user sa.");
  EXPECT_EQ(b[1]["icon"], "error");
  ok({"answer", "OK"});
  b = boxes();
  ASSERT_EQ(b.size(), 1u);
  EXPECT_EQ(b[0]["input"], true);
  // The close box is Cancel, which the query lets through.
  ok({"close"});
  EXPECT_EQ(result.get(), Answer::Cancel);
}

TEST_F(ScreenTest, ControlsRefuseWhatAPersonCouldNotDo) {
  start();
  LinkDialog dlg(*screen_);
  dlg.w.control("edUID").enabled = false;
  auto result = std::async(std::launch::async, [&] { return screen_->showModal(dlg.w); });
  waitForBoxes(1);
  struct Case {
    std::vector<std::string> args;
    const char* reason;
  };
  const Case cases[] = {
      {{"click", "chbTrust"}, "is hidden"},
      {{"set", "edUID", "x"}, "is disabled"},
      {{"set", "Label1", "x"}, "is a label; only edit boxes"},
      {{"dropdown", "edServer"}, "is not a combo box"},
      {{"click", "nothing"}, "has a control named nothing"},
      {{"--window", "other", "click", "Label1"}, "no open dialog or shown window named other"},
      {{"answer", "Retry"}, "has no button \"Retry\""},
      // The main window is hidden: its controls are out of reach.
      {{"click", "SpeedButton1"}, "has a control named SpeedButton1"},
      {{"menu", "打开"}, "has no item \"打开\"; its items are \"关闭服务器\""},
  };
  for (const auto& c : cases) EXPECT_NE(refused(c.args).find(c.reason), std::string::npos) << c.args[0];
  ok({"answer", "Cancel"});
  EXPECT_EQ(result.get(), Answer::Cancel);
}

TEST_F(ScreenTest, ShownWindowsOfTheMainThreadAreWorkedThere) {
  start();
  std::thread::id clickedOn;
  main_.run([&] {
    Window& w = *screen_->findWindow("frmMains");
    w.visible = true;
    w.control("CheckBox1").onClick = [&] { clickedOn = std::this_thread::get_id(); };
  });
  ok({"click", "CheckBox1"});
  ok({"set", "Memo2", "其他"});
  EXPECT_NE(refused({"set", "Memo1", "x"}).find("read-only"), std::string::npos);
  main_.run([&] {
    Window& w = *screen_->findWindow("frmMains");
    EXPECT_TRUE(w.control("CheckBox1").checked);
    EXPECT_EQ(w.control("Memo2").text, "其他");
  });
  EXPECT_EQ(clickedOn, main_.id());
}

TEST_F(ScreenTest, AHiddenWindowIsWorkedWhenTheRequestNamesIt) {
  start();
  int clicks = 0;
  main_.run([&] {
    Window& w = *screen_->findWindow("frmMains");
    w.visible = false;
    w.control("SpeedButton1").onClick = [&] { ++clicks; };
  });
  EXPECT_NE(refused({"click", "SpeedButton1"}).find("no open dialog or shown window"), std::string::npos);
  ok({"--window", "frmMains", "click", "SpeedButton1"});
  main_.run([&] { EXPECT_EQ(clicks, 1); });
}

TEST_F(ScreenTest, HandlerFailuresAreShownWithTheApplicationTitle) {
  start();
  main_.run([&] { screen_->trayIcon().menu[0].onClick = [] { throw std::runtime_error("无法关闭"); }; });
  ok({"menu", "关闭服务器"});
  json b = boxes();
  ASSERT_EQ(b.size(), 1u);
  EXPECT_EQ(b[0]["caption"], "Qorvane进销存服务器");
  EXPECT_EQ(b[0]["text"], "无法关闭.");
  ok({"answer", "OK"});
  EXPECT_EQ(json::parse(ok({"tray"}))["visible"], true);  // the server goes on
}

TEST_F(ScreenTest, RefusedTrayIconLeavesTheServerWithoutOne) {
  ScreenOptions o;
  o.acceptsTrayIcon = false;
  start(o);
  main_.run([&] { EXPECT_TRUE(screen_->trayIcon().visible()); });
  json tray = json::parse(ok({"tray"}));
  EXPECT_EQ(tray["visible"], false);
  EXPECT_NE(refused({"menu", "关闭服务器"}).find("the tray icon is not shown"), std::string::npos);
  EXPECT_EQ(boxes().size(), 0u);
  main_.run([&] { screen_->trayIcon().enabled = false; });
}

TEST_F(ScreenTest, DisabledTrayIconIgnoresTheMouse) {
  start();
  main_.run([&] { screen_->trayIcon().enabled = false; });
  EXPECT_NE(refused({"menu", "关闭服务器"}).find("does not take mouse clicks"), std::string::npos);
  main_.run([&] {
    screen_->trayIcon().enabled = true;
    screen_->trayIcon().menu[0].enabled = false;
  });
  EXPECT_NE(refused({"menu", "关闭服务器"}).find("is disabled"), std::string::npos);
}

TEST_F(ScreenTest, BoxesStillWaitingWhenTheScreenGoesReturnNone) {
  start();
  BoxRequest box;
  box.buttons = Buttons::YesNo;
  auto waiting = std::async(std::launch::async, [&] { return screen_->messageBox(box); });
  waitForBoxes(1);
  stop();
  EXPECT_EQ(waiting.get(), Answer::None);
}

TEST_F(ScreenTest, SocketIsOwnerOnlyAndRemovedWithItsServer) {
  start();
  struct stat st {};
  ASSERT_EQ(stat((home_ / ".screen.sock").c_str(), &st), 0);
  EXPECT_TRUE(S_ISSOCK(st.st_mode));
  EXPECT_EQ(st.st_mode & 0777, 0600u);
  // A newer process's server takes the path over; the first one going
  // away leaves the newer socket alone.
  auto other = main_.run(
      [&] { return std::make_unique<Screen>([this](std::function<void()> t) { main_.post(std::move(t)); }); });
  auto newer = std::make_unique<ScreenServer>(*other, home_ / ".screen.sock");
  server_.reset();
  EXPECT_TRUE(fs::exists(home_ / ".screen.sock"));
  EXPECT_EQ(json::parse(ok({"tray"}))["visible"], false);  // the newer screen has no icon
  newer.reset();
  main_.run([&] { other.reset(); });
  EXPECT_FALSE(fs::exists(home_ / ".screen.sock"));
  EXPECT_NE(refused({"tray"}).find("cannot reach the screen"), std::string::npos);
}

TEST_F(ScreenTest, LongHomePathsWork) {
  fs::path deep = home_;
  while (deep.string().size() < 150) deep /= "a_rather_long_folder_name";
  fs::create_directories(deep);
  start();
  ScreenServer far(*screen_, deep / ".screen.sock");
  std::ostringstream out, err;
  EXPECT_EQ(runScreenCommand({"--socket", (deep / ".screen.sock").string(), "tray"}, out, err), 0) << err.str();
  EXPECT_EQ(json::parse(out.str())["hint"], "Qorvane服务器");
}

TEST_F(ScreenTest, CommandLineUsageIsChecked) {
  start();
  struct Case {
    std::vector<std::string> args;
    int code;
  };
  const Case cases[] = {
      {{}, 2},
      {{"screen"}, 2},
      {{"paint"}, 2},
      {{"menu"}, 2},
      {{"set", "edServer"}, 2},
      {{"log", "extra"}, 2},
      {{"--window"}, 2},
      {{"tray"}, 0},
  };
  for (const auto& c : cases) EXPECT_EQ(quib(c.args).code, c.code) << ::testing::PrintToString(c.args);
  // quib may pass its argv on from "screen".
  std::ostringstream out, err;
  EXPECT_EQ(runScreenCommand({"screen", "--socket", (home_ / ".screen.sock").string(), "tray"}, out, err), 0);
}

}  // namespace

// --- following changes, geometry, answering a named box ----------------------

namespace {

// A watch connection on a thread of its own, recording what it hears.
class Watcher {
 public:
  explicit Watcher(const fs::path& socket) {
    if (::pipe(stop_) != 0) throw std::runtime_error("pipe");
    thread_ = std::thread([this, socket] {
      try {
        watchScreen(socket, stop_[0], [this](uint64_t v) {
          std::lock_guard lk(mu_);
          versions_.push_back(v);
          cv_.notify_all();
        });
      } catch (const ScreenError& e) {
        std::lock_guard lk(mu_);
        error_ = e.what();
      }
      std::lock_guard lk(mu_);
      ended_ = true;
      cv_.notify_all();
    });
  }
  ~Watcher() {
    (void)!::write(stop_[1], "x", 1);
    thread_.join();
    ::close(stop_[0]);
    ::close(stop_[1]);
  }
  // The first version heard above `above` (0 when none came in 20 s).
  uint64_t waitAbove(uint64_t above) {
    std::unique_lock lk(mu_);
    cv_.wait_for(lk, std::chrono::seconds(20), [&] { return !versions_.empty() && versions_.back() > above; });
    return versions_.empty() || versions_.back() <= above ? 0 : versions_.back();
  }
  std::string waitForEnd() {
    std::unique_lock lk(mu_);
    cv_.wait_for(lk, std::chrono::seconds(20), [&] { return ended_; });
    return error_;
  }

 private:
  int stop_[2];
  std::mutex mu_;
  std::condition_variable cv_;
  std::vector<uint64_t> versions_;
  std::string error_;
  bool ended_ = false;
  std::thread thread_;
};

}  // namespace

TEST_F(ScreenTest, WatchersHearOfChangesButNotOfReads) {
  start();
  Watcher watcher(home_ / ".screen.sock");
  uint64_t v = watcher.waitAbove(0);
  ASSERT_GT(v, 0u);  // the server's window and tray were changes
  ASSERT_EQ(v, screen_->version());

  // Reading the screen is no change, or a console following it would
  // read for ever.
  for (const char* read : {"boxes", "tray", "windows", "log"}) ok({read});
  EXPECT_EQ(screen_->version(), v);

  ok({"menu", "关闭服务器"});  // a box opens
  uint64_t opened = watcher.waitAbove(v);
  EXPECT_GT(opened, v);
  ok({"answer", "No"});
  EXPECT_GT(watcher.waitAbove(opened), opened);

  // A change the server's code makes by itself is told as well.
  uint64_t before = screen_->version();
  screen_->changed();
  EXPECT_GT(watcher.waitAbove(before), before);

  // `quib screen watch` takes no argument, like the other readers.
  EXPECT_EQ(quib({"watch", "x"}).code, 2);

  // When the server goes, its watchers hear the end.
  server_.reset();
  EXPECT_NE(watcher.waitForEnd().find("went away"), std::string::npos);
}

TEST_F(ScreenTest, WatchersAreBounded) {
  start();
  std::vector<std::unique_ptr<Watcher>> watchers;
  for (size_t i = 0; i < ScreenServer::kMaxWatchers; ++i) {
    watchers.push_back(std::make_unique<Watcher>(home_ / ".screen.sock"));
    ASSERT_GT(watchers.back()->waitAbove(0), 0u);
  }
  Watcher extra(home_ / ".screen.sock");
  EXPECT_NE(extra.waitForEnd().find("already has 8 watchers"), std::string::npos);
  // Ordinary requests are still served.
  ok({"tray"});
}

TEST_F(ScreenTest, WindowsAndDialogsCarryTheirGeometry) {
  start();
  main_.run([&] {
    Window& w = *screen_->findWindow("frmMains");
    w.width = 592;
    w.height = 342;
    w.control("Panel1").bounds = {0, 323, 592, 19};
    Control& check = w.control("CheckBox1");
    check.parent = "Panel1";
    check.bounds = {4, 4, 81, 11};
  });
  json frm = json::parse(ok({"windows"}))[0];
  EXPECT_EQ(frm["width"], 592);
  EXPECT_EQ(frm["height"], 342);
  std::map<std::string, json> controls;
  for (const auto& c : frm["controls"]) controls[c["name"]] = c;
  EXPECT_EQ(controls["CheckBox1"]["parent"], "Panel1");
  EXPECT_EQ(controls["CheckBox1"]["left"], 4);
  EXPECT_EQ(controls["CheckBox1"]["top"], 4);
  EXPECT_EQ(controls["CheckBox1"]["width"], 81);
  EXPECT_EQ(controls["CheckBox1"]["height"], 11);
  EXPECT_EQ(controls["Panel1"]["top"], 323);
  EXPECT_FALSE(controls["Panel1"].contains("parent"));
  // Not placed: no geometry at all, so that a console lays it out itself.
  EXPECT_FALSE(controls["SpeedButton1"].contains("left"));
  // The log is read from its source; a console must not offer to edit it.
  EXPECT_EQ(controls["Memo1"]["readOnly"], true);
  EXPECT_FALSE(controls["Memo2"].contains("readOnly"));

  LinkDialog dlg(*screen_);
  dlg.w.width = 333;
  dlg.w.height = 222;
  dlg.w.control("edPWD").bounds = {159, 90, 141, 20};
  dlg.w.control("edPWD").text = "pw";
  auto result = std::async(std::launch::async, [&] { return screen_->showModal(dlg.w); });
  json d = waitForBoxes(1)[0];
  EXPECT_EQ(d["width"], 333);
  EXPECT_EQ(d["height"], 222);
  for (const auto& c : d["controls"]) controls[c["name"]] = c;
  EXPECT_EQ(controls["edPWD"]["password"], true);
  EXPECT_EQ(controls["edPWD"]["text"], "**");
  EXPECT_EQ(controls["edPWD"]["left"], 159);
  EXPECT_FALSE(controls["edServer"].contains("password"));
  ok({"answer", "Cancel"});
  EXPECT_EQ(result.get(), Answer::Cancel);
}

TEST_F(ScreenTest, AnswersAndClosesGoToTheBoxTheyName) {
  start();
  auto ask = [&](const char* caption) {
    return std::async(std::launch::async, [&, caption] {
      BoxRequest box;
      box.caption = caption;
      box.buttons = Buttons::OKCancel;
      return screen_->messageBox(box);
    });
  };
  auto first = ask("一");
  waitForBoxes(1);
  auto second = ask("二");
  json b = waitForBoxes(2);
  const std::string secondId = "#" + std::to_string(b[1]["id"].get<int>());
  ok({"--window", secondId, "answer", "Cancel"});
  EXPECT_EQ(second.get(), Answer::Cancel);
  EXPECT_EQ(boxes()[0]["caption"], "一");
  EXPECT_NE(refused({"--window", "#999", "answer", "OK"}).find("no message box or dialog #999 is open"),
            std::string::npos);
  ok({"--window", "#" + std::to_string(b[0]["id"].get<int>()), "close"});
  EXPECT_EQ(first.get(), Answer::Cancel);

  // A dialog behind its own box is not answered through it.
  LinkDialog dlg(*screen_);
  auto result = std::async(std::launch::async, [&] { return screen_->showModal(dlg.w); });
  waitForBoxes(1);
  ok({"click", "Label1"});
  waitForBoxes(2);
  EXPECT_NE(refused({"--window", "dlgLinkConfig", "answer", "Cancel"}).find("is behind another box"),
            std::string::npos);
  ok({"answer", "OK"});
  ok({"--window", "dlgLinkConfig", "answer", "Cancel"});
  EXPECT_EQ(result.get(), Answer::Cancel);
}
