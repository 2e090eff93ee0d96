// Fuzz target: the server's settings as the environment gives them. Lines
// of the input are RVZ_ENDPOINT, RVZ_REMOTE, RVZ_MAX_MESSAGE,
// RVZ_MAX_OBJECTS, RVZ_TOKEN, RVZ_TLS_CERT and RVZ_TLS_KEY in that order.
#include <cstddef>
#include <cstdint>
#include <map>
#include <string>

#include "platform/remoting/endpoint.h"

using namespace rvz;
using namespace rvz::remoting;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const char* const kNames[] = {"RVZ_ENDPOINT", "RVZ_REMOTE",   "RVZ_MAX_MESSAGE", "RVZ_MAX_OBJECTS",
                                       "RVZ_TOKEN",    "RVZ_TLS_CERT", "RVZ_TLS_KEY"};
  std::string input(reinterpret_cast<const char*>(data), size);
  std::map<std::string, std::string> env;
  size_t start = 0;
  for (const char* name : kNames) {
    if (start > input.size()) break;
    size_t end = input.find('\n', start);
    if (end == std::string::npos) end = input.size();
    env[name] = input.substr(start, end - start);
    start = end + 1;
  }
  try {
    Endpoint ep = parseEndpoint(env["RVZ_ENDPOINT"]);
    // What is printed parses back to the same endpoint.
    Endpoint again = parseEndpoint(ep.text());
    if (again.host != ep.host || again.port != ep.port) __builtin_trap();
  } catch (const ComError&) {
  }
  try {
    ServerConfig c = ServerConfig::fromEnvironment([&](const char* name) -> const char* {
      auto it = env.find(name);
      return it == env.end() ? nullptr : it->second.c_str();
    });
    // Whatever is accepted serves other machines only with TLS and a token.
    if (!c.endpoint.loopback() && (!c.remote || c.token.empty() || c.tlsCertFile.empty())) __builtin_trap();
    if (c.maxMessageBytes < 1024 || c.maxMessageBytes > (1u << 30)) __builtin_trap();
  } catch (const ComError&) {
  }
  return 0;
}
