// Fuzz target: a quib script. Whatever reads as steps has arguments whose
// JSON form reads back as the same variants; packet arguments show as
// packets whose JSON reads again.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>
#include <vector>

#include "client/quib_json.h"
#include "client/quib_packet.h"
#include "client/quib_run.h"

using namespace rvz;
using namespace rvz::client;

namespace {

bool hasNan(const Variant& v) {
  if (v.isArray()) {
    for (size_t i = 0; i < v.arrayValue().size(); ++i)
      if (hasNan(v.arrayValue().get(i))) return true;
    return false;
  }
  return (v.type() == VT_R8 || v.type() == VT_R4) && std::isnan(v.realValue());
}

}  // namespace

// The JSON parser's many template branches swamp libFuzzer's entropic
// scheduler (tens of runs a second); the plain one does thousands.
extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
  for (int i = 1; i < *argc; ++i)
    if (std::strncmp((*argv)[i], "-entropic=", 10) == 0) return 0;
  static std::vector<char*> args;
  args.assign(*argv, *argv + *argc);
  static char entropic[] = "-entropic=0";
  args.insert(args.begin() + 1, entropic);
  args.push_back(nullptr);
  *argc += 1;
  *argv = args.data();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view text(reinterpret_cast<const char*>(data), size);
  try {
    for (const Step& s : parseScript(text)) {
      for (const Variant& a : s.args) {
        auto j = variantToJson(a);
        Variant back = variantFromJson(nlohmann::json::parse(j.dump()), "again");
        if (!hasNan(a) && !(back == a)) __builtin_trap();
        // A packet argument shows as a packet again, and that JSON reads.
        if (auto p = decodedPacket(a)) (void)variantFromJson(nlohmann::json::parse(p->dump()), "shown");
      }
    }
  } catch (const ComError&) {
  }
  return 0;
}
