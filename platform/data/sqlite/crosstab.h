// Crosstabs on SQLite (Jet's TRANSFORM ... PIVOT without an IN list): the
// columns are the pivot values the rows hold, so the query runs in two
// steps — the values first, then the crosstab written for them.
#pragma once

#include <cstddef>
#include <string_view>

#include "platform/data/sqlite/computed_columns.h"

struct sqlite3;
struct sqlite3_stmt;

namespace rvz::data::sqlite {

// More pivot values than this is an error, as in Jet (a table holds 255
// fields at most).
inline constexpr size_t kMaxPivotColumns = 254;

// The crosstab for a text whose translation gave pivotValuesSql: `values`
// is that statement, prepared and bound; it is stepped to its end. Returns
// the crosstab's statement, prepared (the caller finalizes it), and its
// result columns' types into `shape`. Throws DataError.
sqlite3_stmt* prepareCrosstab(sqlite3* db, std::string_view jetText, sqlite3_stmt* values, TranslatedText& shape);

}  // namespace rvz::data::sqlite
