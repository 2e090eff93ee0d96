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
#include <utility>

#include "platform/data/commit_flush.h"
#include "platform/data/data_error.h"
#include "platform/data/file_lock.h"
#include "platform/data/values.h"
#include "platform/data/writer_turn.h"
#include "platform/data/jet/jet_dialect.h"
#include "platform/data/jet/jet_store.h"
#include "platform/data/sqlite/computed_columns.h"
#include "platform/data/sqlite/crosstab.h"
#include "platform/data/sqlite/bind_values.h"
#include "platform/data/sqlite/declared_type.h"
#include "platform/data/sqlite/make_table.h"
#include "platform/data/sqlite/null_keys.h"
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

// True when the engine's NOT NULL refusal `text` ("NOT NULL constraint
// failed: T.c") names a column of a table's primary key. Looking the column
// up clears the connection's error state.
bool nullKeyRefusal(sqlite3* db, std::string_view m) {
  constexpr std::string_view kPrefix = "NOT NULL constraint failed: ";
  if (m.rfind(kPrefix, 0) != 0) return false;
  m.remove_prefix(kPrefix.size());
  size_t dot = m.find('.');
  if (dot == std::string_view::npos) return false;
  std::string table(m.substr(0, dot)), column(m.substr(dot + 1));
  int primaryKey = 0;
  return sqlite3_table_column_metadata(db, nullptr, table.c_str(), column.c_str(), nullptr, nullptr, nullptr,
                                       &primaryKey, nullptr) == SQLITE_OK &&
         primaryKey;
}

[[noreturn]] void throwEngine(sqlite3* db, int rc) {
  const int code = db ? sqlite3_extended_errcode(db) : rc;
  std::string text = engineText(db);
  // Jet's own refusal of a Null key, which clients know by its number.
  if ((code == SQLITE_CONSTRAINT_NOTNULL && nullKeyRefusal(db, text)) || isNullKeyGuardRefusal(code, text))
    throw DataError::engine(kErrNullKey, std::string(kNullKeyText));
  // A value its column cannot hold, refused by the conversion on writing.
  if (code == SQLITE_ERROR && text == jet::kStoreMismatchText) throw DataError::engine(kErrTypeMismatch, text);
  if (code == SQLITE_ERROR && text == jet::kStoreOverflowText) throw DataError::engine(kErrNumericOverflow, text);
  throw DataError::engine(code, text);
}

// No single value (a text, a blob, a row being built) may grow beyond this:
// far above any value the system stores, far below what would exhaust the
// server's memory when a statement asks for a huge one.
constexpr int kMaxValueBytes = 256 * 1024 * 1024;

bool onlyBlanksAndSemicolons(const char* tail) {
  for (const char* p = tail; p && *p; ++p) {
    char c = *p;
    if (c != ' ' && c != '\t' && c != '\r' && c != '\n' && c != ';') return false;
  }
  return true;
}

