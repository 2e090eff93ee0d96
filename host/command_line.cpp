// Reading the start mode from the command line.
#include "host/command_line.h"

#include <cctype>
#include <string_view>

namespace rvz::host {

namespace {

bool isSwitch(const std::string& arg, std::string_view name) {
  if (arg.size() != name.size() + 1 || (arg[0] != '-' && arg[0] != '/')) return false;
  for (size_t i = 0; i < name.size(); ++i)
    if (std::toupper(static_cast<unsigned char>(arg[i + 1])) != name[i]) return false;
  return true;
}

}  // namespace

StartMode startModeFromArguments(const std::vector<std::string>& args) {
  bool platform = false, reg = false, unreg = false;
  for (const auto& a : args) {
    platform = platform || isSwitch(a, "AUTOMATION") || isSwitch(a, "EMBEDDING");
    reg = reg || isSwitch(a, "REGSERVER");
    unreg = unreg || isSwitch(a, "UNREGSERVER");
  }
  if (platform) return StartMode::Platform;
  if (reg) return StartMode::Register;
  if (unreg) return StartMode::Unregister;
  return StartMode::User;
}

}  // namespace rvz::host

namespace rvz::host {

Question questionFromArguments(const std::vector<std::string>& args) {
  Question q = Question::None;
  for (const auto& a : args) {
    if (a == "--help" || a == "-h") return Question::Help;
    if (a == "--version") q = Question::Version;
  }
  return q;
}

std::string helpText() {
  return "Usage: RoVezevu [-Embedding | -Automation | -RegServer | -UnregServer]\n"
         "\n"
         "Serves the classes Quib.datas and Quib.DatasBb over gRPC.\n"
         "\n"
         "Start modes (\"-\" or \"/\", any letter case):\n"
         "  (none)         user start: serves until closed from the tray menu or stopped\n"
         "  -Embedding     platform start (as a client starts it): ends after the last release\n"
         "  -Automation    the same as -Embedding\n"
         "  -RegServer     writes the registration and ends\n"
         "  -UnregServer   removes the registration and ends\n"
         "  --help         prints this text;  --version  prints the version\n"
         "\n"
         "SIGTERM or SIGINT stops the server without a question: new calls are refused and\n"
         "calls in progress get RVZ_DRAIN_SECONDS to finish; a second signal ends it at once.\n"
         "\n"
         "Environment:\n"
         "  RVZ_HOME               the server's home folder (settings, data/, screen socket)\n"
         "  RVZ_DRIVE_X            the directory that drive X: maps to (default <home>/drives/x)\n"
         "  RVZ_REGISTRY           the registry hive (default <home>/registry.hive)\n"
         "  RVZ_ENDPOINT           host:port to listen on (default 127.0.0.1:7211)\n"
         "  RVZ_FRAMED_ENDPOINT    also serve the framed transport here: unix:PATH or framed:127.0.0.1:PORT\n"
         "  RVZ_REMOTE=1           serve other machines; needs RVZ_TLS_CERT, RVZ_TLS_KEY, RVZ_TOKEN\n"
         "  RVZ_TOKEN              the token every request must carry\n"
         "  RVZ_MAX_MESSAGE        the largest message (bytes, or with K or M)\n"
         "  RVZ_MAX_OBJECTS        the most objects one client may hold\n"
         "  RVZ_SCREEN_TIMEOUT     seconds after which a message box takes its default button\n"
         "  RVZ_SCREEN_TRAY=0      run without a tray icon\n"
         "  RVZ_DRAIN_SECONDS      time calls in progress get after a stop signal (default 10)\n"
         "  RVZ_LOG_LEVEL          error, warning, notice, info (default) or debug\n"
         "  RVZ_LOG_FILE           write the operational log to this file, not standard error\n"
         "  RVZ_SLOW_CALL_SECONDS  calls that take longer are logged as slow (default 2)\n"
         "  RVZ_LOG_ACTIVITY=1     mirror the activity log's entries into the operational log\n"
         "  RVZ_METRICS            host:port serving Prometheus metrics at /metrics (off when unset)\n";
}

}  // namespace rvz::host
