// PostgreSQL types as column kinds, and the values of a text-format result
// as cells of the provider seam (yes/no as -1/0, date-times as text
// "YYYY-MM-DD HH:MM:SS").
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/data/driver.h"

namespace rvz::data::pg {

// Type OIDs of the built-in types the provider reads.
namespace oid {
inline constexpr uint32_t kBool = 16, kBytea = 17, kChar = 18, kName = 19, kInt8 = 20, kInt2 = 21, kInt4 = 23,
                          kText = 25, kOid = 26, kFloat4 = 700, kFloat8 = 701, kUnknown = 705, kMoney = 790,
                          kBpchar = 1042, kVarchar = 1043, kDate = 1082, kTime = 1083, kTimestamp = 1114,
                          kTimestamptz = 1184, kInterval = 1186, kTimetz = 1266, kNumeric = 1700, kUuid = 2950;
}

// What a base table tells of one of its columns beyond the result's type:
// the name of its declared type (a domain's own name), whether it is an
// identity or serial column.
struct TableColumn {
  std::string typeName;  // e.g. "varchar", "ansivarchar" (a domain), "citext"
  bool identity = false;
};

// Kind, size, precision and scale of a result column of type `type` with
// type modifier `typmod` (-1 when none). `table` when the column is a plain
// column of a base table (else null). Types the provider does not know are
// read by their values (kindFromValues).
ColumnInfo columnOfType(uint32_t type, int32_t typmod, const TableColumn* table);

// How a column's values are read from their text form. FixedText (char(n))
// loses the blanks the server pads it with, so a value reads back as it was
// written, as on the Jet provider.
enum class ValueForm : uint8_t { Integer, Boolean, Real, Numeric, Text, FixedText, DateTime, Bytes };
ValueForm valueFormOf(uint32_t type);

// Reads one text-format value into `out`; `buffer` holds converted bytes
// (bytea, trimmed date texts) and must outlive the cell. `asNumber` gives
// numeric values as reals (columns of no decimal kind). Throws DataError
// (kErrValue) for a value that does not read as its type.
void readValue(ValueForm form, std::string_view text, bool asNumber, std::string& buffer, Cell& out);

// The text form of a bound value for a parameter of type `type` (0: the
// server infers it), and whether it travels in binary (bytea). Null values
// are not passed here.
struct ParameterText {
  std::string text;
  bool binary = false;
};
ParameterText parameterText(const BoundValue& v, uint32_t type);

// The type a parameter is given from its value alone (where the server
// cannot infer one).
uint32_t typeOfValue(const BoundValue& v);

}  // namespace rvz::data::pg
