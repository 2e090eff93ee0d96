// The binary form of a packet as the writer produces it: the layout header,
// then per row a status byte and per value a mark byte with its payload
// (docs/packet-format.md). Values arrive already checked against their
// columns and in column order (packet_writer.cpp); this unit only lays out
// bytes, and its per-value steps are inline because a fetch calls them for
// every cell.
#pragma once

#include <cstdint>
#include <cstring>
#include <string_view>
#include <vector>

#include "platform/packets/codec.h"

namespace rvz::packets::detail {

class BinarySink {
 public:
  BinarySink(const std::vector<Column>& columns, const PacketAttributes& attributes)
      : rowCountAt_(writeBinaryLayout(out_, columns, attributes)) {}

  void reserve(size_t bytes) { out_.reserve(bytes); }

  void beginRow(RowStatus status) { out_.put8(static_cast<uint8_t>(status)); }
  void endRow() {}

  void mark(size_t, ValueState state) { out_.put8(static_cast<uint8_t>(state)); }

  // T is the column's own storage type: the value has been range-checked.
  template <class T>
  void integer(size_t, T v) {
    fixed(v);
  }
  void real(size_t, double v) { fixed(v); }
  void date(size_t, double oleDate) { fixed(oleDate); }
  void boolean(size_t, bool v) {
    uint8_t* p = out_.grab(2);
    p[0] = 0;
    p[1] = v ? 1 : 0;
  }
  void decimal(size_t, const Decimal& d) {
    uint8_t* p = out_.grab(1 + kDecimalSize);
    p[0] = 0;
    p[1] = d.scale;
    p[2] = d.negative ? 1 : 0;
    std::memcpy(p + 3, &d.hi32, 4);
    std::memcpy(p + 7, &d.lo64, 8);
  }
  void narrow(size_t, std::string_view bytes) {
    out_.put8(0);
    out_.putString(bytes);
  }
  void wide(size_t column, WStringView w);
  void wideUtf8(size_t column, std::string_view utf8);

  // The packet with its row count filled in; the sink is empty afterwards.
  std::vector<uint8_t> finish(size_t rows);

 private:
  // Writes the mark, length and alignment of a wide text of n units; returns
  // where its units go.
  uint8_t* wideCell(size_t n);

  // A mark byte 0 and a fixed-size payload, in one piece.
  template <class T>
  void fixed(T v) {
    uint8_t* p = out_.grab(1 + sizeof v);
    p[0] = 0;
    std::memcpy(p + 1, &v, sizeof v);
  }

  OutBuffer out_;
  size_t rowCountAt_;  // where the row count goes once it is known
  WString wide_;       // malformed UTF-8 text converted on its way into a cell
};

}  // namespace rvz::packets::detail
