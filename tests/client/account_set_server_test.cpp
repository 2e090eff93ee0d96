// SQL Server account sets made by quib on the test cluster that
// RVZ_TEST_PG names (skipped without it): `quib init --server` end to end
// through a running server, and the copy of an Access account set into a
// server database (`quib migrate`).
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "client/account_set_migration.h"
#include "client/sample/sample_home.h"
#include "link/password_scrambler.h"
#include "platform/data/connection.h"
#include "platform/data/connection_string.h"
#include "platform/data/pg/pg_database.h"
#include "platform/data/query.h"
#include "tests/host/process_test_support.h"
#include "tests/platform/data/pg_test_support.h"

namespace fs = std::filesystem;
using json = nlohmann::json;
using rvz::data::testing::PgDatabase;
using rvz::data::testing::pgRaw;

namespace {

using Rows = std::vector<std::vector<std::string>>;

// Every row of a table as texts, sorted, so that two databases compare by
// content whatever order they return rows in.
Rows tableRows(rvz::data::Connection& cn, const std::string& table) {
  rvz::data::Query q("q", &cn);
  q.setCommandText("select * from [" + table + "]");
  q.open();
  Rows rows;
  for (; !q.eof(); q.next()) {
    std::vector<std::string> row;
    for (size_t i = 0; i < q.fieldCount(); ++i) row.push_back(q.field(i).isNull() ? "<null>" : q.field(i).textUtf8());
    rows.push_back(std::move(row));
  }
  std::sort(rows.begin(), rows.end());
  return rows;
}

std::vector<std::string> userTables(rvz::data::Connection& cn) {
  std::vector<std::string> out;
  for (const auto& t : cn.tables())
    if (t.type == "TABLE") out.push_back(t.name);
  std::sort(out.begin(), out.end());
  return out;
}

class ServerAccountSets : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!db_.create()) GTEST_SKIP() << "RVZ_TEST_PG is not set: no test cluster";
    static std::atomic<int> serial{0};
    root_ =
        fs::temp_directory_path() / ("rvz-quib-server-" + std::to_string(::getpid()) + "_" + std::to_string(++serial));
    fs::remove_all(root_);
    fs::create_directories(root_);
    home_ = root_ / "home";
  }
  void TearDown() override {
    if (server_ > 0) {
      ::kill(server_, SIGKILL);
      ::waitpid(server_, nullptr, 0);
    }
    db_.drop();
    if (!root_.empty()) fs::remove_all(root_);
  }

  // The test database's connection string with another database name.
  std::string target(const std::string& database) const { return db_.withCatalog(database); }

  Rows serverRows(const std::string& cs, const std::string& table) {
    rvz::data::Connection cn(cs);
    return tableRows(cn, table);
  }

  PgDatabase db_;
  fs::path root_, home_;
  pid_t server_ = -1;
};

// ---------------------------------------------------------------- quib init --server

class QuibInitServer : public ServerAccountSets {
 protected:
  void SetUp() override {
    ServerAccountSets::SetUp();
    if (IsSkipped()) return;
    // A login of its own with a password and the right to make databases,
    // so that the password's way into RoVezevu.ini is seen.
    login_ = "rvz_q_" + db_.name();
    pgRaw(target("postgres"), "CREATE ROLE " + login_ + " LOGIN CREATEDB PASSWORD 'Pw-7x'");
    auto cs = rvz::data::ConnectionString::parse(target(database()));
    cs.set("User ID", login_);
    cs.set("Password", "Pw-7x");
    connection_ = cs.toString();
    port_ = rvz::testing::freePort();
  }
  void TearDown() override {
    if (!login_.empty()) {
      pgRaw(target("postgres"), "DROP DATABASE IF EXISTS " + database() + " WITH (FORCE)");
      pgRaw(target("postgres"), "DROP ROLE IF EXISTS " + login_);
    }
    ServerAccountSets::TearDown();
  }
  std::string database() const { return db_.name() + "_s"; }

