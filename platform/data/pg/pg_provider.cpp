// The SQL Server provider on PostgreSQL.
//
// Cursors: every result set is a server-side cursor declared WITH HOLD and
// fetched in blocks, so that a fetch in slices continues where it stopped
// while other commands (an apply, a blob fetch, another dataset) run on the
// same connection, and neither side holds more than a block at a time. A
// cursor declared outside a transaction is materialised by the server at
// once (in its work memory, then in temporary files: bounded memory); one
// declared inside a transaction runs lazily until the commit. A rollback
// removes the cursors its transaction declared: such a cursor is declared
// again and moved past the rows already delivered, as the Jet provider does.
//
// Transactions: PostgreSQL aborts a transaction at its first error. Each
// statement (and each fetch, which may run the query) inside a transaction
// runs under the savepoint "rvz_stmt", rolled back to when it fails, so the
// transaction stays usable and the caller decides what a failure means.
//
// A connection that breaks (a terminated backend, a stopped server) fails
// its command with kErrConnectionLost naming the server, ends the
// transaction (inTransaction() turns false, so nothing is half-applied:
// the server rolls it back), and the next command connects again.
#include "platform/data/pg/pg_provider.h"

#include <libpq-fe.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <unordered_map>
#include <utility>

#include "platform/data/data_error.h"
#include "platform/data/jet/jet_result_types.h"
#include "platform/data/jet/pg_types.h"
#include "platform/data/jet_column_kinds.h"
#include "platform/data/pg/pg_connect_params.h"
#include "platform/data/pg/pg_errors.h"
#include "platform/data/pg/pg_markers.h"
#include "platform/data/pg/pg_types.h"
#include "platform/text/text.h"

namespace rvz::data::pg {
namespace {

constexpr int kFirstBlockRows = 64;
constexpr int kMaxBlockRows = 2048;
constexpr size_t kPreparedCacheSize = 64;

struct ClearResult {
  void operator()(PGresult* r) const noexcept { PQclear(r); }
};
using Result = std::unique_ptr<PGresult, ClearResult>;

struct FinishConnection {
  void operator()(PGconn* c) const noexcept { PQfinish(c); }
};
using ConnHandle = std::unique_ptr<PGconn, FinishConnection>;

std::string trimmedMessage(const char* m) {
  std::string s = m ? m : "";
  while (!s.empty() && (s.back() == '\n' || s.back() == ' ')) s.pop_back();
  return s;
}

std::string hostName() {
  char buf[256] = {};
  if (gethostname(buf, sizeof buf - 1) != 0) return "unknown";
  return buf;
}

// "exec sp_catalogs_rowset;2 null" in any letter case and spacing.
bool isCatalogsRowset(std::string_view text) {
  std::string words;
  bool blank = false;
  for (char c : text) {
    if (c == ' ' || c == '\t' || c == '\r' || c == '\n') {
      blank = !words.empty();
      continue;
    }
    if (blank) words.push_back(' ');
    blank = false;
    words.push_back(c >= 'A' && c <= 'Z' ? static_cast<char>(c + 0x20) : c);
  }
  while (!words.empty() && words.back() == ';') words.pop_back();
  return words == "exec sp_catalogs_rowset;2 null" || words == "exec sp_catalogs_rowset;2" ||
         words == "execute sp_catalogs_rowset;2 null" || words == "exec sp_catalogs_rowset ;2 null";
}

constexpr std::string_view kCatalogsSql =
    "SELECT datname::varchar(128) AS \"CATALOG_NAME\", shobj_description(oid, 'pg_database')::varchar(255) AS "
    "\"DESCRIPTION\" FROM pg_database WHERE NOT datistemplate AND datallowconn ORDER BY datname";

// A statement prepared on the server, with what describing it told.
struct Prepared {
  std::string name;
  std::vector<Oid> paramTypes;
  std::vector<ColumnInfo> columns;  // empty: no result set
  std::vector<ValueForm> forms;
  uint64_t lastUse = 0;
};

// A cursor declared, and its first block fetched, in the round trip that
// prepared its statement: the answers of the DECLARE and the FETCH.
struct DeclaredAhead {
  bool sent = false;
  std::string cursor;
  int want = kFirstBlockRows;
  Result declared, fetched;
};

// A table or view as the catalog has it.
struct CatalogTable {
  std::string name;  // as created
  std::vector<std::pair<std::string, jet::PgColumnType>> columns;
};

// What a command text becomes: its statements in PostgreSQL SQL with
// numbered markers, and what the translation tells of its result.
struct Plan {
  std::vector<std::string> statements;
  std::vector<int> markers;                  // per statement
  std::vector<jet::ColumnType> columnTypes;  // of the last statement's result
  std::optional<jet::MakeTable> makeTable;
  bool crosstab = false;       // statements[0] lists the pivot values
  bool changesSchema = false;  // DDL or a make-table: the catalog caches go
};

// The columns the catalog query gives from `first` on: type name, type
// modifier, collation, identity.
constexpr std::string_view kColumnSelect =
    "SELECT c.relname, a.attname, t.typname, a.atttypmod, coalesce(co.collname, ''), "
    "a.attidentity <> '' OR coalesce(pg_get_expr(d.adbin, d.adrelid) LIKE 'nextval(%', false), "
    "c.oid, a.attnum "
    "FROM pg_attribute a JOIN pg_class c ON c.oid = a.attrelid JOIN pg_namespace n ON n.oid = c.relnamespace "
    "JOIN pg_type t ON t.oid = a.atttypid LEFT JOIN pg_collation co ON co.oid = a.attcollation "
    "LEFT JOIN pg_attrdef d ON d.adrelid = a.attrelid AND d.adnum = a.attnum ";

jet::PgColumnType columnTypeOfRow(PGresult* r, int row, int first) {
  jet::PgColumnType t;
  t.typeName = PQgetvalue(r, row, first);
  t.typmod = std::atoi(PQgetvalue(r, row, first + 1));
  t.collation = PQgetvalue(r, row, first + 2);
  t.identity = PQgetvalue(r, row, first + 3)[0] == 't';
  return t;
}

// A statement that begins with SELECT (after blanks and opening
// parentheses): one a cursor can be declared for, unless it makes a table.
bool readsRows(std::string_view sql) {
  const size_t b = sql.find_first_not_of(" \t\r\n(");
  return b != std::string_view::npos && text::equalsNoCaseAscii(sql.substr(b, 6), "SELECT") &&
         (sql.size() == b + 6 || (!std::isalnum(static_cast<unsigned char>(sql[b + 6])) && sql[b + 6] != '_'));
}

std::string quotedName(const std::string& name) {
  std::string r = "\"";
  for (char c : name) {
    if (c == '"') r.push_back('"');
    r.push_back(c);
  }
  return r + "\"";
}

// A statement's parameter values in the forms libpq sends, one per type.
struct ParameterBuffers {
  ParameterBuffers(const std::vector<Oid>& types, std::span<const BoundValue> values)
      : texts(types.size()), ptrs(types.size(), nullptr), lengths(types.size(), 0), formats(types.size(), 0) {
    for (size_t i = 0; i < types.size(); ++i) {
      if (values[i].cls == StorageClass::Null) continue;
      texts[i] = parameterText(values[i], types[i]);
      ptrs[i] = texts[i].text.c_str();
      lengths[i] = static_cast<int>(texts[i].text.size());
      formats[i] = texts[i].binary ? 1 : 0;
    }
  }
  int count() const { return static_cast<int>(ptrs.size()); }

