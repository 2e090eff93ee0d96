// The Jet provider on SQLite: connections with a per-connection cache of
// prepared statements, stepping cursors, the tables rowset and compaction by
// VACUUM INTO.
#include "platform/data/sqlite/sqlite_provider.h"

#include <sqlite3.h>
#include <sys/stat.h>

#include <algorithm>
#include <climits>
#include <list>
#include <unordered_map>

#include "platform/data/data_error.h"
#include "platform/data/file_lock.h"
#include "platform/data/jet/jet_dialect.h"
#include "platform/data/sqlite/computed_columns.h"
#include "platform/data/sqlite/crosstab.h"
#include "platform/data/sqlite/declared_type.h"
#include "platform/data/sqlite/make_table.h"
#include "platform/files/files.h"
#include "platform/text/text.h"

namespace fs = std::filesystem;

namespace rvz::data::sqlite {
namespace {

constexpr size_t kStatementCacheSize = 64;

std::string engineText(sqlite3* db) {
  const char* m = db ? sqlite3_errmsg(db) : nullptr;
  return m ? std::string(m) : std::string("unknown SQLite error");
}

[[noreturn]] void throwEngine(sqlite3* db, int rc) {
  throw DataError::engine(db ? sqlite3_extended_errcode(db) : rc, engineText(db));
}

bool onlyBlanksAndSemicolons(const char* tail) {
  for (const char* p = tail; p && *p; ++p) {
    char c = *p;
    if (c != ' ' && c != '\t' && c != '\r' && c != '\n' && c != ';') return false;
  }
  return true;
}

// A resolved database path and the form messages show.
struct DatabaseFile {
  fs::path path;
  std::string shown;
};

DatabaseFile locate(const ConnectionString& cs) {
  DatabaseFile f;
  f.shown = cs.value("Data Source");
  if (f.shown.empty())
    throw DataError::engine(kErrFileNotFound, "Could not find file '': the connection string names no Data Source.");
  try {
    f.path = files::resolvePath(f.shown);
  } catch (const files::FileError& e) {
    throw DataError::engine(kErrFileNotFound, "Could not find file '" + f.shown + "': " + e.what() + ".");
  }
  return f;
}

void requireExistingFile(const DatabaseFile& f) {
  struct stat st {};
  if (::stat(f.path.c_str(), &st) != 0)
    throw DataError::engine(kErrFileNotFound,
                            "Could not find file '" + f.shown + "' (looked for " + f.path.string() + ").");
  if (S_ISDIR(st.st_mode))
    throw DataError::engine(kErrFileNotFound, "Could not find file '" + f.shown + "': " + f.path.string() +
                                                  " is a folder, not a database file.");
}

// Opens the SQLite handle of a database file that exists and checks that it
// is a database.
sqlite3* openHandle(const DatabaseFile& f, bool readOnly, int timeoutSeconds) {
  sqlite3* db = nullptr;
  int flags = (readOnly ? SQLITE_OPEN_READONLY : SQLITE_OPEN_READWRITE) | SQLITE_OPEN_NOMUTEX;
  int rc = sqlite3_open_v2(f.path.c_str(), &db, flags, nullptr);
  if (rc != SQLITE_OK) {
    std::string msg = "Could not open '" + f.shown + "': " + engineText(db) + ".";
    int code = db ? sqlite3_extended_errcode(db) : rc;
    sqlite3_close(db);
    throw DataError::engine(code, msg);
  }
  sqlite3_extended_result_codes(db, 1);
  sqlite3_busy_timeout(db, timeoutSeconds <= 0 ? INT_MAX : (timeoutSeconds > INT_MAX / 1000 ? INT_MAX : timeoutSeconds * 1000));
  rc = sqlite3_exec(db, "SELECT count(*) FROM sqlite_schema", nullptr, nullptr, nullptr);
  if (rc != SQLITE_OK) {
    int code = sqlite3_extended_errcode(db);
    std::string msg = (code & 0xFF) == SQLITE_NOTADB ? "Unrecognized database format '" + f.shown + "'."
                                                      : "Could not open '" + f.shown + "': " + engineText(db) + ".";
    sqlite3_close(db);
    throw DataError::engine((code & 0xFF) == SQLITE_NOTADB ? kErrUnrecognizedFormat : code, msg);
  }
  return db;
}

struct CachedStatement {
  sqlite3_stmt* stmt = nullptr;
  bool inUse = false;
  std::list<std::string>::iterator lru;
  TranslatedText shape;  // column types, make-table and crosstab mark of the translation (sql left empty)
};

class SqliteConnection;

class SqliteCursor final : public DriverCursor {
 public:
  SqliteCursor(SqliteConnection& owner, sqlite3_stmt* stmt, CachedStatement* cached, std::vector<ColumnInfo> columns)
      : owner_(owner), stmt_(stmt), cached_(cached), columns_(std::move(columns)) {}
  ~SqliteCursor() override;

