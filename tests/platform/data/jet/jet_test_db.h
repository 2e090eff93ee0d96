// An in-memory SQLite database with the Jet functions installed, taking Jet
// command texts through the translator, for the Jet dialect tests.
#pragma once

#include <sqlite3.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace rvz::data::jet::testing {

using Param = std::variant<std::nullptr_t, int64_t, double, std::string>;

struct Result {
  std::vector<std::string> columns;
  std::vector<std::vector<std::string>> rows;  // NULL as "NULL"
};

class TestDb {
 public:
  TestDb();
  ~TestDb();
  TestDb(const TestDb&) = delete;
  TestDb& operator=(const TestDb&) = delete;

  sqlite3* handle() const { return db_; }
  // Translates and runs a statement; throws std::runtime_error with SQLite's
  // message and the translated text when it fails.
  void exec(std::string_view jetSql, const std::vector<Param>& params = {});
  Result query(std::string_view jetSql, const std::vector<Param>& params = {});
  // The first column of the single row of a query.
  std::string scalar(std::string_view jetSql, const std::vector<Param>& params = {});
  // SQLite's error message for a query that must fail ("" when it ran).
  std::string errorOf(std::string_view jetSql);

 private:
  sqlite3* db_ = nullptr;
};

// A value as the tests write it: integers plainly, reals with up to 15
// significant digits, NULL as "NULL".
std::string render(sqlite3_stmt* stmt, int column);

}  // namespace rvz::data::jet::testing
