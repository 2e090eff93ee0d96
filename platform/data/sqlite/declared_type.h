// Column kinds from the declared types that the Jet DDL translation keeps in
// SQLite tables ("TEXT(50)", "CURRENCY", "DECIMAL(12,2)" ...).
#pragma once

#include <string_view>

#include "platform/data/field_kind.h"

namespace rvz::data::sqlite {

// Kind, size, precision and scale of a declared type. A type that names no
// Access type falls back on SQLite's affinity words (INT, CHAR/CLOB/TEXT,
// BLOB, REAL/FLOA/DOUB); an empty or unrecognised one gives kind Unknown
// with kindFromValues set.
ColumnInfo kindOfDeclaredType(std::string_view declared);

}  // namespace rvz::data::sqlite
