// Mapping of the server's field types onto packet columns.
#include "platform/packets/server_fields.h"

#include "platform/packets/codec.h"
#include "platform/text/text.h"

namespace rvz::packets {

std::string_view serverFieldTypeName(ServerFieldType t) {
  switch (t) {
    case ServerFieldType::String: return "String";
    case ServerFieldType::WideString: return "WideString";
    case ServerFieldType::Integer: return "Integer";
    case ServerFieldType::SmallInt: return "SmallInt";
    case ServerFieldType::AutoInc: return "AutoInc";
    case ServerFieldType::Float: return "Float";
    case ServerFieldType::BCD: return "BCD";
    case ServerFieldType::Boolean: return "Boolean";
    case ServerFieldType::Date: return "Date";
    case ServerFieldType::DateTime: return "DateTime";
    case ServerFieldType::Memo: return "Memo";
    case ServerFieldType::Blob: return "Blob";
    case ServerFieldType::Currency: return "Currency";
  }
  return "Unknown";
}

Column serverColumn(const ServerField& f) {
  if (text::wideLength(f.name).value_or(f.name.size()) > kMaxColumnName)
    throw PacketError("column name '" + detail::printable(f.name) + "' is longer than 31 characters");
  Column c;
  c.name = f.name;
  switch (f.type) {
    case ServerFieldType::String:
      c.type = FieldType::String;
      c.width = f.size;
      if (f.fixed) c.subtype = std::string(kSubtypeFixedChar);
      break;
    case ServerFieldType::WideString:
      c.type = FieldType::WideString;
      c.width = 2 * f.size;
      break;
    case ServerFieldType::Integer: c.type = FieldType::I4; break;
    case ServerFieldType::SmallInt: c.type = FieldType::I2; break;
    case ServerFieldType::AutoInc:
      c.type = FieldType::I4;
      c.subtype = std::string(kSubtypeAutoinc);
      break;
    case ServerFieldType::Float: c.type = FieldType::R8; break;
    case ServerFieldType::Currency:
      c.type = FieldType::R8;
      c.subtype = std::string(kSubtypeMoney);
      break;
    case ServerFieldType::BCD:
      c.type = FieldType::Fixed;
      c.width = f.precision == 0 ? 32 : f.precision;
      if (f.size != 0) c.decimals = f.size;
      break;
    case ServerFieldType::Boolean: c.type = FieldType::Boolean; break;
    case ServerFieldType::Date: c.type = FieldType::Date; break;
    case ServerFieldType::DateTime: c.type = FieldType::DateTime; break;
    case ServerFieldType::Memo:
    case ServerFieldType::Blob:
      c.type = FieldType::BinHex;
      c.subtype = std::string(f.type == ServerFieldType::Memo ? kSubtypeText : kSubtypeBinary);
      if (f.size != 0) c.width = f.size;
      break;
  }
  if (f.readOnly) c.attrs |= kAttrReadOnly;
  if (f.required && f.type != ServerFieldType::AutoInc) c.attrs |= kAttrRequired;
  if (f.providerFlags & kPfHidden) c.attrs |= kAttrHidden | kAttrReadOnly;
  if (f.providerFlags != kPfDefault) c.provFlags = f.providerFlags;
  return c;
}

}  // namespace rvz::packets
