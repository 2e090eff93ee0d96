// Names of field types and row statuses, and the layout rules every packet
// obeys whichever form it travels in.
#include "platform/packets/packet.h"

#include <algorithm>
#include <array>
#include <set>

#include "platform/packets/codec.h"
#include "platform/text/text.h"

namespace rvz::packets {

namespace {

struct TypeName {
  FieldType type;
  std::string_view name;
};

constexpr std::array<TypeName, 16> kTypeNames{{
    {FieldType::String, "string"},
    {FieldType::WideString, "string.uni"},
    {FieldType::I1, "i1"},
    {FieldType::I2, "i2"},
    {FieldType::I4, "i4"},
    {FieldType::I8, "i8"},
    {FieldType::UI1, "ui1"},
    {FieldType::UI2, "ui2"},
    {FieldType::UI4, "ui4"},
    {FieldType::Boolean, "boolean"},
    {FieldType::R8, "r8"},
    {FieldType::Fixed, "fixed"},
    {FieldType::Date, "date"},
    {FieldType::Time, "time"},
    {FieldType::DateTime, "dateTime"},
    {FieldType::BinHex, "bin.hex"},
}};

// FIELD and PARAMS attributes with a meaning of their own; an extra
// attribute may not take one of these names, or the two forms would
// disagree about it.
constexpr std::array<std::string_view, 14> kColumnAttributeNames{
    "attrname",    "fieldtype", "WIDTH",    "DECIMALS", "SUBTYPE",  "PROVFLAGS", "ORIGIN",
    "SERVER_CALC", "MINVALUE",  "MAXVALUE", "required", "readonly", "hidden",    "tagname"};
constexpr std::array<std::string_view, 4> kDatasetAttributeNames{"PRIMARY_KEY", "TABLE_NAME", "LCID", "DATASET_DELTA"};

std::string quoted(std::string_view s) { return "'" + detail::printable(s) + "'"; }

// Messages are built only on failure: layouts are checked for every packet
// written and read, and most are small.
template <class What>
void checkText(std::string_view text, What what) {
  if (!text::isValidUtf8(text)) throw PacketError(what() + " is not valid UTF-8");
}

template <size_t N, class Owner>
void checkExtras(const std::vector<NamedAttribute>& extras, const std::array<std::string_view, N>& known, Owner owner) {
  for (size_t i = 0; i < extras.size(); ++i) {
    const NamedAttribute& a = extras[i];
    if (a.name.empty()) throw PacketError(owner() + " has an attribute without a name");
    checkText(a.name, [&] { return owner() + " attribute name " + quoted(a.name); });
    checkText(a.value, [&] { return owner() + " attribute " + quoted(a.name); });
    if (std::find(known.begin(), known.end(), a.name) != known.end())
      throw PacketError(owner() + " extra attribute " + quoted(a.name) + " duplicates a known attribute");
    for (size_t j = 0; j < i; ++j)
      if (extras[j].name == a.name) throw PacketError(owner() + " has attribute " + quoted(a.name) + " twice");
  }
}

}  // namespace

std::string_view fieldTypeName(FieldType t) {
  for (const TypeName& n : kTypeNames)
    if (n.type == t) return n.name;
  return "unknown";
}

std::optional<FieldType> fieldTypeFromName(std::string_view name) {
  for (const TypeName& n : kTypeNames)
    if (n.name == name) return n.type;
  return std::nullopt;
}

std::string_view rowStatusName(RowStatus s) {
  switch (s) {
    case RowStatus::Original: return "original";
    case RowStatus::Deleted: return "deleted";
    case RowStatus::Inserted: return "inserted";
    case RowStatus::Modified: return "modified";
  }
  return "unknown";
}

std::optional<RowStatus> rowStatusFromNumber(int64_t n) {
  if (n == 1 || n == 2 || n == 4 || n == 8) return static_cast<RowStatus>(n);
  return std::nullopt;
}

Encoding encodingFromOptions(int32_t options) {
  if (options & 8) return Encoding::XmlUtf8;
  if (options & 4) return Encoding::XmlAnsi;
  return Encoding::Binary;
}

void validateLayout(const std::vector<Column>& columns, const PacketAttributes& attrs) {
  if (columns.size() > 0xFFFF)
    throw PacketError("packet has " + std::to_string(columns.size()) + " columns; at most 65535 fit");
  std::set<std::string_view> names;
  for (size_t i = 0; i < columns.size(); ++i) {
    const Column& c = columns[i];
    auto owner = [&] { return "column " + quoted(c.name); };
    if (c.name.empty()) throw PacketError("column " + std::to_string(i + 1) + " has no name");
    checkText(c.name, [&] { return "column " + std::to_string(i + 1) + " name"; });
    if (text::wideLength(c.name).value_or(c.name.size()) > kMaxColumnName)
      throw PacketError("column name " + quoted(c.name) + " is longer than 31 characters");
    if (!names.insert(c.name).second) throw PacketError("column name " + quoted(c.name) + " occurs twice");
    if (fieldTypeName(c.type) == "unknown")
      throw PacketError(owner() + " has unknown field type " + std::to_string(static_cast<int>(c.type)));
    if (c.attrs & ~kAttrMask)
      throw PacketError(owner() + " has unknown attribute bits " + std::to_string(c.attrs & ~kAttrMask));
    if (c.subtype) {
      checkText(*c.subtype, [&] { return owner() + " SUBTYPE"; });
      const std::string& s = *c.subtype;
      bool fits = true;
      if (s == kSubtypeText || s == kSubtypeWideText || s == kSubtypeBinary)
        fits = c.type == FieldType::BinHex;
      else if (s == kSubtypeAutoinc)
        fits = c.type == FieldType::I4;
      else if (s == kSubtypeFixedChar)
        fits = c.type == FieldType::String;
      else if (s == kSubtypeMoney)
        fits = c.type == FieldType::R8;
      if (!fits)
        throw PacketError(owner() + ": SUBTYPE " + s + " does not fit fieldtype " + std::string(fieldTypeName(c.type)));
    }
    if (c.origin) checkText(*c.origin, [&] { return owner() + " ORIGIN"; });
    double d;
    if (c.minValue && !detail::parseDouble(*c.minValue, d))
      throw PacketError(owner() + " has bad MINVALUE " + quoted(*c.minValue));
    if (c.maxValue && !detail::parseDouble(*c.maxValue, d))
      throw PacketError(owner() + " has bad MAXVALUE " + quoted(*c.maxValue));
    checkExtras(c.extra, kColumnAttributeNames, owner);
  }
  std::vector<bool> keys(columns.size() + 1, false);
  for (uint16_t k : attrs.primaryKey) {
    if (k < 1 || k > columns.size())
      throw PacketError("PRIMARY_KEY position " + std::to_string(k) + " is out of range 1.." +
                        std::to_string(columns.size()));
    if (keys[k]) throw PacketError("PRIMARY_KEY names position " + std::to_string(k) + " twice");
    keys[k] = true;
  }
  if (attrs.tableName) checkText(*attrs.tableName, [] { return std::string("TABLE_NAME"); });
  checkExtras(attrs.extra, kDatasetAttributeNames, [] { return std::string("dataset"); });
}

}  // namespace rvz::packets