// True when the translator stopped at text that follows a finished
// statement and its ";": Jet's "Characters found after end of SQL statement".
bool secondStatement(std::string_view text, const std::string& reason) {
  constexpr std::string_view kAfter = "unexpected text after the statement at offset ";
  if (reason.rfind(kAfter, 0) != 0) return false;
  size_t offset = 0;
  for (size_t i = kAfter.size(); i < reason.size() && reason[i] >= '0' && reason[i] <= '9'; ++i)
    offset = offset * 10 + static_cast<size_t>(reason[i] - '0');
  std::string_view before = text.substr(0, std::min(offset, text.size()));
  size_t last = before.find_last_not_of(" \t\r\n");
  return last != std::string_view::npos && before[last] == ';';
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

struct CloseDatabase {
  // close_v2 lets a statement still alive finish first instead of failing.
  void operator()(sqlite3* db) const noexcept { sqlite3_close_v2(db); }
};
using DatabaseHandle = std::unique_ptr<sqlite3, CloseDatabase>;

struct FinalizeStatement {
  void operator()(sqlite3_stmt* stmt) const noexcept { sqlite3_finalize(stmt); }
};
using StatementHandle = std::unique_ptr<sqlite3_stmt, FinalizeStatement>;

// Opens the SQLite handle of a database file that exists and checks that it
// is a database.
DatabaseHandle openHandle(const DatabaseFile& f, bool readOnly, int timeoutSeconds) {
  sqlite3* raw = nullptr;
  int flags = (readOnly ? SQLITE_OPEN_READONLY : SQLITE_OPEN_READWRITE) | SQLITE_OPEN_NOMUTEX;
  int rc = sqlite3_open_v2(f.path.c_str(), &raw, flags, nullptr);
  DatabaseHandle db(raw);
  if (rc != SQLITE_OK) {
    int code = db ? sqlite3_extended_errcode(db.get()) : rc;
    throw DataError::engine(code, "Could not open '" + f.shown + "': " + engineText(db.get()) + ".");
  }
  sqlite3_extended_result_codes(db.get(), 1);
  sqlite3_limit(db.get(), SQLITE_LIMIT_LENGTH, kMaxValueBytes);
  sqlite3_busy_timeout(
      db.get(), timeoutSeconds <= 0 ? INT_MAX : (timeoutSeconds > INT_MAX / 1000 ? INT_MAX : timeoutSeconds * 1000));
  rc = sqlite3_exec(db.get(), "SELECT count(*) FROM sqlite_schema", nullptr, nullptr, nullptr);
  if (rc != SQLITE_OK) {
    int code = sqlite3_extended_errcode(db.get());
    if ((code & 0xFF) == SQLITE_NOTADB)
      throw DataError::engine(kErrUnrecognizedFormat, "Unrecognized database format '" + f.shown + "'.");
    throw DataError::engine(code, "Could not open '" + f.shown + "': " + engineText(db.get()) + ".");
  }
  return db;
}

// Readers then never block writers, so a query left open between fetches
// does not hold up other connections' updates; the cursor conflict handling
// below relies on it.
void useWriteAheadLog(sqlite3* db, const DatabaseFile& f) {
  std::string mode;
  int rc = sqlite3_exec(
      db, "PRAGMA journal_mode=WAL",
      [](void* out, int n, char** values, char**) {
        if (n > 0 && values[0]) *static_cast<std::string*>(out) = values[0];
        return 0;
      },
      &mode, nullptr);
  if (rc != SQLITE_OK)
    throw DataError::engine(sqlite3_extended_errcode(db), "Could not open '" + f.shown + "': " + engineText(db) + ".");
  if (!text::equalsNoCaseAscii(mode, "wal"))
    throw DataError::engine(SQLITE_CANTOPEN, "Could not open '" + f.shown +
                                                 "': the database cannot keep a write-ahead log here (journal mode " +
                                                 (mode.empty() ? std::string("unknown") : mode) + ").");
  // A commit only writes the log; the connection makes it durable itself,
  // together with the commits of other connections (CommitFlush), after
  // letting go of its writer turn. Checkpoints still flush the log first.
  rc = sqlite3_exec(db, "PRAGMA synchronous=NORMAL", nullptr, nullptr, nullptr);
  if (rc != SQLITE_OK)
    throw DataError::engine(sqlite3_extended_errcode(db), "Could not open '" + f.shown + "': " + engineText(db) + ".");
}

// Functions that reach files or load code; none is part of the Jet dialect.
bool isFileFunction(std::string_view name) {
  for (std::string_view f : {"load_extension", "readfile", "writefile", "edit", "fts3_tokenizer", "zipfile"})
    if (text::equalsNoCaseAscii(name, f)) return true;
  return false;
}

struct CachedStatement {
  StatementHandle stmt;
  bool inUse = false;
  std::list<std::string>::iterator lru;
  TranslatedText shape;  // column types, make-table and crosstab mark of the translation (sql left empty)
};

class SqliteConnection;

// A prepared statement lent to one run or cursor: a cached one goes back to
// the cache, a one-off one is finalized.
class StatementLease {
 public:
  StatementLease(SqliteConnection& owner, sqlite3_stmt* stmt, CachedStatement* cached, StatementHandle own)
      : owner_(&owner), stmt_(stmt), cached_(cached), own_(std::move(own)) {}
  StatementLease(StatementLease&& o) noexcept
      : owner_(std::exchange(o.owner_, nullptr)), stmt_(o.stmt_), cached_(o.cached_), own_(std::move(o.own_)) {}
  StatementLease& operator=(StatementLease&& o) noexcept;
  StatementLease(const StatementLease&) = delete;
  ~StatementLease();

  sqlite3_stmt* get() const { return stmt_; }

 private:
  SqliteConnection* owner_;
  sqlite3_stmt* stmt_;
  CachedStatement* cached_;
  StatementHandle own_;
};

class SqliteCursor final : public DriverCursor {
 public:
  SqliteCursor(SqliteConnection& owner, StatementLease lease, std::vector<ColumnInfo> columns)
      : owner_(owner), lease_(std::move(lease)), stmt_(lease_.get()), columns_(std::move(columns)) {}

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
  StatementLease lease_;
  sqlite3_stmt* stmt_;
  std::vector<ColumnInfo> columns_;
  uint64_t delivered_ = 0;
  bool done_ = false;
};

class SqliteConnection final : public DriverConnection {
 public:
  SqliteConnection(DatabaseHandle db, FileUse use, bool readOnly, std::string shownName)
      : db_(std::move(db)),
        use_(std::move(use)),
        readOnly_(readOnly),
        shown_(std::move(shownName)),
        flush_(readOnly_ ? nullptr : &CommitFlush::of(use_.device(), use_.inode())) {
    // Client command texts reach the engine only through the Jet
    // translator; this keeps what the dialect has no words for (attaching
    // other files, pragmas, transaction control, file functions) out even if
    // a translation let something through.
    sqlite3_db_config(db_.get(), SQLITE_DBCONFIG_DEFENSIVE, 1, nullptr);
    sqlite3_set_authorizer(db_.get(), &SqliteConnection::authorize, this);
  }
  ~SqliteConnection() override { close(); }

  RunResult run(std::string_view text, std::span<const BoundValue> values) override;

  void beginTransaction() override;
  void commit() override;
  void rollback() override;
  bool inTransaction() const override { return db_ && sqlite3_get_autocommit(db_.get()) == 0; }

  std::vector<TableInfo> tables() override;
  std::vector<ColumnInfo> tableColumns(std::string_view table) override;

  // In WAL mode a connection whose open statement still reads an older
  // snapshot cannot start writing once another connection has committed;
  // and a connection holding a read is never made to wait for a write lock
  // that another process holds, so such a refusal is one too.
  bool isCursorConflict(const DataError& e) const override {
    if (e.number() == SQLITE_BUSY_SNAPSHOT) return true;
    return (e.number() & 0xFF) == SQLITE_BUSY && hasActiveStatements();
  }

  void close() override {
    if (!db_) return;
    cache_.clear();
    lru_.clear();
    turn_.release();
    db_.reset();
    use_.release();
  }

  // A statement finished with by a cursor or a run.
  void giveBack(sqlite3_stmt* stmt, CachedStatement* cached) noexcept {
    sqlite3_reset(stmt);
    sqlite3_clear_bindings(stmt);
    if (cached) cached->inUse = false;
    endedTransactionCheck();
  }

  sqlite3* db() const { return db_.get(); }

  // The engine ends a transaction on its own after some failures (a full
  // disk, no memory); the writer turn then goes too.
  void endedTransactionCheck() noexcept {
    if (turn_.held() && db_ && sqlite3_get_autocommit(db_.get())) turn_.release();
  }

 private:
  static int authorize(void* self, int action, const char*, const char* arg2, const char*, const char*) {
    auto* c = static_cast<SqliteConnection*>(self);
    if (c->internal_) return SQLITE_OK;
    switch (action) {
      case SQLITE_ATTACH:
      case SQLITE_DETACH:
      case SQLITE_PRAGMA:
      case SQLITE_TRANSACTION:
      case SQLITE_SAVEPOINT: return SQLITE_DENY;
      case SQLITE_FUNCTION: return arg2 && isFileFunction(arg2) ? SQLITE_DENY : SQLITE_OK;
      default: return SQLITE_OK;
    }
  }

  // Runs a statement of the connection's own (transaction control).
  void exec(const char* sql) {
    if (!db_) throw DataError::component(kErrObjectOpen, "The connection is closed.");
    internal_ = true;
    int rc = sqlite3_exec(db_.get(), sql, nullptr, nullptr, nullptr);
    internal_ = false;
    if (rc != SQLITE_OK) throwEngine(db_.get(), rc);
  }

  bool hasActiveStatements() const {
    for (sqlite3_stmt* s = sqlite3_next_stmt(db_.get(), nullptr); s; s = sqlite3_next_stmt(db_.get(), s))
      if (sqlite3_stmt_busy(s)) return true;
    return false;
  }

  WriterTurn takeTurn() const { return WriterTurn::take(use_.device(), use_.inode(), busyTimeoutSeconds_, shown_); }

  // After a commit (or a write in autocommit): returns once the log is on
  // disk up to it. Called without the writer turn, so that the next writer
  // goes on while this one waits for the disk.
  void makeDurable();
  int flushLog() noexcept;

  // A prepared statement for the text: from the cache when one is free;
  // `shape` gets what the translation says of it (column types, make-table, crosstab).
  StatementLease statementFor(std::string_view text, TranslatedText& shape);
  // A statement that lives for one use.
  StatementLease oneOff(StatementHandle stmt) {
    sqlite3_stmt* raw = stmt.get();
    return StatementLease(*this, raw, nullptr, std::move(stmt));
  }
  // Runs `f` with the authorizer letting everything through: the
  // connection's own statements (schema reads, savepoints of a make-table).
  template <class F>
  auto internally(F&& f) -> decltype(f()) {
    struct Restore {
      bool& flag;
      bool was;
      ~Restore() { flag = was; }
    } restore{internal_, internal_};
    internal_ = true;
    return f();
  }
  std::vector<ColumnInfo> describe(sqlite3_stmt* stmt);
  void bind(sqlite3_stmt* stmt, std::span<const BoundValue> values);

  DatabaseHandle db_;
  FileUse use_;
  bool readOnly_;
  std::string shown_;
  int busyTimeoutSeconds_ = 15;
  bool internal_ = false;
  CommitFlush* flush_;  // null for a read-only connection
  WriterTurn turn_;     // held while a transaction of this connection is open
  std::unordered_map<std::string, CachedStatement> cache_;
  std::list<std::string> lru_;  // most recent first

 public:
  void setBusyTimeout(int seconds) { busyTimeoutSeconds_ = seconds; }
};

StatementLease::~StatementLease() {
  if (owner_) owner_->giveBack(stmt_, cached_);
}

StatementLease& StatementLease::operator=(StatementLease&& o) noexcept {
  if (this != &o) {
    if (owner_) owner_->giveBack(stmt_, cached_);
    owner_ = std::exchange(o.owner_, nullptr);
    stmt_ = o.stmt_;
    cached_ = o.cached_;
    own_ = std::move(o.own_);
  }
  return *this;
}

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
  owner_.endedTransactionCheck();
  throwEngine(owner_.db(), rc);
}

