// Databases as wholes, through a libpq session on the maintenance database.
#include "platform/data/pg/pg_database.h"

#include <libpq-fe.h>

#include <memory>
#include <vector>

#include "platform/data/data_error.h"
#include "platform/data/pg/pg_connect_params.h"
#include "platform/data/pg/pg_errors.h"
#include "platform/text/text.h"

namespace rvz::data::pg {

namespace {

constexpr const char* kApplication = "RoVezevu database setup";

struct FinishConnection {
  void operator()(PGconn* c) const { PQfinish(c); }
};
struct ClearResult {
  void operator()(PGresult* r) const { PQclear(r); }
};
using ConnHandle = std::unique_ptr<PGconn, FinishConnection>;
using ResultHandle = std::unique_ptr<PGresult, ClearResult>;

std::string trimmed(const char* text) {
  std::string s = text ? text : "";
  while (!s.empty() && (s.back() == '\n' || s.back() == ' ')) s.pop_back();
  return s;
}

// A session on the server's maintenance database with the login of `cs`.
class MaintenanceSession {
 public:
  MaintenanceSession(const ConnectionString& cs, int timeout) : database_(databaseOf(cs)) {
    ConnectionString admin = cs;
    admin.set("Initial Catalog", "postgres");
    params_ = pgConnectParams(admin, timeout, kApplication);
    std::vector<const char*> keys, values;
    for (const auto& [k, v] : params_.keywords) keys.push_back(k.c_str()), values.push_back(v.c_str());
    keys.push_back(nullptr);
    values.push_back(nullptr);
    conn_.reset(PQconnectdbParams(keys.data(), values.data(), 0));
    if (!conn_ || PQstatus(conn_.get()) != CONNECTION_OK)
      throw DataError::engine(
          kErrServerUnreachable,
          "Could not connect to the server '" + params_.server + "': " +
              withoutPassword(trimmed(conn_ ? PQerrorMessage(conn_.get()) : "out of memory"), params_.password));
    PQsetNoticeProcessor(
        conn_.get(), [](void*, const char*) {}, nullptr);
  }

  const std::string& database() const { return database_; }

  // The database's name as a quoted identifier.
  std::string quotedDatabase() const {
    char* q = PQescapeIdentifier(conn_.get(), database_.c_str(), database_.size());
    if (!q) fail("quote the name", PQerrorMessage(conn_.get()), "");
    std::string out(q);
    PQfreemem(q);
    return out;
  }

  ResultHandle run(const std::string& what, const std::string& sql, const char* param = nullptr) {
    ResultHandle r(param ? PQexecParams(conn_.get(), sql.c_str(), 1, nullptr, &param, nullptr, nullptr, 0)
                         : PQexec(conn_.get(), sql.c_str()));
    const ExecStatusType st = r ? PQresultStatus(r.get()) : PGRES_FATAL_ERROR;
    if (st != PGRES_COMMAND_OK && st != PGRES_TUPLES_OK) {
      const char* state = r ? PQresultErrorField(r.get(), PG_DIAG_SQLSTATE) : nullptr;
      fail(what, r ? PQresultErrorMessage(r.get()) : PQerrorMessage(conn_.get()), state ? state : "");
    }
    return r;
  }

  [[noreturn]] void fail(const std::string& what, const char* text, const std::string& sqlstate) const {
    throw DataError::engine(sqlstate.empty() ? kErrServerGeneral : sqlServerNumber(sqlstate),
                            "Could not " + what + " of the database '" + database_ + "' on the server '" +
                                params_.server + "': " + withoutPassword(trimmed(text), params_.password));
  }

 private:
  std::string database_;
  PgConnectParams params_;
  ConnHandle conn_;
};

bool exists(MaintenanceSession& s) {
  ResultHandle r = s.run("look for", "SELECT 1 FROM pg_database WHERE datname = $1", s.database().c_str());
  return PQntuples(r.get()) > 0;
}

}  // namespace

std::string databaseOf(const ConnectionString& cs) {
  // The same reading as the provider's (pgConnectParams), except that a
  // missing name is an error here rather than libpq's default.
  std::string db = cs.value(cs.has("Initial Catalog") ? "Initial Catalog" : "Database");
  if (db.empty())
    throw DataError::component(kErrBadConnectionString, "The connection string names no database (Initial Catalog).");
  if (text::equalsNoCaseAscii(db, "master")) db = "postgres";
  return db;
}

bool databaseExists(const ConnectionString& cs, int connectTimeoutSeconds) {
  MaintenanceSession s(cs, connectTimeoutSeconds);
  return exists(s);
}

bool createDatabaseIfMissing(const ConnectionString& cs, int connectTimeoutSeconds) {
  MaintenanceSession s(cs, connectTimeoutSeconds);
  if (exists(s)) return false;
  s.run("create", "CREATE DATABASE " + s.quotedDatabase());
  return true;
}

void dropDatabase(const ConnectionString& cs, int connectTimeoutSeconds) {
  MaintenanceSession s(cs, connectTimeoutSeconds);
  s.run("drop", "DROP DATABASE IF EXISTS " + s.quotedDatabase() + " WITH (FORCE)");
}

}  // namespace rvz::data::pg