  std::vector<ParameterText> texts;
  std::vector<const char*> ptrs;
  std::vector<int> lengths, formats;
};

class PgConnection;

class PgCursor final : public DriverCursor {
 public:
  // Declares the cursor; one declared already comes as `ahead`.
  PgCursor(PgConnection& owner, std::string sql, std::vector<Oid> paramTypes, std::vector<BoundValue> values,
           const Prepared& shape, DeclaredAhead* ahead = nullptr);
  ~PgCursor() override;

  const std::vector<ColumnInfo>& columns() const override { return columns_; }
  bool step() override;
  Cell cell(size_t c) const override;

  // The owner's transaction that declared the cursor was rolled back.
  void lostToRollback(uint64_t txSerial) {
    if (serverOpen_ && declaredIn_ == txSerial) {
      serverOpen_ = false;
      redeclare_ = true;
    }
  }
  // The connection broke: the cursor is gone with it.
  void lostToConnection() { serverOpen_ = false; }
  // The answer of the FETCH sent ahead (see prefetch), read because another
  // command needs the connection; null when it was lost.
  void holdAhead(Result r) {
    ahead_ = std::move(r);
    aheadHeld_ = true;
  }

 private:
  void declare();
  // Outside a transaction: declares the cursor and reads its first block
  // in one round trip.
  void declareWithFirstBlock();
  // Takes the cursor that the statement's preparation declared.
  void takeDeclared(DeclaredAhead& ahead);
  // The cursor is open on the server with its first block read.
  void opened(Result first, int want);
  void fetch();
  // Takes a block asked for `want` rows; a short one is the last.
  void takeBlock(Result block, int want);
  // Outside a transaction, asks for the next block before this one is read,
  // so that the server produces it while the caller works through this one.
  void prefetch();
  // The block asked for ahead, read now if it is still on its way.
  void takeAhead();
  [[noreturn]] void rowsLost();

  PgConnection& owner_;
  std::string name_;
  std::string sql_;
  std::vector<Oid> paramTypes_;
  std::vector<BoundValue> values_;
  std::vector<ColumnInfo> columns_;
  std::vector<ValueForm> forms_;
  std::vector<bool> asNumber_;
  Result block_;
  int row_ = -1;
  int rows_ = 0;
  int blockRows_ = kFirstBlockRows;
  uint64_t delivered_ = 0;
  uint64_t generation_ = 0;  // the connection's session the cursor lives in
  uint64_t declaredIn_ = 0;  // serial of the transaction that declared it, 0 outside one
  bool serverOpen_ = false;
  bool redeclare_ = false;
  bool lastBlock_ = false;
  bool done_ = false;
  Result ahead_;            // the answer of the FETCH sent ahead, once read
  bool aheadHeld_ = false;  // ahead_ holds that answer (null: none came)
  int aheadWant_ = 0;       // the rows that FETCH asked for
  mutable std::vector<std::string> buffers_;
};

class PgConnection final : public DriverConnection {
 public:
  PgConnection(PgConnectParams params, SqlMode mode) : params_(std::move(params)), mode_(mode) { connect(); }
  ~PgConnection() override { close(); }

  RunResult run(std::string_view text, std::span<const BoundValue> values) override;
  void beginTransaction() override;
  void commit() override;
  void rollback() override;
  bool inTransaction() const override { return inTx_; }
  std::vector<TableInfo> tables() override;
  void close() override {
    for (PgCursor* c : cursors_) c->lostToConnection();
    prepared_.clear();
    conn_.reset();
    closing_ = false;
    prefetching_ = nullptr;
    inTx_ = false;
  }

  // --- for cursors
  uint64_t generation() const { return generation_; }
  uint64_t txSerial() const { return inTx_ ? txSerial_ : 0; }
  void attach(PgCursor* c) { cursors_.insert(c); }
  void detach(PgCursor* c) { cursors_.erase(c); }
  // Runs `f` under the statement savepoint when a transaction is open.
  template <class F>
  auto guarded(F&& f) -> decltype(f());
  // A command of the provider's own, without parameters; throws on failure.
  Result simple(const std::string& sql);
  Result withParams(const std::string& sql, const std::vector<Oid>& types, std::span<const BoundValue> values);
  // A DECLARE with its parameters and the cursor's first FETCH in one round
  // trip (a pipeline), outside a transaction: the FETCH's result.
  Result declareAndFetch(const std::string& declare, const std::vector<Oid>& types, std::span<const BoundValue> values,
                         const std::string& fetch);
  // Closes a cursor read to its end. Outside a transaction the CLOSE is sent
  // without waiting for its answer, which the next command reads first
  // (settle): a fetch of a small result then costs one round trip, not two.
  void closeCursor(const std::string& name);
  std::string nextCursorName() { return "rvz_c" + std::to_string(++cursorSerial_); }
  // Sends a cursor's next FETCH without waiting for it (outside a
  // transaction only). Its answer is the cursor's: a command that needs the
  // connection first hands it over (settle), else the cursor reads it
  // (awaitPrefetch). At most one answer is outstanding on a connection.
  void prefetch(PgCursor* c, const std::string& fetch);
  bool prefetching(const PgCursor* c) const { return prefetching_ == c; }
  Result awaitPrefetch();
  // A cursor that goes drops the answer of its FETCH if it is outstanding.
  void dropPrefetch(const PgCursor* c);
  // Checks a result; throws DataError with the server's text and number.
  Result checked(PGresult* raw);
  std::vector<Result> pipelineResults(bool sent, size_t queries);
  bool alive() const { return conn_ && PQstatus(conn_.get()) == CONNECTION_OK; }

 private:
  void connect();
  void ensureOpen() {
    if (!alive()) connect();
  }
  [[noreturn]] void lost(const std::string& detail);
  // Reads the answer of a command sent without waiting (a CLOSE, whose
  // answer is dropped, or a cursor's FETCH, whose answer goes to the
  // cursor). Every command of the connection goes through idle(): the
  // synchronous libpq calls would silently discard such an answer, and a
  // FETCH's rows with it.
  void settle();
  // The connection with no answer outstanding.
  PGconn* idle();
  // The first result of the command whose answer is next, read to its end.
  Result nextAnswer();
  // Prepares and describes a statement, or finds it prepared. A statement
  // that is new, has no markers and reads (SELECT) is declared as a cursor
  // with its first block fetched in the same round trip, outside a
  // transaction, when `ahead` is given.
  const Prepared& prepare(const std::string& sql, int markers, std::span<const BoundValue> values, bool& oneOff,
                          Prepared& scratch, DeclaredAhead* ahead = nullptr);
  void describeColumns(PGresult* description, Prepared& p);
  // Computed columns described by the Jet types of their expressions, as
  // the Jet provider describes them.
  void describeComputed(std::vector<ColumnInfo>& columns, const std::vector<jet::ColumnType>& types,
                        std::span<const BoundValue> values);
  jet::PgColumnType tableColumn(Oid table, int column);
  // Reads the table columns of a description that are not known yet in one
  // query, so that describing a statement costs one round trip, not one a
  // column.
  void loadTableColumns(PGresult* description);
  void ensureSetup();
  // After a failed command: true when the database was taken as set up from
  // what this process saw before and the failure is a missing object, so
  // that the command is worth another try after a real check.
  bool forgetAssumedSetup();
  Plan planOf(const jet::TypedTranslation& t, std::string_view text);
  RunResult runStatement(const std::string& sql, int markers, std::span<const BoundValue> values,
                         const std::vector<jet::ColumnType>* types);
  RunResult runMakeTable(const jet::MakeTable& m, int markers, std::span<const BoundValue> values);
  // Inside a transaction, a statement without result prepared before (the
  // common statement of an apply) in one round trip; nothing when the text
  // is not one.
  std::optional<RunResult> runPreparedInTransaction(std::string_view text, std::span<const BoundValue> values);
  // A Jet or SQL Server command text: translated (or its plan reused) and run.
  RunResult runJet(std::string_view text, std::span<const BoundValue> values);
  // Runs a plan's statements; the last one's result is the command's.
  RunResult runPlan(const Plan& plan, std::span<const BoundValue> values);
  // A crosstab's plan for the pivot values that its first statement lists now.
  Plan crosstabPlan(const Plan& pivotList, std::string_view text, jet::Schema& schema,
                    std::span<const BoundValue> values);
  // A prepared statement without result inside a transaction, with its
  // savepoint, in one round trip (a pipeline of SAVEPOINT, the statement
  // and RELEASE).
  RunResult pipelined(const Prepared& p, std::span<const BoundValue> values);

