// A client process for the runtime's tests: it creates objects of Test.Echo,
// says "ready" and then waits to be killed, never releasing them.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

#include "client/client.h"

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: %s ENDPOINT COUNT\n", argv[0]);
    return 2;
  }
  rvz::client::ClientOptions options;
  options.endpoint = argv[1];
  try {
    rvz::client::Client client(options);
    for (int i = 0; i < std::atoi(argv[2]); ++i) {
      rvz::client::ObjectRef o;
      rvz::ErrorInfo e;
      if (client.create("Test.Echo", o, e) != rvz::S_OK) {
        std::fprintf(stderr, "create failed: %s\n", rvz::text::wideToUtf8(e.description).c_str());
        return 1;
      }
    }
    std::printf("ready\n");
    std::fflush(stdout);
    while (true) pause();
  } catch (const std::exception& e) {
    std::fprintf(stderr, "%s\n", e.what());
    return 1;
  }
}