  std::vector<std::string> env() const {
    return {"RVZ_HOME=" + home_.string(), "RVZ_ENDPOINT=127.0.0.1:" + std::to_string(port_), "RVZ_SCREEN_TIMEOUT=3",
            "RVZ_REGISTRY=" + (home_ / "registry.hive").string()};
  }
  // quib with the home's environment; its output and exit status.
  std::string quib(const std::string& args, int* status = nullptr) {
    static std::atomic<int> n{0};
    fs::path out = root_ / ("quib" + std::to_string(++n) + ".out");
    std::string cmd = "env";
    for (auto& v : env()) cmd += " '" + v + "'";
    cmd += " timeout 120 " + std::string(RVZ_QUIB_EXE) + " " + args + " > " + out.string() + " 2>&1";
    int rc = std::system(cmd.c_str());
    if (status) *status = WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
    return rvz::testing::slurp(out);
  }
  void startServer() {
    auto e = env();
    server_ = ::fork();
    if (server_ == 0) {
      for (auto& v : e) ::putenv(v.data());
      std::string log = (root_ / "server.log").string();
      if (!freopen(log.c_str(), "w", stderr)) ::_exit(126);
      ::execl(RVZ_HOST_EXE, RVZ_HOST_EXE, static_cast<char*>(nullptr));
      ::_exit(127);
    }
    ASSERT_TRUE(rvz::testing::waitFor([&] { return quib("screen tray").find("visible") != std::string::npos; }));
  }
  // The pKh packet of an account set, as quib run decodes it.
  json fetchKh(int type, const std::string& name) {
    fs::path script = root_ / "fetch.json";
    std::ofstream(script) << json::array({
        {{"create", "Quib.datas"}, {"as", "d"}},
        {{"call", "d"}, {"method", "ConnectAct"}, {"args", {type, "", name, "", ""}}},
        {{"call", "d"}, {"method", "AS_GetRecords"}, {"args", {"pKh", -1, nullptr, 1, "", nullptr, nullptr}}},
    });
    std::istringstream lines(quib("run --decode " + script.string()));
    std::string line, last;
    while (std::getline(lines, line))
      if (!line.empty()) last = line;
    json step = json::parse(last, nullptr, false);
    json packet;
    std::function<void(const json&)> find = [&](const json& j) {
      if (!packet.is_null()) return;
      if (j.is_object()) {
        if (j.contains("packet"))
          packet = j["packet"];
        else
          for (const auto& [k, v] : j.items()) find(v);
      } else if (j.is_array()) {
        for (const auto& v : j) find(v);
      }
    };
    find(step);
    EXPECT_FALSE(packet.is_null()) << last;
    return packet;
  }

  std::string login_, connection_;
  int port_ = 0;
};

