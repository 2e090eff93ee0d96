// Decoding of the binary form, the front door that tells the forms apart,
// and value access on decoded packets.
#include "platform/packets/packet_reader.h"

#include <cmath>
#include <limits>

#include "platform/packets/packet_writer.h"

namespace rvz::packets {

namespace detail {

namespace {

std::string rowCol(size_t row, const Column& c) {
  return "row " + std::to_string(row + 1) + " column '" + printable(c.name) + "'";
}

}  // namespace

// Checks every row and value and records where each value starts.
Packet decodeBinary(std::vector<uint8_t> bytes, Encoding from) {
  if (bytes.size() > std::numeric_limits<uint32_t>::max()) throw PacketError("packet larger than 4 GiB");
  Packet p;
  p.encoding_ = from;
  InCursor in(bytes.data(), bytes.size());
  readBinaryLayout(in, p.columns_, p.attrs_);
  const size_t ncols = p.columns_.size();
  p.stores_.reserve(ncols);
  for (const Column& c : p.columns_) p.stores_.push_back(storeOf(c));
  uint32_t rows = in.getLe<uint32_t>("row count");
  // Every row takes one status byte and every value one mark byte, so the
  // bytes left bound what the index may take.
  if (rows > in.left() || (ncols && static_cast<uint64_t>(rows) * ncols > in.left()))
    throw PacketError("row count " + std::to_string(rows) + " exceeds what the " + std::to_string(in.left()) +
                      " bytes left can hold");
  p.status_.resize(rows);
  p.valueAt_.resize(static_cast<size_t>(rows) * ncols);
  const Store* stores = p.stores_.data();
  uint32_t* index = p.valueAt_.data();
  for (uint32_t r = 0; r < rows; ++r) {
    uint8_t status = in.get8("row status");
    auto st = rowStatusFromNumber(status);
    if (!st) throw PacketError("row " + std::to_string(r + 1) + " has bad row status " + std::to_string(status));
    p.status_[r] = *st;
    for (size_t c = 0; c < ncols; ++c) {
      *index++ = static_cast<uint32_t>(in.offset());
      uint8_t mark = in.get8("value mark");
      if (mark != 0) {
        if (mark > static_cast<uint8_t>(ValueState::Unchanged))
          throw PacketError(rowCol(r, p.columns_[c]) + " has bad value mark " + std::to_string(mark));
        continue;
      }
      switch (stores[c]) {
        case Store::I8:
        case Store::U8: in.need(1, "value"); break;
        case Store::Bool: {
          uint8_t b = in.get8("boolean value");
          if (b > 1) throw PacketError(rowCol(r, p.columns_[c]) + " has bad boolean byte " + std::to_string(b));
          break;
        }
        case Store::I16:
        case Store::U16: in.need(2, "value"); break;
        case Store::I32:
        case Store::U32: in.need(4, "value"); break;
        case Store::I64:
        case Store::F64: in.need(8, "value"); break;
        case Store::Date: {
          double d = in.getLe<double>("date value");
          if (!dateFits(p.columns_[c].type, d))
            throw PacketError(rowCol(r, p.columns_[c]) + " has bad " + std::string(fieldTypeName(p.columns_[c].type)) +
                              " value " + std::to_string(d));
          break;
        }
        case Store::Dec: {
          const uint8_t* d = in.need(kDecimalSize, "decimal value");
          if (d[0] > 28 || d[1] > 1)
            throw PacketError(rowCol(r, p.columns_[c]) + " has a bad decimal (scale " + std::to_string(d[0]) +
                              ", sign " + std::to_string(d[1]) + ")");
          break;
        }
        case Store::Narrow: in.need(in.getLength("narrow value"), "narrow value"); break;
        case Store::Wide: {
          size_t n = in.getLength("wide value", 2);
          if (in.offset() & 1) {
            if (in.get8("wide value padding") != 0)
              throw PacketError(rowCol(r, p.columns_[c]) + " has a non-zero padding byte");
          }
          if (n > in.left() / 2) in.truncated("wide value");
          in.need(n * 2, "wide value");
          break;
        }
      }
    }
  }
  if (!in.atEnd())
    throw PacketError("packet has " + std::to_string(in.left()) + " trailing bytes after its " + std::to_string(rows) +
                      " rows");
  p.data_ = std::move(bytes);
  return p;
}

}  // namespace detail

namespace {

enum class Form { Binary, Xml };

Form detectForm(std::span<const uint8_t> b) {
  if (b.size() >= 4 && std::memcmp(b.data(), detail::kMagic, 4) == 0) return Form::Binary;
  size_t i = 0;
  if (b.size() >= 3 && b[0] == 0xEF && b[1] == 0xBB && b[2] == 0xBF)
    i = 3;
  else if (b.size() >= 2 && ((b[0] == 0xFF && b[1] == 0xFE) || (b[0] == 0xFE && b[1] == 0xFF)))
    return Form::Xml;
  while (i < b.size() && (b[i] == ' ' || b[i] == '\t' || b[i] == '\r' || b[i] == '\n')) ++i;
  if (i < b.size() && b[i] == '<') return Form::Xml;
  if (b.empty()) throw PacketError("empty packet");
  throw PacketError(
      "not a packet: it starts neither with the binary magic nor with XML (first bytes '" +
      detail::printable(std::string_view(reinterpret_cast<const char*>(b.data()), b.size() < 8 ? b.size() : 8)) + "')");
}

}  // namespace

Packet decodePacket(std::vector<uint8_t>&& bytes) {
  if (detectForm(bytes) == Form::Binary) return detail::decodeBinary(std::move(bytes), Encoding::Binary);
  Encoding found = Encoding::XmlUtf8;
  std::vector<uint8_t> bin = xmlToBinary(bytes, &found);
  return detail::decodeBinary(std::move(bin), found);
}

Packet decodePacket(std::span<const uint8_t> bytes) {
  if (detectForm(bytes) == Form::Binary)
    return detail::decodeBinary(std::vector<uint8_t>(bytes.begin(), bytes.end()), Encoding::Binary);
  Encoding found = Encoding::XmlUtf8;
  std::vector<uint8_t> bin = xmlToBinary(bytes, &found);
  return detail::decodeBinary(std::move(bin), found);
}

Packet decodePacket(std::string_view bytes) {
  return decodePacket(std::span<const uint8_t>(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()));
}

Packet decodePacket(const Variant& v) { return decodePacket(packetBytes(v)); }

// ---- access --------------------------------------------------------------

int Packet::columnIndex(std::string_view name) const {
  for (size_t i = 0; i < columns_.size(); ++i)
    if (text::compareNoCaseUtf8(columns_[i].name, name) == 0) return static_cast<int>(i);
  return -1;
}

void Packet::outOfRange(size_t row, size_t col) const {
  throw PacketError("no value at row " + std::to_string(row + 1) + ", column " + std::to_string(col + 1) +
                    ": the packet has " + std::to_string(status_.size()) + " rows of " +
                    std::to_string(columns_.size()) + " columns");
}

void Packet::wrongAccess(size_t row, size_t col, const char* wanted) const {
  const Column& c = columns_[col];
  uint8_t mark = data_[valueAt_[row * columns_.size() + col]];
  static const char* const marks[] = {"a value", "null", "not fetched", "unchanged"};
  if (mark != 0)
    throw PacketError("row " + std::to_string(row + 1) + " column '" + detail::printable(c.name) + "' is " +
                      marks[mark] + ", not a value");
  throw PacketError("column '" + detail::printable(c.name) + "' (" + std::string(fieldTypeName(c.type)) +
                    ") holds no " + wanted + " values");
}

const char* Packet::storeName(detail::Store s) {
  using detail::Store;
  switch (s) {
    case Store::Bool: return "boolean";
    case Store::I32: return "i4";
    case Store::Narrow: return "narrow";
    case Store::Wide: return "wide";
    case Store::Dec: return "decimal";
    case Store::F64: return "float";
    case Store::Date: return "date";
    default: return "integer";
  }
}

int64_t Packet::intValue(size_t row, size_t col) const {
  using detail::Store;
  size_t off = at(row, col);
  Store s = stores_[col];
  if (data_[off] != 0) wrongAccess(row, col, "integer");
  const uint8_t* p = data_.data() + off + 1;
  auto get = [p](auto v) {
    std::memcpy(&v, p, sizeof v);
    return static_cast<int64_t>(v);
  };
  switch (s) {
    case Store::I8: return get(int8_t{});
    case Store::U8: return get(uint8_t{});
    case Store::Bool: return get(uint8_t{});
    case Store::I16: return get(int16_t{});
    case Store::U16: return get(uint16_t{});
    case Store::I32: return get(int32_t{});
    case Store::U32: return get(uint32_t{});
    case Store::I64: return get(int64_t{});
    default: wrongAccess(row, col, "integer");
  }
}

double Packet::realValue(size_t row, size_t col) const {
  using detail::Store;
  size_t off = at(row, col);
  if (data_[off] != 0 || (stores_[col] != Store::F64 && stores_[col] != Store::Date)) wrongAccess(row, col, "float");
  double d;
  std::memcpy(&d, data_.data() + off + 1, sizeof d);
  return d;
}

Decimal Packet::decimalValue(size_t row, size_t col) const {
  const uint8_t* p = payload(row, col, detail::Store::Dec);
  Decimal d;
  d.scale = p[0];
  d.negative = p[1] != 0;
  std::memcpy(&d.hi32, p + 2, 4);
  std::memcpy(&d.lo64, p + 6, 8);
  return d;
}

Variant Packet::value(size_t row, size_t col) const {
  using detail::Store;
  ValueState s = state(row, col);
  if (s == ValueState::Null) return Variant::null();
  if (s != ValueState::Value) return Variant();
  const Column& c = columns_[col];
  switch (stores_[col]) {
    case Store::I8: return Variant::i1(static_cast<int8_t>(intValue(row, col)));
    case Store::U8: return Variant::ui1(static_cast<uint8_t>(intValue(row, col)));
    case Store::Bool: return Variant::boolean(boolValue(row, col));
    case Store::I16: return Variant::i2(static_cast<int16_t>(intValue(row, col)));
    case Store::U16: return Variant::ui2(static_cast<uint16_t>(intValue(row, col)));
    case Store::I32: return Variant::i4(static_cast<int32_t>(intValue(row, col)));
    case Store::U32: return Variant::ui4(static_cast<uint32_t>(intValue(row, col)));
    case Store::I64: return Variant::i8(intValue(row, col));
    case Store::F64: return Variant::r8(realValue(row, col));
    case Store::Date: return Variant::date(realValue(row, col));
    case Store::Dec: return Variant::decimal(decimalValue(row, col));
    case Store::Wide: return Variant::bstr(WString(wide(row, col)));
    case Store::Narrow: {
      std::string_view b = narrow(row, col);
      if (detail::narrowIsText(c)) return Variant::bstr(text::ansiToWide(b));
      return Variant::array(SafeArray::bytes(std::vector<uint8_t>(b.begin(), b.end())));
    }
  }
  return Variant();
}

}  // namespace rvz::packets