void SqliteConnection::beginTransaction() {
  if (!db_) throw DataError::component(kErrObjectOpen, "The connection is closed.");
  if (readOnly_) {
    exec("BEGIN");
    return;
  }
  WriterTurn turn = takeTurn();
  exec("BEGIN IMMEDIATE");
  turn_ = std::move(turn);
}

void SqliteConnection::commit() {
  exec("COMMIT");
  endedTransactionCheck();
  makeDurable();
}

int SqliteConnection::flushLog() noexcept {
  sqlite3_file* log = nullptr;
  int rc = sqlite3_file_control(db_.get(), "main", SQLITE_FCNTL_JOURNAL_POINTER, &log);
  if (rc != SQLITE_OK) return rc;
  if (!log || !log->pMethods) return SQLITE_IOERR_FSYNC;
  return log->pMethods->xSync(log, SQLITE_SYNC_NORMAL);
}

void SqliteConnection::makeDurable() {
  if (!flush_ || !db_) return;
  const uint64_t ticket = flush_->written();
  const int rc = flush_->waitDurable(ticket, [this] { return flushLog(); });
  if (rc != SQLITE_OK)
    throw DataError::engine(kErrNotConfirmed, "The changes to '" + shown_ +
                                                  "' were saved, but the disk did not confirm that they are on it (" +
                                                  sqlite3_errstr(rc) + ").");
}

