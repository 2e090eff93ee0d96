// Conversions between decoded packets, their plain-value form and the
// encoder.
#include "platform/packets/materialized.h"

#include "platform/packets/packet_writer.h"

namespace rvz::packets {

bool operator==(const Cell& a, const Cell& b) {
  if (a.state != b.state) return false;
  if (a.state != ValueState::Value) return true;
  if (a.bytes && b.bytes) return *a.bytes == *b.bytes;
  return a.value == b.value;
}

MaterializedPacket materialize(const Packet& p) {
  MaterializedPacket m;
  m.columns = p.columns();
  m.attributes = p.attributes();
  m.records.reserve(p.rowCount());
  for (size_t r = 0; r < p.rowCount(); ++r) {
    Record rec;
    rec.status = p.status(r);
    rec.cells.reserve(p.columnCount());
    for (size_t c = 0; c < p.columnCount(); ++c) {
      Cell cell;
      cell.state = p.state(r, c);
      if (cell.state == ValueState::Value) {
        cell.value = p.value(r, c);
        if (detail::storeOf(m.columns[c]) == detail::Store::Narrow) cell.bytes = std::string(p.narrow(r, c));
      }
      rec.cells.push_back(std::move(cell));
    }
    m.records.push_back(std::move(rec));
  }
  return m;
}

void putCell(PacketWriter& w, const Cell& c) {
  switch (c.state) {
    case ValueState::Null: return w.putNull();
    case ValueState::Unchanged: return w.putUnchanged();
    case ValueState::NotFetched: return w.putNotFetched();
    case ValueState::Value:
      if (c.bytes) return w.putNarrow(*c.bytes);
      return w.put(c.value);
  }
}

std::vector<uint8_t> encode(const MaterializedPacket& p, Encoding e) {
  PacketWriter w(p.columns, p.attributes, e);
  for (size_t r = 0; r < p.records.size(); ++r) {
    const Record& rec = p.records[r];
    if (rec.cells.size() != p.columns.size())
      throw PacketError("record " + std::to_string(r + 1) + " has " + std::to_string(rec.cells.size()) + " cells for " +
                        std::to_string(p.columns.size()) + " columns");
    w.beginRow(rec.status);
    for (const Cell& c : rec.cells) putCell(w, c);
    w.endRow();
  }
  return w.finish();
}

}  // namespace rvz::packets
