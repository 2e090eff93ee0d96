// RoVezevu: the server process. Reads its start mode, refreshes the
// registration, serves Quib.datas and Quib.DatasBb over gRPC (and, for
// clients on this machine, the framed transport) with a hidden
// main window and tray icon, and tears itself down in order.
#include <csignal>
#include <cstring>
#include <iostream>
#include <memory>
#include <systemd/sd-daemon.h>
#include <unistd.h>
#include <string>
#include <thread>
#include <vector>

#include "host/command_line.h"
#include "host/service_settings.h"
#include "host/stop_signals.h"
#include "host/main_window.h"
#include "host/metrics_endpoint.h"
#include "host/operations_report.h"
#include "host/server_metrics.h"
#include "host/registration.h"
#include "platform/desktop/instances.h"
#include "platform/desktop/screen.h"
#include "platform/desktop/screen_server.h"
#include "platform/files/files.h"
#include "platform/oplog/operations_log.h"
#include "platform/registry/hive.h"
#include "platform/remoting/error_info.h"
#include "platform/remoting/framed_server.h"
#include "platform/remoting/grpc_server.h"
#include "platform/remoting/live_count.h"
#include "platform/remoting/message_loop.h"
#include "platform/remoting/object_runtime.h"
#include "services/command_watch.h"
#include "services/datas_bb_dispatch.h"
#include "services/datas_dispatch.h"
#include "services/quib_type_library.h"

namespace rvz::host {
namespace {

// The operational log of a server started on demand, in its home.
constexpr const char* kOnDemandLogFile = "RoVezevu.log";

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
          [&screen](const std::string& message) { screen.showError(message); },
          services::DatasDispatch::CreationHandler{}, &screen);
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

// A start-up error ends the process with exit code 1 at once. A box for it
// would stand on a screen whose socket does not serve yet, where nobody
// could answer it, and a process waiting there is a hung unit to a service
// manager; the operational log carries the error instead.
int startupFailed(const std::string& message) {
  oplog::error("start-up failed", {{"error", message}});
  return 1;
}

const char* modeName(StartMode mode) {
  switch (mode) {
    case StartMode::User: return "user";
    case StartMode::Platform: return "platform";
    case StartMode::Register: return "register";
    case StartMode::Unregister: return "unregister";
  }
  return "user";
}

// Where the operational log goes: RVZ_LOG_FILE when set; a server started
// on demand by a client has nobody reading its standard error (the client
// sends it to /dev/null), so it writes RoVezevu.log in its home unless a
// service manager's journal takes its standard error.
void routeOperationsLog(const ServiceSettings& settings, StartMode mode) {
  oplog::setMinimumLevel(settings.logLevel);
  if (!settings.logFile.empty()) {
    oplog::writeToFile(settings.logFile);
  } else if (mode == StartMode::Platform && !oplog::standardErrorIsJournal()) {
    // A home the server cannot write is no reason to fail its client:
    // the lines then go where they would have gone anyway.
    try {
      oplog::writeToFile(files::homeFolder() / kOnDemandLogFile);
    } catch (const std::exception& e) {
      oplog::warning("the log stays on standard error", {{"error", e.what()}});
    }
  }
}

// A listening socket handed over by systemd (LISTEN_FDS): socket activation,
// the Linux form of the platform start. -1 when there is none; a start-up
// error when there are several, since the server has one endpoint.
int handedOverSocket() {
  int n = sd_listen_fds(1);
  if (n < 0)
    throw ComError(E_FAIL, std::string("Cannot take the sockets of the service manager: ") + std::strerror(-n));
  if (n == 0) return -1;
  if (n > 1)
    throw ComError(E_INVALIDARG, "The service manager handed over " + std::to_string(n) +
                                     " sockets; the server listens on one: give its socket unit one ListenStream=");
  if (sd_is_socket(SD_LISTEN_FDS_START, AF_UNSPEC, SOCK_STREAM, 1) <= 0)
    throw ComError(E_INVALIDARG, "The socket handed over by the service manager is not a listening stream socket");
  return SD_LISTEN_FDS_START;
}

// The tray's close: with objects alive it asks first, one question at a
// time, and the server ends only on Yes.
class CloseQuestion {
 public:
  CloseQuestion(desktop::Screen& screen, remoting::MessageLoop& loop, remoting::LiveCount& live)
      : screen_(screen), loop_(loop), live_(live) {}

