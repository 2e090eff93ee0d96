// Binding of values to the markers of a prepared SQLite statement.
#pragma once

#include <span>

#include "platform/data/driver.h"

struct sqlite3_stmt;

namespace rvz::data::sqlite {

// Binds values[k] to marker k+1 for every marker; values beyond the markers
// are ignored. Throws DataError (kErrTooFewParameters) when there are fewer
// values than markers; returns SQLite's result code of the first bind that
// failed, SQLITE_OK when all were bound.
int bindValues(sqlite3_stmt* stmt, std::span<const BoundValue> values);

}  // namespace rvz::data::sqlite
