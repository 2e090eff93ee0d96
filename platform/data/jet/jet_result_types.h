// The types that Jet gives the columns of a SELECT: each select-list
// expression has the type of its expression (Max(RQ) a date-time, Count(*) a
// long integer, Sum of a currency column currency, Format(...) text ...),
// with column references resolved through the tables of the FROM clause,
// their aliases and sub-queries. The unit knows no engine: the tables'
// column types come from a `Schema` that a provider supplies, and a provider
// describes its result columns with what this gives (where its engine cannot
// describe them itself). The same rules hold for every provider, so one
// command text gives the same column descriptions on every database.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace rvz::data::jet {

// The SQL a translation writes. Sqlite: the Jet dialect read, SQLite SQL
// written (Access account sets). Postgres: the Jet dialect and SQL Server's
// dialect read, PostgreSQL 15 SQL written (SQL Server account sets); the
// database is set up with pgSetupSql() (pg_types.h).
enum class Target : uint8_t { Sqlite, Postgres };

// Jet's data types, plus the two marks of an expression whose type the text
// does not tell: Null alone, and a parameter alone.
enum class JetType : uint8_t {
  Unknown,    // the text does not tell (an unknown function, branches of different kinds ...)
  Null,       // Null alone: every value is Null
  Parameter,  // a parameter marker alone: the type of the value bound to it
  Text,       // size: characters
  Memo,
  Boolean,
  Byte,
  Integer,  // 16 bits
  Long,     // 32 bits
  Single,
  Double,
  Currency,
  Decimal,  // precision, scale
  DateTime,
  Binary,      // size: bytes
  LongBinary,  // OLE object
  Guid,
};

// Text results of functions and literals have this many characters.
inline constexpr int32_t kComputedTextSize = 255;

struct ColumnType {
  JetType type = JetType::Unknown;
  int32_t size = 0;       // Text: characters; Binary: bytes
  int32_t precision = 0;  // Decimal
  int32_t scale = 0;      // Decimal
  int parameter = 0;      // Parameter: the marker's position, from 1
  // Set when the expression has exactly the type of this column of a base
  // table (the column itself, Max/Min/First/Last of it, IIf of it and
  // Null): the provider may then describe it as it describes that column.
  std::string table;
  std::string column;

  bool operator==(const ColumnType&) const = default;
};

// One column of a base table or view.
struct BaseColumn {
  std::string name;
  ColumnType type;
};

// What the typing needs to know of a database.
class Schema {
 public:
  virtual ~Schema() = default;
  // The columns of the table or view of that name (any letter case), in
  // their order; nullopt when the database has none of that name.
  virtual std::optional<std::vector<BaseColumn>> columnsOf(std::string_view table) = 0;
  // The name of that table or view as it was created (any letter case in,
  // the stored spelling out); the name as given when the database has none
  // of that name. PostgreSQL names are quoted and so match only in their
  // stored case: a PostgreSQL provider answers this from its catalog.
  // BaseColumn::name must likewise be the stored spelling.
  virtual std::string tableName(std::string_view table) { return std::string(table); }
};

// A parameter that a PARAMETERS clause declares ("PARAMETERS p Long, q
// Text(20); SELECT ..."): its name and type. The names stand for the
// markers ?1, ?2 ... in declared order.
struct DeclaredParameter {
  std::string name;
  ColumnType type;  // Unknown for VALUE (any type)
};

// The parameters the text declares, in order; empty when it declares none
// or does not read as a statement.
std::vector<DeclaredParameter> declaredParameters(std::string_view jetSql);

// A make-table query (SELECT ... INTO t): the table to create with its
// columns, and the SELECT (in the target's SQL) whose rows fill it. A
// "#name" table is a temporary table of the session (Postgres).
struct MakeTable {
  std::string table;
  bool temporary = false;
  std::vector<BaseColumn> columns;  // names and types of the result
  std::string selectSql;
};

// A value of a crosstab's pivot expression, as the database gave it.
struct PivotValue {
  enum class Kind : uint8_t { Null, Integer, Real, Text } kind = Kind::Null;
  int64_t i = 0;
  double r = 0;
  std::string text;
};

// A translation together with the types of the result columns.
struct TypedTranslation {
  std::string sql;  // as translate() gives it; Postgres: every statement, joined by "; "
  bool translated = false;
  std::string reason;  // why not, when not translated ("unterminated date literal at character 8")
  // One entry per result column, in order (a "*" expanded through the
  // schema); empty when the text is no SELECT, was not translated, or names
  // a table the schema does not know under a "*".
  std::vector<ColumnType> columns;
  // Set for a make-table query whose columns could all be named.
  std::optional<MakeTable> makeTable;
  // Set for a crosstab without PIVOT ... IN: the SQLite SQL that lists its
  // pivot values in column order (one column). Run it, then translateCrosstab
  // with those values gives the crosstab itself; `sql` is empty meanwhile.
  std::optional<std::string> pivotValuesSql;
  // Postgres: the statements of the text one by one (SQL Server runs a text
  // of several statements in turn; `columns` then describe the last
  // statement's result). One entry for a text of one statement.
  std::vector<std::string> statements;
};

// Translates a Jet command text to SQLite SQL as translate() does, with the
// column types of `schema` in view: `RQ + 1` on a date-time column moves the
// date, as Jet does, and the result columns come back typed. Never throws
// for a text it cannot read (it then comes back as translate() gives it,
// with no column types); the schema's own exceptions pass through.
TypedTranslation translateTyped(std::string_view jetSql, Schema& schema, Target target = Target::Sqlite);

// A crosstab (TRANSFORM ... PIVOT) with the pivot values its pivotValuesSql
// found: one column per value in the order given, named by the value's text
// ("<>" for Null), holding the TRANSFORM aggregate over the rows of that
// value (Null where a group has none).
TypedTranslation translateCrosstab(std::string_view jetSql, Schema& schema, const std::vector<PivotValue>& values,
                                   Target target = Target::Sqlite);

}  // namespace rvz::data::jet
