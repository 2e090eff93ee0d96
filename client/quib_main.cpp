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

  rvz::client::RunCommand run;
  bool noActivate = false;
  CLI::App* runCmd = app.add_subcommand(
      "run",
      "Runs a JSON script of steps (create, call, release, lock, unlock, sleep, describe) and prints one JSON line "
      "per step. Exit 0 when every step ran, 2 when the script cannot be read, 3 when the server cannot be reached, "
      "4 with --fail when a step failed.");
  runCmd->add_option("file", run.file, "the script; - or none: standard input");
  runCmd->add_flag("--decode", run.decode, "print data packets as {\"packet\": ...}");
  runCmd->add_flag("--fail", run.fail, "exit 4 when a step answers a failure");
  runCmd->add_flag("--no-activate", noActivate,
                   "never start the registered server: a probe fails when none answers");

  std::string initDir;
  int rows = 0;
  CLI::App* initCmd = app.add_subcommand(
      "init", "Writes a sample server home: data/DoDar.mdb, data/Sample/DaZiva.mdb and the sample behind drive D: "
              "(RVZ_DRIVE_D, else DIR/drives/d).");
  initCmd->add_option("dir", initDir, "the home folder to write")->required();
  initCmd->add_option("--rows", rows, "about that many rows per main table (for benchmarks)")
      ->check(CLI::NonNegativeNumber);
  std::string serverConnection;
  initCmd->add_option("--server", serverConnection,
                      "also a SQL Server account set: the database that this connection string (Provider=SQLOLEDB.1;"
                      "Data Source=...;Initial Catalog=...) names, made when missing and filled with the same sample, "
                      "registered in DoDar.mdb and linked in DIR/RoVezevu.ini");

  std::string migrateFile, migrateTarget;
  CLI::App* migrateCmd = app.add_subcommand(
      "migrate",
      "Copies an Access account set into a server database: tables, rows, counter positions and indexes, all or "
      "nothing, a line per table on standard error. The database of the connection string's Initial Catalog is made "
      "when missing; one that already holds tables is refused. Exit 0 when copied, 1 when not.");
  migrateCmd->add_option("file", migrateFile, "the account set's database file (DaZiva.mdb)")->required();
  migrateCmd->add_option("connection", migrateTarget, "the SQL Server connection string of the target")->required();

  CLI::App* screenCmd = app.add_subcommand("screen", kScreenHelp);
  screenCmd->prefix_command();
  // --socket and --window belong to the screen command itself.
  screenCmd->allow_extras();
  screenCmd->fallthrough(false);

  std::string listen(rvz::client::console::kDefaultListen), consoleSocket;
  CLI::App* consoleCmd = app.add_subcommand(
      "console",
      "Serves the headless screen of the server whose home is RVZ_HOME as a page in a browser, until SIGINT or "
      "SIGTERM, and prints the page's address. Loopback only, unless TLS (RVZ_TLS_CERT, RVZ_TLS_KEY) and a token "
      "(RVZ_TOKEN or --token) are configured; without a token one is made and put into the printed address.");
  consoleCmd->add_option("--listen", listen, "host:port to serve at (default 127.0.0.1:7212; port 0: any free port)");
  consoleCmd->add_option("--socket", consoleSocket, "the screen's socket (default: RVZ_HOME/.screen.sock)");

  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    return app.exit(e);
  }

  if (*runCmd) {
    try {
      run.client = rvz::client::ClientOptions::fromEnvironment();
    } catch (const std::exception& e) {
      std::cerr << "quib run: " << e.what() << std::endl;
      return 3;
    }
    if (!endpoint.empty()) run.client.endpoint = endpoint;
    if (!token.empty()) run.client.token = token;
    run.activate = !noActivate;
    return rvz::client::quibRun(run, std::cin, std::cout, std::cerr);
  }
  if (*initCmd) {
    try {
      if (serverConnection.empty())
        rvz::client::buildSampleHome(initDir, rows);
      else
        rvz::client::buildSampleHome(initDir, rows, rvz::client::ServerAccountSet{serverConnection});
    } catch (const std::exception& e) {
      std::cerr << "quib init: " << e.what() << std::endl;
      return 1;
    }
    return 0;
  }
  if (*migrateCmd) {
    try {
      rvz::client::migrateAccountSet(migrateFile, migrateTarget, std::cerr);
    } catch (const std::exception& e) {
      std::cerr << "quib migrate: " << e.what() << std::endl;
      return 1;
    }
    return 0;
  }
  if (*consoleCmd) {
    rvz::client::console::ConsoleSettings settings;
    try {
      settings.listen = rvz::remoting::parseEndpoint(listen);
      if (const char* v = std::getenv("RVZ_TLS_CERT")) settings.tlsCertFile = v;
      if (const char* v = std::getenv("RVZ_TLS_KEY")) settings.tlsKeyFile = v;
      settings.token = token;
      if (settings.token.empty())
        if (const char* v = std::getenv("RVZ_TOKEN")) settings.token = v;
      settings.socketPath = consoleSocket.empty() ? rvz::desktop::defaultSocketPath() : std::filesystem::path(consoleSocket);
    } catch (const std::exception& e) {
      std::cerr << "quib console: " << e.what() << std::endl;
      return 2;
    }
    return rvz::client::console::runConsole(std::move(settings), std::cout, std::cerr);
  }
  return rvz::desktop::runScreenCommand(screenCmd->remaining(), std::cout, std::cerr);
}
