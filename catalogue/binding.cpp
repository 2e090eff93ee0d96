// Binding of declared fields to result columns, fields made from a result,
// and the served forms of narrow strings and dates.
#include "catalogue/binding.h"

#include <cmath>

#include "platform/data/data_error.h"
#include "platform/text/text.h"

namespace rvz::catalogue {

using data::FieldKind;

namespace {

// The families within which a field and a column of different kinds still
// bind. WideString belongs to none.
enum class Family { None, Str, Int, Date, Long, Self };

Family familyOf(FieldKind k) {
  switch (k) {
    case FieldKind::String:
    case FieldKind::FixedChar:
    case FieldKind::Guid: return Family::Str;
    case FieldKind::SmallInt:
    case FieldKind::Integer:
    case FieldKind::Word:
    case FieldKind::AutoInc: return Family::Int;
    case FieldKind::Date:
    case FieldKind::Time:
    case FieldKind::DateTime: return Family::Date;
    case FieldKind::Memo:
    case FieldKind::Blob: return Family::Long;
    case FieldKind::WideString: return Family::None;
    default: return Family::Self;
  }
}

// The kind a field of this type stands for when families are compared.
FieldKind kindOf(FieldType t) {
  switch (t) {
    case FieldType::String: return FieldKind::String;
    case FieldType::WideString: return FieldKind::WideString;
    case FieldType::Integer: return FieldKind::Integer;
    case FieldType::SmallInt: return FieldKind::SmallInt;
    case FieldType::AutoInc: return FieldKind::AutoInc;
    case FieldType::Float: return FieldKind::Float;
    case FieldType::BCD: return FieldKind::BCD;
    case FieldType::Boolean: return FieldKind::Boolean;
    case FieldType::Date: return FieldKind::Date;
    case FieldType::DateTime: return FieldKind::DateTime;
    case FieldType::Memo: return FieldKind::Memo;
    case FieldType::Blob: return FieldKind::Blob;
    case FieldType::Word: return FieldKind::Word;
    case FieldType::LargeInt: return FieldKind::LargeInt;
    case FieldType::Time: return FieldKind::Time;
    case FieldType::Guid: return FieldKind::Guid;
    case FieldType::Bytes: return FieldKind::Bytes;
    case FieldType::VarBytes: return FieldKind::VarBytes;
    case FieldType::Unknown: return FieldKind::Unknown;
  }
  return FieldKind::Unknown;
}

bool isStringField(FieldType t) { return t == FieldType::String || t == FieldType::WideString; }

bool isNumericField(FieldType t) {
  return t == FieldType::Integer || t == FieldType::SmallInt || t == FieldType::Float || t == FieldType::BCD ||
         t == FieldType::LargeInt || t == FieldType::Word;
}

bool isNumericKind(FieldKind k) {
  return k == FieldKind::Integer || k == FieldKind::SmallInt || k == FieldKind::Float || k == FieldKind::BCD ||
         k == FieldKind::LargeInt || k == FieldKind::Word;
}

// The binding rules' messages; "Field '%s' not found" is the data layer's.
constexpr std::string_view kTypeMismatchText = "Type mismatch for field '%s', expecting: %s actual: %s";
constexpr std::string_view kSizeMismatchText = "Size mismatch for field '%s', expecting: %d actual: %d";

}  // namespace

bool typeAcceptsKind(FieldType type, FieldKind kind) {
  // A computed column whose kind nothing could tell takes any field.
  if (kind == FieldKind::Unknown) return true;
  if (isStringField(type) && (kind == FieldKind::String || kind == FieldKind::WideString)) return true;
  if ((type == FieldType::Float || type == FieldType::BCD) && (kind == FieldKind::Float || kind == FieldKind::BCD))
    return true;
  FieldKind fk = kindOf(type);
  if (fk == kind) return true;
  Family a = familyOf(fk), b = familyOf(kind);
  return a == b && a != Family::None && a != Family::Self;
}

std::vector<BoundField> bindDeclaredFields(std::string_view dataset, std::span<const FieldDecl> fields,
                                           const std::vector<data::ColumnInfo>& columns) {
  std::vector<BoundField> out;
  out.reserve(fields.size());
  for (const auto& f : fields) {
    const data::ColumnInfo* col = nullptr;
    size_t index = 0;
    for (size_t i = 0; i < columns.size(); ++i)
      if (text::equalsNoCase(text::utf8ToWide(columns[i].name), text::utf8ToWide(f.name))) {
        col = &columns[i];
        index = i;
        break;
      }
    std::string name(f.name);
    if (!col) throw data::DataError::dataset(dataset, data::formatMessage(data::kFieldNotFoundText, name));
    // A computed column's kind is its expression's (or was read off its
    // values, which a number expression may give as whole numbers): a
    // numeric field takes any numeric computed column, as it takes the
    // number the expression gives.
    bool computedNumber =
        (col->kindFromValues || col->computed) && isNumericField(f.type()) && isNumericKind(col->kind);
    if (!computedNumber && !typeAcceptsKind(f.type(), col->kind))
      throw data::DataError::dataset(
          dataset, data::formatMessage(kTypeMismatchText, {name, fieldTypeName(f.type()), data::kindName(col->kind)}));
    // Only a string field that got through its family (a fixed-length
    // narrow or GUID column) is held to the column's size.
    bool viaFamily = isStringField(f.type()) && col->kind != FieldKind::String && col->kind != FieldKind::WideString &&
                     col->kind != FieldKind::Unknown;
    if (viaFamily && f.typeSpec.size > col->size)
      throw data::DataError::dataset(
          dataset,
          data::formatMessage(kSizeMismatchText, {name, std::to_string(f.typeSpec.size), std::to_string(col->size)}));
    BoundField b;
    b.name = name;
    b.type = f.type();
    b.size = f.typeSpec.size;
    b.precision = f.typeSpec.precision;
    b.flags = f.flags;
    b.fixed = f.typeSpec.isFixed;
    b.readOnly = f.typeSpec.isReadOnly;
    b.column = index;
    b.columnKind = col->kind;
    out.push_back(std::move(b));
  }
  return out;
}

namespace {

// The field type a column of this kind is served as, with the size,
// precision and read-only mark that go with it.
void typeFieldOfKind(BoundField& b, const data::ColumnInfo& c) {
  switch (c.kind) {
    case FieldKind::String: b.type = FieldType::String; break;
    case FieldKind::FixedChar:
      b.type = FieldType::String;
      b.fixed = true;
      break;
    case FieldKind::WideString: b.type = FieldType::WideString; break;
    case FieldKind::Memo: b.type = FieldType::Memo; break;
    case FieldKind::Blob: b.type = FieldType::Blob; break;
    case FieldKind::Bytes: b.type = FieldType::Bytes; break;
    case FieldKind::VarBytes: b.type = FieldType::VarBytes; break;
    case FieldKind::SmallInt:
      b.type = FieldType::SmallInt;
      b.size = 0;
      break;
    case FieldKind::Integer:
      b.type = FieldType::Integer;
      b.size = 0;
      break;
    case FieldKind::AutoInc:
      b.type = FieldType::AutoInc;
      b.size = 0;
      b.readOnly = true;
      break;
    case FieldKind::Word:
      b.type = FieldType::Word;
      b.size = 0;
      break;
    case FieldKind::LargeInt:
      b.type = FieldType::LargeInt;
      b.size = 0;
      break;
    case FieldKind::Boolean:
      b.type = FieldType::Boolean;
      b.size = 0;
      break;
    case FieldKind::Float:
      b.type = FieldType::Float;
      b.size = 0;
      break;
    case FieldKind::Currency:
    case FieldKind::BCD:
      b.type = FieldType::BCD;
      b.size = c.scale;
      b.precision = c.precision;
      break;
    case FieldKind::Date:
      b.type = FieldType::Date;
      b.size = 0;
      break;
    case FieldKind::Time:
      b.type = FieldType::Time;
      b.size = 0;
      break;
    case FieldKind::DateTime:
      b.type = FieldType::DateTime;
      b.size = 0;
      break;
    case FieldKind::Guid:
      b.type = FieldType::Guid;
      b.size = 38;
      break;
    case FieldKind::Unknown:
      // A computed column that had no value to tell its kind: the field
      // exists (the dataset opens), but a packet cannot describe it.
      b.type = FieldType::Unknown;
      b.size = 0;
      break;
  }
}

}  // namespace

std::vector<BoundField> fieldsFromColumns(const std::vector<data::ColumnInfo>& columns) {
  std::vector<BoundField> out;
  out.reserve(columns.size());
  for (size_t i = 0; i < columns.size(); ++i) {
    const auto& c = columns[i];
    BoundField b;
    b.name = c.name;
    b.column = i;
    b.columnKind = c.kind;
    b.flags = UW;
    b.size = c.size;
    typeFieldOfKind(b, c);
    if ((b.type == FieldType::String || b.type == FieldType::WideString) && b.size <= 0) b.size = 255;
    out.push_back(std::move(b));
  }
  return out;
}

std::string servedNarrow(const BoundField& field, WStringView value) {
  std::string ansi = text::wideToAnsi(value);
  if (field.size > 0 && ansi.size() > static_cast<size_t>(field.size))
    ansi.resize(text::ansiPrefixLength(ansi, static_cast<size_t>(field.size)));
  return ansi;
}

double servedDate(double oleDate) { return std::trunc(oleDate); }

}  // namespace rvz::catalogue
