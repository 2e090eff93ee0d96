// Names and families of the field kinds.
#include "platform/data/field_kind.h"

namespace rvz::data {

std::string_view kindName(FieldKind kind) {
  switch (kind) {
    case FieldKind::Unknown: return "Unknown";
    case FieldKind::String: return "String";
    case FieldKind::SmallInt: return "SmallInt";
    case FieldKind::Integer: return "Integer";
    case FieldKind::Word: return "Word";
    case FieldKind::Boolean: return "Boolean";
    case FieldKind::Float: return "Float";
    case FieldKind::Currency: return "Currency";
    case FieldKind::BCD: return "BCD";
    case FieldKind::Date: return "Date";
    case FieldKind::Time: return "Time";
    case FieldKind::DateTime: return "DateTime";
    case FieldKind::Bytes: return "Bytes";
    case FieldKind::VarBytes: return "VarBytes";
    case FieldKind::AutoInc: return "AutoInc";
    case FieldKind::Blob: return "Blob";
    case FieldKind::Memo: return "Memo";
    case FieldKind::FixedChar: return "FixedChar";
    case FieldKind::WideString: return "WideString";
    case FieldKind::LargeInt: return "LargeInt";
    case FieldKind::Guid: return "Guid";
  }
  return "Unknown";
}

std::optional<FieldKind> kindFromNumber(int32_t n) {
  switch (n) {
    case 0:
    case 1:
    case 2:
    case 3:
    case 4:
    case 5:
    case 6:
    case 7:
    case 8:
    case 9:
    case 10:
    case 11:
    case 12:
    case 13:
    case 14:
    case 15:
    case 16:
    case 23:
    case 24:
    case 25:
    case 35: return static_cast<FieldKind>(n);
    default: return std::nullopt;
  }
}

bool isTextKind(FieldKind k) {
  return k == FieldKind::String || k == FieldKind::FixedChar || k == FieldKind::WideString || k == FieldKind::Memo ||
         k == FieldKind::Guid;
}

bool isIntegerKind(FieldKind k) {
  return k == FieldKind::SmallInt || k == FieldKind::Integer || k == FieldKind::Word || k == FieldKind::AutoInc ||
         k == FieldKind::LargeInt;
}

bool isDateKind(FieldKind k) { return k == FieldKind::Date || k == FieldKind::Time || k == FieldKind::DateTime; }

bool isBinaryKind(FieldKind k) { return k == FieldKind::Blob || k == FieldKind::Bytes || k == FieldKind::VarBytes; }

}  // namespace rvz::data
