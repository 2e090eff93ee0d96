// Field-to-column mapping and served values.
#include "services/packet_builder.h"

#include <limits>

#include "platform/data/data_error.h"
#include "platform/data/values.h"
#include "platform/packets/server_fields.h"
#include "platform/remoting/error_info.h"
#include "platform/text/text.h"

namespace rvz::services {

using catalogue::FieldType;
using packets::Column;

namespace {

constexpr size_t kMaxFieldName = 31;
constexpr std::string_view kFieldNameTooLongText =
    "Field name cannot be longer then %d characters.  Try setting ObjectView to True on the dataset";
constexpr std::string_view kUnknownTypeText = "Field '%s' is of an unknown type";

ComError unknownTypeError(const catalogue::BoundField& f) {
  return ComError(E_FAIL, data::formatMessage(kUnknownTypeText, f.name));
}

packets::ServerFieldType serverType(FieldType t) {
  switch (t) {
    case FieldType::String: return packets::ServerFieldType::String;
    case FieldType::WideString: return packets::ServerFieldType::WideString;
    case FieldType::Integer: return packets::ServerFieldType::Integer;
    case FieldType::SmallInt: return packets::ServerFieldType::SmallInt;
    case FieldType::AutoInc: return packets::ServerFieldType::AutoInc;
    case FieldType::Float: return packets::ServerFieldType::Float;
    case FieldType::BCD: return packets::ServerFieldType::BCD;
    case FieldType::Boolean: return packets::ServerFieldType::Boolean;
    case FieldType::Date: return packets::ServerFieldType::Date;
    case FieldType::DateTime: return packets::ServerFieldType::DateTime;
    case FieldType::Memo: return packets::ServerFieldType::Memo;
    case FieldType::Blob: return packets::ServerFieldType::Blob;
    default: return packets::ServerFieldType::String;  // the rest is mapped by hand below
  }
}

}  // namespace

bool isLongField(const catalogue::BoundField& f) { return f.type == FieldType::Memo || f.type == FieldType::Blob; }

Column columnOf(const catalogue::BoundField& f) {
  if (text::utf8ToWide(f.name).size() > kMaxFieldName)
    throw ComError(E_FAIL, data::formatMessage(kFieldNameTooLongText, std::to_string(kMaxFieldName)));
  if (f.type == FieldType::Unknown) throw unknownTypeError(f);
  packets::ServerField sf;
  sf.name = f.name;
  sf.type = serverType(f.type);
  sf.size = f.size;
  sf.precision = f.precision;
  sf.providerFlags = f.flags;
  sf.readOnly = f.readOnly;
  sf.fixed = f.fixed && f.type == FieldType::String;
  Column c = packets::serverColumn(sf);
  // Kinds only fields made from a result have.
  switch (f.type) {
    case FieldType::Word:
      c.type = packets::FieldType::UI2;
      c.width.reset();
      break;
    case FieldType::LargeInt:
      c.type = packets::FieldType::I8;
      c.width.reset();
      break;
    case FieldType::Time:
      c.type = packets::FieldType::Time;
      c.width.reset();
      break;
    case FieldType::Guid:
      c.type = packets::FieldType::String;
      c.width = 38;
      break;
    case FieldType::Bytes:
    case FieldType::VarBytes:
      c.type = packets::FieldType::BinHex;
      c.subtype = std::string(packets::kSubtypeBinary);
      if (f.size > 0)
        c.width = f.size;
      else
        c.width.reset();
      break;
    default: break;
  }
  return c;
}

std::vector<Column> columnsOf(const std::vector<catalogue::BoundField>& fields) {
  std::vector<Column> out;
  out.reserve(fields.size());
  for (const auto& f : fields) out.push_back(columnOf(f));
  return out;
}

std::vector<uint16_t> primaryKeyOf(const std::vector<catalogue::BoundField>& fields) {
  std::vector<uint16_t> out;
  for (size_t i = 0; i < fields.size(); ++i)
    if (fields[i].flags & catalogue::K) out.push_back(static_cast<uint16_t>(i + 1));
  return out;
}

Column bareColumn(const Column& c) {
  Column b(c.name, c.type);
  b.width = c.width;
  b.decimals = c.decimals;
  b.subtype = c.subtype;
  return b;
}

void putServedValue(packets::PacketWriter& w, const catalogue::BoundField& f, const Variant& v) {
  if (v.isEmptyOrNull()) {
    w.putNull();
    return;
  }
  switch (f.type) {
    case FieldType::String:
    case FieldType::Guid:
      w.putNarrow(catalogue::servedNarrow(f, v.vt() == VT_BSTR ? v.bstrValue() : v.toText()));
      break;
    case FieldType::WideString:
      if (v.vt() == VT_BSTR)
        w.putWide(v.bstrValue());  // no copy of the common case
      else
        w.putWide(v.toText());
      break;
    case FieldType::Memo:
      if (v.isArray())
        w.putBytes(v.arrayValue().byteData());
      else
        w.putWide(v.toText());
      break;
    case FieldType::Blob:
    case FieldType::Bytes:
    case FieldType::VarBytes:
      if (v.isArray())
        w.putBytes(v.arrayValue().byteData());
      else
        w.putNarrow(text::wideToAnsi(v.toText()));
      break;
    case FieldType::Integer:
    case FieldType::SmallInt:
    case FieldType::AutoInc:
    case FieldType::Word: w.putI4(v.toInt32()); break;
    case FieldType::LargeInt: w.putI8(v.toInt64()); break;
    case FieldType::Float: w.putR8(v.toDouble()); break;
    case FieldType::BCD:
      if (v.vt() == VT_CY)
        w.putCurrency(v.cyValue());
      else
        w.putDecimal(v.toDecimal());
      break;
    case FieldType::Boolean: w.putBool(v.toBool()); break;
    case FieldType::Date: w.putDate(catalogue::servedDate(v.toOleDate())); break;
    case FieldType::DateTime:
    case FieldType::Time: w.putDate(v.toOleDate()); break;
    case FieldType::Unknown: throw unknownTypeError(f);
  }
}

namespace {

// Whether a stored integer reads back unchanged as a value of the column's
// integer kind (Integer, AutoInc, SmallInt, Word).
bool integerKindHolds(data::FieldKind kind, int64_t v) {
  switch (kind) {
    case data::FieldKind::Integer:
    case data::FieldKind::AutoInc:
      return v >= std::numeric_limits<int32_t>::min() && v <= std::numeric_limits<int32_t>::max();
    case data::FieldKind::SmallInt:
      return v >= std::numeric_limits<int16_t>::min() && v <= std::numeric_limits<int16_t>::max();
    case data::FieldKind::Word: return v >= 0 && v <= std::numeric_limits<uint16_t>::max();
    default: return false;
  }
}

}  // namespace

void putServedCell(packets::PacketWriter& w, const catalogue::BoundField& f, const data::Query& q) {
  const data::Cell& c = q.cellAt(f.column);
  if (c.cls == data::StorageClass::Null) {
    w.putNull();
    return;
  }
  const data::ColumnInfo& col = q.columns()[f.column];
  // A fetch turns every value of every row into packet bytes: the plain
  // cases skip building a variant. Computed columns keep the general path,
  // where a value's own class decides.
  if (!col.kindFromValues) {
    using data::FieldKind;
    using data::StorageClass;
    switch (f.type) {
      case FieldType::Integer:
      case FieldType::AutoInc:
      case FieldType::SmallInt:
      case FieldType::Word:
        // A stored integer within its column kind's range is the value the
        // variant would carry; the writer checks it against the packet column.
        if (c.cls == StorageClass::Integer && integerKindHolds(col.kind, c.i)) {
          w.putI4(static_cast<int32_t>(c.i));
          return;
        }
        break;
      case FieldType::Float:
        if (col.kind == FieldKind::Float && (c.cls == StorageClass::Real || c.cls == StorageClass::Integer)) {
          w.putR8(c.cls == StorageClass::Real ? c.r : static_cast<double>(c.i));
          return;
        }
        break;
      case FieldType::Boolean:
        if (col.kind == FieldKind::Boolean && c.cls == StorageClass::Integer) {
          w.putBool(c.i != 0);
          return;
        }
        break;
      case FieldType::WideString:
        if (col.kind == FieldKind::WideString && c.cls == StorageClass::Text) {
          w.putWideUtf8(c.bytes);
          return;
        }
        break;
      case FieldType::DateTime:
        if (col.kind == FieldKind::DateTime && c.cls == StorageClass::Text) {
          if (auto d = data::parseStoredDate(c.bytes)) {
            w.putDate(*d);
            return;
          }
        }
        break;
      default: break;
    }
  }
  putServedValue(w, f, q.field(f.column).value());
}

}  // namespace rvz::services
