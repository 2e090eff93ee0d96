// Connection: provider choice from the connection string, the
// before-execute event and transactions.
#include "platform/data/connection.h"

#include <algorithm>

#include "platform/data/query.h"
#include "platform/data/values.h"

namespace rvz::data {

Connection::Connection() = default;

Connection::Connection(std::string connectionString) : connectionString_(std::move(connectionString)) {}

Connection::~Connection() {
  close();
  for (Query* q : queries_) q->connection_ = nullptr;
}

void Connection::setConnectionString(std::string text) {
  if (text == connectionString_) return;
  if (isOpen())
    throw DataError::component(kErrObjectOpen, std::string(kObjectOpenText) +
                                                   " The connection is open; close it before giving it another "
                                                   "connection string.");
  connectionString_ = std::move(text);
}

void Connection::open() {
  if (driver_) return;
  if (connectionString_.empty())
    throw DataError::component(kErrBadConnectionString, "Cannot open a connection without a connection string.");
  if (openCheck_) openCheck_();
  ConnectionString cs = ConnectionString::parse(connectionString_);
  std::string providerName = cs.value("Provider");
  if (providerName.empty())
    throw DataError::component(kErrProviderNotFound,
                               "Provider cannot be found. It may not be properly installed: the connection string "
                               "names no Provider (" +
                                   cs.toRedactedString() + ").");
  Provider* provider = findProvider(providerName);
  if (!provider)
    throw DataError::component(kErrProviderNotFound, "Provider cannot be found. It may not be properly installed: '" +
                                                         providerName + "' is not available on this server.");
  if (shareMode_ == ShareMode::Exclusive) cs.set("Mode", "Share Exclusive");
  ConnectSettings settings;
  settings.connectTimeoutSeconds = connectTimeout_;
  driver_ = provider->connect(cs, settings);
}

void Connection::close() {
  if (!driver_) return;
  std::vector<Query*> qs = queries_;
  for (Query* q : qs) q->closeForConnection();
  auto driver = std::move(driver_);
  driver->close();
}

DriverConnection& Connection::driver() {
  if (!driver_) open();
  return *driver_;
}

template <class F>
auto Connection::withCursorsReleased(F&& f) -> decltype(f(std::declval<DriverConnection&>())) {
  DriverConnection& d = driver();
  try {
    return f(d);
  } catch (const DataError& e) {
    if (!d.isCursorConflict(e)) throw;
  }
  for (Query* q : queries_)
    if (q->isOpen()) q->readToEnd();
  return f(d);
}

bool Connection::inTransaction() const { return driver_ && driver_->inTransaction(); }

void Connection::beginTransaction() {
  withCursorsReleased([](DriverConnection& d) { d.beginTransaction(); });
}

void Connection::commit() {
  if (!inTransaction())
    throw DataError::component(kErrNoTransaction, "Cannot commit: no transaction is active on this connection.");
  driver_->commit();
}

void Connection::rollback() {
  if (!inTransaction())
    throw DataError::component(kErrNoTransaction, "Cannot roll back: no transaction is active on this connection.");
  driver_->rollback();
}

RunResult Connection::send(std::string_view commandText, std::span<const Parameter> params) {
  driver();  // opens: the event sees an open connection
  if (willExecute_) {
    EventStatus status = EventStatus::Ok;
    willExecute_(commandText, status);
    if (status == EventStatus::Cancel) throw cancelledError();
  }
  std::vector<BoundValue> values;
  values.reserve(params.size());
  for (const Parameter& p : params) values.push_back(toBoundValue(p.value, p.dataType));
  return withCursorsReleased([&](DriverConnection& dc) { return dc.run(commandText, values); });
}

int64_t Connection::execute(std::string_view commandText, std::span<const Parameter> params) {
  RunResult r = send(commandText, params);
  return r.cursor ? 0 : r.rowsAffected;
}

std::vector<TableInfo> Connection::tables() { return driver().tables(); }

std::vector<ColumnInfo> Connection::tableColumns(std::string_view table) { return driver().tableColumns(table); }

std::vector<ColumnInfo> DriverConnection::tableColumns(std::string_view table) {
  RunResult r = run("select * from " + std::string(table) + " where 1 = 0", {});
  if (!r.cursor) throw DataError::engine(kErrSyntax, "The table " + std::string(table) + " gives no columns.");
  return r.cursor->columns();
}

void Connection::attach(Query* q) {
  if (std::find(queries_.begin(), queries_.end(), q) == queries_.end()) queries_.push_back(q);
}

void Connection::detach(Query* q) { queries_.erase(std::remove(queries_.begin(), queries_.end(), q), queries_.end()); }

void Connection::queryClosed() {
  if (keepConnection_ || !driver_) return;
  for (Query* q : queries_)
    if (q->isOpen()) return;
  close();
}

Transaction::Transaction(Connection& cn) : cn_(&cn) { cn.beginTransaction(); }

Transaction::~Transaction() { end(); }

Transaction& Transaction::operator=(Transaction&& o) noexcept {
  if (this != &o) {
    end();
    cn_ = o.cn_;
    o.cn_ = nullptr;
  }
  return *this;
}

void Transaction::end() noexcept {
  if (!cn_) return;
  Connection* cn = cn_;
  cn_ = nullptr;
  try {
    if (cn->inTransaction()) cn->rollback();
  } catch (...) {
    // A failed rollback leaves nothing the destructor could do: the engine
    // rolls back on its own when the connection closes.
  }
}

bool Transaction::lostToEngine() const { return cn_ && !cn_->inTransaction(); }

void Transaction::commit() {
  if (!cn_) throw DataError::component(kErrNoTransaction, "Cannot commit: the transaction has ended already.");
  if (lostToEngine()) {
    cn_ = nullptr;
    throw DataError::component(kErrNoTransaction, std::string(kTransactionLostText));
  }
  try {
    cn_->commit();
  } catch (const DataError& e) {
    if (e.number() == kErrNotConfirmed) {
      // Committed, and seen by others, but the disk did not confirm it:
      // nothing is left to roll back, and the message says what happened.
      cn_ = nullptr;
      throw;
    }
    end();
    throw DataError(e.hresult(), e.number(),
                    "Cannot commit: " + std::string(e.what()) +
                        " The transaction was rolled back; none of its "
                        "changes were kept.");
  }
  cn_ = nullptr;
}

void Transaction::rollback() {
  if (!cn_) throw DataError::component(kErrNoTransaction, "Cannot roll back: the transaction has ended already.");
  Connection* cn = cn_;
  cn_ = nullptr;
  if (cn->inTransaction()) cn->rollback();
}

}  // namespace rvz::data
