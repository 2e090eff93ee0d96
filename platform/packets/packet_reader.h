// Decoding of packets in any form: one validating pass that keeps the row
// data as it came and indexes where each value lies, so values are read in
// place (typed, as raw narrow bytes, or as Variants) without a heap object
// per value.
#pragma once

#include <cstdint>
#include <cstring>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/packets/codec.h"
#include "platform/packets/packet.h"

namespace rvz::packets {

class Packet;
namespace detail {
Packet decodeBinary(std::vector<uint8_t> bytes, Encoding from);
}

class Packet {
 public:
  Packet() = default;

  const std::vector<Column>& columns() const { return columns_; }
  const PacketAttributes& attributes() const { return attrs_; }
  // The form the packet was decoded from.
  Encoding encoding() const { return encoding_; }
  size_t rowCount() const { return status_.size(); }
  size_t columnCount() const { return columns_.size(); }
  // Index of the column with this name (letter case ignored), or -1.
  int columnIndex(std::string_view name) const;

  RowStatus status(size_t row) const {
    check(row, 0, false);
    return status_[row];
  }
  ValueState state(size_t row, size_t col) const { return static_cast<ValueState>(data_[at(row, col)]); }
  bool hasValue(size_t row, size_t col) const { return state(row, col) == ValueState::Value; }

  // Typed access to a present value; PacketError when the value is absent or
  // the column stores another type.
  int64_t intValue(size_t row, size_t col) const;  // integer and boolean columns
  bool boolValue(size_t row, size_t col) const { return load<uint8_t>(row, col, detail::Store::Bool) != 0; }
  int32_t i4Value(size_t row, size_t col) const { return load<int32_t>(row, col, detail::Store::I32); }
  double realValue(size_t row, size_t col) const;  // r8, date, time, dateTime
  Decimal decimalValue(size_t row, size_t col) const;
  // string and bin.hex columns: the bytes exactly as written.
  std::string_view narrow(size_t row, size_t col) const {
    const uint8_t* p = payload(row, col, detail::Store::Narrow);
    size_t n = readLength(p);
    return {reinterpret_cast<const char*>(p), n};
  }
  // string.uni and WideText memo columns, in place.
  WStringView wide(size_t row, size_t col) const {
    const uint8_t* p = payload(row, col, detail::Store::Wide);
    size_t n = readLength(p);
    if ((p - data_.data()) & 1) ++p;
    return {reinterpret_cast<const char16_t*>(p), n};
  }
  // The value as a Variant: Null for null, Empty for not-fetched and
  // unchanged; narrow text and Text memos decoded from code page 936 into a
  // BSTR, other bin.hex values as byte arrays, fixed as DECIMAL, dates as
  // DATE, integers in their own kind.
  Variant value(size_t row, size_t col) const;

 private:
  friend Packet detail::decodeBinary(std::vector<uint8_t> bytes, Encoding from);

  size_t at(size_t row, size_t col) const {
    check(row, col, true);
    return valueAt_[row * columns_.size() + col];
  }
  void check(size_t row, size_t col, bool withCol) const {
    if (row >= status_.size() || (withCol && col >= columns_.size())) outOfRange(row, col);
  }
  [[noreturn]] void outOfRange(size_t row, size_t col) const;
  [[noreturn]] void wrongAccess(size_t row, size_t col, const char* wanted) const;
  const uint8_t* payload(size_t row, size_t col, detail::Store want) const {
    size_t off = at(row, col);
    if (data_[off] != 0 || stores_[col] != want) wrongAccess(row, col, storeName(want));
    return data_.data() + off + 1;
  }
  template <class T>
  T load(size_t row, size_t col, detail::Store want) const {
    T v;
    std::memcpy(&v, payload(row, col, want), sizeof v);
    return v;
  }
  // Reads the varint at p (validated when decoded) and moves p past it.
  static size_t readLength(const uint8_t*& p) {
    size_t n = 0;
    for (int shift = 0;; shift += 7) {
      uint8_t b = *p++;
      n |= static_cast<size_t>(b & 0x7F) << shift;
      if (!(b & 0x80)) return n;
    }
  }
  static const char* storeName(detail::Store s);

  std::vector<Column> columns_;
  PacketAttributes attrs_;
  Encoding encoding_ = Encoding::Binary;
  std::vector<detail::Store> stores_;
  std::vector<uint8_t> data_;      // the packet in binary form
  std::vector<RowStatus> status_;  // per row
  std::vector<uint32_t> valueAt_;  // offset of each value's mark byte, row-major
};

// Decodes a packet in any form, telling the form from its first bytes.
// Throws PacketError naming what is wrong.
Packet decodePacket(std::span<const uint8_t> bytes);
Packet decodePacket(std::vector<uint8_t>&& bytes);
Packet decodePacket(std::string_view bytes);
// A packet carried as a variant byte array.
Packet decodePacket(const Variant& v);

// The binary form of the data of a packet in XML form (and the identity on
// the binary form); used to read XML with one validating path.
std::vector<uint8_t> xmlToBinary(std::span<const uint8_t> xml, Encoding* found = nullptr);

}  // namespace rvz::packets
