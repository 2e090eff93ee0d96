// A database connection as the system uses it: an OLE DB connection string,
// opened through the provider it names, with the before-execute event,
// transactions, statements and the tables schema rowset.
#pragma once

#include <functional>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/data/connection_string.h"
#include "platform/data/data_error.h"
#include "platform/data/driver.h"
#include "platform/data/field_kind.h"

namespace rvz::data {

class Query;

enum class EventStatus { Ok, Cancel };

// Called before each command is sent, on the sending thread, with the
// command text exactly as the caller gave it (UTF-8, before any dialect
// translation). Setting the status to Cancel stops the command; the
// operation then fails with the cancel error (kErrOperationCancelled).
using WillExecuteHandler = std::function<void(std::string_view commandText, EventStatus& status)>;

enum class ShareMode { DenyNone, Exclusive };

// A connection is used by one thread at a time (callers that share one
// across threads serialise its uses); its queries belong to it and are
// closed when it closes.
class Connection {
 public:
  Connection();
  explicit Connection(std::string connectionString);
  ~Connection();
  Connection(const Connection&) = delete;
  Connection& operator=(const Connection&) = delete;

  const std::string& connectionString() const { return connectionString_; }
  // Replaces the connection string. An open connection keeps its string and
  // refuses a different one (kErrObjectOpen); the same string is accepted.
  void setConnectionString(std::string text);

  // Opens with the current string, also implicitly at the first query or
  // command. A failed open reports the provider's text; passwords of the
  // connection string never appear in it.
  void open();
  // Closes the queries on this connection, then the connection. Does nothing
  // when closed.
  void close();
  bool isOpen() const { return driver_ != nullptr; }

  // Settings. The login prompt is always off; the share mode becomes an
  // exclusive hold of the database file when Exclusive; the connect timeout
  // (seconds, 0: no limit) is also how long a busy database is waited for;
  // without keep-connection, the connection closes when its last open query
  // closes.
  void setLoginPrompt(bool on) { loginPrompt_ = on; }
  bool loginPrompt() const { return loginPrompt_; }
  void setShareMode(ShareMode m) { shareMode_ = m; }
  ShareMode shareMode() const { return shareMode_; }
  void setConnectTimeout(int seconds) { connectTimeout_ = seconds; }
  int connectTimeout() const { return connectTimeout_; }
  void setKeepConnection(bool keep) { keepConnection_ = keep; }
  bool keepConnection() const { return keepConnection_; }

  void setWillExecute(WillExecuteHandler handler) { willExecute_ = std::move(handler); }
  // Called at each open before the provider is asked; throwing refuses the
  // open with that failure (the owner's rules on what may be opened).
  void setOpenCheck(std::function<void()> check) { openCheck_ = std::move(check); }

  // Transactions.
  bool inTransaction() const;
  void beginTransaction();
  void commit();
  void rollback();

  // Runs a command with positional parameters and no result: the number of
  // rows affected. Rows a command returns are discarded (0 is returned).
  int64_t execute(std::string_view commandText, std::span<const Parameter> params = {});

  // The tables schema rowset: TABLE_NAME and TABLE_TYPE ("TABLE", "VIEW",
  // "SYSTEM TABLE") of every table and view, ordered by type, then name.
  std::vector<TableInfo> tables();

  // The columns of a table as the database declares them, with the primary
  // key marked where the provider tells it (DriverConnection::tableColumns).
  // Opens when needed; the before-execute event does not fire.
  std::vector<ColumnInfo> tableColumns(std::string_view table);

  // Used by Query and Statement: fires the event, opens when needed and runs
  // the command.
  RunResult send(std::string_view commandText, std::span<const Parameter> params);

 private:
  friend class Query;
  void attach(Query* q);
  void detach(Query* q);
  void queryClosed();
  DriverConnection& driver();
  // Runs `f` on the driver; when the driver reports that an open cursor of
  // this connection stands in the way of a write, reads the open queries to
  // their end and runs `f` once more.
  template <class F>
  auto withCursorsReleased(F&& f) -> decltype(f(std::declval<DriverConnection&>()));

  std::string connectionString_;
  bool loginPrompt_ = false;
  ShareMode shareMode_ = ShareMode::DenyNone;
  int connectTimeout_ = 15;
  bool keepConnection_ = true;
  WillExecuteHandler willExecute_;
  std::function<void()> openCheck_;
  std::unique_ptr<DriverConnection> driver_;
  std::vector<Query*> queries_;
};

// One transaction on a connection, begun by the constructor. Move-only; the
// destructor rolls back what was not committed and never throws.
//
// The engine may end a transaction on its own (SQLite rolls back when the
// disk is full or memory runs out); lostToEngine() tells so, and commit()
// then fails instead of letting later statements run in autocommit.
// A failed commit rolls back what is left, so the transaction has always
// ended when commit() returns or throws. The one failure after which the
// changes are kept is a commit that the disk did not confirm
// (kErrNotConfirmed): it is written and others see it, and the message says so.
class Transaction {
 public:
  explicit Transaction(Connection& cn);
  ~Transaction();
  Transaction(Transaction&& o) noexcept : cn_(o.cn_) { o.cn_ = nullptr; }
  Transaction& operator=(Transaction&& o) noexcept;
  Transaction(const Transaction&) = delete;
  Transaction& operator=(const Transaction&) = delete;

  void commit();
  void rollback();
  // True until commit() or rollback() was called.
  bool active() const { return cn_ != nullptr; }
  // True when the transaction is active for this object but the connection
  // is no longer in a transaction: the engine ended it.
  bool lostToEngine() const;

 private:
  void end() noexcept;
  Connection* cn_;
};

}  // namespace rvz::data
