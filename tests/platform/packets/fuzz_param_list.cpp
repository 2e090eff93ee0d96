// Fuzz target: any variant read as a parameter list either fails with a
// PacketError or gives a list that packs and reads back to the same list.
#include <cmath>
#include <cstdlib>

#include "platform/packets/param_list.h"
#include "platform/variant/variant_wire.h"

using namespace rvz;
using namespace rvz::packets;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  Variant v;
  try {
    v = decodeVariant(std::string_view(reinterpret_cast<const char*>(data), size));
  } catch (const VariantError&) {
    return 0;
  }
  ParamList list;
  try {
    list = readParamList(v);
  } catch (const PacketError&) {
    return 0;
  }
  ParamList back = readParamList(packParamList(list));
  if (back.size() != list.size()) std::abort();
  for (size_t i = 0; i < list.size(); ++i) {
    if (back[i].name != list[i].name || back[i].dataType != list[i].dataType ||
        back[i].direction != list[i].direction || back[i].size != list[i].size || back[i].bound() != list[i].bound())
      std::abort();
  }
  (void)sameParamList(list, back);
  return 0;
}
