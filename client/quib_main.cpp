// quib: the suite's command-line client.
#include <iostream>
#include <string>
#include <vector>

#include "client/quib_run.h"
#include "client/sample/sample_home.h"
#include "platform/desktop/screen_client.h"

namespace {

int usage() {
  std::cerr << "usage: quib run [FILE|-]\n"
               "  runs a JSON script of create, call, release, lock, unlock and sleep steps\n"
               "  against RVZ_ENDPOINT and prints one JSON line per step\n"
               "       quib init DIR [--rows N]\n"
               "  builds a sample server home in DIR\n"
               "       quib screen COMMAND...\n"
               "  talks to the headless screen of the server in RVZ_HOME"
            << std::endl;
  return 2;
}

int init(const std::vector<std::string>& args) {
  std::string dir;
  int rows = 0;
  for (size_t i = 0; i < args.size(); ++i) {
    if (args[i] == "--rows") {
      if (i + 1 >= args.size()) {
        std::cerr << "quib init: --rows needs a number" << std::endl;
        return 2;
      }
      try {
        size_t used = 0;
        rows = std::stoi(args[++i], &used);
        if (used != args[i].size() || rows < 0) throw std::invalid_argument("rows");
      } catch (const std::exception&) {
        std::cerr << "quib init: --rows takes a whole number of at least 0, not \"" << args[i] << "\"" << std::endl;
        return 2;
      }
    } else if (dir.empty()) {
      dir = args[i];
    } else {
      std::cerr << "quib init: unexpected argument \"" << args[i] << "\"" << std::endl;
      return 2;
    }
  }
  if (dir.empty()) return usage();
  try {
    rvz::client::buildSampleHome(dir, rows);
  } catch (const std::exception& e) {
    std::cerr << "quib init: " << e.what() << std::endl;
    return 1;
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return usage();
  std::string command = argv[1];
  std::vector<std::string> rest(argv + 2, argv + argc);
  if (command == "init") return init(rest);
  if (command == "screen") return rvz::desktop::runScreenCommand(rest, std::cout, std::cerr);
  if (command == "run") return rvz::client::quibRun(rest, std::cin, std::cout, std::cerr);
  std::cerr << "quib: unknown command \"" << command << "\"" << std::endl;
  return usage();
}
