// RoVezevu: the server process. Reads its start mode, refreshes the
// registration, serves Quib.datas and Quib.DatasBb over gRPC with a hidden
// main window and tray icon, and tears itself down in order.
#include <csignal>
#include <iostream>
#include <memory>
#include <pthread.h>
#include <string>
#include <thread>
#include <vector>

#include "host/command_line.h"
#include "host/main_window.h"
#include "host/registration.h"
#include "platform/desktop/instances.h"
#include "platform/desktop/screen.h"
#include "platform/desktop/screen_server.h"
#include "platform/registry/hive.h"
#include "platform/remoting/error_info.h"
#include "platform/remoting/grpc_server.h"
#include "platform/remoting/live_count.h"
#include "platform/remoting/message_loop.h"
#include "platform/remoting/object_runtime.h"
#include "services/command_watch.h"
#include "services/datas_bb_dispatch.h"
#include "services/datas_dispatch.h"

namespace rvz::host {
namespace {

constexpr const char* kCloseWarningText =
    "There are still active COM objects in this application.  One or more clients may have references to these "
    "objects, so manually closing this application may cause those client application(s) to fail.\r\n\r\nAre you "
    "sure you want to close this application?";

desktop::Screen::Post poster(remoting::MessageLoop& loop) {
  return [&loop](std::function<void()> f) { loop.post(std::move(f)); };
}

// A failure while building a service object is shown on the server's
// desktop first, then reaches the client as E_UNEXPECTED.
[[noreturn]] void buildFailed(desktop::Screen& screen, const std::exception& e) {
  desktop::BoxRequest box;
  box.text = desktop::withFullStop(e.what());
  box.caption = "ZUR Error";
  box.buttons = desktop::Buttons::OK;
  box.icon = desktop::BoxIcon::Error;
  box.defaultButton = desktop::Answer::OK;
  box.foreground = true;
  screen.messageBox(box);
  throw ComError(E_UNEXPECTED, e.what());
}

// The factory of datas: a failure in the object's creation handler is shown
// in the process's error box, and the object is served once that is closed.
remoting::ObjectFactory datasFactory(desktop::Screen& screen) {
  return [&screen]() -> std::unique_ptr<remoting::DispatchObject> {
    try {
      return std::make_unique<services::DatasDispatch>(
          [&screen](const std::string& message) { screen.showError(message); });
    } catch (const std::exception& e) {
      buildFailed(screen, e);
    }
  };
}

remoting::ObjectFactory datasBbFactory(desktop::Screen& screen) {
  return [&screen]() -> std::unique_ptr<remoting::DispatchObject> {
    try {
      return std::make_unique<services::DatasBbDispatch>();
    } catch (const std::exception& e) {
      buildFailed(screen, e);
    }
  };
}

// Signals are taken by a thread of their own so that the close check runs
// on the main thread like any other close request.
class SignalWatch {
 public:
  // Every thread of the process must have the signals blocked, so this runs
  // before any thread starts.
  static sigset_t blockSignals() {
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGTERM);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGUSR2);
    pthread_sigmask(SIG_BLOCK, &set, nullptr);
    return set;
  }

  explicit SignalWatch(std::function<void()> onSignal) {
    set_ = blockSignals();
    thread_ = std::thread([this, onSignal = std::move(onSignal)] {
      for (;;) {
        int sig = 0;
        if (sigwait(&set_, &sig) != 0) continue;
        if (sig == SIGUSR2) return;  // our own stop
        onSignal();
      }
    });
  }
  ~SignalWatch() {
    pthread_kill(thread_.native_handle(), SIGUSR2);
    thread_.join();
  }

 private:
  sigset_t set_;
  std::thread thread_;
};

int startupFailed(const std::string& message) {
  std::cerr << "RoVezevu: " << message << std::endl;
  try {
    remoting::MessageLoop loop;
    desktop::Screen screen(poster(loop), desktop::ScreenOptions::fromEnvironment());
    desktop::BoxRequest box;
    box.text = desktop::withFullStop(message);
    box.caption = "Application Error";
    box.icon = desktop::BoxIcon::Error;
    box.defaultButton = desktop::Answer::OK;
    screen.messageBox(box);
  } catch (const std::exception&) {
  }
  return 1;
}

int serve(StartMode mode) {
  remoting::MessageLoop loop;
  remoting::LiveCount live;
  auto options = desktop::ScreenOptions::fromEnvironment();
  options.applicationTitle = kProcessTitle;
  auto config = remoting::ServerConfig::fromEnvironment();
  config.validate();

  desktop::Screen screen(poster(loop), options);
  remoting::RuntimeLimits limits;
  limits.maxObjectsPerSession = config.maxObjectsPerClient;
  remoting::ObjectRuntime runtime(loop, live, limits);
  remoting::RemotingServer server(runtime, config);

  // Set before any class object exists, so that no release can be missed.
  if (mode == StartMode::Platform)
    live.onLastRelease([&loop] { loop.post([&loop] { loop.quit(); }); });

  std::vector<uint32_t> cookies;
  cookies.push_back(runtime.registerClassObject(remoting::datasBbClass(), datasBbFactory(screen), true));
  cookies.push_back(runtime.registerClassObject(remoting::datasClass(), datasFactory(screen), true));
  runtime.resumeClassObjects();
  server.start();
  std::cerr << "RoVezevu: serving on " << server.address() << std::endl;

  bool asking = false;
  auto closeRequest = [&] {
    if (asking) return;  // one question at a time
    if (live.value() == 0) {
      loop.quit();
      return;
    }
    asking = true;
    desktop::BoxRequest box;
    box.text = kCloseWarningText;
    box.caption = "COM Server Warning";
    box.buttons = desktop::Buttons::YesNo;
    box.icon = desktop::BoxIcon::Warning;
    box.defaultButton = desktop::Answer::No;
    box.taskModal = true;
    desktop::Answer a = desktop::Answer::No;
    try {
      a = screen.messageBox(box);
    } catch (const std::exception& e) {
      std::cerr << "RoVezevu: " << e.what() << std::endl;
    }
    asking = false;
    if (a == desktop::Answer::Yes) loop.quit();
  };
  auto window = std::make_unique<MainWindow>(screen, loop, [&loop, closeRequest] {
    loop.post([closeRequest] { closeRequest(); });
  });
  std::unique_ptr<desktop::ScreenServer> screenServer;
  screenServer = std::make_unique<desktop::ScreenServer>(screen);
  SignalWatch signals([&loop, closeRequest] { loop.post([closeRequest] { closeRequest(); }); });

  loop.run();

  services::setActivityLogSink(nullptr);
  window.reset();
  for (auto c : cookies) runtime.revokeClassObject(c);
  screen.stopRequests();
  screenServer.reset();
  server.shutdown();
  std::cerr << "RoVezevu: ended" << std::endl;
  return 0;
}

int run(const std::vector<std::string>& args) {
  SignalWatch::blockSignals();
  StartMode mode = startModeFromArguments(args);
  try {
    registry::Hive hive(registry::Hive::defaultFile());
    if (mode == StartMode::Unregister) {
      removeRegistration(hive);
      return 0;
    }
    writeRegistration(hive, desktop::ownExecutablePath(), mode != StartMode::Register);
    if (mode == StartMode::Register) return 0;
  } catch (const std::exception& e) {
    return startupFailed(e.what());
  }
  try {
    return serve(mode);
  } catch (const std::exception& e) {
    return startupFailed(e.what());
  }
}

}  // namespace
}  // namespace rvz::host

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  return rvz::host::run(args);
}