void SqliteConnection::rollback() {
  if (db_ && sqlite3_get_autocommit(db_.get())) {
    endedTransactionCheck();
    return;  // the engine has rolled back already
  }
  exec("ROLLBACK");
  endedTransactionCheck();
}

StatementLease SqliteConnection::statementFor(std::string_view text, TranslatedText& shape) {
  std::string key(text);
  auto it = cache_.find(key);
  if (it != cache_.end() && !it->second.inUse) {
    lru_.splice(lru_.begin(), lru_, it->second.lru);
    it->second.inUse = true;
    shape = it->second.shape;
    return StatementLease(*this, it->second.stmt.get(), &it->second, nullptr);
  }
  // Only what the Jet translator understands reaches the engine: anything
  // else is refused with the translator's reason rather than run as SQLite
  // SQL, which would give clients the engine's file features.
  TranslatedText t = internally([&] { return translateWithSchema(db_.get(), text); });
  if (!t.translated) {
    if (secondStatement(text, t.reason))
      throw DataError::engine(kErrCharactersAfterEnd, std::string(kCharactersAfterEndText));
    if (t.reason.rfind("Undefined function '", 0) == 0) throw DataError::engine(kErrUndefinedFunction, t.reason);
    throw DataError::engine(kErrSyntax, formatMessage(kSyntaxErrorText, t.reason));
  }
  const std::string sql = std::move(t.sql);
  t.sql.clear();
  shape = t;
  sqlite3_stmt* raw = nullptr;
  const char* tail = nullptr;
  int rc = sqlite3_prepare_v2(db_.get(), sql.c_str(), static_cast<int>(sql.size()), &raw, &tail);
  StatementHandle stmt(raw);
  if (rc != SQLITE_OK) throwEngine(db_.get(), rc);
  if (!stmt) throw DataError::engine(SQLITE_MISUSE, "The command text holds no SQL statement.");
  if (!onlyBlanksAndSemicolons(tail))
    throw DataError::engine(kErrCharactersAfterEnd, std::string(kCharactersAfterEndText));
  // The cached one is busy: this one lives for one use.
  if (it != cache_.end()) return oneOff(std::move(stmt));
  while (cache_.size() >= kStatementCacheSize) {
    // Drop the least recently used statement that no cursor holds.
    auto victim = lru_.end();
    for (auto r = lru_.rbegin(); r != lru_.rend(); ++r) {
      if (!cache_.at(*r).inUse) {
        victim = std::prev(r.base());
        break;
      }
    }
    if (victim == lru_.end()) return oneOff(std::move(stmt));
    cache_.erase(*victim);
    lru_.erase(victim);
  }
  lru_.push_front(key);
  CachedStatement& entry = cache_[key];
  entry.stmt = std::move(stmt);
  entry.inUse = true;
  entry.lru = lru_.begin();
  entry.shape = std::move(t);
  return StatementLease(*this, entry.stmt.get(), &entry, nullptr);
}

