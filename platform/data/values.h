// Conversions between the storage classes of the provider seam and variants:
// stored values to variants by column kind, variants to values for markers,
// and the stored text form of date-times.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "platform/data/driver.h"
#include "platform/data/field_kind.h"
#include "platform/variant/variant.h"

namespace rvz::data {

// The variant a stored value gives for its column:
//   text kinds -> BSTR; SmallInt -> I2; Integer, AutoInc, Word -> I4;
//   LargeInt -> I8; Boolean -> BOOL (stored -1/0, any non-zero is true);
//   Float -> R8; BCD -> CY for currency columns, DECIMAL with the column's
//   scale otherwise; Date, Time, DateTime -> DATE (Date keeps the day only,
//   Time the time of day only); Blob, Bytes, VarBytes -> byte array; Null ->
//   Null. A column whose kind comes from its values gives each value by its
//   storage class (integer -> I4, or I8 beyond 32 bits; real -> R8; text ->
//   BSTR; bytes -> byte array).
// Fallbacks: a real in an integer column is rounded half to even; a number
// in a date column is read as a date serial number; a number in a text
// column gives its text. A value that cannot be read as its kind (text in
// an integer column, a malformed date, a number out of the kind's range)
// throws DataError (kErrValue) naming the column.
Variant cellToVariant(const ColumnInfo& column, const Cell& cell);

// Jet's refusals of a value its column cannot hold: text that is no number
// for a numeric or yes/no column, no date for a date column; a number beyond
// the range of an integer column.
inline constexpr int32_t kErrTypeMismatch = 3464;
inline constexpr std::string_view kTypeMismatchText = "Data type mismatch in criteria expression.";
inline constexpr int32_t kErrNumericOverflow = 3349;
inline constexpr std::string_view kNumericOverflowText = "Numeric field overflow.";

// The value to bind for a parameter: Empty, Null and error values -> NULL;
// BOOL -> -1/0; integers -> integer; R4/R8 -> real; CY and DECIMAL -> integer
// when the value is whole, real otherwise; DATE -> text "YYYY-MM-DD HH:MM:SS";
// BSTR -> UTF-8 text; byte arrays -> bytes. The hint is the kind of the
// column the value goes to, and the value is converted to it as Jet converts:
// a Boolean hint writes -1/0 (text "True"/"False" or a number); an integer
// hint writes an integer (numeric text and reals rounded half to even, dates
// as serial numbers); Float, BCD and Currency hints write numbers (numeric
// text, dates as serial numbers); a date hint turns numbers and date texts
// into the stored date text. A value the hint's kind cannot hold throws
// DataError kErrTypeMismatch, a number beyond an integer kind's range
// kErrNumericOverflow, so that a column never stores what it cannot give
// back. Throws DataError for arrays other than byte arrays.
BoundValue toBoundValue(const Variant& value, FieldKind hint = FieldKind::Unknown);

// Stored date-time text "YYYY-MM-DD HH:MM:SS" of a date serial number,
// rounded to the second.
std::string formatStoredDate(double oleDate);

// Reads a number written as text (blanks around it allowed): true and the
// value in `out` when the whole text is one finite number.
bool parseNumberText(std::string_view text, double& out);

// Reads a stored date-time: "YYYY-MM-DD", "YYYY-MM-DD HH:MM[:SS[.fff]]"
// (also with "T" or "/" separators) or a time alone "HH:MM[:SS]". nullopt
// when the text is none of these or names no valid date.
std::optional<double> parseStoredDate(std::string_view text);

// Reads a date the way Jet date literals are written: the stored forms
// above, "M/D/YYYY" (US order) and "YYYY/M/D", each optionally followed by a
// time with AM/PM.
std::optional<double> parseDateLiteral(std::string_view text);

}  // namespace rvz::data
