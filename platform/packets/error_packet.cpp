// Building and reading error packets.
#include "platform/packets/error_packet.h"

#include "platform/packets/packet_writer.h"

namespace rvz::packets {

namespace {

// Messages are not cut to WIDTH: it tells clients how wide to show them.
constexpr int32_t kTextWidth = 2048;

Column errorColumn(std::string_view name, FieldType t) {
  Column c(std::string(name), t);
  if (t == FieldType::WideString) c.width = kTextWidth;
  return c;
}

}  // namespace

std::vector<Column> errorColumns() {
  return {errorColumn(kErrorRecordNo, FieldType::I4),        errorColumn(kErrorResponse, FieldType::I4),
          errorColumn(kErrorMessage, FieldType::WideString), errorColumn(kErrorContext, FieldType::WideString),
          errorColumn(kErrorCategory, FieldType::I4),        errorColumn(kErrorErrorCode, FieldType::I4)};
}

ErrorPacketBuilder::ErrorPacketBuilder(std::vector<Column> deltaColumns)
    : columns_(errorColumns()), deltaColumns_(deltaColumns.size()) {
  for (Column& c : deltaColumns) columns_.push_back(std::move(c));
  validateLayout(columns_, {});
}

ErrorRecord& ErrorPacketBuilder::record(int32_t recordNo) {
  auto [it, fresh] = byNumber_.emplace(recordNo, records_.size());
  if (fresh) {
    ErrorRecord r;
    r.recordNo = recordNo;
    r.values.resize(deltaColumns_);
    records_.push_back(std::move(r));
  }
  return records_[it->second];
}

MaterializedPacket ErrorPacketBuilder::packet() const {
  MaterializedPacket m;
  m.columns = columns_;
  for (const ErrorRecord& r : records_) {
    if (r.values.size() != deltaColumns_)
      throw PacketError("error record " + std::to_string(r.recordNo) + " has " + std::to_string(r.values.size()) +
                        " values for " + std::to_string(deltaColumns_) + " delta columns");
    Record rec;
    rec.cells = {Cell::of(r.recordNo),
                 Cell::of(r.response),
                 Cell::of(Variant::bstr(r.message)),
                 Cell::of(Variant::bstr(r.context)),
                 Cell::of(r.category),
                 Cell::of(r.errorCode)};
    rec.cells.insert(rec.cells.end(), r.values.begin(), r.values.end());
    m.records.push_back(std::move(rec));
  }
  return m;
}

std::vector<uint8_t> ErrorPacketBuilder::encode(Encoding e) const { return packets::encode(packet(), e); }

std::vector<ErrorRecord> readErrorPacket(const Packet& p) {
  std::vector<Column> expected = errorColumns();
  if (p.columnCount() < kErrorColumnCount)
    throw PacketError("not an error packet: it has " + std::to_string(p.columnCount()) + " columns");
  for (size_t i = 0; i < kErrorColumnCount; ++i)
    if (p.columns()[i].name != expected[i].name || p.columns()[i].type != expected[i].type)
      throw PacketError("not an error packet: column " + std::to_string(i + 1) + " is '" + p.columns()[i].name + "' (" +
                        std::string(fieldTypeName(p.columns()[i].type)) + "), expected " + expected[i].name);
  std::vector<ErrorRecord> out;
  for (size_t r = 0; r < p.rowCount(); ++r) {
    ErrorRecord e;
    e.recordNo = p.i4Value(r, 0);
    e.response = p.i4Value(r, 1);
    e.message = WString(p.wide(r, 2));
    e.context = WString(p.wide(r, 3));
    e.category = p.i4Value(r, 4);
    e.errorCode = p.i4Value(r, 5);
    for (size_t c = kErrorColumnCount; c < p.columnCount(); ++c) {
      Cell cell;
      cell.state = p.state(r, c);
      if (cell.state == ValueState::Value) {
        cell.value = p.value(r, c);
        if (detail::storeOf(p.columns()[c]) == detail::Store::Narrow) cell.bytes = std::string(p.narrow(r, c));
      }
      e.values.push_back(std::move(cell));
    }
    out.push_back(std::move(e));
  }
  return out;
}

}  // namespace rvz::packets
