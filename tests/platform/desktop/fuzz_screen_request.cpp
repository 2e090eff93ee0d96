// Fuzz target: screen request lines are decoded or refused with a
// ScreenError, and a decoded request survives encoding; the same bytes as
// a reply line and as a window marker are read or refused without harm.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "platform/desktop/instances.h"
#include "platform/desktop/screen_request.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string line(reinterpret_cast<const char*>(data), size);
  using namespace rvz::desktop;
  try {
    Request r = decodeRequest(line);
    Request back = decodeRequest(encodeRequest(r));
    if (back.command != r.command || back.args != r.args || back.window != r.window) std::abort();
  } catch (const ScreenError&) {
  }
  try {
    (void)decodeReply(line);
  } catch (const ScreenError&) {
  }
  if (auto m = parseWindowMarker(line)) {
    auto again = parseWindowMarker(formatWindowMarker(*m));
    if (!again || again->classes != m->classes || again->startTime != m->startTime) std::abort();
  }
  return 0;
}
