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

}  // namespace

ColumnInfo kindOfDeclaredType(std::string_view declared) {
  ColumnInfo c;
  c.declaredType = std::string(declared);
  const Parsed p = parse(declared);
  const std::string& n = p.name;
  auto text = [&](FieldKind k, bool fixed) {
    c.kind = k;
    c.fixed = fixed;
    c.size = p.args >= 1 ? p.a : kDefaultTextSize;
  };
  if (n.empty()) {
    c.kind = FieldKind::Unknown;
    c.kindFromValues = true;
  } else if (is(n, {"TEXT", "VARCHAR", "NVARCHAR", "STRING", "CHARACTER VARYING", "NATIONAL CHARACTER VARYING",
                    "NATIONAL VARCHAR", "VARCHAR2", "NVARCHAR2"})) {
    text(FieldKind::WideString, false);
  } else if (is(n, {"CHAR", "NCHAR", "CHARACTER", "NATIONAL CHARACTER", "NATIONAL CHAR"})) {
    text(FieldKind::WideString, true);
  } else if (is(n, {"ANSIVARCHAR"})) {
    text(FieldKind::String, false);
  } else if (is(n, {"ANSICHAR"})) {
    text(FieldKind::FixedChar, true);
  } else if (is(n, {"LONGTEXT", "MEMO", "NOTE", "LONGCHAR", "NTEXT", "CLOB"})) {
    c.kind = FieldKind::Memo;
  } else if (is(n, {"COUNTER", "AUTOINCREMENT", "IDENTITY"})) {
    c.kind = FieldKind::AutoInc;
  } else if (is(n, {"LONG", "INTEGER", "INT", "INT4", "INTEGER4", "LONG INTEGER", "MEDIUMINT"})) {
    c.kind = FieldKind::Integer;
  } else if (is(n, {"SMALLINT", "SHORT", "INT2", "INTEGER2", "BYTE", "TINYINT", "INTEGER1"})) {
    c.kind = FieldKind::SmallInt;
  } else if (is(n, {"BIGINT", "INT8", "INTEGER8"})) {
    c.kind = FieldKind::LargeInt;
  } else if (is(n, {"YESNO", "BIT", "LOGICAL", "LOGICAL1", "BOOLEAN", "BOOL"})) {
    c.kind = FieldKind::Boolean;
  } else if (is(n, {"DOUBLE", "FLOAT", "NUMBER", "REAL", "FLOAT8", "FLOAT4", "SINGLE", "IEEEDOUBLE", "IEEESINGLE",
                    "DOUBLE PRECISION"})) {
    c.kind = FieldKind::Float;
  } else if (is(n, {"CURRENCY", "MONEY"})) {
    c.kind = FieldKind::BCD;
    c.currency = true;
    c.precision = 19;
    c.scale = 4;
    c.size = 4;
  } else if (is(n, {"DECIMAL", "DEC", "NUMERIC"})) {
    c.precision = p.args >= 1 ? p.a : 18;
    c.scale = p.args >= 2 ? p.b : 0;
    if (c.scale > c.precision) c.scale = c.precision;
    if (n == "NUMERIC" && c.scale == 0 && c.precision < 10) {
      c.kind = FieldKind::Integer;
      c.precision = c.scale = 0;
    } else {
      c.kind = FieldKind::BCD;
      c.size = c.scale;
    }
  } else if (is(n, {"DATETIME", "TIMESTAMP", "SMALLDATETIME"})) {
    c.kind = FieldKind::DateTime;
  } else if (n == "DATE") {
    c.kind = FieldKind::Date;
  } else if (n == "TIME") {
    c.kind = FieldKind::Time;
  } else if (is(n, {"OLEOBJECT", "LONGBINARY", "IMAGE", "BLOB", "GENERAL", "LONG VARBINARY"})) {
    c.kind = FieldKind::Blob;
  } else if (is(n, {"BINARY"})) {
    c.kind = FieldKind::Bytes;
    c.size = p.args >= 1 ? p.a : 255;
  } else if (is(n, {"VARBINARY"})) {
    c.kind = FieldKind::VarBytes;
    c.size = p.args >= 1 ? p.a : 255;
  } else if (is(n, {"GUID", "UNIQUEIDENTIFIER"})) {
    c.kind = FieldKind::Guid;
    c.size = 38;
  } else if (n.find("INT") != std::string::npos) {
    c.kind = FieldKind::Integer;
  } else if (n.find("CHAR") != std::string::npos || n.find("CLOB") != std::string::npos ||
             n.find("TEXT") != std::string::npos) {
    text(FieldKind::WideString, false);
  } else if (n.find("BLOB") != std::string::npos) {
    c.kind = FieldKind::Blob;
  } else if (n.find("REAL") != std::string::npos || n.find("FLOA") != std::string::npos ||
             n.find("DOUB") != std::string::npos) {
    c.kind = FieldKind::Float;
  } else {
    c.kind = FieldKind::Unknown;
    c.kindFromValues = true;
  }
  return c;
}

}  // namespace rvz::data::sqlite
