// PostgreSQL types to column kinds; text-format values to cells.
#include "platform/data/pg/pg_types.h"

#include <charconv>
#include <cmath>
#include <cstdio>

#include "platform/data/data_error.h"
#include "platform/data/values.h"
#include "platform/text/text.h"

namespace rvz::data::pg {
namespace {

constexpr int32_t kDefaultTextSize = 255;
constexpr int32_t kVarHeader = 4;  // typmod of varchar(n) and bpchar(n) is n + 4

int hexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

[[noreturn]] void unreadable(std::string_view what, std::string_view text) {
  std::string shown(text.substr(0, 40));
  throw DataError::engine(kErrValue, "The server sent " + std::string(what) + " '" + shown + "' that cannot be read.");
}

std::string formatReal(double d) {
  char buf[32];
  auto r = std::to_chars(buf, buf + sizeof buf, d);
  return std::string(buf, r.ptr);
}

}  // namespace

ColumnInfo columnOfType(uint32_t type, int32_t typmod, const TableColumn* table) {
  ColumnInfo c;
  const std::string typeName = table ? text::upperCaseAscii(table->typeName) : std::string();
  auto textOf = [&](FieldKind k, bool fixed) {
    c.kind = k;
    c.fixed = fixed;
    c.size = typmod > kVarHeader ? typmod - kVarHeader : kDefaultTextSize;
  };
  switch (type) {
    case oid::kVarchar: textOf(typeName == "ANSIVARCHAR" ? FieldKind::String : FieldKind::WideString, false); break;
    case oid::kBpchar: textOf(typeName == "ANSICHAR" ? FieldKind::FixedChar : FieldKind::WideString, true); break;
    case oid::kName:
      textOf(FieldKind::WideString, false);
      c.size = 63;
      break;
    case oid::kChar:
      textOf(FieldKind::WideString, true);
      c.size = 1;
      break;
    case oid::kText: c.kind = FieldKind::Memo; break;
    case oid::kInt2: c.kind = FieldKind::SmallInt; break;
    case oid::kInt4: c.kind = table && table->identity ? FieldKind::AutoInc : FieldKind::Integer; break;
    case oid::kInt8: c.kind = table && table->identity ? FieldKind::AutoInc : FieldKind::LargeInt; break;
    case oid::kOid: c.kind = FieldKind::LargeInt; break;
    case oid::kBool: c.kind = FieldKind::Boolean; break;
    case oid::kFloat4:
    case oid::kFloat8: c.kind = FieldKind::Float; break;
    case oid::kMoney:
      c.kind = FieldKind::BCD;
      c.currency = true;
      c.precision = 19;
      c.scale = c.size = 4;
      break;
    case oid::kNumeric:
      c.kind = FieldKind::BCD;
      if (typmod >= kVarHeader) {
        c.precision = ((typmod - kVarHeader) >> 16) & 0xFFFF;
        c.scale = (typmod - kVarHeader) & 0x7FF;
      } else {
        c.precision = 18;
        c.scale = 4;
      }
      if (c.scale > c.precision) c.scale = c.precision;
      c.size = c.scale;
      c.currency = typeName == "CURRENCY" || (c.precision == 19 && c.scale == 4);
      break;
    case oid::kTimestamp:
    case oid::kTimestamptz: c.kind = FieldKind::DateTime; break;
    case oid::kDate: c.kind = FieldKind::Date; break;
    case oid::kTime:
    case oid::kTimetz: c.kind = FieldKind::Time; break;
    case oid::kBytea: c.kind = FieldKind::Blob; break;
    case oid::kUuid:
      c.kind = FieldKind::Guid;
      c.size = 38;
      break;
    default:
      if (typeName == "CITEXT") {
        c.kind = FieldKind::Memo;
      } else {
        c.kind = FieldKind::Unknown;
        c.kindFromValues = true;
      }
      break;
  }
  return c;
}

ValueForm valueFormOf(uint32_t type) {
  switch (type) {
    case oid::kInt2:
    case oid::kInt4:
    case oid::kInt8:
    case oid::kOid: return ValueForm::Integer;
    case oid::kBool: return ValueForm::Boolean;
    case oid::kFloat4:
    case oid::kFloat8: return ValueForm::Real;
    case oid::kNumeric: return ValueForm::Numeric;
    case oid::kTimestamp:
    case oid::kTimestamptz:
    case oid::kDate:
    case oid::kTime:
    case oid::kTimetz: return ValueForm::DateTime;
    case oid::kBytea: return ValueForm::Bytes;
    case oid::kBpchar: return ValueForm::FixedText;
    default: return ValueForm::Text;
  }
}

void readValue(ValueForm form, std::string_view t, bool asNumber, std::string& buffer, Cell& out) {
  switch (form) {
    case ValueForm::Integer: {
      out.cls = StorageClass::Integer;
      auto r = std::from_chars(t.data(), t.data() + t.size(), out.i);
      if (r.ec != std::errc() || r.ptr != t.data() + t.size()) unreadable("the integer", t);
      return;
    }
    case ValueForm::Boolean:
      out.cls = StorageClass::Integer;
      out.i = (!t.empty() && t[0] == 't') ? -1 : 0;
      return;
    case ValueForm::Real:
    case ValueForm::Numeric: {
      if (form == ValueForm::Numeric && !asNumber) {
        out.cls = StorageClass::Text;
        out.bytes = t;
        return;
      }
      out.cls = StorageClass::Real;
      if (t == "NaN")
        out.r = std::nan("");
      else if (t == "Infinity")
        out.r = HUGE_VAL;
      else if (t == "-Infinity")
        out.r = -HUGE_VAL;
      else {
        auto r = std::from_chars(t.data(), t.data() + t.size(), out.r);
        if (r.ec != std::errc() || r.ptr != t.data() + t.size()) unreadable("the number", t);
      }
      return;
    }
    case ValueForm::DateTime: {
      // ISO output: "2024-01-02 03:04:05[.ffffff][+TZ]"; the zone of a
      // timestamptz is cut (the session shows local time), so is a BC mark.
      size_t end = t.size();
      if (end > 3 && t.substr(end - 3) == " BC") end -= 3;
      if (end > 10) {
        size_t zone = t.find_first_of("+-", 10);
        if (zone != std::string_view::npos) end = std::min(end, zone);
      } else if (end >= 8 && t[2] == ':') {
        size_t zone = t.find_first_of("+-", 8);
        if (zone != std::string_view::npos) end = std::min(end, zone);
      }
      out.cls = StorageClass::Text;
      out.bytes = t.substr(0, end);
      return;
    }
    case ValueForm::Bytes: {
      // Hex output: "\x" followed by two digits per byte.
      if (t.size() < 2 || t[0] != '\\' || t[1] != 'x' || t.size() % 2 != 0) unreadable("binary data", t);
      buffer.resize((t.size() - 2) / 2);
      for (size_t i = 2, o = 0; i < t.size(); i += 2, ++o) {
        int hi = hexValue(t[i]), lo = hexValue(t[i + 1]);
        if (hi < 0 || lo < 0) unreadable("binary data", t);
        buffer[o] = static_cast<char>(hi * 16 + lo);
      }
      out.cls = StorageClass::Blob;
      out.bytes = buffer;
      return;
    }
    case ValueForm::Text:
      out.cls = StorageClass::Text;
      out.bytes = t;
      return;
    case ValueForm::FixedText: {
      size_t end = t.find_last_not_of(' ');
      out.cls = StorageClass::Text;
      out.bytes = t.substr(0, end == std::string_view::npos ? 0 : end + 1);
      return;
    }
  }
}

ParameterText parameterText(const BoundValue& v, uint32_t type) {
  ParameterText p;
  switch (v.cls) {
    case StorageClass::Null: break;
    case StorageClass::Integer:
      if (type == oid::kBool)
        p.text = v.i != 0 ? "true" : "false";
      else if (type == oid::kTimestamp || type == oid::kTimestamptz || type == oid::kDate || type == oid::kTime)
        p.text = formatStoredDate(static_cast<double>(v.i));
      else
        p.text = std::to_string(v.i);
      break;
    case StorageClass::Real:
      if (type == oid::kBool)
        p.text = v.r != 0 ? "true" : "false";
      else if (type == oid::kTimestamp || type == oid::kTimestamptz || type == oid::kDate || type == oid::kTime)
        p.text = formatStoredDate(v.r);
      else if ((type == oid::kInt2 || type == oid::kInt4 || type == oid::kInt8) && std::isfinite(v.r))
        p.text = std::to_string(static_cast<int64_t>(std::nearbyint(v.r)));  // half to even, as Jet rounds
      else
        p.text = formatReal(v.r);
      break;
    case StorageClass::Text:
      p.text = v.bytes;
      if (type == oid::kBool) {
        // Yes/no given as text: "-1", "1", "0" or the words the server knows.
        if (v.bytes == "-1" || v.bytes == "1")
          p.text = "true";
        else if (v.bytes == "0")
          p.text = "false";
      } else if (type == oid::kBytea) {
        p.binary = true;
      }
      break;
    case StorageClass::Blob:
      p.text = v.bytes;
      p.binary = true;
      break;
  }
  return p;
}

uint32_t typeOfValue(const BoundValue& v) {
  switch (v.cls) {
    case StorageClass::Integer: return v.kind == FieldKind::Boolean ? oid::kBool : oid::kInt8;
    case StorageClass::Real: return oid::kFloat8;
    case StorageClass::Blob: return oid::kBytea;
    case StorageClass::Text: return isDateKind(v.kind) ? oid::kTimestamp : oid::kText;
    case StorageClass::Null: break;
  }
  return oid::kText;
}

}  // namespace rvz::data::pg
