// A scratch PostgreSQL database for the SQL Server provider's tests, on the
// cluster that RVZ_TEST_PG names (an OLE DB connection string; scripts/test
// starts a throwaway cluster and sets it). Without it the tests skip.
#pragma once

#include <gtest/gtest.h>
#include <libpq-fe.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <string>

#include "platform/data/connection.h"
#include "platform/data/connection_string.h"
#include "platform/data/pg/pg_connect_params.h"

namespace rvz::data::testing {

// The connection string of the test cluster, or empty.
inline std::string testServer() {
  const char* cs = std::getenv("RVZ_TEST_PG");
  return cs ? std::string(cs) : std::string();
}

// Runs PostgreSQL SQL on a database of the test cluster past the provider
// (what the dialect has no words for: creating databases, ending
// sessions); the first value of the first row, or "" when none. Fails the
// test on an error.
inline std::string pgRaw(const std::string& connectionString, const std::string& sql) {
  pg::PgConnectParams p = pg::pgConnectParams(ConnectionString::parse(connectionString), 10, "rvz test");
  std::vector<const char*> keys, values;
  for (const auto& [k, v] : p.keywords) keys.push_back(k.c_str()), values.push_back(v.c_str());
  keys.push_back(nullptr);
  values.push_back(nullptr);
  PGconn* c = PQconnectdbParams(keys.data(), values.data(), 0);
  std::string out;
  if (PQstatus(c) != CONNECTION_OK) {
    ADD_FAILURE() << PQerrorMessage(c);
  } else {
    PQsetNoticeProcessor(
        c, [](void*, const char*) {}, nullptr);
    PGresult* r = PQexec(c, sql.c_str());
    if (PQresultStatus(r) != PGRES_COMMAND_OK && PQresultStatus(r) != PGRES_TUPLES_OK)
      ADD_FAILURE() << sql << ": " << PQresultErrorMessage(r);
    else if (PQntuples(r) > 0 && PQnfields(r) > 0)
      out = PQgetvalue(r, 0, 0);
    PQclear(r);
  }
  PQfinish(c);
  return out;
}

// A fresh database for each test, dropped afterwards.
class PgDatabase {
 public:
  // Empty when no test cluster is set.
  // `copyOf`: a database to copy (one no session uses), else an empty one.
  bool create(const std::string& copyOf = {}) {
    admin_ = testServer();
    if (admin_.empty()) return false;
    static std::atomic<int> serial{0};
    name_ = "rvz_t" + std::to_string(::getpid()) + "_" + std::to_string(++serial);
    pgRaw(withCatalog("postgres"), "DROP DATABASE IF EXISTS " + name_ + " WITH (FORCE)");
    pgRaw(withCatalog("postgres"), "CREATE DATABASE " + name_ + (copyOf.empty() ? "" : " TEMPLATE " + copyOf));
    return true;
  }
  void drop() {
    if (name_.empty()) return;
    pgRaw(withCatalog("postgres"), "DROP DATABASE IF EXISTS " + name_ + " WITH (FORCE)");
    name_.clear();
  }
  const std::string& name() const { return name_; }
  // The test database's connection string.
  std::string connectionString() const { return withCatalog(name_); }
  // Runs PostgreSQL SQL on the test database past the provider.
  std::string raw(const std::string& sql) const { return pgRaw(connectionString(), sql); }
  std::string withCatalog(const std::string& catalog) const {
    ConnectionString cs = ConnectionString::parse(admin_);
    cs.set("Initial Catalog", catalog);
    return cs.toString();
  }

 private:
  std::string admin_;
  std::string name_;
};

}  // namespace rvz::data::testing
