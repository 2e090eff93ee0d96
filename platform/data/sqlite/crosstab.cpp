// Crosstabs: reading the pivot values and preparing the crosstab written for
// them. The statement is made for one run (the values change with the data),
// so it never enters the statement cache.
#include "platform/data/sqlite/crosstab.h"

#include <sqlite3.h>

#include <string>

#include "platform/data/data_error.h"

namespace rvz::data::sqlite {
namespace {

[[noreturn]] void fail(sqlite3* db) {
  throw DataError::engine(sqlite3_extended_errcode(db), std::string(sqlite3_errmsg(db)));
}

std::vector<jet::PivotValue> readValues(sqlite3* db, sqlite3_stmt* stmt) {
  std::vector<jet::PivotValue> out;
  int rc;
  while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) {
    if (out.size() == kMaxPivotColumns)
      throw DataError::engine(kErrArgument, "Too many crosstab column headers: the pivot has more than " +
                                                std::to_string(kMaxPivotColumns) + " values.");
    jet::PivotValue v;
    switch (sqlite3_column_type(stmt, 0)) {
      case SQLITE_INTEGER:
        v.kind = jet::PivotValue::Kind::Integer;
        v.i = sqlite3_column_int64(stmt, 0);
        break;
      case SQLITE_FLOAT:
        v.kind = jet::PivotValue::Kind::Real;
        v.r = sqlite3_column_double(stmt, 0);
        break;
      case SQLITE_TEXT: {
        v.kind = jet::PivotValue::Kind::Text;
        const auto* p = reinterpret_cast<const char*>(sqlite3_column_text(stmt, 0));
        v.text.assign(p ? p : "", static_cast<size_t>(sqlite3_column_bytes(stmt, 0)));
        break;
      }
      case SQLITE_BLOB: throw DataError::engine(kErrArgument, "A crosstab cannot pivot on binary values.");
      default: break;
    }
    out.push_back(std::move(v));
  }
  if (rc != SQLITE_DONE) fail(db);
  return out;
}

}  // namespace

sqlite3_stmt* prepareCrosstab(sqlite3* db, std::string_view jetText, sqlite3_stmt* values, TranslatedText& shape) {
  const std::vector<jet::PivotValue> found = readValues(db, values);
  shape = translateCrosstabWithSchema(db, jetText, found);
  if (shape.sql.empty() || shape.sql == jetText)
    throw DataError::engine(
        kErrArgument, "The crosstab could not be written for its " + std::to_string(found.size()) + " pivot values.");
  sqlite3_stmt* stmt = nullptr;
  if (sqlite3_prepare_v2(db, shape.sql.c_str(), static_cast<int>(shape.sql.size()), &stmt, nullptr) != SQLITE_OK)
    fail(db);
  if (!stmt) throw DataError::engine(SQLITE_MISUSE, "The crosstab holds no SQL statement.");
  return stmt;
}

}  // namespace rvz::data::sqlite
