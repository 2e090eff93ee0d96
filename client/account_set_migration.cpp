// The copy of an Access account set into a server database: the source is
// read through the Jet provider, the target written through the SQL Server
// provider in Jet DDL and parameterised INSERTs, so both providers' type
// rules decide what each column becomes.
#include "client/account_set_migration.h"

#include <algorithm>
#include <optional>
#include <vector>

#include "platform/data/connection.h"
#include "platform/data/connection_string.h"
#include "platform/data/pg/pg_database.h"
#include "platform/data/values.h"
#include "platform/files/files.h"
#include "platform/text/text.h"

namespace rvz::client {

namespace fs = std::filesystem;

namespace {

std::string bracketed(std::string_view name) { return "[" + std::string(name) + "]"; }

// The Access type a column is created with on the server: the file's
// declared type where it has one (the Jet provider keeps the Access
// spelling), COUNTER(next, 1) for the counter.
std::string declarationOf(const data::ColumnInfo& c, long long nextCounter) {
  if (c.kind == data::FieldKind::AutoInc) return "COUNTER(" + std::to_string(nextCounter) + ", 1)";
  if (!c.declaredType.empty()) return c.declaredType;
  throw data::DataError::component(data::kErrBadConnectionString,
                                   "The column " + c.tableName + "." + c.name + " has no declared type to copy");
}

struct IndexDef {
  std::string name, table;
  bool unique = false;
  std::vector<std::pair<std::string, bool>> columns;  // name, descending
};

// A name as the engine stored it: "x", [x] or `x` unquoted.
std::string unquoted(std::string_view s) {
  while (!s.empty() && s.front() == ' ') s.remove_prefix(1);
  while (!s.empty() && s.back() == ' ') s.remove_suffix(1);
  if (s.size() >= 2 && ((s.front() == '"' && s.back() == '"') || (s.front() == '[' && s.back() == ']') ||
                        (s.front() == '`' && s.back() == '`')))
    s = s.substr(1, s.size() - 2);
  return std::string(s);
}

// The columns of a stored CREATE INDEX text: the list in the parentheses
// after the table, each a name with ASC or DESC.
std::optional<IndexDef> readIndex(std::string name, std::string table, const std::string& sql) {
  IndexDef d;
  d.name = std::move(name);
  d.table = std::move(table);
  const std::string upper = text::upperCaseAscii(sql);
  d.unique = upper.find("UNIQUE") != std::string::npos && upper.find("UNIQUE") < upper.find(" INDEX");
  const size_t open = sql.find('(', upper.find(" ON "));
  const size_t close = sql.rfind(')');
  if (open == std::string::npos || close == std::string::npos || close < open) return std::nullopt;
  std::string list = sql.substr(open + 1, close - open - 1);
  size_t start = 0;
  while (start <= list.size()) {
    size_t comma = list.find(',', start);
    if (comma == std::string::npos) comma = list.size();
    std::string item = list.substr(start, comma - start);
    std::string u = text::upperCaseAscii(item);
    bool desc = false;
    for (const char* word : {" DESC", " ASC", " COLLATE NOCASE"}) {
      const size_t at = u.rfind(word);
      if (at != std::string::npos && at + std::string_view(word).size() == u.find_last_not_of(' ') + 1) {
        desc = desc || std::string_view(word) == " DESC";
        item = item.substr(0, at);
        u = u.substr(0, at);
      }
    }
    if (unquoted(item).empty()) return std::nullopt;
    d.columns.emplace_back(unquoted(item), desc);
    start = comma + 1;
  }
  return d;
}

std::vector<IndexDef> indexesOf(data::Connection& source, std::ostream& progress) {
  std::vector<IndexDef> out;
  data::RunResult r = source.send(
      "select name, tbl_name, sql from sqlite_schema where type = 'index' and sql is not null order by name", {});
  if (!r.cursor) return out;
  const auto& cols = r.cursor->columns();
  while (r.cursor->step()) {
    auto textAt = [&](size_t i) { return data::cellToVariant(cols[i], r.cursor->cell(i)).toUtf8(); };
    std::string name = textAt(0), table = textAt(1), sql = textAt(2);
    // The engine keeps an index as "table.index" (its names are unique per
    // database, Jet's per table); the copy is made under the Jet name.
    if (name.size() > table.size() + 1 && text::equalsNoCaseAscii(name.substr(0, table.size()), table) &&
        name[table.size()] == '.')
      name = name.substr(table.size() + 1);
    if (auto d = readIndex(name, table, sql))
      out.push_back(std::move(*d));
    else
      progress << "index " << name << " of " << table << " not copied: its column list cannot be read\n";
  }
  return out;
}

// The next value the file's counter of `table` gives: one past the highest
// it has given (SQLite keeps it in sqlite_sequence) or holds.
long long nextCounterValue(data::Connection& source, const std::string& table, const std::string& column) {
  long long highest = 0;
  try {
    std::vector<data::Parameter> p = {data::Parameter::of(Variant::bstrUtf8(table))};
    data::RunResult seq = source.send("select seq from sqlite_sequence where name = ?", p);
    if (seq.cursor && seq.cursor->step()) highest = seq.cursor->cell(0).i;
  } catch (const data::DataError&) {
    // A file whose counters never counted has no sequence table yet.
  }
  data::RunResult top = source.send("select max(" + bracketed(column) + ") from " + bracketed(table), {});
  if (top.cursor && top.cursor->step() && top.cursor->cell(0).cls == data::StorageClass::Integer)
    highest = std::max<long long>(highest, top.cursor->cell(0).i);
  return highest + 1;
}

// A failure of the copy with the place it happened in front.
[[noreturn]] void rethrowAt(const std::string& place) {
  try {
    throw;
  } catch (const data::DataError& e) {
    throw data::DataError(e.hresult(), e.number(), place + ": " + e.what());
  }
}

long long copyTable(data::Connection& source, data::Connection& target, const std::string& table) {
  const std::vector<data::ColumnInfo> cols = source.tableColumns(bracketed(table));
  std::string ddl = "CREATE TABLE " + bracketed(table) + " (";
  std::string names, markers, keys;
  for (const auto& c : cols) {
    const long long next = c.kind == data::FieldKind::AutoInc ? nextCounterValue(source, table, c.name) : 0;
    if (!names.empty()) {
      ddl += ", ";
      names += ", ";
      markers += ", ";
    }
    ddl += bracketed(c.name) + " " + declarationOf(c, next);
    names += bracketed(c.name);
    markers += "?";
    if (c.key) keys += (keys.empty() ? "" : ", ") + bracketed(c.name);
  }
  if (!keys.empty()) ddl += ", CONSTRAINT " + bracketed("PK_" + table) + " PRIMARY KEY (" + keys + ")";
  ddl += ")";
  try {
    target.execute(ddl);
  } catch (...) {
    rethrowAt("Creating the table " + table);
  }

  const std::string insert = "INSERT INTO " + bracketed(table) + " (" + names + ") VALUES (" + markers + ")";
  data::RunResult rows = source.send("select " + names + " from " + bracketed(table), {});
  std::vector<data::Parameter> params(cols.size());
  for (size_t i = 0; i < cols.size(); ++i) params[i].dataType = cols[i].kind;
  long long n = 0;
  while (rows.cursor && rows.cursor->step()) {
    for (size_t i = 0; i < cols.size(); ++i) params[i].value = data::cellToVariant(cols[i], rows.cursor->cell(i));
    ++n;
    try {
      target.execute(insert, params);
    } catch (...) {
      rethrowAt("Copying row " + std::to_string(n) + " of the table " + table);
    }
  }
  return n;
}

}  // namespace

MigrationResult migrateAccountSet(const fs::path& file, const std::string& target, std::ostream& progress) {
  MigrationResult result;
  std::error_code ec;
  if (!fs::is_regular_file(file, ec))
    throw files::FileError("The account set file '" + file.string() + "' does not exist");
  data::Connection source(data::jetConnectionString(file.string(), kAccountSetPassword));
  source.open();

  const auto cs = data::ConnectionString::parse(target);
  const std::string database = data::pg::databaseOf(cs);
  result.databaseCreated = data::pg::createDatabaseIfMissing(cs);
  try {
    data::Connection server(target);
    std::vector<std::string> held;
    for (const auto& t : server.tables())
      if (t.type == "TABLE" || t.type == "VIEW") held.push_back(t.name);
    if (!held.empty())
      throw data::DataError::component(
          data::kErrDatabaseExists, "The database '" + database + "' on the server '" + cs.value("Data Source") +
                                        "' already holds tables (" + held.front() +
                                        (held.size() > 1 ? " and " + std::to_string(held.size() - 1) + " more" : "") +
                                        "): an account set is copied only into a new or empty database");

    std::vector<std::string> tables;
    for (const auto& t : source.tables()) {
      if (t.type == "TABLE")
        tables.push_back(t.name);
      else if (t.type == "VIEW")
        progress << "view " << t.name << " not copied\n";
    }
    const std::vector<IndexDef> indexes = indexesOf(source, progress);

    data::Transaction tx(server);
    for (const auto& table : tables) {
      const long long n = copyTable(source, server, table);
      progress << table << ": " << n << (n == 1 ? " row" : " rows") << "\n" << std::flush;
      ++result.tables;
      result.rows += n;
    }
    for (const auto& ix : indexes) {
      std::string sql = std::string(ix.unique ? "CREATE UNIQUE INDEX " : "CREATE INDEX ") + bracketed(ix.name) +
                        " ON " + bracketed(ix.table) + " (";
      for (size_t i = 0; i < ix.columns.size(); ++i)
        sql += (i ? ", " : "") + bracketed(ix.columns[i].first) + (ix.columns[i].second ? " DESC" : "");
      sql += ")";
      try {
        server.execute(sql);
      } catch (...) {
        rethrowAt("Creating the index " + ix.name + " of the table " + ix.table);
      }
      ++result.indexes;
    }
    tx.commit();
    server.close();
  } catch (...) {
    if (result.databaseCreated) {
      try {
        data::pg::dropDatabase(cs);
      } catch (const std::exception&) {
        // The copy's failure is the one to report.
      }
    }
    throw;
  }
  progress << result.tables << " tables, " << result.rows << " rows, " << result.indexes << " indexes copied into '"
           << database << "'\n";
  return result;
}

}  // namespace rvz::client
