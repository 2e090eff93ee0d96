// Jet types and column kinds, both ways.
#include "platform/data/jet_column_kinds.h"

#include <cstdint>

namespace rvz::data {
namespace {

void setKind(ColumnInfo& c, FieldKind kind) {
  c.kind = kind;
  c.kindFromValues = false;
  c.computed = true;
}

}  // namespace

using jet::JetType;

JetType jetTypeOfColumn(const ColumnInfo& c) {
  switch (c.kind) {
    case FieldKind::String:
    case FieldKind::FixedChar:
    case FieldKind::WideString: return JetType::Text;
    case FieldKind::Memo: return JetType::Memo;
    case FieldKind::SmallInt: return JetType::Integer;
    case FieldKind::Integer:
    case FieldKind::AutoInc:
    case FieldKind::Word: return JetType::Long;
    case FieldKind::LargeInt:
    case FieldKind::Float: return JetType::Double;
    case FieldKind::Boolean: return JetType::Boolean;
    case FieldKind::Currency: return JetType::Currency;
    case FieldKind::BCD: return c.currency ? JetType::Currency : JetType::Decimal;
    case FieldKind::Date:
    case FieldKind::Time:
    case FieldKind::DateTime: return JetType::DateTime;
    case FieldKind::Blob: return JetType::LongBinary;
    case FieldKind::Bytes:
    case FieldKind::VarBytes: return JetType::Binary;
    case FieldKind::Guid: return JetType::Guid;
    case FieldKind::Unknown: break;
  }
  return JetType::Unknown;
}

bool describeByJetType(ColumnInfo& c, const jet::ColumnType& t) {
  switch (t.type) {
    case JetType::Unknown:
    case JetType::Null:
    case JetType::Parameter: return false;
    case JetType::Text:
      setKind(c, FieldKind::WideString);
      c.size = t.size > 0 ? t.size : jet::kComputedTextSize;
      return true;
    case JetType::Memo: setKind(c, FieldKind::Memo); return true;
    case JetType::Boolean: setKind(c, FieldKind::Boolean); return true;
    case JetType::Byte:
    case JetType::Integer: setKind(c, FieldKind::SmallInt); return true;
    case JetType::Long: setKind(c, FieldKind::Integer); return true;
    case JetType::Single:
    case JetType::Double: setKind(c, FieldKind::Float); return true;
    case JetType::Currency:
      setKind(c, FieldKind::BCD);
      c.currency = true;
      c.precision = 19;
      c.scale = 4;
      c.size = 4;
      return true;
    case JetType::Decimal:
      setKind(c, FieldKind::BCD);
      c.precision = t.precision > 0 ? t.precision : 18;
      c.scale = t.scale;
      c.size = t.scale;
      return true;
    case JetType::DateTime: setKind(c, FieldKind::DateTime); return true;
    case JetType::Binary:
      setKind(c, FieldKind::VarBytes);
      c.size = t.size > 0 ? t.size : 255;
      return true;
    case JetType::LongBinary: setKind(c, FieldKind::Blob); return true;
    case JetType::Guid:
      setKind(c, FieldKind::Guid);
      c.size = 38;
      return true;
  }
  return false;
}

bool describeByParameter(ColumnInfo& c, const BoundValue& v) {
  FieldKind kind = v.kind;
  if (kind == FieldKind::Unknown) {
    switch (v.cls) {
      case StorageClass::Integer: kind = FieldKind::Integer; break;
      case StorageClass::Real: kind = FieldKind::Float; break;
      case StorageClass::Text: kind = FieldKind::WideString; break;
      case StorageClass::Blob: kind = FieldKind::Blob; break;
      case StorageClass::Null: return false;
    }
  }
  if (kind == FieldKind::Integer && v.cls == StorageClass::Integer && (v.i < INT32_MIN || v.i > INT32_MAX))
    kind = FieldKind::LargeInt;
  jet::ColumnType t;
  switch (kind) {
    case FieldKind::Currency: t.type = JetType::Currency; return describeByJetType(c, t);
    case FieldKind::BCD:
      t.type = JetType::Decimal;
      t.precision = 18;
      t.scale = v.scale;
      return describeByJetType(c, t);
    case FieldKind::String:
    case FieldKind::FixedChar:
    case FieldKind::WideString: t.type = JetType::Text; return describeByJetType(c, t);
    case FieldKind::AutoInc: kind = FieldKind::Integer; break;
    case FieldKind::Bytes:
    case FieldKind::VarBytes: kind = FieldKind::Blob; break;
    case FieldKind::Guid: t.type = JetType::Guid; return describeByJetType(c, t);
    default: break;
  }
  setKind(c, kind);
  return true;
}

}  // namespace rvz::data