void SqliteConnection::bind(sqlite3_stmt* stmt, std::span<const BoundValue> values) {
  int rc = bindValues(stmt, values);
  if (rc != SQLITE_OK) throwEngine(db_.get(), rc);
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
      if (sqlite3_table_column_metadata(db_.get(), dbName, table, origin, nullptr, nullptr, &notNull, &primaryKey,
                                        &autoinc) == SQLITE_OK &&
          autoinc)
        c.kind = FieldKind::AutoInc;
    }
    cols.push_back(std::move(c));
  }
  return cols;
}

RunResult SqliteConnection::run(std::string_view text, std::span<const BoundValue> values) {
  if (!db_) throw DataError::component(kErrObjectOpen, "The connection is closed.");
  TranslatedText shape;
  StatementLease lease = statementFor(text, shape);
  RunResult result;
  if (shape.makeTable) {
    // Creates and fills a table: a write, in the writer turn.
    WriterTurn turn;
    if (!readOnly_ && !turn_.held()) turn = takeTurn();
    result.rowsAffected = internally([&] { return runMakeTable(db_.get(), *shape.makeTable, values); });
    endedTransactionCheck();
    if (turn.held()) {
      turn.release();
      makeDurable();
    }
    return result;
  }
  if (shape.pivotValues) {
    // A crosstab: its columns are the values found, so its statement is
    // written and prepared for this run alone.
    bind(lease.get(), values);
    sqlite3_stmt* crosstab = internally([&] { return prepareCrosstab(db_.get(), text, lease.get(), shape); });
    lease = oneOff(StatementHandle(crosstab));
  }
  sqlite3_stmt* stmt = lease.get();
  bind(stmt, values);
  if (sqlite3_column_count(stmt) == 0) {
    // A write outside a transaction takes the writer turn for itself.
    WriterTurn turn;
    if (!readOnly_ && !turn_.held() && !sqlite3_stmt_readonly(stmt)) turn = takeTurn();
    int rc;
    while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) {
    }
    if (rc != SQLITE_DONE) {
      endedTransactionCheck();
      throwEngine(db_.get(), rc);
    }
    result.rowsAffected = sqlite3_changes64(db_.get());
    if (turn.held()) {
      turn.release();
      makeDurable();
    }
    return result;
  }
  std::vector<ColumnInfo> cols = describe(stmt);
  describeComputedColumns(db_.get(), cols, shape.columnTypes, values);
  result.cursor = std::make_unique<SqliteCursor>(*this, std::move(lease), std::move(cols));
  return result;
}

