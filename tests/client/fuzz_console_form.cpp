// Fuzz target: the console's action forms are decoded or refused with a
// RequestError; what is decoded is clean UTF-8 without stray control
// characters, and a decoded action names a command that changes the screen.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "client/console/console_request.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string form(reinterpret_cast<const char*>(data), size);
  using namespace rvz::client::console;
  try {
    for (const auto& [name, value] : decodeForm(form))
      for (const std::string* s : {&name, &value})
        for (unsigned char c : *s)
          if (c == 0 || c == 0x7F) std::abort();
  } catch (const RequestError&) {
  }
  try {
    auto r = actionFromForm(form);
    using rvz::desktop::Command;
    if (r.command == Command::Log || r.command == Command::Boxes || r.command == Command::Tray ||
        r.command == Command::Windows || r.command == Command::Watch)
      std::abort();
    if (r.args.size() != rvz::desktop::commandArity(r.command)) std::abort();
  } catch (const RequestError&) {
  }
  return 0;
}
