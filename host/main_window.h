// The hidden main window frmMains with its controls, the tray icon and the
// activity log shown in Memo1.
#pragma once

#include <functional>
#include <memory>

#include "host/activity_log.h"
#include "host/log_sink.h"
#include "platform/desktop/screen.h"
#include "platform/remoting/message_loop.h"

namespace rvz::host {

inline constexpr const char* kProcessTitle = "Qorvane进销存服务器";

class MainWindow {
 public:
  // `closeRequested` runs on the main thread when the tray menu item or the
  // window's close asks the server to end.
  MainWindow(desktop::Screen& screen, remoting::MessageLoop& loop, std::function<void()> closeRequested);
  ~MainWindow();
  MainWindow(const MainWindow&) = delete;
  MainWindow& operator=(const MainWindow&) = delete;

  bool stayOnTop() const { return window_->stayOnTop; }
  // Any thread: every activity log entry is also written to the
  // operational log, with its time and the object that sent it.
  void mirrorActivity(bool on) { sink_->setMirror(on); }

 private:
  desktop::Screen& screen_;
  desktop::Window* window_ = nullptr;
  std::shared_ptr<ActivityLog> log_;
  std::shared_ptr<LoopLogSink> sink_;
};

// The tray hint as the shell keeps it: at most 63 bytes of ANSI text.
std::string trayHint(std::string_view hintUtf8);

// Ends every other process of this executable that owns a TfrmMains window
// in `home`; a copy installed as /usr/bin/RoVezevu ends none.
void sweepOtherInstances(const std::filesystem::path& home);

}  // namespace rvz::host