 public:
  // A table or view of the current database by name in any letter case;
  // null when there is none.
  const CatalogTable* catalogTable(std::string_view name);

 private:
  PgConnectParams params_;
  SqlMode mode_;
  ConnHandle conn_;
  bool inTx_ = false;
  uint64_t generation_ = 0;
  uint64_t txSerial_ = 0;
  uint64_t cursorSerial_ = 0;
  uint64_t statementSerial_ = 0;
  uint64_t useCounter_ = 0;
  std::unordered_map<std::string, Prepared> prepared_;
  std::map<std::pair<Oid, int>, jet::PgColumnType> tableColumns_;
  std::map<std::string, std::optional<CatalogTable>> catalog_;  // by upper-case name
  std::unordered_map<std::string, Plan> plans_;                 // by command text
  uint64_t setUp_ = 0;                                          // the session whose database is set up
  bool setUpAssumed_ = false;  // set up because this process saw the database set up before
  std::string lastState_;      // the SQLSTATE of the last failed command
  bool closing_ = false;       // a CLOSE was sent and its answer not read yet (settle)
  PgCursor* prefetching_ = nullptr;  // a FETCH of this cursor was sent and its answer not read yet
  std::set<PgCursor*> cursors_;
};

// The schema the Jet typing reads: the current database's tables and
// views with their stored names and their columns' Jet types.
class PgSchema final : public jet::Schema {
 public:
  explicit PgSchema(PgConnection& cn) : cn_(cn) {}
  std::optional<std::vector<jet::BaseColumn>> columnsOf(std::string_view table) override {
    const CatalogTable* t = cn_.catalogTable(table);
    if (!t) return std::nullopt;
    std::vector<jet::BaseColumn> out;
    for (const auto& [name, type] : t->columns) {
      ColumnInfo c = jet::columnInfoOfPg(type);
      jet::BaseColumn b;
      b.name = name;
      b.type.type = jetTypeOfColumn(c);
      if (b.type.type == jet::JetType::Text || b.type.type == jet::JetType::Binary) b.type.size = c.size;
      if (b.type.type == jet::JetType::Decimal) {
        b.type.precision = c.precision;
        b.type.scale = c.scale;
      }
      out.push_back(std::move(b));
    }
    return out;
  }
  std::string tableName(std::string_view table) override {
    const CatalogTable* t = cn_.catalogTable(table);
    return t ? t->name : std::string(table);
  }

