// The binding rules of the catalogue: how the declared fields of a dataset
// take the columns of its result (or, without declarations, how fields are
// made from the result), and how a field's value is served.
#pragma once

#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "catalogue/declaration.h"
#include "platform/data/field_kind.h"
#include "platform/variant/variant.h"

namespace rvz::catalogue {

// A field of an open dataset, bound to one result column.
struct BoundField {
  std::string name;  // the declared name, or the column's for created fields
  FieldType type = FieldType::Integer;
  int size = 0;       // strings: characters; BCD: scale; Guid: 38; bytes: bytes
  int precision = 0;  // BCD
  uint8_t flags = UW;
  bool fixed = false;  // declared fixed, or a fixed-length narrow column
  bool readOnly = false;
  size_t column = 0;  // index into the result's columns
  data::FieldKind columnKind = data::FieldKind::Unknown;
};

// Binds each declared field, in order, to the result column of its name
// (letter case ignored). Throws data::DataError "<dataset>: Field 'X' not
// found", "<dataset>: Type mismatch for field 'X', expecting: T actual: K"
// or "<dataset>: Size mismatch for field 'X', expecting: n actual: m".
std::vector<BoundField> bindDeclaredFields(std::string_view dataset, std::span<const FieldDecl> fields,
                                           const std::vector<data::ColumnInfo>& columns);

// One field per result column, in column order, typed by the column's kind,
// sized as the column, with flags U W.
std::vector<BoundField> fieldsFromColumns(const std::vector<data::ColumnInfo>& columns);

// Whether a field of this type accepts a column of that kind.
bool typeAcceptsKind(FieldType type, data::FieldKind kind);

// What a narrow string field serves for a text: the text in the ANSI code
// page, cut to Size bytes without splitting a double-byte character.
std::string servedNarrow(const BoundField& field, WStringView text);

// What a date field serves for a date-time: the day alone.
double servedDate(double oleDate);

}  // namespace rvz::catalogue
