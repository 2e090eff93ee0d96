// Test scaffolding for the screen: a main thread with a message loop of its
// own, a scratch home folder, and a screen set up with a main window and
// tray icon the way the server sets them up.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>

#include <condition_variable>
#include <deque>
#include <filesystem>
#include <functional>
#include <future>
#include <memory>
#include <mutex>
#include <thread>

#include "platform/desktop/screen.h"
#include "tests/support/scratch_folder.h"

namespace rvz::desktop::test_support {

// A thread running a message loop: post() from anywhere, run() to execute
// something there and wait for its result.
class MainThread {
 public:
  MainThread() : thread_([this] { loop(); }) {}
  ~MainThread() {
    {
      std::lock_guard lk(mu_);
      stop_ = true;
    }
    cv_.notify_all();
    thread_.join();
  }

  void post(std::function<void()> task) {
    {
      std::lock_guard lk(mu_);
      tasks_.push_back(std::move(task));
    }
    cv_.notify_all();
  }

  template <class F>
  auto run(F f) -> decltype(f()) {
    std::packaged_task<decltype(f())()> task(std::move(f));
    auto result = task.get_future();
    post([&task] { task(); });
    return result.get();
  }

  std::thread::id id() const { return thread_.get_id(); }

 private:
  void loop() {
    std::unique_lock lk(mu_);
    while (true) {
      cv_.wait(lk, [&] { return stop_ || !tasks_.empty(); });
      if (tasks_.empty()) return;
      auto task = std::move(tasks_.front());
      tasks_.pop_front();
      lk.unlock();
      task();
      lk.lock();
    }
  }

  std::mutex mu_;
  std::condition_variable cv_;
  std::deque<std::function<void()>> tasks_;
  bool stop_ = false;
  std::thread thread_;
};

inline std::filesystem::path makeScratchFolder(const char* prefix) { return testsupport::newScratchFolder(prefix); }

// What the main thread saw of the server's own UI.
struct ServerUiRecord {
  std::mutex mu;
  std::thread::id closeThread;
  std::vector<Answer> closeAnswers;
  std::string log;  // the activity log's text (UTF-8)
};

// The main window and the tray icon as the server builds them: the close
// item asks the "COM Server Warning" question, as when objects are live.
inline void buildServerUi(Screen& screen, const std::shared_ptr<ServerUiRecord>& record) {
  Window& w = screen.createWindow("frmMains", "TfrmMains", "Main");
  w.add("Panel1", ControlKind::Panel);
  w.add("CheckBox1", ControlKind::CheckBox, "置顶");
  w.add("SpeedButton1", ControlKind::Button, "删除").onClick = [record] {
    std::lock_guard lk(record->mu);
    record->log.clear();
  };
  w.add("SpeedButton2", ControlKind::Button, "其他消息");
  w.add("Panel2", ControlKind::Panel).visible = false;
  w.add("Memo2", ControlKind::Memo);
  Control& memo = w.add("Memo1", ControlKind::Memo);
  memo.textSource = [record] {
    std::lock_guard lk(record->mu);
    return record->log;
  };
  screen.setLogControl(w, "Memo1");

  TrayIcon& tray = screen.trayIcon();
  tray.setHint("Qorvane服务器");
  MenuItem close;
  close.name = "menuClose";
  close.caption = "关闭服务器";
  close.onClick = [&screen, record] {
    BoxRequest box;
    box.caption = "COM Server Warning";
    box.text = "There are still active COM objects in this application.";
    box.buttons = Buttons::YesNo;
    box.defaultButton = Answer::No;
    box.icon = BoxIcon::Warning;
    box.taskModal = true;
    Answer a = screen.messageBox(box);
    std::lock_guard lk(record->mu);
    record->closeThread = std::this_thread::get_id();
    record->closeAnswers.push_back(a);
  };
  tray.menu.push_back(close);
  tray.enabled = true;
  tray.setVisible(true);
}

}  // namespace rvz::desktop::test_support