TEST_F(QuibInitServer, TheServerSetServesTheSameSampleAsTheAccessSet) {
  int status = -1;
  std::string out = quib("init " + home_.string() + " --server '" + connection_ + "'", &status);
  ASSERT_EQ(status, 0) << out;

  // Registered as a SQL Server set under the database's name.
  {
    rvz::data::Connection reg(
        rvz::data::jetConnectionString((home_ / "data" / "DoDar.mdb").string(), rvz::client::kAccountSetPassword));
    rvz::data::Query q("q", &reg);
    q.setCommandText("select ActName, ActType from Act_DODar order by ActType");
    q.open();
    ASSERT_FALSE(q.eof());
    EXPECT_EQ(q.field("ActName").textUtf8(), "Sample");
    EXPECT_EQ(q.field("ActType").textUtf8(), "0");
    q.next();
    ASSERT_FALSE(q.eof());
    EXPECT_EQ(q.field("ActName").textUtf8(), database());
    EXPECT_NE(q.field("ActType").textUtf8(), "0");
  }
  // The link settings, with the password only scrambled.
  const std::string ini = rvz::testing::slurp(home_ / "RoVezevu.ini");
  EXPECT_NE(ini.find("DatabaseName=" + database()), std::string::npos) << ini;
  EXPECT_NE(ini.find("UserId=" + login_), std::string::npos) << ini;
  EXPECT_EQ(ini.find("Pw-7x"), std::string::npos) << ini;
  const size_t at = ini.find("Password=");
  ASSERT_NE(at, std::string::npos) << ini;
  const std::string scrambled = ini.substr(at + 9, ini.find_first_of("\r\n", at) - at - 9);
  EXPECT_EQ(rvz::link::ScramblePassword(scrambled, rvz::link::kPasswordKey, false), "Pw-7x") << ini;

  startServer();
  json access = fetchKh(0, "Sample");
  json server = fetchKh(1, database());
  ASSERT_TRUE(access.contains("rows"));
  EXPECT_GT(access["rows"].size(), 0u);
  EXPECT_EQ(server["columns"], access["columns"]);
  EXPECT_EQ(server["rows"], access["rows"]);

  // Every table holds the same rows as the Access sample.
  rvz::data::Connection file(rvz::data::jetConnectionString((home_ / "data" / "Sample" / "DaZiva.mdb").string(),
                                                            rvz::client::kAccountSetPassword));
  rvz::data::Connection db(connection_);
  ASSERT_EQ(userTables(db), userTables(file));
  for (const auto& t : userTables(file)) EXPECT_EQ(tableRows(db, t), tableRows(file, t)) << t;
}

TEST_F(QuibInitServer, ADatabaseThatHoldsTablesIsRefusedAndKept) {
  pgRaw(target("postgres"), "CREATE DATABASE " + database() + " OWNER " + login_);
  pgRaw(target(database()), "CREATE TABLE keepme (x int); INSERT INTO keepme VALUES (1)");
  int status = -1;
  std::string out = quib("init " + home_.string() + " --server '" + connection_ + "'", &status);
  EXPECT_EQ(status, 1);
  EXPECT_NE(out.find("already holds tables"), std::string::npos) << out;
  EXPECT_EQ(out.find("Pw-7"), std::string::npos) << out;
  EXPECT_EQ(pgRaw(target(database()), "SELECT count(*) FROM keepme"), "1");
  EXPECT_FALSE(fs::exists(home_ / "data" / "DoDar.mdb"));
}

// ---------------------------------------------------------------- migrate

class Migrate : public ServerAccountSets {
 protected:
  void SetUp() override {
    ServerAccountSets::SetUp();
    if (IsSkipped()) return;
    rvz::client::buildSampleHome(home_);
    file_ = home_ / "data" / "Sample" / "DaZiva.mdb";
    // A database name no test made yet: the copy makes it.
    made_ = db_.name() + "_m";
  }
  void TearDown() override {
    if (!made_.empty()) pgRaw(target("postgres"), "DROP DATABASE IF EXISTS " + made_ + " WITH (FORCE)");
    ServerAccountSets::TearDown();
  }
  std::string fileString() const {
    return rvz::data::jetConnectionString(file_.string(), rvz::client::kAccountSetPassword);
  }
  bool exists(const std::string& database) {
    return rvz::data::pg::databaseExists(rvz::data::ConnectionString::parse(target(database)));
  }

  fs::path file_;
  std::string made_;
};

