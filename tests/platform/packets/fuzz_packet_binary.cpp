// Fuzz target: decoding binary packets never crashes, and a packet that
// decodes re-encodes to a stable binary form and to XML that reads back.
#include <cstdlib>

#include "platform/packets/materialized.h"

using namespace rvz::packets;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::vector<uint8_t> once;
  try {
    Packet p = decodePacket(std::span<const uint8_t>(data, size));
    MaterializedPacket m = materialize(p);
    once = encode(m);
  } catch (const PacketError&) {
    return 0;
  }
  // What the library wrote, it must read, and write the same way again.
  std::vector<uint8_t> twice = encode(materialize(decodePacket(once)));
  if (twice != once) std::abort();
  std::vector<uint8_t> xml;
  try {
    xml = encode(materialize(decodePacket(once)), Encoding::XmlUtf8);
  } catch (const PacketError&) {
    return 0;  // metadata XML cannot carry (control characters in names)
  }
  (void)decodePacket(xml);
  return 0;
}