  const std::vector<ColumnInfo>& columns() const override { return columns_; }
  bool step() override;
  Cell cell(size_t c) const override { return cellOf(static_cast<int>(c)); }
  void row(Cell* out) const override {
    const int n = static_cast<int>(columns_.size());
    for (int i = 0; i < n; ++i) out[i] = cellOf(i);
  }

 private:
  // One column's value through its sqlite3_value: one call into the
  // statement, then plain reads of the value. The connection runs without
  // a mutex, so the value needs no protection.
  Cell cellOf(int i) const {
    Cell out;
    sqlite3_value* v = sqlite3_column_value(stmt_, i);
    switch (sqlite3_value_type(v)) {
      case SQLITE_INTEGER:
        out.cls = StorageClass::Integer;
        out.i = sqlite3_value_int64(v);
        break;
      case SQLITE_FLOAT:
        out.cls = StorageClass::Real;
        out.r = sqlite3_value_double(v);
        break;
      case SQLITE_TEXT: {
        out.cls = StorageClass::Text;
        const auto* p = reinterpret_cast<const char*>(sqlite3_value_text(v));
        out.bytes = std::string_view(p ? p : "", static_cast<size_t>(sqlite3_value_bytes(v)));
        break;
      }
      case SQLITE_BLOB: {
        out.cls = StorageClass::Blob;
        const auto* p = static_cast<const char*>(sqlite3_value_blob(v));
        out.bytes = std::string_view(p ? p : "", static_cast<size_t>(sqlite3_value_bytes(v)));
        break;
      }
      default: break;
    }
    return out;
  }

  SqliteConnection& owner_;
  sqlite3_stmt* stmt_;
  CachedStatement* cached_;
  std::vector<ColumnInfo> columns_;
  uint64_t delivered_ = 0;
  bool done_ = false;
};

class SqliteConnection final : public DriverConnection {
 public:
  SqliteConnection(sqlite3* db, FileUse use, bool readOnly) : db_(db), use_(std::move(use)), readOnly_(readOnly) {}
  ~SqliteConnection() override { close(); }

  RunResult run(std::string_view text, std::span<const BoundValue> values) override;

  void beginTransaction() override { exec(readOnly_ ? "BEGIN" : "BEGIN IMMEDIATE"); }
  void commit() override { exec("COMMIT"); }
  void rollback() override { exec("ROLLBACK"); }
  bool inTransaction() const override { return db_ && sqlite3_get_autocommit(db_) == 0; }

  std::vector<TableInfo> tables() override;

  // In WAL mode a connection whose open statement still reads an older
  // snapshot cannot start writing once another connection has committed.
  bool isCursorConflict(const DataError& e) const override { return e.number() == SQLITE_BUSY_SNAPSHOT; }

  void close() override {
    if (!db_) return;
    for (auto& [text, entry] : cache_) sqlite3_finalize(entry.stmt);
    cache_.clear();
    lru_.clear();
    if (sqlite3_close(db_) != SQLITE_OK) sqlite3_close_v2(db_);  // a cursor still alive: let SQLite finish it
    db_ = nullptr;
    use_.release();
  }

  // A statement finished with by a cursor or a run.
  void giveBack(sqlite3_stmt* stmt, CachedStatement* cached) {
    sqlite3_reset(stmt);
    sqlite3_clear_bindings(stmt);
    if (cached) {
      cached->inUse = false;
    } else {
      sqlite3_finalize(stmt);
    }
  }

  sqlite3* db() const { return db_; }

 private:
  void exec(const char* sql) {
    if (!db_) throw DataError::component(kErrObjectOpen, "The connection is closed.");
    int rc = sqlite3_exec(db_, sql, nullptr, nullptr, nullptr);
    if (rc != SQLITE_OK) throwEngine(db_, rc);
  }