TEST_F(Migrate, CopiesEveryTableWithItsRowsCounterPositionsAndIndexes) {
  std::ostringstream progress;
  const auto r = rvz::client::migrateAccountSet(file_, target(made_), progress);
  EXPECT_TRUE(r.databaseCreated);
  EXPECT_GT(r.indexes, 0);
  EXPECT_NE(progress.str().find("\nKH: "), std::string::npos) << progress.str();

  rvz::data::Connection file(fileString());
  rvz::data::Connection db(target(made_));
  ASSERT_EQ(userTables(db), userTables(file));
  EXPECT_EQ(r.tables, static_cast<int>(userTables(file).size()));
  for (const auto& t : userTables(file)) {
    EXPECT_EQ(tableRows(db, t), tableRows(file, t)) << t;
    // Described alike: the packets of both sets carry the same columns.
    auto a = file.tableColumns(t), b = db.tableColumns(t);
    ASSERT_EQ(a.size(), b.size()) << t;
    for (size_t i = 0; i < a.size(); ++i) {
      EXPECT_EQ(b[i].name, a[i].name) << t;
      EXPECT_EQ(b[i].kind, a[i].kind) << t << "." << a[i].name;
      EXPECT_EQ(b[i].size, a[i].size) << t << "." << a[i].name;
    }
  }
  // The indexes came along.
  EXPECT_EQ(pgRaw(target(made_), "SELECT count(*) FROM pg_indexes WHERE indexname = 'HPKC.IX_HPKC_CKID_HPID'"), "1");

  // The counters go on where the file's stopped: a row added on both
  // sides gets the same number.
  for (auto* cn : {&file, &db}) {
    cn->execute("delete from TableColumns where ID = (select max(ID) from TableColumns)");
    cn->execute("insert into TableColumns (XH, TableName) values (99, 'next')");
  }
  EXPECT_EQ(tableRows(db, "TableColumns"), tableRows(file, "TableColumns"));
}

TEST_F(Migrate, ATargetThatHoldsTablesIsRefusedUntouched) {
  std::ostringstream progress;
  rvz::client::migrateAccountSet(file_, target(made_), progress);
  const std::string before = pgRaw(target(made_), "SELECT count(*) FROM \"KH\"");
  try {
    rvz::client::migrateAccountSet(file_, target(made_), progress);
    FAIL() << "a second copy into the same database was taken";
  } catch (const rvz::data::DataError& e) {
    EXPECT_NE(std::string(e.what()).find("already holds tables"), std::string::npos) << e.what();
  }
  EXPECT_EQ(pgRaw(target(made_), "SELECT count(*) FROM \"KH\""), before);
  EXPECT_TRUE(exists(made_));
}

TEST_F(Migrate, ARowTheServerRefusesLeavesNothingBehind) {
  // SQLite keeps a text longer than its column; the server refuses it, late
  // in the copy.
  {
    rvz::data::Connection file(fileString());
    std::vector<rvz::data::Parameter> p = {rvz::data::Parameter::of(rvz::Variant::bstrUtf8(std::string(300, 'x')))};
    file.execute("update YG set XM = ? where ID = 2", p);
  }
  // Into a database the copy makes: dropped again.
  std::ostringstream progress;
  try {
    rvz::client::migrateAccountSet(file_, target(made_), progress);
    FAIL() << "the copy took a text longer than its column";
  } catch (const rvz::data::DataError& e) {
    EXPECT_NE(std::string(e.what()).find("YG"), std::string::npos) << e.what();
  }
  EXPECT_FALSE(exists(made_));
  // Into an empty database that was there: kept, and still empty.
  try {
    rvz::client::migrateAccountSet(file_, db_.connectionString(), progress);
    FAIL() << "the copy took a text longer than its column";
  } catch (const rvz::data::DataError&) {
  }
  rvz::data::Connection db(db_.connectionString());
  EXPECT_TRUE(userTables(db).empty());
}

TEST_F(Migrate, QuibMigrateShowsAProgressLinePerTable) {
  const std::string out = (root_ / "migrate.out").string();
  const std::string cmd =
      std::string(RVZ_QUIB_EXE) + " migrate " + file_.string() + " '" + target(made_) + "' 2> " + out;
  ASSERT_EQ(std::system(cmd.c_str()), 0) << rvz::testing::slurp(out);
  const std::string text = rvz::testing::slurp(out);
  rvz::data::Connection file(fileString());
  for (const auto& t : userTables(file)) EXPECT_NE(text.find(t + ": "), std::string::npos) << t;
  // Once more: refused, exit 1.
  EXPECT_NE(std::system(cmd.c_str()), 0);
}

}  // namespace
