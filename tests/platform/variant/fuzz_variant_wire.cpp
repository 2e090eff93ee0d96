// Fuzz target: decoding variant bytes never crashes; what decodes encodes
// back to the same bytes.
#include <cstdlib>

#include "platform/variant/variant_wire.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view in(reinterpret_cast<const char*>(data), size);
  try {
    rvz::Variant v = rvz::decodeVariant(in);
    if (rvz::encodeVariant(v) != in) std::abort();
    (void)v.toText();
  } catch (const rvz::VariantError&) {
  }
  return 0;
}
