// Computed-column descriptions on SQLite: the schema the Jet typing reads
// (each table's declared column types, through pragma_table_info) and the
// mapping of Jet types onto column kinds.
#include "platform/data/sqlite/computed_columns.h"

#include <sqlite3.h>

#include <map>
#include <optional>

#include "platform/data/jet_column_kinds.h"
#include "platform/data/sqlite/declared_type.h"
#include "platform/text/text.h"

namespace rvz::data::sqlite {
namespace {

using jet::JetType;

// The tables' columns, each table read once per translation.
class SqliteSchema final : public jet::Schema {
 public:
  explicit SqliteSchema(sqlite3* db) : db_(db) {}

  std::optional<std::vector<jet::BaseColumn>> columnsOf(std::string_view table) override {
    std::string key = text::upperCaseAscii(table);
    auto it = seen_.find(key);
    if (it != seen_.end()) return it->second;
    return seen_[key] = read(table);
  }

 private:
  std::optional<std::vector<jet::BaseColumn>> read(std::string_view table) {
    sqlite3_stmt* stmt = nullptr;
    if (sqlite3_prepare_v2(db_, "SELECT name, type FROM pragma_table_info(?1)", -1, &stmt, nullptr) != SQLITE_OK)
      return std::nullopt;
    sqlite3_bind_text(stmt, 1, table.data(), static_cast<int>(table.size()), SQLITE_TRANSIENT);
    std::vector<jet::BaseColumn> out;
    int rc;
    while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) {
      const auto* name = reinterpret_cast<const char*>(sqlite3_column_text(stmt, 0));
      const auto* decl = reinterpret_cast<const char*>(sqlite3_column_text(stmt, 1));
      const ColumnInfo c = kindOfDeclaredType(decl ? decl : "");
      jet::BaseColumn b;
      b.name = name ? name : "";
      b.type.type = jetTypeOfColumn(c);
      if (b.type.type == JetType::Text || b.type.type == JetType::Binary) b.type.size = c.size;
      if (b.type.type == JetType::Decimal) {
        b.type.precision = c.precision;
        b.type.scale = c.scale;
      }
      out.push_back(std::move(b));
    }
    sqlite3_finalize(stmt);
    // A failed read (a busy schema, say) leaves the table untyped: its
    // columns are then described by their values, as before typing.
    if (rc != SQLITE_DONE || out.empty()) return std::nullopt;
    return out;
  }

  sqlite3* db_;
  std::map<std::string, std::optional<std::vector<jet::BaseColumn>>> seen_;
};

// As the base column is described; a counter's value in an expression is a
// plain long integer.
bool describeAsBaseColumn(sqlite3* db, ColumnInfo& c, const jet::ColumnType& t) {
  const char* decl = nullptr;
  if (sqlite3_table_column_metadata(db, nullptr, t.table.c_str(), t.column.c_str(), &decl, nullptr, nullptr, nullptr,
                                    nullptr) != SQLITE_OK)
    return false;
  ColumnInfo base = kindOfDeclaredType(decl ? decl : "");
  if (base.kindFromValues) return false;
  c.kind = base.kind == FieldKind::AutoInc ? FieldKind::Integer : base.kind;
  c.kindFromValues = false;
  c.computed = true;
  c.size = base.size;
  c.precision = base.precision;
  c.scale = base.scale;
  c.fixed = base.fixed;
  c.currency = base.currency;
  return true;
}

}  // namespace

TranslatedText translateWithSchema(sqlite3* db, std::string_view jetText) {
  SqliteSchema schema(db);
  jet::TypedTranslation t = jet::translateTyped(jetText, schema);
  if (t.pivotValuesSql)
    return {std::move(*t.pivotValuesSql), t.translated, std::move(t.reason), {}, std::nullopt, true};
  return {std::move(t.sql), t.translated, std::move(t.reason), std::move(t.columns), std::move(t.makeTable), false};
}

TranslatedText translateCrosstabWithSchema(sqlite3* db, std::string_view jetText,
                                           const std::vector<jet::PivotValue>& values) {
  SqliteSchema schema(db);
  jet::TypedTranslation t = jet::translateCrosstab(jetText, schema, values);
  return {std::move(t.sql), t.translated, std::move(t.reason), std::move(t.columns), std::nullopt, false};
}

void describeComputedColumns(sqlite3* db, std::vector<ColumnInfo>& columns, const std::vector<jet::ColumnType>& types,
                             std::span<const BoundValue> values) {
  if (types.size() != columns.size()) return;
  for (size_t i = 0; i < columns.size(); ++i) {
    ColumnInfo& c = columns[i];
    if (!c.kindFromValues) continue;
    const jet::ColumnType& t = types[i];
    if (!t.table.empty() && describeAsBaseColumn(db, c, t)) continue;
    if (t.type == JetType::Parameter) {
      if (t.parameter >= 1 && static_cast<size_t>(t.parameter) <= values.size())
        describeByParameter(c, values[static_cast<size_t>(t.parameter) - 1]);
      continue;
    }
    describeByJetType(c, t);
  }
}

}  // namespace rvz::data::sqlite
