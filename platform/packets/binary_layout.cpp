// The header of the binary form: magic and version, the columns with their
// optional attributes, and the dataset attributes (docs/packet-format.md).
#include <cstring>

#include "platform/packets/codec.h"

namespace rvz::packets::detail {

namespace {

void writeExtras(OutBuffer& out, const std::vector<NamedAttribute>& extras) {
  out.putVarint(extras.size());
  for (const NamedAttribute& a : extras) {
    out.putString(a.name);
    out.putString(a.value);
  }
}

void readExtras(InCursor& in, std::vector<NamedAttribute>& extras, const char* what) {
  // Each pair takes at least two bytes, which bounds the count by the input.
  size_t n = in.getLength(what, 2);
  for (size_t i = 0; i < n; ++i) {
    NamedAttribute a;
    a.name = std::string(in.getString(what));
    a.value = std::string(in.getString(what));
    extras.push_back(std::move(a));
  }
}

}  // namespace

size_t writeBinaryLayout(OutBuffer& out, const std::vector<Column>& columns, const PacketAttributes& attrs) {
  out.put(kMagic, sizeof kMagic);
  out.putLe<uint16_t>(kVersion);
  out.putLe<uint16_t>(0);
  out.putVarint(columns.size());
  for (const Column& c : columns) {
    out.putString(c.name);
    out.put8(static_cast<uint8_t>(c.type));
    out.put8(c.attrs);
    uint8_t has = (c.provFlags ? kHasProvFlags : 0) | (c.width ? kHasWidth : 0) | (c.decimals ? kHasDecimals : 0) |
                  (c.subtype ? kHasSubtype : 0) | (c.origin ? kHasOrigin : 0) | (c.serverCalc ? kHasServerCalc : 0) |
                  (c.minValue ? kHasMinValue : 0) | (c.maxValue ? kHasMaxValue : 0);
    out.put8(has);
    if (c.provFlags) out.put8(*c.provFlags);
    if (c.width) out.putLe<int32_t>(*c.width);
    if (c.decimals) out.putLe<int32_t>(*c.decimals);
    if (c.subtype) out.putString(*c.subtype);
    if (c.origin) out.putString(*c.origin);
    if (c.serverCalc) out.put8(*c.serverCalc ? 1 : 0);
    if (c.minValue) out.putString(*c.minValue);
    if (c.maxValue) out.putString(*c.maxValue);
    writeExtras(out, c.extra);
  }
  uint8_t has = (attrs.primaryKey.empty() ? 0 : kHasPrimaryKey) | (attrs.tableName ? kHasTableName : 0) |
                (attrs.lcid ? kHasLcid : 0) | (attrs.delta ? kIsDelta : 0);
  out.put8(has);
  if (!attrs.primaryKey.empty()) {
    out.putVarint(attrs.primaryKey.size());
    for (uint16_t k : attrs.primaryKey) out.putLe<uint16_t>(k);
  }
  if (attrs.tableName) out.putString(*attrs.tableName);
  if (attrs.lcid) out.putLe<int32_t>(*attrs.lcid);
  writeExtras(out, attrs.extra);
  size_t rowCountAt = out.size();
  out.putLe<uint32_t>(0);
  return rowCountAt;
}

void readBinaryLayout(InCursor& in, std::vector<Column>& columns, PacketAttributes& attrs) {
  const uint8_t* magic = in.need(sizeof kMagic, "magic");
  if (std::memcmp(magic, kMagic, sizeof kMagic) != 0) throw PacketError("not a binary packet: bad magic");
  uint16_t version = in.getLe<uint16_t>("version");
  if (version != kVersion)
    throw PacketError("binary packet version " + std::to_string(version) + " is not supported (expected 1)");
  uint16_t flags = in.getLe<uint16_t>("flags");
  if (flags != 0) throw PacketError("binary packet has unknown flags " + std::to_string(flags));
  // A column takes at least five bytes.
  size_t n = in.getLength("column count", 5);
  for (size_t i = 0; i < n; ++i) {
    Column c;
    c.name = std::string(in.getString("column name"));
    uint8_t type = in.get8("field type");
    if (type < static_cast<uint8_t>(FieldType::String) || type > static_cast<uint8_t>(FieldType::BinHex))
      throw PacketError("column '" + printable(c.name) + "' has unknown field type " + std::to_string(type));
    c.type = static_cast<FieldType>(type);
    c.attrs = in.get8("column attributes");
    uint8_t has = in.get8("column attribute mask");
    if (has & kHasProvFlags) c.provFlags = in.get8("PROVFLAGS");
    if (has & kHasWidth) c.width = in.getLe<int32_t>("WIDTH");
    if (has & kHasDecimals) c.decimals = in.getLe<int32_t>("DECIMALS");
    if (has & kHasSubtype) c.subtype = std::string(in.getString("SUBTYPE"));
    if (has & kHasOrigin) c.origin = std::string(in.getString("ORIGIN"));
    if (has & kHasServerCalc) {
      uint8_t b = in.get8("SERVER_CALC");
      if (b > 1) throw PacketError("column '" + printable(c.name) + "' has bad SERVER_CALC byte " + std::to_string(b));
      c.serverCalc = b == 1;
    }
    if (has & kHasMinValue) c.minValue = std::string(in.getString("MINVALUE"));
    if (has & kHasMaxValue) c.maxValue = std::string(in.getString("MAXVALUE"));
    readExtras(in, c.extra, "column attribute");
    columns.push_back(std::move(c));
  }
  uint8_t has = in.get8("dataset attribute mask");
  if (has & ~(kHasPrimaryKey | kHasTableName | kHasLcid | kIsDelta))
    throw PacketError("binary packet has unknown dataset attribute bits " + std::to_string(has));
  if (has & kHasPrimaryKey) {
    size_t k = in.getLength("PRIMARY_KEY", 2);
    if (k == 0) throw PacketError("PRIMARY_KEY is present but empty");
    for (size_t i = 0; i < k; ++i) attrs.primaryKey.push_back(in.getLe<uint16_t>("PRIMARY_KEY"));
  }
  if (has & kHasTableName) attrs.tableName = std::string(in.getString("TABLE_NAME"));
  if (has & kHasLcid) attrs.lcid = in.getLe<int32_t>("LCID");
  attrs.delta = (has & kIsDelta) != 0;
  readExtras(in, attrs.extra, "dataset attribute");
  validateLayout(columns, attrs);
}

}  // namespace rvz::packets::detail
