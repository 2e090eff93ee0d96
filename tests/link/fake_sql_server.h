// A stand-in for the SQL Server provider in the link's unit tests: a
// "server" in memory with a login, a password and a list of databases,
// registered as SQLOLEDB.1 in the test process. It records every
// connection string it was given and the connect time-outs.
#pragma once

#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/data/data_error.h"
#include "platform/data/driver.h"

namespace rvz::link::test_support {

struct FakeServerState {
  std::mutex mu;
  std::string user = "sa";
  std::string password = "right";
  bool trustedAllowed = false;
  std::vector<std::string> databases = {"DaZiva", "Ravelmoor"};
  std::vector<std::string> connects;  // connection strings, in order
  std::vector<int> timeouts;
  std::vector<std::string> commands;
};

class FakeCursor final : public data::DriverCursor {
 public:
  explicit FakeCursor(std::vector<std::string> names) : names_(std::move(names)) {
    data::ColumnInfo c;
    c.name = "CATALOG_NAME";
    c.kind = data::FieldKind::WideString;
    c.size = 128;
    cols_.push_back(c);
  }
  const std::vector<data::ColumnInfo>& columns() const override { return cols_; }
  bool step() override { return ++at_ < names_.size(); }
  data::Cell cell(size_t) const override {
    data::Cell c;
    c.cls = data::StorageClass::Text;
    c.bytes = names_[at_];
    return c;
  }

 private:
  std::vector<data::ColumnInfo> cols_;
  std::vector<std::string> names_;
  size_t at_ = static_cast<size_t>(-1);
};

class FakeConnection final : public data::DriverConnection {
 public:
  explicit FakeConnection(std::shared_ptr<FakeServerState> s) : s_(std::move(s)) {}
  data::RunResult run(std::string_view text, std::span<const data::BoundValue>) override {
    std::lock_guard lk(s_->mu);
    s_->commands.emplace_back(text);
    data::RunResult r;
    if (text == "exec sp_catalogs_rowset;2 null") r.cursor = std::make_unique<FakeCursor>(s_->databases);
    return r;
  }
  void beginTransaction() override {}
  void commit() override {}
  void rollback() override {}
  bool inTransaction() const override { return false; }
  std::vector<data::TableInfo> tables() override { return {}; }
  void close() override {}

 private:
  std::shared_ptr<FakeServerState> s_;
};

class FakeSqlServer final : public data::Provider {
 public:
  explicit FakeSqlServer(std::shared_ptr<FakeServerState> s) : s_(std::move(s)) {}
  std::string_view name() const override { return "SQLOLEDB.1"; }
  std::unique_ptr<data::DriverConnection> connect(const data::ConnectionString& cs,
                                                  const data::ConnectSettings& settings) override {
    std::lock_guard lk(s_->mu);
    s_->connects.push_back(cs.toString());
    s_->timeouts.push_back(settings.connectTimeoutSeconds);
    std::string server = cs.value("Data Source");
    if (!server.empty() && server != "." && server != "(local)" && server != "localhost")
      throw data::DataError::engine(
          1, "[DBNETLIB][ConnectionOpen (Connect()).]SQL Server does not exist or access denied");
    bool trusted = cs.value("Integrated Security") == "SSPI";
    if (trusted ? !s_->trustedAllowed : (cs.value("User ID") != s_->user || cs.value("Password") != s_->password))
      throw data::DataError::engine(1, "Login failed for user " + cs.value("User ID"));
    std::string db = cs.value("Initial Catalog");
    bool known = db == "master";
    for (const auto& d : s_->databases) known = known || d == db;
    if (!known) throw data::DataError::engine(1, "Cannot open database \"" + db + "\" requested by the login");
    return std::make_unique<FakeConnection>(s_);
  }
  void compact(const data::ConnectionString&, const data::ConnectionString&) override {}

 private:
  std::shared_ptr<FakeServerState> s_;
};

// Registers a fresh server as SQLOLEDB.1 and returns its state.
inline std::shared_ptr<FakeServerState> installFakeSqlServer() {
  auto s = std::make_shared<FakeServerState>();
  data::registerProvider(std::make_shared<FakeSqlServer>(s));
  return s;
}

}  // namespace rvz::link::test_support
