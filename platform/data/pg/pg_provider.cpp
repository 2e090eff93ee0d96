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
#include <cstring>
#include <map>
#include <set>
#include <unordered_map>
#include <utility>

#include "platform/data/data_error.h"
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

class PgConnection;

class PgCursor final : public DriverCursor {
 public:
  PgCursor(PgConnection& owner, std::string sql, std::vector<Oid> paramTypes, std::vector<BoundValue> values,
           const Prepared& shape);
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

 private:
  void declare();
  void fetch();

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
  mutable std::vector<std::string> buffers_;
};

class PgConnection final : public DriverConnection {
 public:
  PgConnection(PgConnectParams params) : params_(std::move(params)) { connect(); }
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
  std::string nextCursorName() { return "rvz_c" + std::to_string(++cursorSerial_); }
  // Checks a result; throws DataError with the server's text and number.
  Result checked(PGresult* raw);
  bool alive() const { return conn_ && PQstatus(conn_.get()) == CONNECTION_OK; }

 private:
  void connect();
  void ensureOpen() {
    if (!alive()) connect();
  }
  [[noreturn]] void lost(const std::string& detail);
  const Prepared& prepare(const std::string& sql, int markers, std::span<const BoundValue> values, bool& oneOff,
                          Prepared& scratch);
  void describeColumns(PGresult* description, Prepared& p);
  TableColumn tableColumn(Oid table, int column);

  PgConnectParams params_;
  ConnHandle conn_;
  bool inTx_ = false;
  uint64_t generation_ = 0;
  uint64_t txSerial_ = 0;
  uint64_t cursorSerial_ = 0;
  uint64_t statementSerial_ = 0;
  uint64_t useCounter_ = 0;
  std::unordered_map<std::string, Prepared> prepared_;
  std::map<std::pair<Oid, int>, TableColumn> tableColumns_;
  std::set<PgCursor*> cursors_;
};

// --- connection

void PgConnection::connect() {
  for (PgCursor* c : cursors_) c->lostToConnection();
  prepared_.clear();
  tableColumns_.clear();
  inTx_ = false;
  conn_.reset();
  std::vector<const char*> keys, vals;
  for (const auto& [k, v] : params_.keywords) {
    keys.push_back(k.c_str());
    vals.push_back(v.c_str());
  }
  keys.push_back(nullptr);
  vals.push_back(nullptr);
  ConnHandle c(PQconnectdbParams(keys.data(), vals.data(), 0));
  if (!c) throw DataError::engine(kErrServerUnreachable, "Could not connect to the server '" + params_.server +
                                                             "': out of memory.");
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
    throw DataError::engine(number, "Could not connect to the server '" + params_.server + "'" +
                                        (params_.database.empty() ? std::string()
                                                                  : " (database '" + params_.database + "')") +
                                        ": " + text);
  }
  // Notices (a DROP ... IF EXISTS that had nothing to drop) are no
  // failures and have no reader here.
  PQsetNoticeProcessor(c.get(), [](void*, const char*) {}, nullptr);
  conn_ = std::move(c);
  ++generation_;
}

void PgConnection::lost(const std::string& detail) {
  for (PgCursor* c : cursors_) c->lostToConnection();
  const bool hadTx = inTx_;
  inTx_ = false;
  prepared_.clear();
  conn_.reset();
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

Result PgConnection::simple(const std::string& sql) {
  if (!conn_) lost("");
  return checked(PQexec(conn_.get(), sql.c_str()));
}

Result PgConnection::withParams(const std::string& sql, const std::vector<Oid>& types,
                                std::span<const BoundValue> values) {
  if (!conn_) lost("");
  const size_t n = types.size();
  std::vector<ParameterText> texts(n);
  std::vector<const char*> ptrs(n, nullptr);
  std::vector<int> lengths(n, 0), formats(n, 0);
  for (size_t i = 0; i < n; ++i) {
    if (values[i].cls == StorageClass::Null) continue;
    texts[i] = parameterText(values[i], types[i]);
    ptrs[i] = texts[i].text.c_str();
    lengths[i] = static_cast<int>(texts[i].text.size());
    formats[i] = texts[i].binary ? 1 : 0;
  }
  return checked(PQexecParams(conn_.get(), sql.c_str(), static_cast<int>(n), types.data(), ptrs.data(),
                              lengths.data(), formats.data(), 0));
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
  } catch (const DataError& e) {
    if (e.number() != kErrConnectionLost && alive())
      simple("ROLLBACK TO SAVEPOINT rvz_stmt; RELEASE SAVEPOINT rvz_stmt");
    throw;
  }
}

