// Streaming encoder of packets: built from the columns and dataset
// attributes, it takes the rows value by value and writes them straight into
// the output, in the binary form or either XML form.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/packets/packet.h"

namespace rvz::packets {

namespace detail {
class WriterImpl;
}

// Usage: beginRow(status), one put... per column in column order, endRow();
// finish() gives the packet. Every put checks that the value suits the
// column's type and throws PacketError naming the column when it does not;
// after an exception the writer should be discarded.
class PacketWriter {
 public:
  PacketWriter(std::vector<Column> columns, PacketAttributes attributes, Encoding encoding = Encoding::Binary);
  ~PacketWriter();
  PacketWriter(PacketWriter&&) noexcept;
  PacketWriter& operator=(PacketWriter&&) noexcept;

  const std::vector<Column>& columns() const;
  const PacketAttributes& attributes() const;
  Encoding encoding() const;
  // Pre-sizes the output when the caller can estimate it.
  void reserve(size_t bytes);

  void beginRow(RowStatus status = RowStatus::Original);
  void putNull();
  void putNotFetched();
  void putUnchanged();
  // Wide text: string.uni and WideText memo columns; narrow and Text memo
  // columns receive it converted to code page 936.
  void putWide(WStringView v);
  // The same for text held as UTF-8 (as a database delivers it): converted
  // once, straight into the packet.
  void putWideUtf8(std::string_view utf8);
  // Code page 936 bytes (kept exactly) for string and bin.hex columns;
  // string.uni and WideText columns receive them converted to UTF-16.
  void putNarrow(std::string_view bytes);
  void putBytes(std::span<const uint8_t> bytes);  // bin.hex and string columns
  void putI4(int32_t v);                          // integer, r8 and fixed columns, range-checked
  void putI8(int64_t v);
  void putR8(double v);  // r8 and fixed columns
  void putBool(bool v);
  void putDate(double oleDate);       // date (whole days), time ([0, 1)), dateTime
  void putDecimal(const Decimal& v);  // fixed and r8 columns
  void putCurrency(Currency v);       // fixed and r8 columns
  // Any variant, converted to the column's type by the variant rules. Null
  // and Empty are both written as null; use putUnchanged for the mark.
  void put(const Variant& v);
  void endRow();

  size_t rowCount() const;
  // The encoded packet; the writer is empty afterwards.
  std::vector<uint8_t> finish();

 private:
  std::unique_ptr<detail::WriterImpl> impl_;
};

// The packet bytes as a variant byte array (VT_ARRAY | VT_UI1), and back.
Variant packetToVariant(std::vector<uint8_t> bytes);
// The bytes of a variant byte array; throws PacketError for any other
// variant (a null variant included).
std::span<const uint8_t> packetBytes(const Variant& v);

}  // namespace rvz::packets
