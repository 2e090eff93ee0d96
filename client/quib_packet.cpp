// Packets to and from the JSON of the quib tool.
#include "client/quib_packet.h"

#include <algorithm>
#include <set>

#include "client/quib_json.h"
#include "platform/packets/materialized.h"
#include "platform/remoting/error_info.h"

namespace rvz::client {

namespace {

using json = nlohmann::json;
using ojson = nlohmann::ordered_json;
using namespace packets;

[[noreturn]] void bad(const std::string& where, const std::string& why) {
  throw ComError(E_INVALIDARG, where + ": " + why);
}

// Column keys the library models; any other key is an extra attribute.
const std::set<std::string> kColumnKeys = {"name",    "fieldtype", "attrs",       "PROVFLAGS", "WIDTH",   "DECIMALS",
                                           "SUBTYPE", "ORIGIN",    "SERVER_CALC", "MINVALUE",  "MAXVALUE"};

int64_t integer(const json& v, const std::string& at, int64_t lo, int64_t hi) {
  if (!v.is_number_integer()) bad(at, "expected a whole number");
  int64_t n = v.get<int64_t>();
  if (v.is_number_unsigned() && v.get<uint64_t>() > static_cast<uint64_t>(INT64_MAX)) n = INT64_MAX;
  if (n < lo || n > hi) bad(at, "expected a number from " + std::to_string(lo) + " to " + std::to_string(hi));
  return n;
}

std::string text(const json& v, const std::string& at) {
  if (!v.is_string()) bad(at, "expected text");
  return v.get<std::string>();
}

// An attribute value of the extra kind: text, or a number or flag written
// as the XML form would.
std::string attributeText(const json& v, const std::string& at) {
  if (v.is_string()) return v.get<std::string>();
  if (v.is_boolean()) return v.get<bool>() ? "1" : "0";
  if (v.is_number_integer()) return std::to_string(v.get<int64_t>());
  bad(at, "expected text, a whole number or true/false");
}

Column columnFromJson(const json& c, const std::string& at) {
  if (!c.is_object()) bad(at, "expected a column such as {\"name\": \"ID\", \"fieldtype\": \"i4\"}");
  if (!c.contains("name")) bad(at, "a column needs a \"name\"");
  if (!c.contains("fieldtype")) bad(at, "a column needs a \"fieldtype\"");
  Column col;
  col.name = text(c["name"], at + ".name");
  std::string ft = text(c["fieldtype"], at + ".fieldtype");
  auto type = fieldTypeFromName(ft);
  if (!type) bad(at + ".fieldtype", "\"" + ft + "\" is not a field type (string, string.uni, i4, r8, dateTime, ...)");
  col.type = *type;
  for (auto it = c.begin(); it != c.end(); ++it) {
    const std::string& k = it.key();
    std::string kat = at + "." + k;
    const json& v = it.value();
    if (k == "attrs")
      col.attrs = static_cast<uint8_t>(integer(v, kat, 0, kAttrMask));
    else if (k == "PROVFLAGS")
      col.provFlags = static_cast<uint8_t>(integer(v, kat, 0, 255));
    else if (k == "WIDTH")
      col.width = static_cast<int32_t>(integer(v, kat, 0, INT32_MAX));
    else if (k == "DECIMALS")
      col.decimals = static_cast<int32_t>(integer(v, kat, 0, INT32_MAX));
    else if (k == "SUBTYPE")
      col.subtype = text(v, kat);
    else if (k == "ORIGIN")
      col.origin = text(v, kat);
    else if (k == "SERVER_CALC") {
      if (!v.is_boolean()) bad(kat, "expected true or false");
      col.serverCalc = v.get<bool>();
    } else if (k == "MINVALUE")
      col.minValue = attributeText(v, kat);
    else if (k == "MAXVALUE")
      col.maxValue = attributeText(v, kat);
    else if (!kColumnKeys.count(k))
      col.extra.push_back({k, attributeText(v, kat)});
  }
  return col;
}

void attributesFromJson(const json& a, PacketAttributes& attrs, const std::string& at) {
  if (!a.is_object()) bad(at, "expected an object of dataset attributes");
  for (auto it = a.begin(); it != a.end(); ++it) {
    const std::string& k = it.key();
    std::string kat = at + "." + k;
    const json& v = it.value();
    if (k == "PRIMARY_KEY") {
      if (!v.is_array()) bad(kat, "expected the 1-based positions of the key columns, such as [1]");
      for (size_t i = 0; i < v.size(); ++i)
        attrs.primaryKey.push_back(static_cast<uint16_t>(integer(v[i], kat + "[" + std::to_string(i) + "]", 1, 65535)));
    } else if (k == "TABLE_NAME") {
      attrs.tableName = text(v, kat);
    } else if (k == "LCID") {
      attrs.lcid = static_cast<int32_t>(integer(v, kat, INT32_MIN, INT32_MAX));
    } else if (k == "DATASET_DELTA") {
      attrs.delta = attributeText(v, kat) == "1";
    } else {
      attrs.extra.push_back({k, attributeText(v, kat)});
    }
  }
}

std::optional<RowStatus> statusFromName(std::string_view s) {
  for (RowStatus r : {RowStatus::Original, RowStatus::Deleted, RowStatus::Inserted, RowStatus::Modified})
    if (rowStatusName(r) == s) return r;
  return std::nullopt;
}

Cell cellFromJson(const json& v, const Column& col, const std::string& at) {
  if (v.is_object() && v.size() == 1) {
    const std::string& k = v.begin().key();
    if (k == "unchanged" || k == "notfetched") {
      if (v.begin().value() != json(true)) bad(at, "write {\"" + k + "\": true}");
      return k == "unchanged" ? Cell::unchanged() : Cell::notFetched();
    }
  }
  Variant value = variantFromJson(v, at);
  // Narrow text goes in as code page 936 bytes, so that what the JSON
  // holds is what the packet holds.
  if ((col.type == FieldType::String || (col.type == FieldType::BinHex && col.hasSubtype(kSubtypeText))) &&
      value.vt() == VT_BSTR)
    return Cell::narrow(text::wideToAnsi(value.bstrValue()));
  return Cell::of(std::move(value));
}

ojson cellToJson(const Packet& p, size_t row, size_t col) {
  switch (p.state(row, col)) {
    case ValueState::Null: return nullptr;
    case ValueState::Unchanged: return ojson{{"unchanged", true}};
    case ValueState::NotFetched: return ojson{{"notfetched", true}};
    case ValueState::Value: break;
  }
  return variantToJson(p.value(row, col));
}

}  // namespace

ojson packetToJson(const Packet& p) {
  ojson out;
  ojson cols = ojson::array();
  for (const Column& c : p.columns()) {
    ojson o;
    o["name"] = c.name;
    o["fieldtype"] = std::string(fieldTypeName(c.type));
    o["attrs"] = c.attrs;
    if (c.provFlags) o["PROVFLAGS"] = *c.provFlags;
    if (c.width) o["WIDTH"] = *c.width;
    if (c.decimals) o["DECIMALS"] = *c.decimals;
    if (c.subtype) o["SUBTYPE"] = *c.subtype;
    if (c.origin) o["ORIGIN"] = *c.origin;
    if (c.serverCalc) o["SERVER_CALC"] = *c.serverCalc;
    if (c.minValue) o["MINVALUE"] = *c.minValue;
    if (c.maxValue) o["MAXVALUE"] = *c.maxValue;
    for (const auto& e : c.extra) o[e.name] = e.value;
    cols.push_back(std::move(o));
  }
  out["columns"] = std::move(cols);
  const PacketAttributes& a = p.attributes();
  ojson attrs = ojson::object();
  if (!a.primaryKey.empty()) attrs["PRIMARY_KEY"] = a.primaryKey;
  if (a.tableName) attrs["TABLE_NAME"] = *a.tableName;
  if (a.lcid) attrs["LCID"] = *a.lcid;
  if (a.delta) attrs["DATASET_DELTA"] = 1;
  for (const auto& e : a.extra) attrs[e.name] = e.value;
  out["attributes"] = std::move(attrs);
  ojson rows = ojson::array();
  for (size_t r = 0; r < p.rowCount(); ++r) {
    ojson values = ojson::array();
    for (size_t c = 0; c < p.columnCount(); ++c) values.push_back(cellToJson(p, r, c));
    rows.push_back(ojson{{"status", std::string(rowStatusName(p.status(r)))}, {"values", std::move(values)}});
  }
  out["rows"] = std::move(rows);
  return out;
}

std::vector<uint8_t> packetFromJson(const json& j, const std::string& where) {
  if (!j.is_object()) bad(where, "expected {\"columns\": [...], \"attributes\": {...}, \"rows\": [...]}");
  for (auto it = j.begin(); it != j.end(); ++it)
    if (it.key() != "columns" && it.key() != "attributes" && it.key() != "rows")
      bad(where, "unknown key \"" + it.key() + "\"");
  MaterializedPacket m;
  if (!j.contains("columns") || !j["columns"].is_array()) bad(where + ".columns", "expected an array of columns");
  const json& cols = j["columns"];
  for (size_t i = 0; i < cols.size(); ++i)
    m.columns.push_back(columnFromJson(cols[i], where + ".columns[" + std::to_string(i) + "]"));
  if (j.contains("attributes")) attributesFromJson(j["attributes"], m.attributes, where + ".attributes");
  if (j.contains("rows")) {
    const json& rows = j["rows"];
    if (!rows.is_array()) bad(where + ".rows", "expected an array of rows");
    for (size_t r = 0; r < rows.size(); ++r) {
      std::string at = where + ".rows[" + std::to_string(r) + "]";
      const json& row = rows[r];
      if (!row.is_object() || !row.contains("values") || !row["values"].is_array())
        bad(at, "expected {\"status\": \"original\", \"values\": [...]}");
      for (auto it = row.begin(); it != row.end(); ++it)
        if (it.key() != "status" && it.key() != "values") bad(at, "unknown key \"" + it.key() + "\"");
      Record rec;
      if (row.contains("status")) {
        std::string s = text(row["status"], at + ".status");
        auto st = statusFromName(s);
        if (!st) bad(at + ".status", "\"" + s + "\" is not original, modified, inserted or deleted");
        rec.status = *st;
      }
      if (rec.status != RowStatus::Original) m.attributes.delta = true;
      const json& values = row["values"];
      if (values.size() != m.columns.size())
        bad(at + ".values",
            "has " + std::to_string(values.size()) + " values for " + std::to_string(m.columns.size()) + " columns");
      for (size_t c = 0; c < values.size(); ++c)
        rec.cells.push_back(cellFromJson(values[c], m.columns[c], at + ".values[" + std::to_string(c) + "]"));
      m.records.push_back(std::move(rec));
    }
  }
  try {
    return encode(m);
  } catch (const PacketError& e) {
    bad(where, e.what());
  } catch (const VariantError& e) {
    bad(where, e.what());
  }
}

std::optional<ojson> decodedPacket(const Variant& v) {
  if (!v.isArray() || v.arrayValue().elementType() != VT_UI1 || v.arrayValue().dims() != 1) return std::nullopt;
  try {
    Packet p = decodePacket(v);
    return ojson{{"packet", packetToJson(p)}};
  } catch (const std::exception&) {
    return std::nullopt;  // bytes that are no packet stay bytes
  }
}

}  // namespace rvz::client
