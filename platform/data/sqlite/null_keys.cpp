// Triggers that refuse a Null key on tables made without NOT NULL keys.
//
// They run after the row is written, so a rowid key (INTEGER PRIMARY KEY)
// that the engine numbers itself is never taken for Null, and RAISE(ABORT)
// takes back the whole statement, as the engine's own NOT NULL refusal does.
#include "platform/data/sqlite/null_keys.h"

#include <sqlite3.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/data/data_error.h"

namespace rvz::data::sqlite {
namespace {

// The key columns that may hold Null, by table. Virtual tables take no
// triggers and the engine's own tables are not the clients'.
constexpr const char* kNullableKeys =
    "SELECT m.name, p.name FROM sqlite_schema AS m JOIN pragma_table_info(m.name) AS p "
    "WHERE m.type = 'table' AND p.pk > 0 AND p.\"notnull\" = 0 "
    "AND m.name NOT LIKE 'sqlite\\_%' ESCAPE '\\' AND upper(m.sql) NOT LIKE 'CREATE VIRTUAL %' "
    "ORDER BY m.name, p.pk";

std::string quoted(std::string_view name) {
  std::string out = "\"";
  for (char c : name) {
    out += c;
    if (c == '"') out += '"';
  }
  return out + '"';
}

std::string textLiteral(std::string_view text) {
  std::string out = "'";
  for (char c : text) {
    out += c;
    if (c == '\'') out += '\'';
  }
  return out + '\'';
}

[[noreturn]] void fail(sqlite3* db, const std::string& what) {
  const char* m = sqlite3_errmsg(db);
  throw DataError::engine(sqlite3_extended_errcode(db), what + ": " + (m ? m : "unknown SQLite error") + ".");
}

std::map<std::string, std::vector<std::string>> nullableKeys(sqlite3* db) {
  sqlite3_stmt* raw = nullptr;
  if (sqlite3_prepare_v2(db, kNullableKeys, -1, &raw, nullptr) != SQLITE_OK)
    fail(db, "Could not read the key columns of the database");
  std::unique_ptr<sqlite3_stmt, decltype(&sqlite3_finalize)> stmt(raw, &sqlite3_finalize);
  std::map<std::string, std::vector<std::string>> keys;
  int rc;
  while ((rc = sqlite3_step(stmt.get())) == SQLITE_ROW) {
    const auto* table = reinterpret_cast<const char*>(sqlite3_column_text(stmt.get(), 0));
    const auto* column = reinterpret_cast<const char*>(sqlite3_column_text(stmt.get(), 1));
    if (table && column) keys[table].emplace_back(column);
  }
  if (rc != SQLITE_DONE) fail(db, "Could not read the key columns of the database");
  return keys;
}

}  // namespace

void guardNullKeys(sqlite3* db) {
  const std::string raise = " BEGIN SELECT RAISE(ABORT, " + textLiteral(kNullKeyText) + "); END";
  int n = 0;
  for (const auto& [table, columns] : nullableKeys(db)) {
    std::string when, list;
    for (const std::string& c : columns) {
      when += (when.empty() ? " WHEN NEW." : " OR NEW.") + quoted(c) + " IS NULL";
      list += (list.empty() ? "" : ", ") + quoted(c);
    }
    ++n;
    const std::string sql = "CREATE TEMP TRIGGER rvz_null_key_insert_" + std::to_string(n) + " AFTER INSERT ON " +
                            quoted(table) + when + raise + "; CREATE TEMP TRIGGER rvz_null_key_update_" +
                            std::to_string(n) + " AFTER UPDATE OF " + list + " ON " + quoted(table) + when + raise;
    if (sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr) != SQLITE_OK)
      fail(db, "Could not guard the key of table '" + table + "' against Null");
  }
}

bool isNullKeyGuardRefusal(int extendedCode, std::string_view message) {
  return extendedCode == SQLITE_CONSTRAINT_TRIGGER && message == kNullKeyText;
}

}  // namespace rvz::data::sqlite
