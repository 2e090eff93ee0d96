// Fuzz target: decoding variant bytes never crashes, and what decodes
// encodes to a stable form (NaN payloads may be quieted once).
#include <cstdlib>

#include "platform/variant/variant_wire.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view in(reinterpret_cast<const char*>(data), size);
  try {
    rvz::Variant v = rvz::decodeVariant(in);
    std::string once = rvz::encodeVariant(v);
    if (rvz::encodeVariant(rvz::decodeVariant(once)) != once) std::abort();
    (void)v.toText();
  } catch (const rvz::VariantError&) {
  }
  return 0;
}
