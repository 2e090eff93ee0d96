// Fuzz target: a hive file is read or refused with a RegistryError; what is
// read is written out and read back to the same tree and the same text.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "platform/registry/hive_format.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string text(reinterpret_cast<const char*>(data), size);
  try {
    rvz::registry::Key tree = rvz::registry::parseHive(text, "fuzz.hive");
    std::string written = rvz::registry::serializeHive(tree);
    rvz::registry::Key again = rvz::registry::parseHive(written, "fuzz.hive");
    if (!(again == tree)) std::abort();
    if (rvz::registry::serializeHive(again) != written) std::abort();
  } catch (const rvz::registry::RegistryError&) {
  }
  return 0;
}