TableColumn PgConnection::tableColumn(Oid table, int column) {
  auto key = std::make_pair(table, column);
  if (auto it = tableColumns_.find(key); it != tableColumns_.end()) return it->second;
  // The declared type's own name (a domain's name, not its base type's)
  // and whether the column numbers itself.
  const std::string sql =
      "SELECT t.typname, a.attidentity <> '' OR coalesce(pg_get_expr(d.adbin, d.adrelid) LIKE 'nextval(%', false) "
      "FROM pg_attribute a JOIN pg_type t ON t.oid = a.atttypid "
      "LEFT JOIN pg_attrdef d ON d.adrelid = a.attrelid AND d.adnum = a.attnum "
      "WHERE a.attrelid = " + std::to_string(table) + " AND a.attnum = " + std::to_string(column);
  Result r = checked(PQexec(conn_.get(), sql.c_str()));
  TableColumn tc;
  if (PQntuples(r.get()) == 1) {
    tc.typeName = PQgetvalue(r.get(), 0, 0);
    tc.identity = PQgetvalue(r.get(), 0, 1)[0] == 't';
  }
  tableColumns_[key] = tc;
  return tc;
}

void PgConnection::describeColumns(PGresult* d, Prepared& p) {
  const int n = PQnfields(d);
  p.columns.clear();
  p.forms.clear();
  std::set<std::string> seen;
  for (int i = 0; i < n; ++i) {
    const Oid type = PQftype(d, i);
    const Oid table = PQftable(d, i);
    TableColumn tc;
    if (table != InvalidOid) tc = tableColumn(table, PQftablecol(d, i));
    ColumnInfo c = columnOfType(type, PQfmod(d, i), table != InvalidOid ? &tc : nullptr);
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
    if (table == InvalidOid) c.computed = true;
    p.columns.push_back(std::move(c));
    p.forms.push_back(valueFormOf(type));
  }
}

const Prepared& PgConnection::prepare(const std::string& sql, int markers, std::span<const BoundValue> values,
                                      bool& oneOff, Prepared& scratch) {
  oneOff = false;
  if (auto it = prepared_.find(sql); it != prepared_.end()) {
    it->second.lastUse = ++useCounter_;
    return it->second;
  }
  Prepared p;
  p.name = "rvz_s" + std::to_string(++statementSerial_);
  PGresult* raw = PQprepare(conn_.get(), p.name.c_str(), sql.c_str(), 0, nullptr);
  Result r(raw);
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
    r.reset(PQprepare(conn_.get(), "", sql.c_str(), static_cast<int>(types.size()), types.data()));
    oneOff = true;
  }
  checked(r.release());
  Result d = checked(PQdescribePrepared(conn_.get(), p.name.c_str()));
  for (int i = 0; i < PQnparams(d.get()); ++i) p.paramTypes.push_back(PQparamtype(d.get(), i));
  describeColumns(d.get(), p);
  if (oneOff) {
    scratch = std::move(p);
    return scratch;
  }
  if (prepared_.size() >= kPreparedCacheSize) {
    auto victim = std::min_element(prepared_.begin(), prepared_.end(),
                                   [](const auto& a, const auto& b) { return a.second.lastUse < b.second.lastUse; });
    PQclear(PQexec(conn_.get(), ("DEALLOCATE " + victim->second.name).c_str()));
    prepared_.erase(victim);
  }
  p.lastUse = ++useCounter_;
  return prepared_.emplace(sql, std::move(p)).first->second;
}

