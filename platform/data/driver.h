// The provider seam: what a database provider (the Jet provider on SQLite,
// later the SQL Server provider) offers to the connection, query and
// statement classes. Nothing above this interface knows the engine.
//
// Values cross the seam in five storage classes (null, 64-bit integer,
// double, UTF-8 text, bytes) under fixed conventions: yes/no as -1/0,
// date-times as text "YYYY-MM-DD HH:MM:SS". Turning them into variants by
// column kind happens above the seam (values.h), the same for every provider.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/data/connection_string.h"
#include "platform/data/data_error.h"
#include "platform/data/field_kind.h"

namespace rvz::data {

enum class StorageClass : uint8_t { Null = 0, Integer = 1, Real = 2, Text = 3, Blob = 4 };

// One value of a row as a provider delivers it; `bytes` stays valid until the
// cursor moves.
struct Cell {
  StorageClass cls = StorageClass::Null;
  int64_t i = 0;
  double r = 0;
  std::string_view bytes;  // Text (UTF-8) and Blob
};

// A value to bind to a parameter marker, in the same classes.
struct BoundValue {
  StorageClass cls = StorageClass::Null;
  int64_t i = 0;
  double r = 0;
  std::string bytes;
  // The parameter's type as the caller gave it (its type hint, else its
  // value's kind); Unknown when neither tells. A column that is a parameter
  // alone is described with it.
  FieldKind kind = FieldKind::Unknown;
  int32_t scale = 0;  // BCD
};

// Rows of a running command, stepped one at a time.
class DriverCursor {
 public:
  virtual ~DriverCursor() = default;
  // Columns as the provider can describe them; a column whose kind the
  // provider cannot tell has kind Unknown and kindFromValues set.
  virtual const std::vector<ColumnInfo>& columns() const = 0;
  // Moves to the next row; false after the last. Throws DataError.
  virtual bool step() = 0;
  // Value of a column of the current row.
  virtual Cell cell(size_t column) const = 0;
  // Values of all columns of the current row, into out[0 .. columns().size()).
  virtual void row(Cell* out) const {
    for (size_t c = 0; c < columns().size(); ++c) out[c] = cell(c);
  }
};

struct TableInfo {
  std::string name;  // TABLE_NAME
  std::string type;  // TABLE_TYPE: "TABLE", "VIEW" or "SYSTEM TABLE"
};

// Result of running one command text.
struct RunResult {
  std::unique_ptr<DriverCursor> cursor;  // null when the command returns no result set
  int64_t rowsAffected = 0;              // commands without a result set
};

// Settings of a connection that a provider uses when it connects.
struct ConnectSettings {
  int connectTimeoutSeconds = 15;  // also how long a busy database is waited for
};

// One open connection to a database.
class DriverConnection {
 public:
  virtual ~DriverConnection() = default;

  // Runs a command text (as the caller sent it; the provider translates
  // dialects itself) with values for its markers, in marker order. Values
  // beyond the number of markers are ignored; fewer values than markers is an
  // error. Throws DataError.
  virtual RunResult run(std::string_view commandText, std::span<const BoundValue> values) = 0;

  virtual void beginTransaction() = 0;
  virtual void commit() = 0;
  virtual void rollback() = 0;
  virtual bool inTransaction() const = 0;

  // The tables schema rowset, ordered by type, then name.
  virtual std::vector<TableInfo> tables() = 0;

  // The columns of a table (a name as a command text writes it), in table
  // order, as the database declares them. This description runs no command
  // of the caller's. The default reads the columns of a query of the whole
  // table that returns no rows; a provider that can tell the primary key
  // overrides it and sets ColumnInfo::key. Throws DataError.
  virtual std::vector<ColumnInfo> tableColumns(std::string_view table);

  // Releases the database. Cursors must have been destroyed first.
  virtual void close() = 0;

  // True when `e` came from a write refused because a cursor of this
  // connection still reads an older state of the database. The caller then
  // reads its open cursors to the end (which lets go of that state) and
  // tries the write once more.
  virtual bool isCursorConflict(const DataError& e) const {
    (void)e;
    return false;
  }
};

class Provider {
 public:
  virtual ~Provider() = default;
  // The name the "Provider" key of a connection string gives.
  virtual std::string_view name() const = 0;
  // Connects. Throws DataError with the provider's text.
  virtual std::unique_ptr<DriverConnection> connect(const ConnectionString& cs, const ConnectSettings& settings) = 0;
  // Writes a compacted copy of the source database to the destination.
  // Throws DataError; the source stays unchanged.
  virtual void compact(const ConnectionString& source, const ConnectionString& destination) = 0;
};

// The provider a "Provider" value names (case-insensitive), or null.
Provider* findProvider(std::string_view name);

// Makes a provider available under its name (the built-in ones are there
// from the start). Later registrations of a name replace earlier ones.
void registerProvider(std::shared_ptr<Provider> provider);

}  // namespace rvz::data
