// quib: the suite's command-line client.
#include <iostream>
#include <string>
#include <vector>

#include "client/quib_run.h"

namespace {

int usage() {
  std::cerr << "usage: quib run [FILE|-]\n"
               "  runs a JSON script of create, call, release, lock, unlock and sleep steps\n"
               "  against RVZ_ENDPOINT and prints one JSON line per step"
            << std::endl;
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return usage();
  std::string command = argv[1];
  std::vector<std::string> rest(argv + 2, argv + argc);
  if (command == "run") return rvz::client::quibRun(rest, std::cin, std::cout, std::cerr);
  std::cerr << "quib: unknown command \"" << command << "\"" << std::endl;
  return usage();
}