 private:
  PgConnection& cn_;
};

// --- connection

void PgConnection::connect() {
  for (PgCursor* c : cursors_) c->lostToConnection();
  prepared_.clear();
  tableColumns_.clear();
  catalog_.clear();
  plans_.clear();
  inTx_ = false;
  conn_.reset();
  closing_ = false;
  prefetching_ = nullptr;
  std::vector<const char*> keys, vals;
  for (const auto& [k, v] : params_.keywords) {
    keys.push_back(k.c_str());
    vals.push_back(v.c_str());
  }
  keys.push_back(nullptr);
  vals.push_back(nullptr);
  ConnHandle c(PQconnectdbParams(keys.data(), vals.data(), 0));
  if (!c)
    throw DataError::engine(kErrServerUnreachable,
                            "Could not connect to the server '" + params_.server + "': out of memory.");
  if (PQstatus(c.get()) != CONNECTION_OK) {
    std::string text = withoutPassword(trimmedMessage(PQerrorMessage(c.get())), params_.password);
    int32_t number = kErrServerUnreachable;
    if (text.find("authentication failed") != std::string::npos ||
        text.find("no password supplied") != std::string::npos ||
        (text.find("role \"") != std::string::npos && text.find("does not exist") != std::string::npos) ||
        text.find("no pg_hba.conf entry") != std::string::npos)
      number = kErrLoginFailed;
    else if (text.find("database \"") != std::string::npos && text.find("does not exist") != std::string::npos)
      number = kErrCannotOpenDatabase;
    throw DataError::engine(
        number, "Could not connect to the server '" + params_.server + "'" +
                    (params_.database.empty() ? std::string() : " (database '" + params_.database + "')") + ": " +
                    text);
  }
  // Notices (a DROP ... IF EXISTS that had nothing to drop) are no
  // failures and have no reader here.
  PQsetNoticeProcessor(
      c.get(), [](void*, const char*) {}, nullptr);
  conn_ = std::move(c);
  ++generation_;
}

void PgConnection::lost(const std::string& detail) {
  for (PgCursor* c : cursors_) c->lostToConnection();
  const bool hadTx = inTx_;
  inTx_ = false;
  prepared_.clear();
  conn_.reset();
  closing_ = false;
  prefetching_ = nullptr;
  throw DataError::engine(kErrConnectionLost,
                          "The connection to the server '" + params_.server + "' was lost" +
                              (detail.empty() ? std::string() : ": " + withoutPassword(detail, params_.password)) +
                              (hadTx ? " The transaction was rolled back on the server." : "") +
                              " The next command connects again.");
}

Result PgConnection::checked(PGresult* raw) {
  Result r(raw);
  if (r) {
    ExecStatusType st = PQresultStatus(r.get());
    if (st == PGRES_COMMAND_OK || st == PGRES_TUPLES_OK || st == PGRES_EMPTY_QUERY) return r;
  }
  const char* state = r ? PQresultErrorField(r.get(), PG_DIAG_SQLSTATE) : nullptr;
  lastState_ = state ? state : "";
  if (!conn_ || PQstatus(conn_.get()) != CONNECTION_OK || (state && isConnectionLoss(state))) {
    std::string detail = r ? trimmedMessage(PQresultErrorMessage(r.get())) : std::string();
    if (detail.empty() && conn_) detail = trimmedMessage(PQerrorMessage(conn_.get()));
    lost(detail);
  }
  if (!r) throw DataError::engine(kErrServerGeneral, trimmedMessage(PQerrorMessage(conn_.get())));
  std::string message = trimmedMessage(PQresultErrorField(r.get(), PG_DIAG_MESSAGE_PRIMARY));
  if (message.empty()) message = trimmedMessage(PQresultErrorMessage(r.get()));
  if (const char* detail = PQresultErrorField(r.get(), PG_DIAG_MESSAGE_DETAIL)) message += " " + trimmedMessage(detail);
  throw DataError::engine(state ? sqlServerNumber(state) : kErrServerGeneral, message);
}

// Reads the results of a pipeline of `queries` commands and its sync, and
// leaves pipeline mode; a pipeline that could not be sent or read whole
// reports the last failure the server gave, else the connection as lost.
std::vector<Result> PgConnection::pipelineResults(bool sent, size_t queries) {
  PGconn* c = conn_.get();
  std::vector<Result> got;
  if (sent) {
    for (size_t q = 0; q < queries; ++q) {
      Result one(PQgetResult(c));
      if (!one) break;
      while (PGresult* more = PQgetResult(c)) PQclear(more);  // up to the end of this query's results
      got.push_back(std::move(one));
    }
    if (got.size() == queries) PQclear(PQgetResult(c));  // the sync
  }
  if (PQexitPipelineMode(c) != 1 || got.size() < queries) {
    const std::string why = trimmedMessage(PQerrorMessage(c));
    if (!got.empty() && PQresultStatus(got.back().get()) == PGRES_FATAL_ERROR) checked(got.back().release());
    lost(why);
  }
  return got;
}

Result PgConnection::simple(const std::string& sql) { return checked(PQexec(idle(), sql.c_str())); }

Result PgConnection::withParams(const std::string& sql, const std::vector<Oid>& types,
                                std::span<const BoundValue> values) {
  PGconn* c = idle();
  const ParameterBuffers b(types, values);
  return checked(PQexecParams(c, sql.c_str(), b.count(), types.data(), b.ptrs.data(), b.lengths.data(),
                              b.formats.data(), 0));
}

Result PgConnection::declareAndFetch(const std::string& declare, const std::vector<Oid>& types,
                                     std::span<const BoundValue> values, const std::string& fetch) {
  PGconn* c = idle();
  const ParameterBuffers b(types, values);
  if (PQenterPipelineMode(c) != 1) lost(trimmedMessage(PQerrorMessage(c)));
  const bool sent = PQsendQueryParams(c, declare.c_str(), b.count(), types.data(), b.ptrs.data(), b.lengths.data(),
                                      b.formats.data(), 0) == 1 &&
                    PQsendQueryParams(c, fetch.c_str(), 0, nullptr, nullptr, nullptr, nullptr, 0) == 1 &&
                    PQpipelineSync(c) == 1;
  std::vector<Result> got = pipelineResults(sent, 2);
  checked(got[0].release());  // a failed DECLARE leaves the FETCH aborted: its own failure is the one to report
  return checked(got[1].release());
}

void PgConnection::closeCursor(const std::string& name) {
  if (inTx_ || !alive()) {
    guarded([&] { simple("CLOSE " + name); });
    return;
  }
  closing_ = PQsendQuery(idle(), ("CLOSE " + name).c_str()) == 1;
  // Not sent: the connection is failing, and the cursor ends with its session.
}

Result PgConnection::nextAnswer() {
  Result first(conn_ ? PQgetResult(conn_.get()) : nullptr);
  if (first)
    while (PGresult* more = PQgetResult(conn_.get())) PQclear(more);
  return first;
}

void PgConnection::settle() {
  if (closing_) {
    closing_ = false;
    nextAnswer();
  }
  if (PgCursor* c = prefetching_) {
    prefetching_ = nullptr;
    c->holdAhead(nextAnswer());
  }
}

PGconn* PgConnection::idle() {
  if (!conn_) lost("");
  settle();
  return conn_.get();
}

void PgConnection::prefetch(PgCursor* c, const std::string& fetch) {
  if (inTx_ || !alive()) return;
  settle();
  if (PQsendQuery(conn_.get(), fetch.c_str()) == 1) prefetching_ = c;
  // Not sent: the cursor fetches when it needs the block, and meets the
  // connection's failure then.
}

Result PgConnection::awaitPrefetch() {
  prefetching_ = nullptr;
  return nextAnswer();
}

void PgConnection::dropPrefetch(const PgCursor* c) {
  if (prefetching_ != c) return;
  prefetching_ = nullptr;
  nextAnswer();
}

template <class F>
auto PgConnection::guarded(F&& f) -> decltype(f()) {
  if (!inTx_) return f();
  simple("SAVEPOINT rvz_stmt");
  try {
    if constexpr (std::is_void_v<decltype(f())>) {
      f();
      simple("RELEASE SAVEPOINT rvz_stmt");
    } else {
      auto r = f();
      simple("RELEASE SAVEPOINT rvz_stmt");
      return r;
    }
  } catch (...) {
    // Whatever failed (the server, a value's conversion), the transaction
    // goes back to where the statement began and stays usable; a broken
    // connection has ended it already.
    if (inTx_ && alive()) {
      try {
        simple("ROLLBACK TO SAVEPOINT rvz_stmt; RELEASE SAVEPOINT rvz_stmt");
      } catch (const DataError&) {
        // lost() has ended the transaction; the first failure is the one to report.
      }
    }
    throw;
  }
}

jet::PgColumnType PgConnection::tableColumn(Oid table, int column) {
  auto key = std::make_pair(table, column);
  if (auto it = tableColumns_.find(key); it != tableColumns_.end()) return it->second;
  const std::string sql = std::string(kColumnSelect) + "WHERE a.attrelid = " + std::to_string(table) +
                          " AND a.attnum = " + std::to_string(column);
  Result r = checked(PQexec(idle(), sql.c_str()));
  jet::PgColumnType t;
  if (PQntuples(r.get()) == 1) t = columnTypeOfRow(r.get(), 0, 2);
  tableColumns_[key] = t;
  return t;
}

void PgConnection::loadTableColumns(PGresult* d) {
  std::string wanted;
  std::set<std::pair<Oid, int>> asked;
  for (int i = 0; i < PQnfields(d); ++i) {
    const Oid table = PQftable(d, i);
    const int column = PQftablecol(d, i);
    if (table == InvalidOid || tableColumns_.count({table, column}) || !asked.insert({table, column}).second) continue;
    wanted += (wanted.empty() ? "(" : ",(") + std::to_string(table) + "," + std::to_string(column) + ")";
  }
  if (asked.size() < 2) return;  // none, or one that tableColumn reads as it is
  const std::string sql = std::string(kColumnSelect) + "WHERE (a.attrelid, a.attnum) IN (VALUES " + wanted + ")";
  Result r = checked(PQexec(idle(), sql.c_str()));
  for (int i = 0; i < PQntuples(r.get()); ++i) {
    const auto key = std::make_pair(static_cast<Oid>(std::strtoul(PQgetvalue(r.get(), i, 6), nullptr, 10)),
                                    std::atoi(PQgetvalue(r.get(), i, 7)));
    tableColumns_[key] = columnTypeOfRow(r.get(), i, 2);
  }
}

const CatalogTable* PgConnection::catalogTable(std::string_view name) {
  std::string key = text::upperCaseAscii(name);
  if (auto it = catalog_.find(key); it != catalog_.end()) return it->second ? &*it->second : nullptr;
  // The table or view of that name in any letter case; one spelt exactly
  // so comes first.
  const std::string sql = std::string(kColumnSelect) +
                          "WHERE lower(c.relname) = lower($1) AND c.relkind IN ('r','v','m','p','f') "
                          "AND a.attnum > 0 AND NOT a.attisdropped "
                          "AND n.nspname = ANY (current_schemas(true)) "
                          "ORDER BY c.relname = $1 DESC, c.relname, a.attnum";
  const std::string wanted(name);
  const char* value = wanted.c_str();
  Result r = checked(PQexecParams(idle(), sql.c_str(), 1, nullptr, &value, nullptr, nullptr, 0));
  std::optional<CatalogTable> table;
  for (int i = 0; i < PQntuples(r.get()); ++i) {
    std::string relname = PQgetvalue(r.get(), i, 0);
    if (!table) {
      table.emplace();
      table->name = relname;
    }
    if (relname != table->name) break;
    table->columns.emplace_back(PQgetvalue(r.get(), i, 1), columnTypeOfRow(r.get(), i, 2));
    // What a statement's description will ask about this table's columns
    // is known now: describing a select of it costs no further lookups.
    tableColumns_.emplace(std::make_pair(static_cast<Oid>(std::strtoul(PQgetvalue(r.get(), i, 6), nullptr, 10)),
                                         std::atoi(PQgetvalue(r.get(), i, 7))),
                          table->columns.back().second);
  }
  auto& slot = catalog_[key];
  slot = std::move(table);
  return slot ? &*slot : nullptr;
}

namespace {

// The databases (server, port, database, login and the set-up script's
// mark) that this process has found set up. Checking costs a round trip on
// every new connection, the first one on a cold session at that; a database
// seen set up stays so unless it is dropped and made again, which the
// statement that then misses a domain or function finds (see run).
std::mutex& setUpLock() {
  static std::mutex m;
  return m;
}
std::set<std::string>& setUpDatabases() {
  static std::set<std::string> s;
  return s;
}

}  // namespace

void PgConnection::ensureSetup() {
  if (setUp_ == generation_) return;
  // The collations, domains and functions that translated SQL relies on,
  // made once per database and again when this server's script changes
  // (its hash is kept as the comment of one of the domains). An advisory
  // lock keeps two servers from setting up the same database at once.
  const std::string script = jet::pgSetupSql();
  const std::string mark = "rvz setup " + std::to_string(std::hash<std::string>{}(script));
  auto text = [](const char* v) { return std::string(v ? v : ""); };
  const std::string key = text(PQhost(conn_.get())) + ":" + text(PQport(conn_.get())) + "/" + text(PQdb(conn_.get())) +
                          "/" + text(PQuser(conn_.get())) + "/" + mark;
  {
    std::lock_guard lock(setUpLock());
    if (setUpDatabases().count(key)) {
      setUp_ = generation_;
      setUpAssumed_ = true;
      return;
    }
  }
  auto current = [&] {
    Result r = checked(PQexec(idle(),
                              "SELECT obj_description(t.oid, 'pg_type') FROM pg_type t WHERE t.typname = "
                              "'rvz_yesno' AND pg_type_is_visible(t.oid)"));
    return PQntuples(r.get()) == 1 && mark == PQgetvalue(r.get(), 0, 0);
  };
  if (!current()) {
    guarded([&] {
      const bool own = !inTx_;
      if (own) simple("BEGIN");
      try {
        simple("SELECT pg_advisory_xact_lock(727966)");
        if (!current()) {
          simple(script);
          simple("COMMENT ON DOMAIN rvz_yesno IS '" + mark + "'");
        }
        if (own) simple("COMMIT");
      } catch (const DataError& e) {
        if (own && alive()) PQclear(PQexec(idle(), "ROLLBACK"));
        throw DataError::engine(e.number(), "Could not prepare the database '" + params_.database +
                                                "' for this server (collations, domains and functions): " + e.what());
      }
    });
  }
  setUp_ = generation_;
  setUpAssumed_ = false;
  std::lock_guard lock(setUpLock());
  setUpDatabases().insert(key);
}

bool PgConnection::forgetAssumedSetup() {
  // undefined_object (a domain or collation) or undefined_function
  if (!setUpAssumed_ || inTx_ || (lastState_ != "42704" && lastState_ != "42883")) return false;
  {
    std::lock_guard lock(setUpLock());
    setUpDatabases().clear();
  }
  setUp_ = 0;
  setUpAssumed_ = false;
  plans_.clear();
  return true;
}

void PgConnection::describeColumns(PGresult* d, Prepared& p) {
  const int n = PQnfields(d);
  loadTableColumns(d);
  p.columns.clear();
  p.forms.clear();
  std::set<std::string> seen;
  for (int i = 0; i < n; ++i) {
    const Oid type = PQftype(d, i);
    const Oid table = PQftable(d, i);
    ColumnInfo c;
    if (table != InvalidOid) {
      c = jet::columnInfoOfPg(tableColumn(table, PQftablecol(d, i)));
    } else {
      jet::PgColumnType t;
      t.typeName = std::string(jet::pgTypeNameOfOid(type));
      t.typmod = PQfmod(d, i);
      c = t.typeName.empty() ? columnOfType(type, t.typmod, nullptr) : jet::columnInfoOfPg(t);
      c.computed = true;
    }
    c.name = PQfname(d, i);
    if (c.name.empty() || c.name == "?column?") c.name = "COLUMN" + std::to_string(i + 1);
    // Repeated names get a number, as the Jet provider's results do.
    if (!seen.insert(text::upperCaseAscii(c.name)).second) {
      for (int k = 1;; ++k) {
        std::string candidate = c.name + "_" + std::to_string(k);
        if (seen.insert(text::upperCaseAscii(candidate)).second) {
          c.name = candidate;
          break;
        }
      }
    }
    p.columns.push_back(std::move(c));
    p.forms.push_back(valueFormOf(type));
  }
}

void PgConnection::describeComputed(std::vector<ColumnInfo>& columns, const std::vector<jet::ColumnType>& types,
                                    std::span<const BoundValue> values) {
  if (types.size() != columns.size()) return;
  for (size_t i = 0; i < columns.size(); ++i) {
    ColumnInfo& c = columns[i];
    if (!c.computed) continue;
    const jet::ColumnType& t = types[i];
    ColumnInfo typed;
    typed.name = c.name;
    bool told = false;
    if (!t.table.empty()) {
      if (const CatalogTable* table = catalogTable(t.table)) {
        for (const auto& [name, type] : table->columns) {
          if (!text::equalsNoCaseAscii(name, t.column)) continue;
          typed = jet::columnInfoOfPg(type);
          if (typed.kind == FieldKind::AutoInc) typed.kind = FieldKind::Integer;
          typed.name = c.name;
          typed.computed = true;
          told = !typed.kindFromValues;
          break;
        }
      }
    }
    if (!told && t.type == jet::JetType::Parameter) {
      if (t.parameter >= 1 && static_cast<size_t>(t.parameter) <= values.size())
        told = describeByParameter(typed, values[static_cast<size_t>(t.parameter) - 1]);
    } else if (!told) {
      told = describeByJetType(typed, t);
    }
    if (told) {
      c = std::move(typed);
    } else {
      // As on the Jet provider: the values tell.
      c.kind = FieldKind::Unknown;
      c.kindFromValues = true;
      c.size = c.precision = c.scale = 0;
      c.currency = c.fixed = false;
    }
  }
}

const Prepared& PgConnection::prepare(const std::string& sql, int markers, std::span<const BoundValue> values,
                                      bool& oneOff, Prepared& scratch, DeclaredAhead* ahead) {
  oneOff = false;
  if (auto it = prepared_.find(sql); it != prepared_.end()) {
    it->second.lastUse = ++useCounter_;
    return it->second;
  }
  Prepared p;
  p.name = "rvz_s" + std::to_string(++statementSerial_);
  // The statement and its description in one round trip.
  Result r, d;
  {
    PGconn* c = idle();
    const bool declare = ahead && markers == 0 && !inTx_ && readsRows(sql);
    if (declare) ahead->cursor = nextCursorName();
    auto command = [c](const std::string& text) {
      return PQsendQueryParams(c, text.c_str(), 0, nullptr, nullptr, nullptr, nullptr, 0) == 1;
    };
    if (PQenterPipelineMode(c) != 1) lost(trimmedMessage(PQerrorMessage(c)));
    const bool sent =
        PQsendPrepare(c, p.name.c_str(), sql.c_str(), 0, nullptr) == 1 &&
        PQsendDescribePrepared(c, p.name.c_str()) == 1 &&
        (!declare || (command("DECLARE " + ahead->cursor + " NO SCROLL CURSOR WITH HOLD FOR " + sql) &&
                      command("FETCH FORWARD " + std::to_string(ahead->want) + " FROM " + ahead->cursor))) &&
        PQpipelineSync(c) == 1;
    std::vector<Result> got = pipelineResults(sent, declare ? 4 : 2);
    if (declare) {
      ahead->sent = true;
      ahead->declared = std::move(got[2]);
      ahead->fetched = std::move(got[3]);
    }
    r = std::move(got[0]);
    d = std::move(got[1]);  // aborted when the statement failed
  }
  const char* state = r ? PQresultErrorField(r.get(), PG_DIAG_SQLSTATE) : nullptr;
  if (state && std::string_view(state) == "42P18") {
    // The server cannot tell a marker's type from the text ("SELECT ?"):
    // the parameters are built from the values alone, for this run.
    r.reset();
    if (inTx_) simple("ROLLBACK TO SAVEPOINT rvz_stmt; SAVEPOINT rvz_stmt");
    std::vector<Oid> types;
    for (size_t i = 0; static_cast<int>(i) < markers; ++i)
      types.push_back(i < values.size() ? typeOfValue(values[i]) : oid::kText);
    p.name.clear();  // the unnamed statement
    r.reset(PQprepare(idle(), "", sql.c_str(), static_cast<int>(types.size()), types.data()));
    oneOff = true;
    checked(r.release());
    d = checked(PQdescribePrepared(idle(), p.name.c_str()));
  } else {
    checked(r.release());
    d = checked(d.release());
  }
  for (int i = 0; i < PQnparams(d.get()); ++i) p.paramTypes.push_back(PQparamtype(d.get(), i));
  describeColumns(d.get(), p);
  if (oneOff) {
    scratch = std::move(p);
    return scratch;
  }
  if (prepared_.size() >= kPreparedCacheSize) {
    auto victim = std::min_element(prepared_.begin(), prepared_.end(),
                                   [](const auto& a, const auto& b) { return a.second.lastUse < b.second.lastUse; });
    PQclear(PQexec(idle(), ("DEALLOCATE " + victim->second.name).c_str()));
    prepared_.erase(victim);
  }
  p.lastUse = ++useCounter_;
  return prepared_.emplace(sql, std::move(p)).first->second;
}

RunResult PgConnection::runStatement(const std::string& sql, int markers, std::span<const BoundValue> values,
                                     const std::vector<jet::ColumnType>* types) {
  bool oneOff = false;
  Prepared scratch;
  DeclaredAhead ahead;
  const Prepared& p = prepare(sql, markers, values, oneOff, scratch, &ahead);
  const size_t n = p.paramTypes.size();
  if (values.size() < n) throw DataError::engine(kErrTooFewParameters, std::string(kTooFewParametersText));
  std::span<const BoundValue> used = values.subspan(0, n);
  RunResult result;
  if (!p.columns.empty()) {
    Prepared shape;
    shape.columns = p.columns;
    shape.forms = p.forms;
    if (types) describeComputed(shape.columns, *types, values);
    result.cursor = std::make_unique<PgCursor>(*this, sql, p.paramTypes,
                                               std::vector<BoundValue>(used.begin(), used.end()), shape,
                                               ahead.sent ? &ahead : nullptr);
    return result;
  }
  // A statement without rows whose text began as a select (SELECT ... INTO
  // makes a table): its DECLARE was refused, and it runs as a statement.
  const ParameterBuffers b(p.paramTypes, used);
  Result r = checked(
      PQexecPrepared(idle(), p.name.c_str(), b.count(), b.ptrs.data(), b.lengths.data(), b.formats.data(), 0));
  const char* affected = PQcmdTuples(r.get());
  result.rowsAffected = affected && *affected ? std::strtoll(affected, nullptr, 10) : 0;
  return result;
}

Plan PgConnection::planOf(const jet::TypedTranslation& t, std::string_view text) {
  if (!t.translated) {
    if (t.reason.rfind("unexpected text after the statement", 0) == 0)
      throw DataError::engine(kErrCharactersAfterEnd, std::string(kCharactersAfterEndText));
    throw DataError::engine(kErrSyntax, formatMessage(kSyntaxErrorText, t.reason));
  }
  (void)text;
  Plan plan;
  if (t.pivotValuesSql) {
    plan.crosstab = true;
    NumberedText n = numberMarkers(*t.pivotValuesSql);
    plan.statements.push_back(std::move(n.sql));
    plan.markers.push_back(n.markers);
    return plan;
  }
  std::vector<std::string> statements = t.statements;
  if (statements.empty()) statements.push_back(t.sql);
  for (const std::string& s : statements) {
    NumberedText n = numberMarkers(s);
    plan.statements.push_back(std::move(n.sql));
    plan.markers.push_back(n.markers);
  }
  plan.columnTypes = t.columns;
  plan.makeTable = t.makeTable;
  for (const std::string& s : plan.statements) {
    size_t b = s.find_first_not_of(" \t\r\n(");
    std::string word = text::upperCaseAscii(std::string_view(s).substr(b == std::string::npos ? 0 : b, 6));
    if (word != "SELECT" && word != "INSERT" && word != "UPDATE" && word != "DELETE") plan.changesSchema = true;
  }
  if (plan.makeTable) plan.changesSchema = true;
  return plan;
}

RunResult PgConnection::runMakeTable(const jet::MakeTable& m, int markers, std::span<const BoundValue> values) {
  // The table with the select's columns, each of its Jet type where the
  // text tells one and of the select's own type otherwise, then its rows.
  std::string names;
  for (const auto& c : m.columns) names += (names.empty() ? "" : ", ") + quotedName(c.name);
  NumberedText select = numberMarkers(m.selectSql);
  const std::string table = quotedName(m.table);
  RunResult r = runStatement(std::string("CREATE ") + (m.temporary ? "TEMPORARY " : "") + "TABLE " + table + " (" +
                                 names + ") AS " + select.sql + " WITH NO DATA",
                             std::max(markers, select.markers), values, nullptr);
  for (const auto& c : m.columns) {
    std::optional<jet::PgColumnDecl> decl = jet::pgColumnType(accessDeclarationOf(c.type));
    if (!decl) continue;
    simple("ALTER TABLE " + table + " ALTER COLUMN " + quotedName(c.name) + " TYPE " + decl->sql + " USING " +
           quotedName(c.name) + "::" + decl->sql.substr(0, decl->sql.find(" COLLATE")));
  }
  return runStatement("INSERT INTO " + table + " " + select.sql, std::max(markers, select.markers), values, nullptr);
}

RunResult PgConnection::pipelined(const Prepared& p, std::span<const BoundValue> values) {
  PGconn* c = idle();
  const ParameterBuffers b(p.paramTypes, values);
  if (PQenterPipelineMode(c) != 1) lost(trimmedMessage(PQerrorMessage(c)));
  const bool sent =
      PQsendQueryParams(c, "SAVEPOINT rvz_stmt", 0, nullptr, nullptr, nullptr, nullptr, 0) == 1 &&
      PQsendQueryPrepared(c, p.name.c_str(), b.count(), b.ptrs.data(), b.lengths.data(), b.formats.data(), 0) == 1 &&
      PQsendQueryParams(c, "RELEASE SAVEPOINT rvz_stmt", 0, nullptr, nullptr, nullptr, nullptr, 0) == 1 &&
      PQpipelineSync(c) == 1;
  std::vector<Result> got = pipelineResults(sent, 3);
  checked(got[0].release());  // the savepoint
  if (PQresultStatus(got[1].get()) != PGRES_COMMAND_OK) {
    const char* state = PQresultErrorField(got[1].get(), PG_DIAG_SQLSTATE);
    if (alive() && !(state && isConnectionLoss(state)))
      simple("ROLLBACK TO SAVEPOINT rvz_stmt; RELEASE SAVEPOINT rvz_stmt");
    checked(got[1].release());
  }
  checked(got[2].release());
  RunResult result;
  const char* affected = PQcmdTuples(got[1].get());
  result.rowsAffected = affected && *affected ? std::strtoll(affected, nullptr, 10) : 0;
  return result;
}

std::optional<RunResult> PgConnection::runPreparedInTransaction(std::string_view text,
                                                                std::span<const BoundValue> values) {
  const std::string* sql = nullptr;
  std::string native;
  if (mode_ == SqlMode::Native) {
    native = numberMarkers(text).sql;
    sql = &native;
  } else if (auto it = plans_.find(std::string(text)); it != plans_.end() && it->second.statements.size() == 1 &&
                                                       !it->second.makeTable && !it->second.crosstab &&
                                                       !it->second.changesSchema) {
    sql = &it->second.statements[0];
  }
  if (!sql) return std::nullopt;
  auto it = prepared_.find(*sql);
  if (it == prepared_.end() || !it->second.columns.empty() || values.size() < it->second.paramTypes.size())
    return std::nullopt;
  it->second.lastUse = ++useCounter_;
  return pipelined(it->second, values);
}

Plan PgConnection::crosstabPlan(const Plan& pivotList, std::string_view text, jet::Schema& schema,
                                std::span<const BoundValue> values) {
  RunResult found = runStatement(pivotList.statements[0], pivotList.markers[0], values, nullptr);
  std::vector<jet::PivotValue> pivots;
  while (found.cursor && found.cursor->step()) {
    Cell v = found.cursor->cell(0);
    jet::PivotValue pv;
    switch (v.cls) {
      case StorageClass::Null: pv.kind = jet::PivotValue::Kind::Null; break;
      case StorageClass::Integer:
        pv.kind = jet::PivotValue::Kind::Integer;
        pv.i = v.i;
        break;
      case StorageClass::Real:
        pv.kind = jet::PivotValue::Kind::Real;
        pv.r = v.r;
        break;
      default:
        pv.kind = jet::PivotValue::Kind::Text;
        pv.text = std::string(v.bytes);
        break;
    }
    pivots.push_back(std::move(pv));
  }
  found.cursor.reset();
  return planOf(jet::translateCrosstab(text, schema, pivots, jet::Target::Postgres), text);
}

RunResult PgConnection::runPlan(const Plan& plan, std::span<const BoundValue> values) {
  const bool changesSchema = plan.changesSchema;  // read first: the plan may live in the cache this empties
  RunResult result;
  if (plan.makeTable) {
    result = runMakeTable(*plan.makeTable, plan.markers.empty() ? 0 : plan.markers.back(), values);
  } else {
    for (size_t i = 0; i < plan.statements.size(); ++i) {
      const bool last = i + 1 == plan.statements.size();
      result = runStatement(plan.statements[i], plan.markers[i], values, last ? &plan.columnTypes : nullptr);
      if (!last) result.cursor.reset();
    }
  }
  if (changesSchema) {
    catalog_.clear();
    tableColumns_.clear();
    plans_.clear();
  }
  return result;
}

RunResult PgConnection::runJet(std::string_view text, std::span<const BoundValue> values) {
  PgSchema schema(*this);
  const Plan* cached = nullptr;
  Plan fresh;
  if (auto it = plans_.find(std::string(text)); it != plans_.end()) {
    cached = &it->second;
  } else {
    fresh = planOf(jet::translateTyped(text, schema, jet::Target::Postgres), text);
    if (!fresh.crosstab && !fresh.changesSchema && plans_.size() < kPreparedCacheSize)
      cached = &plans_.emplace(std::string(text), std::move(fresh)).first->second;
    else
      cached = &fresh;
  }
  if (!cached->crosstab) return runPlan(*cached, values);
  // A crosstab's columns are the values its pivot finds now.
  return runPlan(crosstabPlan(*cached, text, schema, values), values);
}

RunResult PgConnection::run(std::string_view text, std::span<const BoundValue> values) {
  ensureOpen();
  if (inTx_) {
    // The common statement of an apply: prepared already, without result.
    if (std::optional<RunResult> r = runPreparedInTransaction(text, values)) return std::move(*r);
  }
  if (isCatalogsRowset(text)) {
    return guarded([&] { return runStatement(std::string(kCatalogsSql), 0, values, nullptr); });
  }
  if (mode_ == SqlMode::Native) {
    NumberedText n = numberMarkers(text);
    return guarded([&] { return runStatement(n.sql, n.markers, values, nullptr); });
  }
  ensureSetup();
  lastState_.clear();
  try {
    return guarded([&] { return runJet(text, values); });
  } catch (const DataError&) {
    if (!forgetAssumedSetup()) throw;
  }
  ensureSetup();
  return guarded([&] { return runJet(text, values); });
}

void PgConnection::beginTransaction() {
  ensureOpen();
  if (inTx_) throw DataError::engine(kErrServerGeneral, "A transaction is already active on this connection.");
  simple("BEGIN");
  inTx_ = true;
  ++txSerial_;
}

void PgConnection::commit() {
  if (!inTx_) throw DataError::component(kErrNoTransaction, "Cannot commit: no transaction is active.");
  // The server ends the transaction whatever COMMIT answers (a deferred
  // constraint rolls it back, and the cursors it declared go with it).
  inTx_ = false;
  try {
    simple("COMMIT");
  } catch (const DataError&) {
    for (PgCursor* c : cursors_) c->lostToRollback(txSerial_);
    throw;
  }
}

void PgConnection::rollback() {
  if (!inTx_) return;
  inTx_ = false;
  for (PgCursor* c : cursors_) c->lostToRollback(txSerial_);
  if (alive()) simple("ROLLBACK");
}

std::vector<TableInfo> PgConnection::tables() {
  ensureOpen();
  // The current database's tables and views in the schemas of the search
  // path, and the server's own tables.
  static const std::string kSql =
      "SELECT c.relname, CASE WHEN n.nspname = 'pg_catalog' THEN 'SYSTEM TABLE' "
      "WHEN c.relkind IN ('v','m') THEN 'VIEW' ELSE 'TABLE' END "
      "FROM pg_class c JOIN pg_namespace n ON n.oid = c.relnamespace "
      "WHERE (c.relkind IN ('r','p','v','m','f') AND n.nspname = ANY (current_schemas(false))) "
      "OR (c.relkind = 'r' AND n.nspname = 'pg_catalog')";
  Result r = guarded([&] { return checked(PQexec(idle(), kSql.c_str())); });
  std::vector<TableInfo> out;
  for (int i = 0; i < PQntuples(r.get()); ++i) out.push_back({PQgetvalue(r.get(), i, 0), PQgetvalue(r.get(), i, 1)});
  std::sort(out.begin(), out.end(), [](const TableInfo& a, const TableInfo& b) {
    if (a.type != b.type) return a.type < b.type;
    int c = text::compareNoCaseUtf8(a.name, b.name);
    return c != 0 ? c < 0 : a.name < b.name;
  });
  return out;
}

// --- cursor

PgCursor::PgCursor(PgConnection& owner, std::string sql, std::vector<Oid> paramTypes, std::vector<BoundValue> values,
                   const Prepared& shape, DeclaredAhead* ahead)
    : owner_(owner),
      sql_(std::move(sql)),
      paramTypes_(std::move(paramTypes)),
      values_(std::move(values)),
      columns_(shape.columns),
      forms_(shape.forms),
      buffers_(shape.columns.size()) {
  for (const ColumnInfo& c : columns_) asNumber_.push_back(c.kind != FieldKind::BCD);
  if (ahead)
    takeDeclared(*ahead);
  else if (owner_.inTransaction())
    declare();
  else
    declareWithFirstBlock();
  owner_.attach(this);
}

PgCursor::~PgCursor() {
  owner_.dropPrefetch(this);
  owner_.detach(this);
  if (serverOpen_ && owner_.generation() == generation_ && owner_.alive()) {
    try {
      owner_.closeCursor(name_);
    } catch (const DataError&) {
      // The cursor ends with the session in any case.
    }
  }
}

void PgCursor::declare() {
  name_ = owner_.nextCursorName();
  owner_.withParams("DECLARE " + name_ + " NO SCROLL CURSOR WITH HOLD FOR " + sql_, paramTypes_, values_);
  generation_ = owner_.generation();
  declaredIn_ = owner_.txSerial();
  serverOpen_ = true;
  redeclare_ = false;
  lastBlock_ = false;
}

void PgCursor::declareWithFirstBlock() {
  name_ = owner_.nextCursorName();
  const int want = blockRows_;
  Result first;
  try {
    first = owner_.declareAndFetch("DECLARE " + name_ + " NO SCROLL CURSOR WITH HOLD FOR " + sql_, paramTypes_, values_,
                                   "FETCH FORWARD " + std::to_string(want) + " FROM " + name_);
  } catch (const DataError&) {
    // No cursor object is left to close it later: a DECLARE that went
    // through goes now (when it did not, the CLOSE fails unread).
    if (owner_.alive()) owner_.closeCursor(name_);
    throw;
  }
  opened(std::move(first), want);
}

void PgCursor::takeDeclared(DeclaredAhead& ahead) {
  name_ = ahead.cursor;
  Result first;
  try {
    owner_.checked(ahead.declared.release());  // a failed DECLARE leaves the FETCH aborted
    first = owner_.checked(ahead.fetched.release());
  } catch (const DataError&) {
    if (owner_.alive()) owner_.closeCursor(name_);
    throw;
  }
  opened(std::move(first), ahead.want);
}

void PgCursor::opened(Result first, int want) {
  generation_ = owner_.generation();
  declaredIn_ = 0;
  serverOpen_ = true;
  redeclare_ = false;
  lastBlock_ = false;
  takeBlock(std::move(first), want);
}

void PgCursor::fetch() {
  block_.reset();
  row_ = -1;
  rows_ = 0;
  if (lastBlock_) return;
  if (aheadHeld_ || owner_.prefetching(this)) {
    takeAhead();
    return;
  }
  const int want = blockRows_;
  takeBlock(owner_.guarded([&] {
    if (redeclare_) {
      declare();
      if (delivered_ > 0) owner_.simple("MOVE FORWARD " + std::to_string(delivered_) + " FROM " + name_);
    }
    return owner_.simple("FETCH FORWARD " + std::to_string(want) + " FROM " + name_);
  }),
            want);
}

void PgCursor::takeBlock(Result block, int want) {
  block_ = std::move(block);
  row_ = -1;
  rows_ = PQntuples(block_.get());
  blockRows_ = std::min(blockRows_ * 2, kMaxBlockRows);
  if (rows_ < want) {
    // The last block: the server's copy can go now.
    lastBlock_ = true;
    if (serverOpen_) {  // not when the session it was read from has ended
      serverOpen_ = false;
      owner_.closeCursor(name_);
    }
    return;
  }
  prefetch();
}

void PgCursor::prefetch() {
  if (owner_.inTransaction() || !serverOpen_ || redeclare_ || owner_.generation() != generation_) return;
  aheadWant_ = blockRows_;
  owner_.prefetch(this, "FETCH FORWARD " + std::to_string(aheadWant_) + " FROM " + name_);
}

void PgCursor::takeAhead() {
  Result r = aheadHeld_ ? std::move(ahead_) : owner_.awaitPrefetch();
  aheadHeld_ = false;
  // A failure is reported now, where the rows were asked for; one of a
  // session that has ended since is no concern of the new one.
  if (owner_.generation() != generation_ && !(r && PQresultStatus(r.get()) == PGRES_TUPLES_OK)) rowsLost();
  takeBlock(owner_.checked(r.release()), aheadWant_);
}

void PgCursor::rowsLost() {
  done_ = true;
  throw DataError::engine(kErrConnectionLost,
                          "The rows of this command are no longer available: the connection "
                          "to the server was lost while they were read.");
}

bool PgCursor::step() {
  if (done_) return false;
  if (block_ && row_ + 1 < rows_) {
    ++row_;
    ++delivered_;
    return true;
  }
  if (lastBlock_) {
    done_ = true;
    return false;
  }
  if (!aheadHeld_ && (owner_.generation() != generation_ || (!serverOpen_ && !redeclare_))) rowsLost();
  fetch();
  if (rows_ == 0) {
    done_ = true;
    return false;
  }
  row_ = 0;
  ++delivered_;
  return true;
}

Cell PgCursor::cell(size_t c) const {
  Cell out;
  if (!block_ || row_ < 0 || c >= columns_.size()) return out;
  const int col = static_cast<int>(c);
  if (PQgetisnull(block_.get(), row_, col)) return out;
  std::string_view t(PQgetvalue(block_.get(), row_, col), static_cast<size_t>(PQgetlength(block_.get(), row_, col)));
  readValue(forms_[c], t, asNumber_[c], buffers_[c], out);
  return out;
}

class SqlServerProvider final : public Provider {
 public:
  SqlServerProvider(SqlMode mode, std::string_view name) : mode_(mode), name_(name) {}
  std::string_view name() const override { return name_; }

  std::unique_ptr<DriverConnection> connect(const ConnectionString& cs, const ConnectSettings& settings) override {
    PgConnectParams params = pgConnectParams(cs, settings.connectTimeoutSeconds, "RoVezevu datas@" + hostName());
    return std::make_unique<PgConnection>(std::move(params), mode_);
  }

  void compact(const ConnectionString& source, const ConnectionString&) override {
    PgConnectParams p = pgConnectParams(source, 0, "");
    throw DataError::component(kErrArgument, "Compaction is for Access databases: the SQL Server database '" +
                                                 p.database + "' on '" + p.server +
                                                 "' is kept compact by the server itself (autovacuum).");
  }

 private:
  SqlMode mode_;
  std::string name_;
};

}  // namespace

std::shared_ptr<Provider> makeSqlServerProvider(SqlMode mode, std::string_view name) {
  return std::make_shared<SqlServerProvider>(mode, name);
}

}  // namespace rvz::data::pg
