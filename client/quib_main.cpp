// quib: the suite's command-line client and the operator's console.
// The command line is read with CLI11, which gives every command its
// --help; the settings of the connection come from the environment
// (RVZ_ENDPOINT, RVZ_TOKEN, RVZ_TLS_CA, RVZ_TLS) and the flags override it.
#include <cstdlib>
#include <iostream>
#include <string>
#include <vector>

#include <CLI/CLI.hpp>

#include "client/account_set_migration.h"
#include "client/console/console_server.h"
#include "client/quib_run.h"
#include "client/sample/sample_home.h"
#include "platform/desktop/screen_client.h"

namespace {

constexpr const char* kScreenHelp =
    "Talks to the headless screen of the server whose home is RVZ_HOME.\n"
    "  log | tray | boxes | windows   print what the screen shows\n"
    "  menu ITEM                      clicks a tray menu item (\"关闭服务器\" closes the server)\n"
    "  answer BUTTON                  presses a button of the oldest open box (Yes, No, OK ...)\n"
    "  set CONTROL TEXT | click CONTROL | dropdown CONTROL | close\n"
    "                                 work a dialog\n"
    "  watch                          prints the screen's version at each change";

// The commands' settings, bound to their options; each command's own
// CLI::App tells whether it was chosen.
struct RunArgs {
  CLI::App* cmd = nullptr;
  rvz::client::RunCommand run;
  bool noActivate = false;
};

struct InitArgs {
  CLI::App* cmd = nullptr;
  std::string dir;
  int rows = 0;
  std::string serverConnection;
};

struct MigrateArgs {
  CLI::App* cmd = nullptr;
  std::string file, target;
};

struct ConsoleArgs {
  CLI::App* cmd = nullptr;
  std::string listen{rvz::client::console::kDefaultListen};
  std::string socket;
};

void addRun(CLI::App& app, RunArgs& a) {
  a.cmd = app.add_subcommand(
      "run",
      "Runs a JSON script of steps (create, call, release, lock, unlock, sleep, describe) and prints one JSON line "
      "per step. Exit 0 when every step ran, 2 when the script cannot be read, 3 when the server cannot be reached, "
      "4 with --fail when a step failed.");
  a.cmd->add_option("file", a.run.file, "the script; - or none: standard input");
  a.cmd->add_flag("--decode", a.run.decode, "print data packets as {\"packet\": ...}");
  a.cmd->add_flag("--fail", a.run.fail, "exit 4 when a step answers a failure");
  a.cmd->add_flag("--no-activate", a.noActivate, "never start the registered server: a probe fails when none answers");
}

void addInit(CLI::App& app, InitArgs& a) {
  a.cmd = app.add_subcommand(
      "init",
      "Writes a sample server home: data/DoDar.mdb, data/Sample/DaZiva.mdb and the sample behind drive D: "
      "(RVZ_DRIVE_D, else DIR/drives/d).");
  a.cmd->add_option("dir", a.dir, "the home folder to write")->required();
  a.cmd->add_option("--rows", a.rows, "about that many rows per main table (for benchmarks)")
      ->check(CLI::NonNegativeNumber);
  a.cmd->add_option("--server", a.serverConnection,
                    "also a SQL Server account set: the database that this connection string (Provider=SQLOLEDB.1;"
                    "Data Source=...;Initial Catalog=...) names, made when missing and filled with the same sample, "
                    "registered in DoDar.mdb and linked in DIR/RoVezevu.ini");
}

void addMigrate(CLI::App& app, MigrateArgs& a) {
  a.cmd = app.add_subcommand(
      "migrate",
      "Copies an Access account set into a server database: tables, rows, counter positions and indexes, all or "
      "nothing, a line per table on standard error. The database of the connection string's Initial Catalog is made "
      "when missing; one that already holds tables is refused. Exit 0 when copied, 1 when not.");
  a.cmd->add_option("file", a.file, "the account set's database file (DaZiva.mdb)")->required();
  a.cmd->add_option("connection", a.target, "the SQL Server connection string of the target")->required();
}

CLI::App* addScreen(CLI::App& app) {
  CLI::App* cmd = app.add_subcommand("screen", kScreenHelp);
  cmd->prefix_command();
  // --socket and --window belong to the screen command itself.
  cmd->allow_extras();
  cmd->fallthrough(false);
  return cmd;
}

void addConsole(CLI::App& app, ConsoleArgs& a) {
  a.cmd = app.add_subcommand(
      "console",
      "Serves the headless screen of the server whose home is RVZ_HOME as a page in a browser, until SIGINT or "
      "SIGTERM, and prints the page's address. Loopback only, unless TLS (RVZ_TLS_CERT, RVZ_TLS_KEY) and a token "
      "(RVZ_TOKEN or --token) are configured; without a token one is made and put into the printed address.");
  a.cmd->add_option("--listen", a.listen, "host:port to serve at (default 127.0.0.1:7212; port 0: any free port)");
  a.cmd->add_option("--socket", a.socket, "the screen's socket (default: RVZ_HOME/.screen.sock)");
}

int runScript(RunArgs& a, const std::string& endpoint, const std::string& token) {
  try {
    a.run.client = rvz::client::ClientOptions::fromEnvironment();
  } catch (const std::exception& e) {
    std::cerr << "quib run: " << e.what() << std::endl;
    return 3;
  }
  if (!endpoint.empty()) a.run.client.endpoint = endpoint;
  if (!token.empty()) a.run.client.token = token;
  a.run.activate = !a.noActivate;
  return rvz::client::quibRun(a.run, std::cin, std::cout, std::cerr);
}

int initHome(const InitArgs& a) {
  try {
    if (a.serverConnection.empty())
      rvz::client::buildSampleHome(a.dir, a.rows);
    else
      rvz::client::buildSampleHome(a.dir, a.rows, rvz::client::ServerAccountSet{a.serverConnection});
  } catch (const std::exception& e) {
    std::cerr << "quib init: " << e.what() << std::endl;
    return 1;
  }
  return 0;
}

int migrate(const MigrateArgs& a) {
  try {
    rvz::client::migrateAccountSet(a.file, a.target, std::cerr);
  } catch (const std::exception& e) {
    std::cerr << "quib migrate: " << e.what() << std::endl;
    return 1;
  }
  return 0;
}

int serveConsole(const ConsoleArgs& a, const std::string& token) {
  rvz::client::console::ConsoleSettings settings;
  try {
    settings.listen = rvz::remoting::parseEndpoint(a.listen);
    if (const char* v = std::getenv("RVZ_TLS_CERT")) settings.tlsCertFile = v;
    if (const char* v = std::getenv("RVZ_TLS_KEY")) settings.tlsKeyFile = v;
    settings.token = token;
    if (settings.token.empty())
      if (const char* v = std::getenv("RVZ_TOKEN")) settings.token = v;
    settings.socketPath = a.socket.empty() ? rvz::desktop::defaultSocketPath() : std::filesystem::path(a.socket);
  } catch (const std::exception& e) {
    std::cerr << "quib console: " << e.what() << std::endl;
    return 2;
  }
  return rvz::client::console::runConsole(std::move(settings), std::cout, std::cerr);
}

}  // namespace

int main(int argc, char** argv) {
  CLI::App app{"quib: the RoVezevu command-line client and operator's console", "quib"};
  app.set_version_flag("--version", std::string("quib ") + RVZ_VERSION);
  app.require_subcommand(1);
  app.fallthrough();  // --endpoint and --token may follow the command too
  std::string endpoint, token;
  app.add_option("--endpoint", endpoint,
                 "the server: host:port (gRPC), unix:PATH or framed:HOST:PORT (framed transport, this machine "
                 "only); default: RVZ_ENDPOINT, else 127.0.0.1:7211");
  app.add_option("--token", token, "the client token (default: RVZ_TOKEN)");

  RunArgs run;
  InitArgs init;
  MigrateArgs migration;
  ConsoleArgs console;
  addRun(app, run);
  addInit(app, init);
  addMigrate(app, migration);
  CLI::App* screenCmd = addScreen(app);
  addConsole(app, console);

  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    return app.exit(e);
  }

  if (*run.cmd) return runScript(run, endpoint, token);
  if (*init.cmd) return initHome(init);
  if (*migration.cmd) return migrate(migration);
  if (*console.cmd) return serveConsole(console, token);
  return rvz::desktop::runScreenCommand(screenCmd->remaining(), std::cout, std::cerr);
}
