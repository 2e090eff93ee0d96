// A scratch home for service-object tests: the account registry and the
// sample company database (behind drive D:, where Cn's declared connection
// string points), both created from the built-in schema. A test may take
// the company database from the test cluster of RVZ_TEST_PG instead
// (useServer): a database with the same schema, which a data service object
// reaches through the home's link settings (connectCompany).
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "catalogue/schema.h"
#include "tests/platform/data/pg_test_support.h"
#include "platform/data/connection.h"
#include "platform/files/files.h"
#include "platform/packets/packet_reader.h"
#include "platform/packets/packet_writer.h"
#include "services/dms.h"
#include "tests/support/scratch_folder.h"

namespace rvz::services::testing {

// Which kind of account set a test's company database is.
enum class AccountSet { Access, Server };

inline std::string accountSetName(const ::testing::TestParamInfo<AccountSet>& info) {
  return info.param == AccountSet::Access ? "Access" : "Server";
}

class ServiceHome : public ::testing::Test {
 protected:
  void SetUp() override {
    saveEnv("RVZ_HOME", home_.string());
    saveEnv("RVZ_DRIVE_D", (home_ / "d").string());
    std::filesystem::create_directories(home_ / "data");
    std::filesystem::create_directories(home_ / "d" / "Dediriva" / "Server" / "Data" / "Sample");
    // Creating the schema takes a while: it is built once per process and
    // copied for every test.
    static const testsupport::ScratchFolder templates{"svc_schema"};
    static const bool created = [] {
      createDatabase((templates / "company.mdb").string(), catalogue::companySchemaStatements());
      createDatabase((templates / "registry.mdb").string(), catalogue::registrySchemaStatements());
      return true;
    }();
    (void)created;
    std::filesystem::copy_file(templates / "company.mdb",
                               home_ / "d" / "Dediriva" / "Server" / "Data" / "Sample" / "DaZiva.mdb");
    std::filesystem::copy_file(templates / "registry.mdb", home_ / "data" / "DoDar.mdb");
    company_ = jetString("D:\\Dediriva\\Server\\Data\\Sample\\DaZiva.mdb");
  }

  void TearDown() override {
    if (server_) server_->drop();
    for (auto& [name, value, had] : env_) {
      if (had)
        setenv(name.c_str(), value.c_str(), 1);
      else
        unsetenv(name.c_str());
    }
  }

  static std::string jetString(const std::string& path) {
    return "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + path + ";Jet OLEDB:Database Password=tarqumel";
  }

  static std::string createDatabase(const std::string& path, const std::vector<std::string>& ddl) {
    files::writeFile(files::resolvePath(path), "");
    std::string cs = jetString(path);
    data::Connection cn(cs);
    data::Transaction t(cn);  // one commit for the whole schema
    for (const auto& s : ddl) cn.execute(s);
    t.commit();
    cn.close();
    return cs;
  }

  // Runs statements on the sample company database outside any service object.
  void company(const std::vector<std::string>& statements) {
    data::Connection cn(company_);
    for (const auto& s : statements) cn.execute(s);
  }

  // The company database becomes a fresh database with the company schema
  // on the test cluster, and the home's RoVezevu.ini links to it. False
  // (nothing changed) when no test cluster is set.
  bool useServer() {
    // The schema is made once per process into a template database, which
    // each test's database is copied from.
    static const std::string schemaTemplate = [] {
      data::testing::PgDatabase t;
      if (!t.create()) return std::string();
      {
        data::Connection cn(t.connectionString());
        data::Transaction tx(cn);
        for (const auto& s : catalogue::companySchemaStatements()) cn.execute(s);
        tx.commit();
      }
      static const std::string name = t.name();
      static const std::string admin = t.withCatalog("postgres");
      std::atexit([] { data::testing::pgRaw(admin, "DROP DATABASE IF EXISTS " + name + " WITH (FORCE)"); });
      return name;
    }();
    if (schemaTemplate.empty()) return false;
    server_ = std::make_unique<data::testing::PgDatabase>();
    server_->create(schemaTemplate);
    company_ = server_->connectionString();
    const auto cs = data::ConnectionString::parse(company_);
    std::ofstream(home_ / "RoVezevu.ini", std::ios::binary)
        << "[Connection]\r\nServerName=" << cs.value("Data Source") << "\r\nDatabaseName=" << server_->name()
        << "\r\nUserId=" << cs.value("User ID") << "\r\n";
    return true;
  }
  bool onServer() const { return server_ != nullptr; }

  // Points a data service object's Cn at the company database: the
  // declared one stands for the Access set; a server set is chosen as a
  // client chooses it.
  void connectCompany(TDatas& d) {
    if (server_) {
      ASSERT_EQ(d.ConnectAct(1, u"", u"", u"", u""), 0);
    }
  }

  testsupport::ScratchFolder scratch_{"svc"};
  const std::filesystem::path home_ = scratch_.path();
  std::string company_;
  std::unique_ptr<data::testing::PgDatabase> server_;

 private:
  void saveEnv(const std::string& name, const std::string& value) {
    const char* old = getenv(name.c_str());
    env_.push_back({name, old ? old : "", old != nullptr});
    setenv(name.c_str(), value.c_str(), 1);
  }
  struct Saved {
    std::string name, value;
    bool had;
  };
  std::vector<Saved> env_;
};

// A fetch through AS_GetRecords with the usual arguments.
struct Fetch {
  Variant packet;
  int32_t recsOut = -99;
  Variant params;
};

inline Fetch fetch(TDatas& d, const std::u16string& provider, int32_t count, int32_t options = 1,
                   const std::u16string& commandText = u"", Variant params = Variant()) {
  Fetch f;
  f.params = std::move(params);
  Variant owner;
  f.packet = d.host().AS_GetRecords(provider, count, f.recsOut, options, commandText, f.params, owner);
  return f;
}

inline packets::Packet decoded(const Variant& v) { return packets::decodePacket(v); }

// The failure text of a call that must fail.
template <class F>
std::string failureOf(F&& f) {
  try {
    f();
  } catch (const std::exception& e) {
    return e.what();
  }
  ADD_FAILURE() << "the call did not fail";
  return {};
}

}  // namespace rvz::services::testing
