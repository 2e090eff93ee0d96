// Make-table queries: the column declarations from the result's Jet types
// (in the forms the Jet DDL translation writes, so that the new table reads
// back with the same kinds), the checks Jet makes, and the fill under a
// savepoint.
#include "platform/data/sqlite/make_table.h"

#include <sqlite3.h>

#include <set>
#include <string>

#include "platform/data/data_error.h"
#include "platform/data/jet_column_kinds.h"
#include "platform/data/sqlite/bind_values.h"
#include "platform/text/text.h"

namespace rvz::data::sqlite {
namespace {

using jet::JetType;

std::string quoted(const std::string& name) {
  std::string r = "\"";
  for (char c : name) {
    if (c == '"') r.push_back('"');
    r.push_back(c);
  }
  return r + "\"";
}

[[noreturn]] void fail(sqlite3* db, const std::string& table) {
  throw DataError::engine(sqlite3_extended_errcode(db),
                          "Could not make table '" + table + "': " + std::string(sqlite3_errmsg(db)) + ".");
}

// The declaration a column of this Jet type gets; text compares without
// regard to case, as Jet's does. Empty for a column whose type the text
// does not tell (its values keep their own classes).
std::string declarationOf(const jet::ColumnType& t) {
  std::string d = accessDeclarationOf(t);
  if (d == "MEMO") return "LONGTEXT COLLATE NOCASE";
  if (t.type == JetType::Text) d += " COLLATE NOCASE";
  return d;
}

std::string declarationOfKind(FieldKind k) {
  switch (k) {
    case FieldKind::String:
    case FieldKind::FixedChar:
    case FieldKind::WideString: return "TEXT(255) COLLATE NOCASE";
    case FieldKind::Memo: return "LONGTEXT COLLATE NOCASE";
    case FieldKind::SmallInt: return "SHORT";
    case FieldKind::Integer:
    case FieldKind::Word:
    case FieldKind::AutoInc: return "LONG";
    case FieldKind::Boolean: return "YESNO";
    case FieldKind::Float: return "DOUBLE";
    case FieldKind::Currency: return "CURRENCY";
    case FieldKind::BCD: return "DECIMAL(18,4)";
    case FieldKind::Date:
    case FieldKind::Time:
    case FieldKind::DateTime: return "DATETIME";
    case FieldKind::Blob:
    case FieldKind::Bytes:
    case FieldKind::VarBytes: return "LONGBINARY";
    case FieldKind::Guid: return "GUID";
    default: return {};
  }
}

// A column that keeps a base column's type takes its declaration as the
// table has it (a DATE stays a DATE, narrow text narrow); a counter's values
// become a plain long integer column.
std::string declarationOfBase(sqlite3* db, const jet::ColumnType& t) {
  const char* decl = nullptr;
  const char* coll = nullptr;
  int autoinc = 0;
  if (sqlite3_table_column_metadata(db, nullptr, t.table.c_str(), t.column.c_str(), &decl, &coll, nullptr, nullptr,
                                    &autoinc) != SQLITE_OK ||
      !decl || !*decl)
    return declarationOf(t);
  if (autoinc) return "LONG";
  std::string d = decl;
  if (coll && text::equalsNoCaseAscii(coll, "NOCASE")) d += " COLLATE NOCASE";
  return d;
}

void exec(sqlite3* db, const std::string& sql, const std::string& table) {
  if (sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr) != SQLITE_OK) fail(db, table);
}

// Undoes everything since it was made unless released.
class Savepoint {
 public:
  explicit Savepoint(sqlite3* db, const std::string& table) : db_(db) { exec(db_, "SAVEPOINT rvz_make_table", table); }
  ~Savepoint() {
    if (!released_) {
      sqlite3_exec(db_, "ROLLBACK TO rvz_make_table", nullptr, nullptr, nullptr);
      sqlite3_exec(db_, "RELEASE rvz_make_table", nullptr, nullptr, nullptr);
    }
  }
  Savepoint(const Savepoint&) = delete;
  Savepoint& operator=(const Savepoint&) = delete;
  void release(const std::string& table) {
    exec(db_, "RELEASE rvz_make_table", table);
    released_ = true;
  }

 private:
  sqlite3* db_;
  bool released_ = false;
};

bool tableExists(sqlite3* db, const std::string& table) {
  sqlite3_stmt* stmt = nullptr;
  if (sqlite3_prepare_v2(db, "SELECT 1 FROM sqlite_schema WHERE type IN ('table','view') AND name = ?1 COLLATE NOCASE",
                         -1, &stmt, nullptr) != SQLITE_OK)
    fail(db, table);
  sqlite3_bind_text(stmt, 1, table.c_str(), static_cast<int>(table.size()), SQLITE_TRANSIENT);
  int rc = sqlite3_step(stmt);
  sqlite3_finalize(stmt);
  if (rc != SQLITE_ROW && rc != SQLITE_DONE) fail(db, table);
  return rc == SQLITE_ROW;
}

void bindAll(sqlite3* db, sqlite3_stmt* stmt, std::span<const BoundValue> values, const std::string& table) {
  if (bindValues(stmt, values) != SQLITE_OK) fail(db, table);
}

}  // namespace

int64_t runMakeTable(sqlite3* db, const jet::MakeTable& m, std::span<const BoundValue> values) {
  if (tableExists(db, m.table)) throw DataError::engine(kErrTableExists, "Table '" + m.table + "' already exists.");
  std::string create = "CREATE TABLE " + quoted(m.table) + " (";
  std::set<std::string> names;
  for (size_t i = 0; i < m.columns.size(); ++i) {
    const jet::BaseColumn& c = m.columns[i];
    if (!names.insert(text::upperCaseAscii(c.name)).second)
      throw DataError::engine(
          kErrArgument, "Could not make table '" + m.table + "': the result has two columns named '" + c.name + "'.");
    std::string decl;
    if (c.type.type == JetType::Parameter) {
      size_t at = static_cast<size_t>(c.type.parameter);
      if (at >= 1 && at <= values.size()) decl = declarationOfKind(values[at - 1].kind);
    } else if (!c.type.table.empty()) {
      decl = declarationOfBase(db, c.type);
    } else {
      decl = declarationOf(c.type);
    }
    create += (i ? ", " : "") + quoted(c.name) + (decl.empty() ? "" : " " + decl);
  }
  create += ")";

  Savepoint sp(db, m.table);
  exec(db, create, m.table);
  const std::string fill = "INSERT INTO " + quoted(m.table) + " " + m.selectSql;
  sqlite3_stmt* stmt = nullptr;
  if (sqlite3_prepare_v2(db, fill.c_str(), static_cast<int>(fill.size()), &stmt, nullptr) != SQLITE_OK)
    fail(db, m.table);
  int rc;
  try {
    bindAll(db, stmt, values, m.table);
    while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) {
    }
  } catch (...) {
    sqlite3_finalize(stmt);
    throw;
  }
  if (rc != SQLITE_DONE) {
    DataError e = DataError::engine(sqlite3_extended_errcode(db),
                                    "Could not make table '" + m.table + "': " + std::string(sqlite3_errmsg(db)) + ".");
    sqlite3_finalize(stmt);
    throw e;
  }
  sqlite3_finalize(stmt);
  const int64_t rows = sqlite3_changes64(db);
  sp.release(m.table);
  return rows;
}

}  // namespace rvz::data::sqlite
