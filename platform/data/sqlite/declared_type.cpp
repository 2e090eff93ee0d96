// Declared Access types to column kinds.
#include "platform/data/sqlite/declared_type.h"

#include <string>

namespace rvz::data::sqlite {
namespace {

constexpr int32_t kDefaultTextSize = 255;
constexpr int32_t kMaxArg = 1 << 30;

struct Parsed {
  std::string name;  // upper case, words joined by one blank
  int args = 0;
  int32_t a = 0, b = 0;
};

Parsed parse(std::string_view s) {
  Parsed p;
  size_t i = 0;
  bool pendingBlank = false;
  while (i < s.size() && s[i] != '(') {
    char c = s[i++];
    if (c == ' ' || c == '\t' || c == '\r' || c == '\n') {
      pendingBlank = !p.name.empty();
      continue;
    }
    if (pendingBlank) p.name.push_back(' ');
    pendingBlank = false;
    p.name.push_back(c >= 'a' && c <= 'z' ? static_cast<char>(c - 0x20) : c);
  }
  if (i < s.size() && s[i] == '(') {
    ++i;
    for (int k = 0; k < 2; ++k) {
      while (i < s.size() && s[i] == ' ') ++i;
      bool any = false;
      int64_t v = 0;
      while (i < s.size() && s[i] >= '0' && s[i] <= '9') {
        if (v < kMaxArg) v = v * 10 + (s[i] - '0');
        ++i;
        any = true;
      }
      if (!any) break;
      if (v > kMaxArg) v = kMaxArg;
      (k == 0 ? p.a : p.b) = static_cast<int32_t>(v);
      p.args = k + 1;
      while (i < s.size() && s[i] == ' ') ++i;
      if (i < s.size() && s[i] == ',') {
        ++i;
        continue;
      }
      break;
    }
  }
  return p;
}

bool is(const std::string& n, std::initializer_list<const char*> names) {
  for (const char* x : names)
    if (n == x) return true;
  return false;
}

// Each family of Access types below sets the kind (and size, precision,
// scale) of the type it names and answers whether it named it.

bool textType(const Parsed& p, ColumnInfo& c) {
  auto text = [&](FieldKind k, bool fixed) {
    c.kind = k;
    c.fixed = fixed;
    c.size = p.args >= 1 ? p.a : kDefaultTextSize;
    return true;
  };
  const std::string& n = p.name;
  if (is(n, {"TEXT", "VARCHAR", "NVARCHAR", "STRING", "CHARACTER VARYING", "NATIONAL CHARACTER VARYING",
             "NATIONAL VARCHAR", "VARCHAR2", "NVARCHAR2"}))
    return text(FieldKind::WideString, false);
  if (is(n, {"CHAR", "NCHAR", "CHARACTER", "NATIONAL CHARACTER", "NATIONAL CHAR"}))
    return text(FieldKind::WideString, true);
  if (n == "ANSIVARCHAR") return text(FieldKind::String, false);
  if (n == "ANSICHAR") return text(FieldKind::FixedChar, true);
  if (is(n, {"LONGTEXT", "MEMO", "NOTE", "LONGCHAR", "NTEXT", "CLOB"})) {
    c.kind = FieldKind::Memo;
    return true;
  }
  return false;
}

// DECIMAL(p,s); a NUMERIC without decimals that fits 32 bits is an integer.
void decimalType(const Parsed& p, ColumnInfo& c) {
  c.precision = p.args >= 1 ? p.a : 18;
  c.scale = p.args >= 2 ? p.b : 0;
  if (c.scale > c.precision) c.scale = c.precision;
  if (p.name == "NUMERIC" && c.scale == 0 && c.precision < 10) {
    c.kind = FieldKind::Integer;
    c.precision = c.scale = 0;
  } else {
    c.kind = FieldKind::BCD;
    c.size = c.scale;
  }
}

bool numberType(const Parsed& p, ColumnInfo& c) {
  const std::string& n = p.name;
  if (is(n, {"COUNTER", "AUTOINCREMENT", "IDENTITY"}))
    c.kind = FieldKind::AutoInc;
  else if (is(n, {"LONG", "INTEGER", "INT", "INT4", "INTEGER4", "LONG INTEGER", "MEDIUMINT"}))
    c.kind = FieldKind::Integer;
  else if (is(n, {"SMALLINT", "SHORT", "INT2", "INTEGER2", "BYTE", "TINYINT", "INTEGER1"}))
    c.kind = FieldKind::SmallInt;
  else if (is(n, {"BIGINT", "INT8", "INTEGER8"}))
    c.kind = FieldKind::LargeInt;
  else if (is(n, {"YESNO", "BIT", "LOGICAL", "LOGICAL1", "BOOLEAN", "BOOL"}))
    c.kind = FieldKind::Boolean;
  else if (is(n, {"DOUBLE", "FLOAT", "NUMBER", "REAL", "FLOAT8", "FLOAT4", "SINGLE", "IEEEDOUBLE", "IEEESINGLE",
                  "DOUBLE PRECISION"}))
    c.kind = FieldKind::Float;
  else if (is(n, {"CURRENCY", "MONEY"})) {
    c.kind = FieldKind::BCD;
    c.currency = true;
    c.precision = 19;
    c.scale = 4;
    c.size = 4;
  } else if (is(n, {"DECIMAL", "DEC", "NUMERIC"})) {
    decimalType(p, c);
  } else {
    return false;
  }
  return true;
}

bool otherType(const Parsed& p, ColumnInfo& c) {
  const std::string& n = p.name;
  if (is(n, {"DATETIME", "TIMESTAMP", "SMALLDATETIME"}))
    c.kind = FieldKind::DateTime;
  else if (n == "DATE")
    c.kind = FieldKind::Date;
  else if (n == "TIME")
    c.kind = FieldKind::Time;
  else if (is(n, {"OLEOBJECT", "LONGBINARY", "IMAGE", "BLOB", "GENERAL", "LONG VARBINARY"}))
    c.kind = FieldKind::Blob;
  else if (n == "BINARY" || n == "VARBINARY") {
    c.kind = n == "BINARY" ? FieldKind::Bytes : FieldKind::VarBytes;
    c.size = p.args >= 1 ? p.a : 255;
  } else if (is(n, {"GUID", "UNIQUEIDENTIFIER"})) {
    c.kind = FieldKind::Guid;
    c.size = 38;
  } else {
    return false;
  }
  return true;
}

// SQLite's affinity words, for a type that names no Access type.
void affinityType(const Parsed& p, ColumnInfo& c) {
  const std::string& n = p.name;
  auto has = [&](const char* word) { return n.find(word) != std::string::npos; };
  if (has("INT")) {
    c.kind = FieldKind::Integer;
  } else if (has("CHAR") || has("CLOB") || has("TEXT")) {
    c.kind = FieldKind::WideString;
    c.fixed = false;
    c.size = p.args >= 1 ? p.a : kDefaultTextSize;
  } else if (has("BLOB")) {
    c.kind = FieldKind::Blob;
  } else if (has("REAL") || has("FLOA") || has("DOUB")) {
    c.kind = FieldKind::Float;
  } else {
    c.kind = FieldKind::Unknown;
    c.kindFromValues = true;
  }
}

}  // namespace

ColumnInfo kindOfDeclaredType(std::string_view declared) {
  ColumnInfo c;
  c.declaredType = std::string(declared);
  const Parsed p = parse(declared);
  if (p.name.empty()) {
    c.kind = FieldKind::Unknown;
    c.kindFromValues = true;
  } else if (!textType(p, c) && !numberType(p, c) && !otherType(p, c)) {
    affinityType(p, c);
  }
  return c;
}

}  // namespace rvz::data::sqlite
