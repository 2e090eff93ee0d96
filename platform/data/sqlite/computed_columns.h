// Column descriptions for what SQLite cannot describe. SQLite gives a
// declared type only for plain column references; every other result column
// (Max(RQ), Count(*), DateAdd(...), Format(...)) gets the type of its
// expression as the Jet dialect's typing gives it, with the tables' column
// types read from the database's schema.
#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/data/driver.h"
#include "platform/data/jet/jet_result_types.h"

struct sqlite3;

namespace rvz::data::sqlite {

// A command text translated to SQLite SQL, with the Jet types of its result
// columns (empty when they could not be told, see jet::TypedTranslation).
struct TranslatedText {
  std::string sql;
  bool translated = false;
  std::string reason;  // why not, when not translated
  std::vector<jet::ColumnType> columnTypes;
  std::optional<jet::MakeTable> makeTable;  // a make-table query: run with runMakeTable (make_table.h)
  // A crosstab that needs its pivot values: `sql` is this query of them
  // (run with prepareCrosstab, crosstab.h).
  bool pivotValues = false;
};

// Translates a Jet text with the column types of the database `db` in view.
TranslatedText translateWithSchema(sqlite3* db, std::string_view jetText);
// A crosstab with the pivot values found.
TranslatedText translateCrosstabWithSchema(sqlite3* db, std::string_view jetText,
                                           const std::vector<jet::PivotValue>& values);

// Describes every column of `columns` that SQLite left without a type
// (kindFromValues) with the type of its expression, when `types` has one
// entry per column: a column of a base table's type as that column is
// described (a counter as a long integer), a parameter alone as the value
// bound to it (`values`, by marker), the other types by their Jet kinds.
// Columns whose type the text does not tell keep kindFromValues.
void describeComputedColumns(sqlite3* db, std::vector<ColumnInfo>& columns, const std::vector<jet::ColumnType>& types,
                             std::span<const BoundValue> values);

}  // namespace rvz::data::sqlite