  // A prepared statement for the text: from the cache when one is free;
  // `shape` gets what the translation says of it (column types, make-table, crosstab).
  sqlite3_stmt* statementFor(std::string_view text, CachedStatement*& cached, TranslatedText& shape);
  std::vector<ColumnInfo> describe(sqlite3_stmt* stmt);
  void bind(sqlite3_stmt* stmt, std::span<const BoundValue> values);

  sqlite3* db_;
  FileUse use_;
  bool readOnly_;
  std::unordered_map<std::string, CachedStatement> cache_;
  std::list<std::string> lru_;  // most recent first
};

SqliteCursor::~SqliteCursor() { owner_.giveBack(stmt_, cached_); }

bool SqliteCursor::step() {
  if (done_) return false;
  int rc = sqlite3_step(stmt_);
  if (rc == SQLITE_ABORT_ROLLBACK) {
    // A rollback on this connection ended the statement's read: run it
    // again and pass over the rows already delivered.
    sqlite3_reset(stmt_);
    for (uint64_t k = 0; k < delivered_; ++k) {
      rc = sqlite3_step(stmt_);
      if (rc != SQLITE_ROW) break;
    }
    if (rc == SQLITE_ROW || delivered_ == 0) rc = sqlite3_step(stmt_);
  }
  if (rc == SQLITE_ROW) {
    ++delivered_;
    return true;
  }
  done_ = true;
  if (rc == SQLITE_DONE) return false;
  throwEngine(owner_.db(), rc);
}

sqlite3_stmt* SqliteConnection::statementFor(std::string_view text, CachedStatement*& cached, TranslatedText& shape) {
  cached = nullptr;
  std::string key(text);
  auto it = cache_.find(key);
  if (it != cache_.end() && !it->second.inUse) {
    lru_.splice(lru_.begin(), lru_, it->second.lru);
    it->second.inUse = true;
    cached = &it->second;
    shape = it->second.shape;
    return it->second.stmt;
  }
  TranslatedText translated = translateWithSchema(db_, text);
  const std::string sql = std::move(translated.sql);
  translated.sql.clear();
  shape = translated;
  sqlite3_stmt* stmt = nullptr;
  const char* tail = nullptr;
  int rc = sqlite3_prepare_v2(db_, sql.c_str(), static_cast<int>(sql.size()), &stmt, &tail);
  if (rc != SQLITE_OK) throwEngine(db_, rc);
  if (!stmt) throw DataError::engine(SQLITE_MISUSE, "The command text holds no SQL statement.");
  if (!onlyBlanksAndSemicolons(tail)) {
    sqlite3_finalize(stmt);
    throw DataError::engine(kErrCharactersAfterEnd, std::string(kCharactersAfterEndText));
  }
  if (it != cache_.end()) return stmt;  // the cached one is busy: this one lives for one use
  while (cache_.size() >= kStatementCacheSize) {
    // Drop the least recently used statement that no cursor holds.
    auto victim = lru_.end();
    for (auto r = lru_.rbegin(); r != lru_.rend(); ++r) {
      if (!cache_.at(*r).inUse) {
        victim = std::prev(r.base());
        break;
      }
    }
    if (victim == lru_.end()) return stmt;
    sqlite3_finalize(cache_.at(*victim).stmt);
    cache_.erase(*victim);
    lru_.erase(victim);
  }
  lru_.push_front(key);
  CachedStatement& entry = cache_[key];
  entry.stmt = stmt;
  entry.inUse = true;
  entry.lru = lru_.begin();
  entry.shape = std::move(translated);
  cached = &entry;
  return stmt;
}

void SqliteConnection::bind(sqlite3_stmt* stmt, std::span<const BoundValue> values) {
  const int markers = sqlite3_bind_parameter_count(stmt);
  if (static_cast<size_t>(markers) > values.size())
    throw DataError::engine(kErrTooFewParameters, std::string(kTooFewParametersText) + " The command has " +
                                                      std::to_string(markers) + " parameter markers, " +
                                                      std::to_string(values.size()) + " values were given.");
  for (int k = 0; k < markers; ++k) {
    const BoundValue& v = values[static_cast<size_t>(k)];
    int rc = SQLITE_OK;
    switch (v.cls) {
      case StorageClass::Null: rc = sqlite3_bind_null(stmt, k + 1); break;
      case StorageClass::Integer: rc = sqlite3_bind_int64(stmt, k + 1, v.i); break;
      case StorageClass::Real: rc = sqlite3_bind_double(stmt, k + 1, v.r); break;
      case StorageClass::Text:
        rc = sqlite3_bind_text64(stmt, k + 1, v.bytes.data(), v.bytes.size(), SQLITE_TRANSIENT, SQLITE_UTF8);
        break;
      case StorageClass::Blob:
        rc = sqlite3_bind_blob64(stmt, k + 1, v.bytes.data(), v.bytes.size(), SQLITE_TRANSIENT);
        break;
    }
    if (rc != SQLITE_OK) throwEngine(db_, rc);
  }
}

std::vector<ColumnInfo> SqliteConnection::describe(sqlite3_stmt* stmt) {
  const int n = sqlite3_column_count(stmt);
  std::vector<ColumnInfo> cols;
  cols.reserve(static_cast<size_t>(n));
  for (int i = 0; i < n; ++i) {
    const char* decl = sqlite3_column_decltype(stmt, i);
    ColumnInfo c = kindOfDeclaredType(decl ? decl : "");
    const char* name = sqlite3_column_name(stmt, i);
    c.name = name ? name : "";
    const char* table = sqlite3_column_table_name(stmt, i);
    const char* origin = sqlite3_column_origin_name(stmt, i);
    const char* dbName = sqlite3_column_database_name(stmt, i);
    if (table) c.tableName = table;
    if (origin) c.originName = origin;
    if (c.kind == FieldKind::Integer && table && origin) {
      int notNull = 0, primaryKey = 0, autoinc = 0;
      if (sqlite3_table_column_metadata(db_, dbName, table, origin, nullptr, nullptr, &notNull, &primaryKey, &autoinc) ==
              SQLITE_OK &&
          autoinc)
        c.kind = FieldKind::AutoInc;
    }
    cols.push_back(std::move(c));
  }
  return cols;
}

RunResult SqliteConnection::run(std::string_view text, std::span<const BoundValue> values) {
  if (!db_) throw DataError::component(kErrObjectOpen, "The connection is closed.");
  CachedStatement* cached = nullptr;
  TranslatedText shape;
  sqlite3_stmt* stmt = statementFor(text, cached, shape);
  RunResult result;
  if (shape.makeTable) {
    giveBack(stmt, cached);
    result.rowsAffected = runMakeTable(db_, *shape.makeTable, values);
    return result;
  }
  if (shape.pivotValues) {
    // A crosstab: its columns are the values found, so its statement is
    // written and prepared for this run alone.
    sqlite3_stmt* found = stmt;
    try {
      bind(found, values);
      stmt = prepareCrosstab(db_, text, found, shape);
    } catch (...) {
      giveBack(found, cached);
      throw;
    }
    giveBack(found, cached);
    cached = nullptr;
  }
  try {
    bind(stmt, values);
    if (sqlite3_column_count(stmt) == 0) {
      int rc;
      while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) {
      }
      if (rc != SQLITE_DONE) throwEngine(db_, rc);
      result.rowsAffected = sqlite3_changes64(db_);
      giveBack(stmt, cached);
      return result;
    }
    std::vector<ColumnInfo> cols = describe(stmt);
    describeComputedColumns(db_, cols, shape.columnTypes, values);
    result.cursor = std::make_unique<SqliteCursor>(*this, stmt, cached, std::move(cols));
    return result;
  } catch (...) {
    giveBack(stmt, cached);
    throw;
  }
}

std::vector<TableInfo> SqliteConnection::tables() {
  if (!db_) throw DataError::component(kErrObjectOpen, "The connection is closed.");
  std::vector<TableInfo> out;
  sqlite3_stmt* stmt = nullptr;
  int rc = sqlite3_prepare_v2(db_, "SELECT name, type FROM sqlite_schema WHERE type IN ('table','view')", -1, &stmt,
                              nullptr);
  if (rc != SQLITE_OK) throwEngine(db_, rc);
  while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) {
    TableInfo t;
    const auto* name = reinterpret_cast<const char*>(sqlite3_column_text(stmt, 0));
    const auto* type = reinterpret_cast<const char*>(sqlite3_column_text(stmt, 1));
    t.name = name ? name : "";
    std::string_view ty = type ? type : "";
    const bool system = (t.name.size() >= 7 && text::equalsNoCaseAscii(std::string_view(t.name).substr(0, 7), "sqlite_")) ||
                        t.name.rfind("MSys", 0) == 0;
    t.type = system ? "SYSTEM TABLE" : (ty == "view" ? "VIEW" : "TABLE");
    out.push_back(std::move(t));
  }
  int final = sqlite3_finalize(stmt);
  if (rc != SQLITE_DONE) throwEngine(db_, final);
  out.push_back({"sqlite_schema", "SYSTEM TABLE"});
  std::sort(out.begin(), out.end(), [](const TableInfo& a, const TableInfo& b) {
    if (a.type != b.type) return a.type < b.type;
    int c = text::compareNoCaseUtf8(a.name, b.name);
    return c != 0 ? c < 0 : a.name < b.name;
  });
  return out;
}