std::vector<TableInfo> SqliteConnection::tables() {
  if (!db_) throw DataError::component(kErrObjectOpen, "The connection is closed.");
  std::vector<TableInfo> out;
  sqlite3_stmt* raw = nullptr;
  int rc = sqlite3_prepare_v2(db_.get(), "SELECT name, type FROM sqlite_schema WHERE type IN ('table','view')", -1,
                              &raw, nullptr);
  StatementHandle stmt(raw);
  if (rc != SQLITE_OK) throwEngine(db_.get(), rc);
  while ((rc = sqlite3_step(stmt.get())) == SQLITE_ROW) {
    TableInfo t;
    const auto* name = reinterpret_cast<const char*>(sqlite3_column_text(stmt.get(), 0));
    const auto* type = reinterpret_cast<const char*>(sqlite3_column_text(stmt.get(), 1));
    t.name = name ? name : "";
    std::string_view ty = type ? type : "";
    const bool system =
        (t.name.size() >= 7 && text::equalsNoCaseAscii(std::string_view(t.name).substr(0, 7), "sqlite_")) ||
        t.name.rfind("MSys", 0) == 0;
    t.type = system ? "SYSTEM TABLE" : (ty == "view" ? "VIEW" : "TABLE");
    out.push_back(std::move(t));
  }
  if (rc != SQLITE_DONE) throwEngine(db_.get(), rc);
  out.push_back({"sqlite_schema", "SYSTEM TABLE"});
  std::sort(out.begin(), out.end(), [](const TableInfo& a, const TableInfo& b) {
    if (a.type != b.type) return a.type < b.type;
    int c = text::compareNoCaseUtf8(a.name, b.name);
    return c != 0 ? c < 0 : a.name < b.name;
  });
  return out;
}