RunResult PgConnection::run(std::string_view text, std::span<const BoundValue> values) {
  ensureOpen();
  std::string sql;
  int markers = 0;
  if (isCatalogsRowset(text)) {
    sql = kCatalogsSql;
  } else {
    NumberedText numbered = numberMarkers(text);
    sql = std::move(numbered.sql);
    markers = numbered.markers;
  }
  return guarded([&]() -> RunResult {
    bool oneOff = false;
    Prepared scratch;
    const Prepared& p = prepare(sql, markers, values, oneOff, scratch);
    const size_t n = p.paramTypes.size();
    if (values.size() < n)
      throw DataError::engine(kErrTooFewParameters, std::string(kTooFewParametersText));
    std::span<const BoundValue> used = values.subspan(0, n);
    RunResult result;
    if (!p.columns.empty()) {
      result.cursor = std::make_unique<PgCursor>(*this, sql, p.paramTypes,
                                                 std::vector<BoundValue>(used.begin(), used.end()), p);
      return result;
    }
    std::vector<ParameterText> texts(n);
    std::vector<const char*> ptrs(n, nullptr);
    std::vector<int> lengths(n, 0), formats(n, 0);
    for (size_t i = 0; i < n; ++i) {
      if (used[i].cls == StorageClass::Null) continue;
      texts[i] = parameterText(used[i], p.paramTypes[i]);
      ptrs[i] = texts[i].text.c_str();
      lengths[i] = static_cast<int>(texts[i].text.size());
      formats[i] = texts[i].binary ? 1 : 0;
    }
    Result r = checked(PQexecPrepared(conn_.get(), p.name.c_str(), static_cast<int>(n), ptrs.data(), lengths.data(),
                                      formats.data(), 0));
    const char* affected = PQcmdTuples(r.get());
    result.rowsAffected = affected && *affected ? std::strtoll(affected, nullptr, 10) : 0;
    return result;
  });
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
  // constraint rolls it back).
  inTx_ = false;
  simple("COMMIT");
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
  Result r = guarded([&] { return checked(PQexec(conn_.get(), kSql.c_str())); });
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
                   const Prepared& shape)
    : owner_(owner), sql_(std::move(sql)), paramTypes_(std::move(paramTypes)), values_(std::move(values)),
      columns_(shape.columns), forms_(shape.forms), buffers_(shape.columns.size()) {
  for (const ColumnInfo& c : columns_) asNumber_.push_back(c.kind != FieldKind::BCD);
  declare();
  owner_.attach(this);
}

PgCursor::~PgCursor() {
  owner_.detach(this);
  if (serverOpen_ && owner_.generation() == generation_ && owner_.alive()) {
    try {
      owner_.guarded([&] { owner_.simple("CLOSE " + name_); });
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

void PgCursor::fetch() {
  block_.reset();
  row_ = -1;
  rows_ = 0;
  if (lastBlock_) return;
  const int want = blockRows_;
  block_ = owner_.guarded([&] {
    if (redeclare_) {
      declare();
      if (delivered_ > 0) owner_.simple("MOVE FORWARD " + std::to_string(delivered_) + " FROM " + name_);
    }
    return owner_.simple("FETCH FORWARD " + std::to_string(want) + " FROM " + name_);
  });
  rows_ = PQntuples(block_.get());
  blockRows_ = std::min(blockRows_ * 2, kMaxBlockRows);
  if (rows_ < want) {
    // The last block: the server's copy can go now.
    lastBlock_ = true;
    serverOpen_ = false;
    owner_.guarded([&] { owner_.simple("CLOSE " + name_); });
  }
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
  if (owner_.generation() != generation_ || (!serverOpen_ && !redeclare_)) {
    done_ = true;
    throw DataError::engine(kErrConnectionLost, "The rows of this command are no longer available: the connection "
                                                "to the server was lost while they were read.");
  }
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
  std::string_view name() const override { return kSqlServerProviderName; }

  std::unique_ptr<DriverConnection> connect(const ConnectionString& cs, const ConnectSettings& settings) override {
    PgConnectParams params = pgConnectParams(cs, settings.connectTimeoutSeconds, "RoVezevu datas@" + hostName());
    return std::make_unique<PgConnection>(std::move(params));
  }

  void compact(const ConnectionString& source, const ConnectionString&) override {
    PgConnectParams p = pgConnectParams(source, 0, "");
    throw DataError::component(kErrArgument,
                               "Compaction is for Access databases: the SQL Server database '" + p.database +
                                   "' on '" + p.server + "' is kept compact by the server itself (autovacuum).");
  }
};

}  // namespace

std::shared_ptr<Provider> makeSqlServerProvider() { return std::make_shared<SqlServerProvider>(); }

}  // namespace rvz::data::pg
