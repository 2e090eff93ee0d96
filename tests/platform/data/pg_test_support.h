// A scratch PostgreSQL database for the SQL Server provider's tests, on the
// cluster that RVZ_TEST_PG names (an OLE DB connection string; scripts/test
// starts a throwaway cluster and sets it). Without it the tests skip.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <string>

#include "platform/data/connection.h"
#include "platform/data/connection_string.h"

namespace rvz::data::testing {

// The connection string of the test cluster, or empty.
inline std::string testServer() {
  const char* cs = std::getenv("RVZ_TEST_PG");
  return cs ? std::string(cs) : std::string();
}

// A fresh database for each test, dropped afterwards.
class PgDatabase {
 public:
  // Empty when no test cluster is set.
  bool create() {
    admin_ = testServer();
    if (admin_.empty()) return false;
    static std::atomic<int> serial{0};
    name_ = "rvz_t" + std::to_string(::getpid()) + "_" + std::to_string(++serial);
    Connection admin(withCatalog("postgres"));
    admin.execute("DROP DATABASE IF EXISTS " + name_ + " WITH (FORCE)");
    admin.execute("CREATE DATABASE " + name_);
    return true;
  }
  void drop() {
    if (name_.empty()) return;
    try {
      Connection admin(withCatalog("postgres"));
      admin.execute("DROP DATABASE IF EXISTS " + name_ + " WITH (FORCE)");
    } catch (const std::exception& e) {
      ADD_FAILURE() << "could not drop " << name_ << ": " << e.what();
    }
    name_.clear();
  }
  const std::string& name() const { return name_; }
  // The test database's connection string.
  std::string connectionString() const { return withCatalog(name_); }
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
