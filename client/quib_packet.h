// Packets in the JSON of the quib tool: {"packet": {"columns": [...],
// "attributes": {...}, "rows": [{"status": ..., "values": [...]}]}}, column
// field types named as in the XML form, cell values as variants in JSON
// with {"unchanged": true} and {"notfetched": true} for the two marks.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "platform/packets/packet_reader.h"
#include "platform/variant/variant.h"

namespace rvz::client {

// The object inside {"packet": ...}.
nlohmann::ordered_json packetToJson(const packets::Packet& p);

// Encodes the object inside {"packet": ...} in the binary form. Throws
// ComError (E_INVALIDARG) whose text starts with `where` and names the
// column, row or value at fault.
std::vector<uint8_t> packetFromJson(const nlohmann::json& j, const std::string& where);

// {"packet": ...} when the variant is a byte array holding a packet in any
// form; nullopt for anything else.
std::optional<nlohmann::ordered_json> decodedPacket(const Variant& v);

}  // namespace rvz::client