class JetProvider final : public Provider {
 public:
  std::string_view name() const override { return kJetProviderName; }

  std::unique_ptr<DriverConnection> connect(const ConnectionString& cs, const ConnectSettings& settings) override {
    DatabaseFile f = locate(cs);
    requireExistingFile(f);
    const std::string mode = text::upperCaseAscii(cs.value("Mode"));
    const bool exclusive = mode.find("EXCLUSIVE") != std::string::npos || mode.find("DENY READ") != std::string::npos;
    const bool readOnly = mode == "READ" || mode == "1";
    FileUse use = FileUse::acquire(f.path, exclusive ? FileUse::Mode::Exclusive : FileUse::Mode::Shared,
                                   settings.connectTimeoutSeconds, f.shown);
    sqlite3* db = openHandle(f, readOnly, settings.connectTimeoutSeconds);
    if (!readOnly) {
      // Readers then never block writers: a query left open between fetches
      // must not hold up other connections' updates.
      sqlite3_exec(db, "PRAGMA journal_mode=WAL", nullptr, nullptr, nullptr);
    }
    try {
      jet::registerFunctions(db);
    } catch (...) {
      sqlite3_close(db);
      throw;
    }
    return std::make_unique<SqliteConnection>(db, std::move(use), readOnly);
  }

