// Building frmMains and its tray icon, and routing the command watch's log
// entries to its Memo1.
#include "host/main_window.h"

#include <unistd.h>

#include "platform/desktop/instances.h"
#include "platform/text/text.h"
#include "services/command_watch.h"

namespace rvz::host {

std::string trayHint(std::string_view hintUtf8) {
  std::string ansi = text::wideToAnsi(text::utf8ToWide(hintUtf8));
  if (ansi.size() > 63) ansi.resize(63);
  return text::wideToUtf8(text::ansiToWide(ansi));
}

void sweepOtherInstances(const std::filesystem::path& home) {
  const auto own = desktop::ownExecutablePath();
  if (text::compareNoCaseUtf8(own.string(), "/usr/bin/RoVezevu") == 0) return;
  for (const auto& w : desktop::windowOwners("TfrmMains", home)) {
    if (w.pid == ::getpid() || w.executable != own) continue;
    desktop::terminateProcess(w.pid);
  }
}

namespace {

constexpr int kClientWidth = 592;
constexpr int kClientHeight = 342;
constexpr int kBarHeight = 19;
constexpr int kPaneHeight = 94;
constexpr int kSplitterHeight = 3;

// Memo1 fills what the button bar and, when shown, the second pane with
// its splitter leave.
void layOutLog(desktop::Window& w) {
  int height = kClientHeight - kBarHeight;
  if (w.control("Panel2").visible) height -= kPaneHeight + kSplitterHeight;
  w.control("Memo1").bounds = {0, 0, kClientWidth, height};
}

}  // namespace

MainWindow::MainWindow(desktop::Screen& screen, remoting::MessageLoop& loop, std::function<void()> closeRequested)
    : screen_(screen),
      log_(std::make_shared<ActivityLog>()),
      sink_(std::make_shared<LoopLogSink>(loop, log_, [&screen] { screen.changed(); })) {
  sweepOtherInstances(desktop::ScreenOptions::fromEnvironment().home);

  auto& w = screen.createWindow("frmMains", "TfrmMains", "Main");
  window_ = &w;
  // The client area of the 600 x 369 window; the children are aligned from
  // the bottom edge upwards: the button bar, the second pane, a splitter
  // and the log, which fills the rest.
  w.width = kClientWidth;
  w.height = kClientHeight;
  auto& panel1 = w.add("Panel1", desktop::ControlKind::Panel);
  panel1.bounds = {0, kClientHeight - kBarHeight, kClientWidth, kBarHeight};
  auto& check = w.add("CheckBox1", desktop::ControlKind::CheckBox, "置顶");
  check.parent = "Panel1";
  check.bounds = {4, 4, 81, 11};
  auto& del = w.add("SpeedButton1", desktop::ControlKind::Button, "删除");
  del.parent = "Panel1";
  del.bounds = {108, 2, 73, 17};
  auto& other = w.add("SpeedButton2", desktop::ControlKind::Button, "其他消息");
  other.parent = "Panel1";
  other.bounds = {192, 2, 103, 17};
  auto& panel2 = w.add("Panel2", desktop::ControlKind::Panel);
  panel2.visible = false;
  panel2.bounds = {0, kClientHeight - kBarHeight - kPaneHeight, kClientWidth, kPaneHeight};
  auto& memo2 = w.add("Memo2", desktop::ControlKind::Memo);
  memo2.parent = "Panel2";
  memo2.bounds = {0, 0, kClientWidth, kPaneHeight};
  auto& memo = w.add("Memo1", desktop::ControlKind::Memo);
  layOutLog(w);
  // Readers and the clear button first apply what waits, so that they act
  // on every entry handed over before them.
  std::weak_ptr<ActivityLog> weak = log_;
  std::weak_ptr<LoopLogSink> weakSink = sink_;
  auto applyWaiting = [weakSink] {
    if (auto sink = weakSink.lock()) sink->applyWaiting();
  };
  memo.textSource = [weak, applyWaiting] {
    applyWaiting();
    auto log = weak.lock();
    return log ? text::wideToUtf8(log->text()) : std::string();
  };
  desktop::Window* win = &w;
  check.onClick = [win, &check] { win->stayOnTop = check.checked; };
  del.onClick = [weak, applyWaiting] {
    applyWaiting();
    if (auto log = weak.lock()) log->clear();
  };
  other.onClick = [win] {
    auto& p = win->control("Panel2");
    p.visible = !p.visible;
    layOutLog(*win);
  };
  // The close is only a request: whether the server ends is decided by the
  // caller, so the window itself never closes here.
  w.onCloseQuery = [closeRequested](desktop::Answer) {
    closeRequested();
    return false;
  };
  screen.setLogControl(w, "Memo1");

  auto& tray = screen.trayIcon();
  tray.menu.push_back({"menuClose", "关闭服务器", true, true, closeRequested});
  tray.setHint(trayHint("Qorvane服务器"));
  tray.enabled = true;
  tray.setVisible(true);
  screen.changed();

  services::setActivityLogSink(sink_);
}

MainWindow::~MainWindow() {
  services::setActivityLogSink(nullptr);
  auto& tray = screen_.trayIcon();
  tray.setVisible(false);
  tray.menu.clear();
  screen_.changed();
  log_.reset();
  if (window_) screen_.destroyWindow(*window_);
}

}  // namespace rvz::host
