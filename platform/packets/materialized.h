// A packet held as plain values, one object per value: convenient for
// clients, tests and packets built out of order (error packets). Decoded
// packets turn into this form and it encodes into any form.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "platform/packets/packet.h"
#include "platform/packets/packet_reader.h"
#include "platform/packets/packet_writer.h"

namespace rvz::packets {

// One value of a record.
struct Cell {
  ValueState state = ValueState::Null;
  // The value as Packet::value gives it (for a Value state).
  Variant value;
  // string and bin.hex columns: the exact bytes, which take precedence over
  // `value` when encoding (a BSTR cannot keep bytes that are not valid code
  // page 936).
  std::optional<std::string> bytes;

  static Cell null() { return {}; }
  static Cell unchanged() { return Cell{ValueState::Unchanged, {}, {}}; }
  static Cell notFetched() { return Cell{ValueState::NotFetched, {}, {}}; }
  static Cell of(Variant v) {
    if (v.isEmptyOrNull()) return null();
    return Cell{ValueState::Value, std::move(v), {}};
  }
  static Cell narrow(std::string b) { return Cell{ValueState::Value, {}, std::move(b)}; }

  // Same state and value; bytes are compared when both cells have them.
  friend bool operator==(const Cell& a, const Cell& b);
};

struct Record {
  RowStatus status = RowStatus::Original;
  std::vector<Cell> cells;
  friend bool operator==(const Record&, const Record&) = default;
};

struct MaterializedPacket {
  std::vector<Column> columns;
  PacketAttributes attributes;
  std::vector<Record> records;
  friend bool operator==(const MaterializedPacket&, const MaterializedPacket&) = default;
};

MaterializedPacket materialize(const Packet& p);
// Encodes through PacketWriter; throws PacketError as it does (a record with
// the wrong number of cells included).
std::vector<uint8_t> encode(const MaterializedPacket& p, Encoding e = Encoding::Binary);

// Writes one cell into the writer's current row.
void putCell(PacketWriter& w, const Cell& c);

}  // namespace rvz::packets
