// In-memory test database for the Jet dialect tests.
#include "tests/platform/data/jet/jet_test_db.h"

#include <cstdio>
#include <stdexcept>

#include "platform/data/jet/jet_dialect.h"

namespace rvz::data::jet::testing {

TestDb::TestDb() {
  if (sqlite3_open(":memory:", &db_) != SQLITE_OK) throw std::runtime_error("cannot open an in-memory database");
  registerFunctions(db_);
}

TestDb::~TestDb() { sqlite3_close(db_); }

std::string render(sqlite3_stmt* stmt, int column) {
  switch (sqlite3_column_type(stmt, column)) {
    case SQLITE_NULL: return "NULL";
    case SQLITE_INTEGER: return std::to_string(sqlite3_column_int64(stmt, column));
    case SQLITE_FLOAT: {
      char buf[40];
      std::snprintf(buf, sizeof buf, "%.15g", sqlite3_column_double(stmt, column));
      return buf;
    }
    default: {
      const auto* p = reinterpret_cast<const char*>(sqlite3_column_text(stmt, column));
      return std::string(p ? p : "", static_cast<size_t>(sqlite3_column_bytes(stmt, column)));
    }
  }
}

namespace {

struct Statement {
  sqlite3_stmt* stmt = nullptr;
  ~Statement() { sqlite3_finalize(stmt); }
};

void prepare(sqlite3* db, std::string_view jetSql, const std::vector<Param>& params, Statement& s) {
  std::string sql = translate(jetSql);
  if (sqlite3_prepare_v2(db, sql.c_str(), static_cast<int>(sql.size()), &s.stmt, nullptr) != SQLITE_OK)
    throw std::runtime_error(std::string(sqlite3_errmsg(db)) + " in: " + sql);
  for (size_t i = 0; i < params.size(); ++i) {
    int k = static_cast<int>(i + 1);
    const Param& p = params[i];
    if (std::holds_alternative<std::nullptr_t>(p))
      sqlite3_bind_null(s.stmt, k);
    else if (auto* n = std::get_if<int64_t>(&p))
      sqlite3_bind_int64(s.stmt, k, *n);
    else if (auto* d = std::get_if<double>(&p))
      sqlite3_bind_double(s.stmt, k, *d);
    else {
      const std::string& t = std::get<std::string>(p);
      sqlite3_bind_text(s.stmt, k, t.data(), static_cast<int>(t.size()), SQLITE_TRANSIENT);
    }
  }
}

}  // namespace

void TestDb::exec(std::string_view jetSql, const std::vector<Param>& params) { query(jetSql, params); }

Result TestDb::query(std::string_view jetSql, const std::vector<Param>& params) {
  Statement s;
  prepare(db_, jetSql, params, s);
  Result r;
  int n = sqlite3_column_count(s.stmt);
  for (int i = 0; i < n; ++i) r.columns.emplace_back(sqlite3_column_name(s.stmt, i));
  for (;;) {
    int rc = sqlite3_step(s.stmt);
    if (rc == SQLITE_DONE) break;
    if (rc != SQLITE_ROW) throw std::runtime_error(std::string(sqlite3_errmsg(db_)) + " in: " + translate(jetSql));
    std::vector<std::string> row;
    for (int i = 0; i < n; ++i) row.push_back(render(s.stmt, i));
    r.rows.push_back(std::move(row));
  }
  return r;
}

std::string TestDb::scalar(std::string_view jetSql, const std::vector<Param>& params) {
  Result r = query(jetSql, params);
  if (r.rows.size() != 1 || r.rows[0].empty())
    throw std::runtime_error("expected one row from: " + std::string(jetSql));
  return r.rows[0][0];
}

std::string TestDb::errorOf(std::string_view jetSql) {
  try {
    query(jetSql);
  } catch (const std::exception& e) {
    return e.what();
  }
  return {};
}

}  // namespace rvz::data::jet::testing
