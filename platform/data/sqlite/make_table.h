// Make-table queries on SQLite (Jet's SELECT ... INTO t): the table is
// created with the Access types of the result's columns and filled from the
// select, all or nothing.
#pragma once

#include <cstdint>
#include <span>

#include "platform/data/driver.h"
#include "platform/data/jet/jet_result_types.h"

struct sqlite3;

namespace rvz::data::sqlite {

inline constexpr int32_t kErrTableExists = 3010;  // Jet: the table already exists

// Creates and fills the table; returns the rows written. Fails (3010) when a
// table or view of that name exists, and when two result columns share a
// name; on any failure the database is as it was. `values` bind to the
// select's markers.
int64_t runMakeTable(sqlite3* db, const jet::MakeTable& m, std::span<const BoundValue> values);

}  // namespace rvz::data::sqlite