std::vector<ColumnInfo> SqliteConnection::tableColumns(std::string_view table) {
  if (!db_) throw DataError::component(kErrObjectOpen, "The connection is closed.");
  // The name is read as the dialect reads it (brackets, a database prefix);
  // the statement is only prepared, never stepped.
  TranslatedText shape;
  StatementLease lease = statementFor("select * from " + std::string(table), shape);
  std::vector<ColumnInfo> cols = describe(lease.get());
  for (ColumnInfo& c : cols) {
    const char* dbName = sqlite3_column_database_name(lease.get(), static_cast<int>(&c - cols.data()));
    int primaryKey = 0;
    if (!c.tableName.empty() && !c.originName.empty() &&
        sqlite3_table_column_metadata(db_.get(), dbName, c.tableName.c_str(), c.originName.c_str(), nullptr, nullptr,
                                      nullptr, &primaryKey, nullptr) == SQLITE_OK)
      c.key = primaryKey != 0;
  }
  return cols;
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
    DatabaseHandle db = openHandle(f, readOnly, settings.connectTimeoutSeconds);
    if (!readOnly) useWriteAheadLog(db.get(), f);
    jet::registerFunctions(db.get());
    if (!readOnly) guardNullKeys(db.get());
    auto cn = std::make_unique<SqliteConnection>(std::move(db), std::move(use), readOnly, f.shown);
    cn->setBusyTimeout(settings.connectTimeoutSeconds);
    return cn;
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
      throw DataError::engine(kErrDatabaseExists, "Database already exists: '" + dst.shown + "' (" + dst.path.string() +
                                                      ") must not exist before compaction.");
    if (!fs::is_directory(dst.path.parent_path(), ec))
      throw DataError::engine(kErrFileNotFound, "Could not create '" + dst.shown + "': the folder " +
                                                    dst.path.parent_path().string() + " does not exist.");
    FileUse use = FileUse::acquire(src.path, FileUse::Mode::Exclusive, 0, src.shown);
    DatabaseHandle db = openHandle(src, false, 1);
    sqlite3_stmt* raw = nullptr;
    int rc = sqlite3_prepare_v2(db.get(), "VACUUM INTO ?1", -1, &raw, nullptr);
    StatementHandle stmt(raw);
    if (rc == SQLITE_OK) {
      const std::string target = dst.path.string();
      sqlite3_bind_text(stmt.get(), 1, target.c_str(), static_cast<int>(target.size()), SQLITE_TRANSIENT);
      rc = sqlite3_step(stmt.get());
    }
    if (rc != SQLITE_DONE && rc != SQLITE_OK) {
      std::string msg = engineText(db.get());
      int code = sqlite3_extended_errcode(db.get());
      stmt.reset();
      db.reset();
      fs::remove(dst.path, ec);
      throw DataError::engine(code, "Could not compact '" + src.shown + "' into '" + dst.shown + "': " + msg + ".");
    }
  }
};

}  // namespace

std::shared_ptr<Provider> makeJetProvider() { return std::make_shared<JetProvider>(); }

}  // namespace rvz::data::sqlite