  void compact(const ConnectionString& source, const ConnectionString& destination) override {
    DatabaseFile src = locate(source);
    requireExistingFile(src);
    std::string destShown = destination.value("Data Source");
    if (destShown.empty())
      throw DataError::engine(kErrFileNotFound, "Could not compact '" + src.shown +
                                                    "': the destination connection string names no Data Source.");
    DatabaseFile dst = locate(destination);
    std::error_code ec;
    if (fs::exists(dst.path, ec))
      throw DataError::engine(kErrDatabaseExists, "Database already exists: '" + dst.shown + "' (" +
                                                      dst.path.string() + ") must not exist before compaction.");
    if (!fs::is_directory(dst.path.parent_path(), ec))
      throw DataError::engine(kErrFileNotFound, "Could not create '" + dst.shown + "': the folder " +
                                                    dst.path.parent_path().string() + " does not exist.");
    FileUse use = FileUse::acquire(src.path, FileUse::Mode::Exclusive, 0, src.shown);
    sqlite3* db = openHandle(src, false, 1);
    sqlite3_stmt* stmt = nullptr;
    int rc = sqlite3_prepare_v2(db, "VACUUM INTO ?1", -1, &stmt, nullptr);
    if (rc == SQLITE_OK) {
      const std::string target = dst.path.string();
      sqlite3_bind_text(stmt, 1, target.c_str(), static_cast<int>(target.size()), SQLITE_TRANSIENT);
      rc = sqlite3_step(stmt);
    }
    std::string msg = engineText(db);
    int code = sqlite3_extended_errcode(db);
    sqlite3_finalize(stmt);
    sqlite3_close(db);
    if (rc != SQLITE_DONE && rc != SQLITE_OK) {
      fs::remove(dst.path, ec);
      throw DataError::engine(code, "Could not compact '" + src.shown + "' into '" + dst.shown + "': " + msg + ".");
    }
  }
};

}  // namespace

std::shared_ptr<Provider> makeJetProvider() { return std::make_shared<JetProvider>(); }

}  // namespace rvz::data::sqlite
