// Kinds of result columns and parameters, column descriptions and the
// parameters of queries and statements.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "platform/variant/variant.h"

namespace rvz::data {

// The kind of a result column or parameter. The numbers are the field type
// numbers that travel in parameter lists (0 unknown, 1 string, 2 small
// integer, ... 24 wide string).
enum class FieldKind : uint8_t {
  Unknown = 0,  // a computed column whose values have not told its kind: accept any field
  String = 1,   // narrow (ANSI) text
  SmallInt = 2,
  Integer = 3,
  Word = 4,
  Boolean = 5,
  Float = 6,
  Currency = 7,  // parameters only; a currency column is BCD with 4 decimals
  BCD = 8,
  Date = 9,
  Time = 10,
  DateTime = 11,
  Bytes = 12,
  VarBytes = 13,
  AutoInc = 14,
  Blob = 15,
  Memo = 16,
  FixedChar = 23,  // fixed-length narrow text
  WideString = 24,
  LargeInt = 25,
  Guid = 35,
};

// The kind's name as messages show it: "String", "WideString", "BCD" ...;
// "Unknown" for the unknown mark.
std::string_view kindName(FieldKind kind);

// The kind with the given field type number; nullopt for a number that
// names no kind.
std::optional<FieldKind> kindFromNumber(int32_t number);

bool isTextKind(FieldKind kind);     // String, FixedChar, WideString, Memo, Guid
bool isIntegerKind(FieldKind kind);  // SmallInt, Integer, Word, AutoInc, LargeInt
bool isDateKind(FieldKind kind);     // Date, Time, DateTime
bool isBinaryKind(FieldKind kind);   // Blob, Bytes, VarBytes

// Description of one result column.
struct ColumnInfo {
  std::string name;  // UTF-8; unique within a result ("COLUMN1", "MC_1" for unnamed and repeated names)
  FieldKind kind = FieldKind::Unknown;
  // Characters for text kinds (255 when the column declares none, 0 for
  // Memo), bytes for Bytes/VarBytes, 38 for Guid, digits after the point for
  // BCD, 0 otherwise.
  int32_t size = 0;
  int32_t precision = 0;  // BCD: total digits
  int32_t scale = 0;      // BCD: digits after the point
  bool fixed = false;     // fixed-length text (CHAR(n), ANSICHAR(n))
  bool currency = false;  // BCD from a CURRENCY column: values are CY
  // Part of its table's primary key (set in table descriptions, see
  // Connection::tableColumns, where the provider can tell).
  bool key = false;
  // True for a computed column (no declared type): its kind comes from its
  // first non-null value, and its values keep their own kind.
  bool kindFromValues = false;
  // True for an expression column whose kind the dialect gave (the type of
  // its expression, see docs/data-layer.md): not a column of a table.
  bool computed = false;
  std::string declaredType;  // the column's declared type as written, or empty
  std::string tableName;     // base table and column when the column is a plain column reference
  std::string originName;
};

enum class ParamDirection : uint8_t { Unknown = 0, Input = 1, Output = 2, InputOutput = 3, ReturnValue = 4 };

// A parameter of a query or statement, bound by position to the command's
// markers ("?" or ":name").
struct Parameter {
  std::string name;
  FieldKind dataType = FieldKind::Unknown;  // a hint for the conversion of the value
  ParamDirection direction = ParamDirection::Input;
  int32_t size = 0;
  int32_t precision = 0;
  int32_t scale = 0;
  Variant value;

  static Parameter of(Variant v, FieldKind dataType = FieldKind::Unknown) {
    Parameter p;
    p.value = std::move(v);
    p.dataType = dataType;
    return p;
  }
};

}  // namespace rvz::data
