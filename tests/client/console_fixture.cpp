// A stand-in screen for the console's browser test: the server's main window
// and tray icon laid out as the server lays them out, a dialog shaped like
// the link configuration dialog (its size and control positions) shown
// modally by a thread of its own, and an error box from another thread.
// Usage: console_fixture HOME RESULT_FILE; serves HOME/.screen.sock until
// SIGTERM. When the dialog closes, RESULT_FILE gets its result and the
// texts of its boxes (the password too, so the test can see it arrived).
#include <signal.h>

#include <fstream>
#include <future>
#include <iostream>
#include <thread>

#include "platform/desktop/screen.h"
#include "platform/desktop/screen_server.h"
#include "tests/platform/desktop/screen_test_support.h"

using namespace rvz::desktop;

namespace {

void buildLinkDialog(Window& w, Screen& screen) {
  w.width = 333;
  w.height = 222;
  auto place = [&](const char* name, ControlKind kind, const char* text, Bounds b) -> Control& {
    Control& c = w.add(name, kind, text);
    c.bounds = b;
    return c;
  };
  place("lbServer", ControlKind::Label, "数据库服务器：", {38, 36, 84, 12});
  place("edServer", ControlKind::Edit, ".", {159, 28, 141, 20});
  place("lbUID", ControlKind::Label, "用户名：", {38, 67, 48, 12});
  place("edUID", ControlKind::Edit, "sa", {159, 58, 141, 20});
  place("lbPWD", ControlKind::Label, "密码：", {38, 98, 36, 12});
  place("edPWD", ControlKind::Edit, "", {159, 90, 141, 20}).passwordChar = '*';
  place("lbDBName", ControlKind::Label, "数据库名称：", {38, 129, 72, 12});
  Control& db = place("edDBName", ControlKind::ComboBox, "DaZiva", {159, 121, 141, 20});
  db.hint = "在这里输入连接数据库名";
  db.onDropDown = [&w] { w.control("edDBName").items = {"master", "DaZiva", "Ravelmoor"}; };
  place("Label1", ControlKind::Label, "测试连接...", {38, 160, 60, 12}).onClick = [&w, &screen] {
    BoxRequest box;
    box.caption = "提示";
    bool ok = w.control("edServer").text == "srv01" && !w.control("edPWD").text.empty();
    box.text = ok ? "数据库连接成功！" : "数据库连接错误！";
    box.icon = ok ? BoxIcon::None : BoxIcon::Error;
    screen.messageBox(box);
  };
  place("btnOK", ControlKind::Button, "确定(&O)", {75, 183, 88, 29}).modalResult = Answer::OK;
  place("btnCancel", ControlKind::Button, "取消(&C)", {183, 183, 88, 29}).modalResult = Answer::Cancel;
  Control& trust = place("chbTrust", ControlKind::CheckBox, "使用信任连接", {38, 5, 97, 17});
  trust.hint = "Win NT 信任连接\nWindow 9x 系统不能选择此方式";
  w.onShow = [&w] { w.control("chbTrust").visible = false; };
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::cerr << "usage: console_fixture HOME RESULT_FILE\n";
    return 2;
  }
  sigset_t signals;
  sigemptyset(&signals);
  sigaddset(&signals, SIGTERM);
  sigaddset(&signals, SIGINT);
  pthread_sigmask(SIG_BLOCK, &signals, nullptr);

  const std::filesystem::path home = argv[1];
  const std::string resultFile = argv[2];
  test_support::MainThread main;
  auto ui = std::make_shared<test_support::ServerUiRecord>();
  ui->log = "select * from KH where ID=?\r\n\r\nupdate KH set uName=? where ID=?\r\n\r\n";
  ScreenOptions options;
  options.applicationTitle = "Qorvane进销存服务器";
  auto screen = main.run([&] {
    auto s = std::make_unique<Screen>([&main](std::function<void()> t) { main.post(std::move(t)); }, options);
    test_support::buildServerUi(*s, ui);
    Window& w = *s->findWindow("frmMains");
    w.width = 592;
    w.height = 342;
    w.control("Panel1").bounds = {0, 323, 592, 19};
    for (auto [name, b] : {std::pair{"CheckBox1", Bounds{4, 4, 81, 11}},
                           {"SpeedButton1", Bounds{108, 2, 73, 17}},
                           {"SpeedButton2", Bounds{192, 2, 103, 17}}}) {
      w.control(name).parent = "Panel1";
      w.control(name).bounds = b;
    }
    w.control("Panel2").bounds = {0, 229, 592, 94};
    w.control("Memo2").parent = "Panel2";
    w.control("Memo2").bounds = {0, 0, 592, 94};
    w.control("Memo1").bounds = {0, 0, 592, 323};
    return s;
  });
  auto server = std::make_unique<ScreenServer>(*screen, home / ".screen.sock");

  Window dialog("dlgLinkConfig", "TdlgLinkConfig", "配置数据库");
  buildLinkDialog(dialog, *screen);
  auto shown = std::async(std::launch::async, [&] {
    Answer a = screen->showModal(dialog);
    std::ofstream out(resultFile);
    out << answerName(a) << "\n";
    for (const char* name : {"edServer", "edUID", "edPWD", "edDBName"}) out << dialog.control(name).text << "\n";
  });
  auto error = std::async(std::launch::async, [&] { screen->showError("Login failed for user sa"); });
  std::cout << "ready" << std::endl;

  int sig = 0;
  sigwait(&signals, &sig);
  server.reset();
  main.run([&] { screen.reset(); });
  return 0;
}
