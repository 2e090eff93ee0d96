// The company schema for translation tests.
#include "tests/platform/data/jet/pg_test_schema.h"

#include <sqlite3.h>

#include <stdexcept>

#include "catalogue/schema.h"
#include "platform/data/jet/jet_dialect.h"
#include "platform/data/sqlite/declared_type.h"

namespace rvz::data::jet::testing {

namespace {

JetType jetTypeOf(const ColumnInfo& c) {
  switch (c.kind) {
    case FieldKind::String:
    case FieldKind::FixedChar:
    case FieldKind::WideString: return JetType::Text;
    case FieldKind::Memo: return JetType::Memo;
    case FieldKind::SmallInt: return JetType::Integer;
    case FieldKind::Integer:
    case FieldKind::AutoInc: return JetType::Long;
    case FieldKind::Float: return JetType::Double;
    case FieldKind::Boolean: return JetType::Boolean;
    case FieldKind::BCD: return c.currency ? JetType::Currency : JetType::Decimal;
    case FieldKind::DateTime: return JetType::DateTime;
    case FieldKind::Blob: return JetType::LongBinary;
    default: return JetType::Unknown;
  }
}

}  // namespace

CompanySchema::CompanySchema() {
  if (sqlite3_open(":memory:", &db_) != SQLITE_OK) throw std::runtime_error("cannot open an in-memory database");
  registerFunctions(db_);
  auto make = [&](const std::vector<std::string>& statements) {
    for (const std::string& s : statements) {
      std::string sql = translate(s);
      char* error = nullptr;
      if (sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, &error) != SQLITE_OK) {
        std::string message = error ? error : "?";
        sqlite3_free(error);
        throw std::runtime_error(message + ": " + sql);
      }
    }
  };
  make(catalogue::companySchemaStatements());
  make(catalogue::registrySchemaStatements());
}

CompanySchema::~CompanySchema() { sqlite3_close(db_); }

std::optional<std::vector<BaseColumn>> CompanySchema::columnsOf(std::string_view table) {
  sqlite3_stmt* stmt = nullptr;
  sqlite3_prepare_v2(db_, "SELECT name, type FROM pragma_table_info(?1)", -1, &stmt, nullptr);
  sqlite3_bind_text(stmt, 1, table.data(), static_cast<int>(table.size()), SQLITE_TRANSIENT);
  std::vector<BaseColumn> out;
  while (sqlite3_step(stmt) == SQLITE_ROW) {
    const auto* decl = reinterpret_cast<const char*>(sqlite3_column_text(stmt, 1));
    ColumnInfo c = sqlite::kindOfDeclaredType(decl ? decl : "");
    BaseColumn b;
    b.name = reinterpret_cast<const char*>(sqlite3_column_text(stmt, 0));
    b.type.type = jetTypeOf(c);
    if (b.type.type == JetType::Text) b.type.size = c.size;
    out.push_back(std::move(b));
  }
  sqlite3_finalize(stmt);
  if (out.empty()) return std::nullopt;
  return out;
}

std::string CompanySchema::tableName(std::string_view table) {
  sqlite3_stmt* stmt = nullptr;
  sqlite3_prepare_v2(db_, "SELECT name FROM sqlite_master WHERE type IN ('table', 'view') AND name = ?1 COLLATE NOCASE",
                     -1, &stmt, nullptr);
  sqlite3_bind_text(stmt, 1, table.data(), static_cast<int>(table.size()), SQLITE_TRANSIENT);
  std::string name(table);
  if (sqlite3_step(stmt) == SQLITE_ROW) name = reinterpret_cast<const char*>(sqlite3_column_text(stmt, 0));
  sqlite3_finalize(stmt);
  return name;
}

}  // namespace rvz::data::jet::testing
