// JSON forms of variants for quib.
#include "client/quib_json.h"
#include "client/quib_packet.h"

#include <cmath>
#include <cstdio>
#include <limits>

#include "platform/calendar/calendar.h"
#include "platform/remoting/error_info.h"

namespace rvz::client {

namespace {

using json = nlohmann::json;
constexpr int kMaxDepth = 32;

[[noreturn]] void bad(const std::string& where, const std::string& why) {
  throw ComError(E_INVALIDARG, where + ": " + why);
}

struct Kind {
  const char* name;
  VarType vt;
};
constexpr Kind kKinds[] = {
    {"i1", VT_I1},     {"i2", VT_I2},           {"i4", VT_I4},       {"i8", VT_I8},
    {"ui1", VT_UI1},   {"ui2", VT_UI2},         {"ui4", VT_UI4},     {"r4", VT_R4},
    {"r8", VT_R8},     {"cy", VT_CY},           {"date", VT_DATE},   {"bstr", VT_BSTR},
    {"bool", VT_BOOL}, {"decimal", VT_DECIMAL}, {"error", VT_ERROR}, {"variant", VT_VARIANT},
};

const Kind* kindByName(std::string_view name) {
  for (const Kind& k : kKinds)
    if (name == k.name) return &k;
  return nullptr;
}

const char* kindName(VarType vt) {
  for (const Kind& k : kKinds)
    if (k.vt == vt) return k.name;
  return "?";
}

std::string shortDump(const json& j) {
  std::string s = j.dump();
  return s.size() > 60 ? s.substr(0, 60) + "..." : s;
}

int64_t integerIn(const json& j, const std::string& where, int64_t lo, int64_t hi) {
  if (j.is_number_unsigned()) {
    uint64_t u = j.get<uint64_t>();
    if (u > static_cast<uint64_t>(hi)) bad(where, std::to_string(u) + " is out of range");
    return static_cast<int64_t>(u);
  }
  if (!j.is_number_integer()) bad(where, "expected an integer, found " + shortDump(j));
  int64_t v = j.get<int64_t>();
  if (v < lo || v > hi) bad(where, std::to_string(v) + " is out of range");
  return v;
}

double realOf(const json& j, const std::string& where) {
  if (j.is_number()) return j.get<double>();
  if (j.is_string()) {
    std::string s = j.get<std::string>();
    if (s == "nan") return std::numeric_limits<double>::quiet_NaN();
    if (s == "inf") return std::numeric_limits<double>::infinity();
    if (s == "-inf") return -std::numeric_limits<double>::infinity();
  }
  bad(where, "expected a number, found " + shortDump(j));
}

json realJson(double d) {
  if (std::isnan(d)) return "nan";
  if (std::isinf(d)) return d > 0 ? "inf" : "-inf";
  return d;
}

Variant typed(VarType vt, const json& v, const std::string& where, int depth);
Variant fromJson(const json& j, const std::string& where, int depth);

// A JSON integer: four bytes when it fits, else eight, else a double.
Variant integerFromJson(const json& j) {
  if (j.is_number_unsigned() && j.get<uint64_t>() > static_cast<uint64_t>(INT64_MAX))
    return Variant::r8(j.get<double>());
  int64_t v = j.get<int64_t>();
  if (v >= INT32_MIN && v <= INT32_MAX) return Variant::i4(static_cast<int32_t>(v));
  return Variant::i8(v);
}

// The bounds of {"array": ...}, checked against the number of items given.
std::vector<ArrayBound> arrayBounds(const json& v, const std::string& at) {
  if (!v.contains("bounds") || !v["bounds"].is_array() || v["bounds"].empty() || v["bounds"].size() > 16)
    bad(at + ".bounds", "expected one to sixteen [lower, count] pairs");
  if (!v.contains("items") || !v["items"].is_array()) bad(at + ".items", "expected an array");
  std::vector<ArrayBound> bounds;
  uint64_t total = 1;
  for (size_t d = 0; d < v["bounds"].size(); ++d) {
    const json& b = v["bounds"][d];
    std::string bw = at + ".bounds[" + std::to_string(d) + "]";
    if (!b.is_array() || b.size() != 2) bad(bw, "expected [lower, count]");
    ArrayBound ab;
    ab.lowerBound = static_cast<int32_t>(integerIn(b[0], bw, INT32_MIN, INT32_MAX));
    ab.count = static_cast<uint32_t>(integerIn(b[1], bw, 0, UINT32_MAX));
    if (ab.count > 0 && static_cast<int64_t>(ab.lowerBound) + ab.count - 1 > INT32_MAX)
      bad(bw, "the bounds run past the largest index");
    total *= ab.count;
    // The items must be there, so the count cannot outgrow the input.
    if (total > v["items"].size()) break;
    bounds.push_back(ab);
  }
  if (total != v["items"].size() || bounds.size() != v["bounds"].size())
    bad(at + ".items",
        "the bounds call for " + std::to_string(total) + " items, found " + std::to_string(v["items"].size()));
  return bounds;
}

// {"array": {"type": ..., "bounds": ..., "items": ...}}: a typed safe array.
Variant arrayFromJson(const json& v, const std::string& at, int depth) {
  if (!v.is_object()) bad(at, "expected {\"type\": ..., \"bounds\": [[lower, count], ...], \"items\": [...]}");
  for (auto it = v.begin(); it != v.end(); ++it)
    if (it.key() != "type" && it.key() != "bounds" && it.key() != "items") bad(at, "unknown key \"" + it.key() + "\"");
  if (!v.contains("type") || !v["type"].is_string()) bad(at + ".type", "expected an element kind such as \"i4\"");
  const Kind* k = kindByName(v["type"].get<std::string>());
  if (!k) bad(at + ".type", "unknown element kind " + shortDump(v["type"]));
  SafeArray a(k->vt, arrayBounds(v, at));
  for (size_t i = 0; i < v["items"].size(); ++i) {
    std::string iw = at + ".items[" + std::to_string(i) + "]";
    Variant item = fromJson(v["items"][i], iw, depth + 1);
    try {
      a.set(i, item);
    } catch (const VariantError& e) {
      bad(iw, std::string("does not fit the element kind: ") + e.what());
    }
  }
  return Variant(std::move(a));
}

// A JSON object: a variant of a named form, {"<form>": value}.
Variant formFromJson(const json& j, const std::string& where, int depth) {
  if (j.size() != 1) bad(where, "a typed variant has exactly one key, found " + shortDump(j));
  const std::string& key = j.begin().key();
  const json& v = j.begin().value();
  std::string at = where + "." + key;
  if (key == "empty") {
    if (v != json(true)) bad(at, "write {\"empty\": true}");
    return Variant();
  }
  if (key == "bytes") {
    if (!v.is_string()) bad(at, "expected base64 text");
    return Variant(SafeArray::bytes(base64Decode(v.get<std::string>(), at)));
  }
  if (key == "array") return arrayFromJson(v, at, depth);
  if (key == "packet") return Variant(SafeArray::bytes(packetFromJson(v, at)));
  const Kind* k = kindByName(key);
  if (!k || k->vt == VT_VARIANT) bad(where, "unknown variant form \"" + key + "\"");
  return typed(k->vt, v, at, depth);
}

Variant fromJson(const json& j, const std::string& where, int depth) {
  if (depth > kMaxDepth) bad(where, "arrays nested deeper than " + std::to_string(kMaxDepth));
  switch (j.type()) {
    case json::value_t::null: return Variant::null();
    case json::value_t::boolean: return Variant::boolean(j.get<bool>());
    case json::value_t::number_integer:
    case json::value_t::number_unsigned: return integerFromJson(j);
    case json::value_t::number_float: return Variant::r8(j.get<double>());
    case json::value_t::string: return Variant::bstrUtf8(j.get<std::string>());
    case json::value_t::array: {
      std::vector<Variant> items;
      items.reserve(j.size());
      for (size_t i = 0; i < j.size(); ++i)
        items.push_back(fromJson(j[i], where + "[" + std::to_string(i) + "]", depth + 1));
      return Variant(SafeArray::variants(std::move(items)));
    }
    case json::value_t::object: return formFromJson(j, where, depth);
    default: bad(where, "not a variant: " + shortDump(j));
  }
}

Variant typed(VarType vt, const json& v, const std::string& at, int) {
  switch (vt) {
    case VT_I1: return Variant::i1(static_cast<int8_t>(integerIn(v, at, INT8_MIN, INT8_MAX)));
    case VT_I2: return Variant::i2(static_cast<int16_t>(integerIn(v, at, INT16_MIN, INT16_MAX)));
    case VT_I4: return Variant::i4(static_cast<int32_t>(integerIn(v, at, INT32_MIN, INT32_MAX)));
    case VT_I8: return Variant::i8(integerIn(v, at, INT64_MIN, INT64_MAX));
    case VT_UI1: return Variant::ui1(static_cast<uint8_t>(integerIn(v, at, 0, UINT8_MAX)));
    case VT_UI2: return Variant::ui2(static_cast<uint16_t>(integerIn(v, at, 0, UINT16_MAX)));
    case VT_UI4: return Variant::ui4(static_cast<uint32_t>(integerIn(v, at, 0, UINT32_MAX)));
    case VT_ERROR: return Variant::error(static_cast<int32_t>(integerIn(v, at, INT32_MIN, UINT32_MAX)));
    case VT_R4: return Variant::r4(static_cast<float>(realOf(v, at)));
    case VT_R8: return Variant::r8(realOf(v, at));
    case VT_BOOL:
      if (!v.is_boolean()) bad(at, "expected true or false");
      return Variant::boolean(v.get<bool>());
    case VT_BSTR:
      if (!v.is_string()) bad(at, "expected text");
      return Variant::bstrUtf8(v.get<std::string>());
    case VT_CY:
    case VT_DECIMAL:
    case VT_DATE: {
      try {
        if (vt == VT_DATE) {
          if (!v.is_string()) bad(at, "expected a date such as \"2008-08-30T14:25:00\"");
          return Variant::date(parseIsoDate(v.get<std::string>(), at));
        }
        if (v.is_string())
          return vt == VT_CY ? Variant::cy(Currency::parse(v.get<std::string>()))
                             : Variant::decimal(Decimal::parse(v.get<std::string>()));
        if (v.is_number_integer() && vt == VT_DECIMAL) return Variant::decimal(Decimal::fromInt64(v.get<int64_t>()));
        if (v.is_number())
          return vt == VT_CY ? Variant::cy(Currency::fromDouble(v.get<double>()))
                             : Variant::decimal(Decimal::fromDouble(v.get<double>()));
      } catch (const VariantError& e) {
        bad(at, e.what());
      }
      bad(at, "expected a number or its text");
    }
    default: bad(at, "unknown variant form");
  }
}

json scalarJson(const Variant& v) {
  switch (v.type()) {
    case VT_EMPTY: return json{{"empty", true}};
    case VT_NULL: return nullptr;
    case VT_I4: return v.intValue();
    case VT_R8: {
      double d = v.realValue();
      if (std::isfinite(d)) return d;
      return json{{"r8", realJson(d)}};
    }
    case VT_BSTR: return v.toUtf8();
    case VT_BOOL: return v.boolValue();
    case VT_R4: return json{{"r4", realJson(v.realValue())}};
    case VT_CY: return json{{"cy", v.cyValue().toString()}};
    case VT_DECIMAL: return json{{"decimal", v.decimalValue().toString()}};
    case VT_DATE: return json{{"date", formatIsoDate(v.realValue())}};
    case VT_ERROR: return json{{"error", v.errorValue()}};
    default: return json{{kindName(v.type()), v.intValue()}};
  }
}

}  // namespace

Variant variantFromJson(const json& j, const std::string& where) { return fromJson(j, where, 0); }

nlohmann::ordered_json variantToJson(const Variant& v) {
  if (!v.isArray()) return nlohmann::ordered_json(scalarJson(v));
  const SafeArray& a = v.arrayValue();
  bool plain = a.dims() == 1 && a.bounds()[0].lowerBound == 0;
  if (plain && a.elementType() == VT_UI1) return nlohmann::ordered_json{{"bytes", base64Encode(a.byteData())}};
  nlohmann::ordered_json items = nlohmann::ordered_json::array();
  for (size_t i = 0; i < a.size(); ++i) items.push_back(variantToJson(a.get(i)));
  if (plain && a.elementType() == VT_VARIANT) return items;
  nlohmann::ordered_json bounds = nlohmann::ordered_json::array();
  for (const auto& b : a.bounds()) bounds.push_back({b.lowerBound, b.count});
  nlohmann::ordered_json body;
  body["type"] = kindName(a.elementType());
  body["bounds"] = bounds;
  body["items"] = items;
  return nlohmann::ordered_json{{"array", body}};
}

namespace {
constexpr char kB64[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
int b64Value(char c) {
  if (c >= 'A' && c <= 'Z') return c - 'A';
  if (c >= 'a' && c <= 'z') return c - 'a' + 26;
  if (c >= '0' && c <= '9') return c - '0' + 52;
  if (c == '+') return 62;
  if (c == '/') return 63;
  return -1;
}
}  // namespace

std::string base64Encode(const std::vector<uint8_t>& b) {
  std::string out;
  out.reserve((b.size() + 2) / 3 * 4);
  for (size_t i = 0; i < b.size(); i += 3) {
    uint32_t n = static_cast<uint32_t>(b[i]) << 16;
    if (i + 1 < b.size()) n |= static_cast<uint32_t>(b[i + 1]) << 8;
    if (i + 2 < b.size()) n |= b[i + 2];
    out += kB64[(n >> 18) & 63];
    out += kB64[(n >> 12) & 63];
    out += i + 1 < b.size() ? kB64[(n >> 6) & 63] : '=';
    out += i + 2 < b.size() ? kB64[n & 63] : '=';
  }
  return out;
}

std::vector<uint8_t> base64Decode(std::string_view t, const std::string& where) {
  if (t.size() % 4 != 0) bad(where, "base64 text must come in groups of four characters");
  std::vector<uint8_t> out;
  out.reserve(t.size() / 4 * 3);
  for (size_t i = 0; i < t.size(); i += 4) {
    bool last = i + 4 == t.size();
    int v[4];
    int pad = 0;
    for (int k = 0; k < 4; ++k) {
      char c = t[i + k];
      if (c == '=' && last && k >= 2) {
        v[k] = 0;
        ++pad;
        continue;
      }
      if (pad > 0 || (v[k] = b64Value(c)) < 0) bad(where, "not base64 at character " + std::to_string(i + k + 1));
    }
    uint32_t n = (static_cast<uint32_t>(v[0]) << 18) | (v[1] << 12) | (v[2] << 6) | v[3];
    out.push_back(static_cast<uint8_t>(n >> 16));
    if (pad < 2) out.push_back(static_cast<uint8_t>(n >> 8));
    if (pad < 1) out.push_back(static_cast<uint8_t>(n));
  }
  return out;
}

std::string formatIsoDate(double oleDate) {
  DateTime t = DateTime::fromOleDate(oleDate);
  char buf[40];
  std::snprintf(buf, sizeof buf, "%04d-%02d-%02dT%02d:%02d:%02d", t.year, t.month, t.day, t.hour, t.minute, t.second);
  std::string s = buf;
  if (t.millisecond) {
    std::snprintf(buf, sizeof buf, ".%03d", t.millisecond);
    s += buf;
  }
  return s;
}

double parseIsoDate(std::string_view s, const std::string& where) {
  auto digits = [&](size_t pos, size_t n) -> int {
    if (pos + n > s.size()) bad(where, "\"" + std::string(s) + "\" is not a date such as 2008-08-30T14:25:00");
    int v = 0;
    for (size_t i = pos; i < pos + n; ++i) {
      if (s[i] < '0' || s[i] > '9') bad(where, "\"" + std::string(s) + "\" is not a date such as 2008-08-30T14:25:00");
      v = v * 10 + (s[i] - '0');
    }
    return v;
  };
  auto expect = [&](size_t pos, char c) {
    if (pos >= s.size() || s[pos] != c)
      bad(where, "\"" + std::string(s) + "\" is not a date such as 2008-08-30T14:25:00");
  };
  DateTime t;
  t.year = digits(0, 4);
  expect(4, '-');
  t.month = digits(5, 2);
  expect(7, '-');
  t.day = digits(8, 2);
  t.hour = t.minute = t.second = t.millisecond = 0;
  size_t pos = 10;
  if (pos < s.size()) {
    if (s[pos] != 'T' && s[pos] != ' ') expect(pos, 'T');
    t.hour = digits(pos + 1, 2);
    expect(pos + 3, ':');
    t.minute = digits(pos + 4, 2);
    pos += 6;
    if (pos < s.size()) {
      expect(pos, ':');
      t.second = digits(pos + 1, 2);
      pos += 3;
      if (pos < s.size()) {
        expect(pos, '.');
        t.millisecond = digits(pos + 1, 3);
        pos += 4;
      }
    }
  }
  if (pos < s.size()) bad(where, "\"" + std::string(s) + "\" has text after the date");
  if (!calendar::isValidDate(t.year, t.month, t.day) || t.hour > 23 || t.minute > 59 || t.second > 59)
    bad(where, "\"" + std::string(s) + "\" is not a valid date and time");
  try {
    return t.toOleDate();
  } catch (const VariantError& e) {
    bad(where, e.what());
  }
}

}  // namespace rvz::client