  void ask() {
    if (asking_) return;
    if (live_.value() == 0) {
      loop_.quit();
      return;
    }
    asking_ = true;
    desktop::BoxRequest box;
    box.text = kCloseWarningText;
    box.caption = "COM Server Warning";
    box.buttons = desktop::Buttons::YesNo;
    box.icon = desktop::BoxIcon::Warning;
    box.defaultButton = desktop::Answer::No;
    box.taskModal = true;
    desktop::Answer a = desktop::Answer::No;
    try {
      a = screen_.messageBox(box);
    } catch (const std::exception& e) {
      oplog::error("the close question failed", {{"error", e.what()}});
    }
    asking_ = false;
    if (a == desktop::Answer::Yes) loop_.quit();
  }

 private:
  desktop::Screen& screen_;
  remoting::MessageLoop& loop_;
  remoting::LiveCount& live_;
  bool asking_ = false;  // main thread only
};

// The framed listener for clients on this machine, when RVZ_FRAMED_ENDPOINT
// asks for one; it serves the same runtime as the gRPC server.
std::unique_ptr<remoting::FramedServer> startFramed(remoting::ObjectRuntime& runtime,
                                                    const remoting::ServerConfig& config) {
  if (!config.framed) return nullptr;
  auto framed = std::make_unique<remoting::FramedServer>(runtime, config);
  framed->start();
  return framed;
}

// Tells the service manager and the log that clients can come.
void announce(StartMode mode, int socket, const remoting::RemotingServer& server,
              const remoting::FramedServer* framed) {
  // Under systemd (Type=notify) the unit is started once clients can come.
  sd_notifyf(0, "READY=1\nSTATUS=Serving on %s", server.address().c_str());
  oplog::notice("serving", {{"endpoint", server.address()},
                            {"framed_endpoint", framed ? framed->address() : "none"},
                            {"mode", modeName(mode)},
                            {"socket_activated", socket >= 0 ? "yes" : "no"},
                            {"home", files::homeFolder().string()},
                            {"pid", std::to_string(::getpid())},
                            {"version", RVZ_VERSION}});
}

int serve(StartMode mode, const ServiceSettings& settings, int socket) {
  remoting::MessageLoop loop;
  remoting::LiveCount live;
  auto options = desktop::ScreenOptions::fromEnvironment();
  options.applicationTitle = kProcessTitle;
  auto config = remoting::ServerConfig::fromEnvironment();
  config.validate();

  desktop::Screen screen(poster(loop), options);
  remoting::RuntimeLimits limits;
  limits.maxObjectsPerSession = config.maxObjectsPerClient;
  const auto metricsAt = metricsEndpointSetting(settings.metrics, config.remote);
  OperationsReport report(settings.slowCall);
  ServerMetrics metrics;
  EventsFanOut events(report, metrics);
  remoting::ObjectRuntime runtime(loop, live, limits);
  runtime.setEvents(&events);
  remoting::RemotingServer server(runtime, config);
  if (socket >= 0) server.adoptListeningSocket(socket);

  // Why the loop ended, for the stop line; set on the main thread.
  std::string stopReason = "closed from the tray menu";
  // Set before any class object exists, so that no release can be missed.
  if (mode == StartMode::Platform)
    live.onLastRelease([&loop, &stopReason] {
      loop.post([&loop, &stopReason] {
        stopReason = "the last object was released";
        loop.quit();
      });
    });

  std::vector<uint32_t> cookies;
  cookies.push_back(runtime.registerClassObject(services::datasBbClass(), datasBbFactory(screen), true));
  cookies.push_back(runtime.registerClassObject(services::datasClass(), datasFactory(screen), true));
  runtime.resumeClassObjects();
  server.start();
  auto framed = startFramed(runtime, config);
  std::unique_ptr<MetricsEndpoint> metricsEndpoint;
  if (metricsAt) {
    // The client token, when the server has one, guards the figures too.
    metricsEndpoint =
        std::make_unique<MetricsEndpoint>(*metricsAt, config.token, [&metrics] { return metrics.render(); });
    oplog::notice("metrics served", {{"endpoint", metricsEndpoint->address()}, {"path", "/metrics"}});
  }
  announce(mode, socket, server, framed.get());

  CloseQuestion closeQuestion(screen, loop, live);
  auto window = std::make_unique<MainWindow>(
      screen, loop, [&loop, &closeQuestion] { loop.post([&closeQuestion] { closeQuestion.ask(); }); });
  window->mirrorActivity(settings.mirrorActivity);
  std::unique_ptr<desktop::ScreenServer> screenServer;
  screenServer = std::make_unique<desktop::ScreenServer>(screen);
  // A stop signal asks no question: the service manager has decided.
  StopSignals signals(settings.drain, [&loop, &stopReason](int sig) {
    loop.post([&loop, &stopReason, sig] {
      stopReason = sig == SIGTERM ? "SIGTERM" : "SIGINT";
      loop.quit();
    });
  });

  loop.run();

  // However the loop ended, the teardown gets the drain time and no more:
  // new calls are refused from here on, the calls in progress run on.
  signals.startDrain();
  sd_notify(0, "STOPPING=1");
  oplog::notice("stopping", {{"reason", stopReason},
                             {"live_objects", std::to_string(runtime.objectCount())},
                             {"sessions", std::to_string(runtime.sessionCount())}});
  services::setActivityLogSink(nullptr);
  window.reset();
  for (auto c : cookies) runtime.revokeClassObject(c);
  screen.stopRequests();
  screenServer.reset();
  server.shutdown();  // stops the runtime: framed calls from here on are refused
  if (framed) framed->shutdown();
  metricsEndpoint.reset();
  oplog::notice("stopped", {{"reason", stopReason}});
  return 0;
}

int run(const std::vector<std::string>& args) {
  blockStopSignals();
  switch (questionFromArguments(args)) {
    case Question::Help: std::cout << helpText(); return 0;
    case Question::Version: std::cout << "RoVezevu " << RVZ_VERSION << std::endl; return 0;
    case Question::None: break;
  }
  StartMode mode = startModeFromArguments(args);
  ServiceSettings settings;
  int socket = -1;
  try {
    // Started by its socket, the server was started for a client and ends
    // after the last release, as a platform start does.
    if (mode == StartMode::User || mode == StartMode::Platform) socket = handedOverSocket();
    if (socket >= 0) mode = StartMode::Platform;
    settings = ServiceSettings::fromEnvironment();
    routeOperationsLog(settings, mode);
  } catch (const std::exception& e) {
    return startupFailed(e.what());
  }
  try {
    registry::Hive hive(registry::Hive::defaultFile());
    if (mode == StartMode::Unregister) {
      removeRegistration(hive);
      oplog::notice("registration removed", {{"hive", registry::Hive::defaultFile().string()}});
      return 0;
    }
    writeRegistration(hive, desktop::ownExecutablePath(), mode != StartMode::Register);
    if (mode == StartMode::Register) {
      oplog::notice("registration written", {{"hive", registry::Hive::defaultFile().string()}});
      return 0;
    }
  } catch (const std::exception& e) {
    return startupFailed(e.what());
  }
  try {
    return serve(mode, settings, socket);
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
