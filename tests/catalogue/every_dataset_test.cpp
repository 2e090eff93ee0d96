// Every dataset of the catalogue served from the sample home of `quib init`:
// each declared SQL runs on the sample and serves rows with exactly its
// declared fields, in order. Also what the sample itself promises: one row
// per row of each dataset's table (no dangling references), headers that
// add up to their lines, the same data on every build, scaling, rebuilding
// over an old home, and a clear error for a folder that cannot be written.
// The datasets are served from the Access account set and, where
// RVZ_TEST_PG names a test cluster, from the SQL Server set that
// `quib init --server` makes with the same sample.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <tuple>
#include <vector>

#include "catalogue/declaration.h"
#include "catalogue/schema.h"
#include "client/sample/sample_home.h"
#include "client/sample/sample_model.h"
#include "platform/data/connection.h"
#include "platform/data/query.h"
#include "platform/files/files.h"
#include "platform/packets/packet_reader.h"
#include "platform/text/text.h"
#include "services/dms.h"
#include "services/update_table.h"
#include "tests/platform/data/pg_test_support.h"
#include "tests/support/scratch_folder.h"

namespace rvz {
namespace {

namespace fs = std::filesystem;
using catalogue::DatasetDecl;
using catalogue::ModuleDecl;

// Datasets whose declared SQL selects no row by design.
const std::map<std::string, std::string> kEmptyByDesign = {
    {"Xsdd", "reads only the lines of bill 0 (where ZBID = 0); bills are numbered from 1"},
    {"ZC_Gh", "where 1=2: serves the field layout only"},
};

// Datasets whose declared SQL runs on the sample but cannot be served, with
// the failure they give. (Cgdd's computed aMSSL, iif(M.SL > aSHSL, M.SL -
// aSHSL, 0), computes the whole number 0 on every row; it binds because a
// numeric field takes any numeric computed column.)
const std::map<std::string, std::string> kKnownFailures = {};

// What the SQL Server account set cannot serve, with the failure it gives.
const std::map<std::string, std::string> kKnownServerFailures = {};

// Datasets that by their SQL serve not exactly one row per row of their
// update table, and what they serve instead.
const std::map<std::string, std::string> kNotOnePerRow = {
    {"Xsddzb", "the orders dated 30 August 2008"},
    {"CgddHelp", "the open orders (not ZT)"},
    {"XsddHelp", "the open orders (not ZT)"},
    {"HpCkXx", "every warehouse paired with every stock row"},
};

std::string sqlOf(const DatasetDecl& ds) {
  std::string s;
  for (auto line : ds.sql) {
    s += line;
    s += "\r\n";
  }
  return s;
}

std::string jetString(const fs::path& file) {
  return "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + file.string() + ";Jet OLEDB:Database Password=tarqumel";
}

Variant scalar(data::Connection& cn, const std::string& sql) {
  data::Query q("q", &cn);
  q.setCommandText(sql);
  q.open();
  Variant v = q.field(size_t{0}).value();
  q.close();
  return v;
}

int64_t count(data::Connection& cn, const std::string& table) {
  return scalar(cn, "select count(*) from [" + table + "]").toInt64();
}

// Sets an environment variable for the life of the object.
class EnvSetting {
 public:
  EnvSetting(const char* name, const char* value) : name_(name) {
    const char* old = getenv(name);
    had_ = old != nullptr;
    if (had_) old_ = old;
    if (value)
      setenv(name, value, 1);
    else
      unsetenv(name);
  }
  ~EnvSetting() {
    if (had_)
      setenv(name_.c_str(), old_.c_str(), 1);
    else
      unsetenv(name_.c_str());
  }
  EnvSetting(const EnvSetting&) = delete;
  EnvSetting& operator=(const EnvSetting&) = delete;

 private:
  std::string name_, old_;
  bool had_ = false;
};

fs::path scratchFolder(const char* tag) { return testsupport::newScratchFolder(std::string("rvz_sample_") + tag); }

// The sample home the tests share, built once per process.
class SampleHome : public ::testing::Environment {
 public:
  static const fs::path& path() {
    static const fs::path home = [] {
      fs::path p = scratchFolder("home");
      client::buildSampleHome(p);
      return p;
    }();
    return home;
  }
  void TearDown() override {
    std::error_code ec;
    fs::remove_all(path(), ec);
  }
};
const auto* const kEnvironment = ::testing::AddGlobalTestEnvironment(new SampleHome);

// A sample home whose account sets include a SQL Server one on the test
// cluster, built once per process; empty path without a cluster.
class ServerSampleHome : public ::testing::Environment {
 public:
  static const std::string& connectionString() {
    static const std::string cs = [] {
      std::string admin = data::testing::testServer();
      if (admin.empty()) return std::string();
      auto c = data::ConnectionString::parse(admin);
      c.set("Initial Catalog", "rvz_ds_" + std::to_string(::getpid()));
      return c.toString();
    }();
    return cs;
  }
  static const fs::path& path() {
    static const fs::path home = [] {
      if (connectionString().empty()) return fs::path();
      dropDatabase();
      fs::path p = scratchFolder("server_home");
      client::buildSampleHome(p, 0, client::ServerAccountSet{connectionString()});
      built() = true;
      return p;
    }();
    return home;
  }
  void TearDown() override {
    if (!built()) return;
    std::error_code ec;
    fs::remove_all(path(), ec);
    dropDatabase();
  }

 private:
  static bool& built() {
    static bool b = false;
    return b;
  }
  static void dropDatabase() {
    auto c = data::ConnectionString::parse(connectionString());
    const std::string db = c.value("Initial Catalog");
    c.set("Initial Catalog", "postgres");
    data::testing::pgRaw(c.toString(), "DROP DATABASE IF EXISTS " + db + " WITH (FORCE)");
  }
};
const auto* const kServerEnvironment = ::testing::AddGlobalTestEnvironment(new ServerSampleHome);

enum class AccountSet { Access, Server };

// What one fetch of a dataset served.
struct Served {
  bool failed = false;
  std::string failure;
  std::vector<std::string> columns;
  size_t rows = 0;
  int32_t recsOut = -1;
  Variant packet;
};

Served fetchAll(services::TDatas& d, const DatasetDecl& ds) {
  Served s;
  try {
    Variant params, owner;
    s.packet = d.host().AS_GetRecords(text::utf8ToWide(ds.provider), -1, s.recsOut, 1, u"", params, owner);
    packets::Packet p = packets::decodePacket(s.packet);
    for (const auto& c : p.columns()) s.columns.push_back(c.name);
    s.rows = p.rowCount();
  } catch (const std::exception& e) {
    s.failed = true;
    s.failure = e.what();
  }
  return s;
}

// A data service object connected to the account set Sample of a home, or
// to its SQL Server account set (through the home's link settings).
class Connected {
 public:
  explicit Connected(const fs::path& home, AccountSet set = AccountSet::Access)
      : env_("RVZ_HOME", home.c_str()), drive_("RVZ_DRIVE_D", nullptr) {
    d_.RemoteDataModuleCreate();
    result_ =
        set == AccountSet::Access ? d_.ConnectAct(0, u"", u"Sample", u"", u"") : d_.ConnectAct(1, u"", u"", u"", u"");
  }
  services::TDatas& operator*() { return d_; }
  int32_t result() const { return result_; }

 private:
  EnvSetting env_, drive_;
  services::TDatas d_;
  int32_t result_ = -1;
};

std::vector<std::string> registryColumns(std::string_view table) {
  // The columns of a registry table in the order its DDL declares them.
  for (const auto& s : catalogue::registrySchemaStatements()) {
    if (s.find("CREATE TABLE " + std::string(table) + " ") != 0) continue;
    std::vector<std::string> out;
    size_t pos = s.find('\n');
    while (pos != std::string::npos) {
      size_t next = s.find('\n', pos + 1);
      std::string line = s.substr(pos + 1, next == std::string::npos ? std::string::npos : next - pos - 1);
      pos = next;
      size_t b = line.find_first_not_of(' ');
      if (b == std::string::npos || line[b] == ')' || line.compare(b, 10, "CONSTRAINT") == 0) continue;
      out.push_back(line.substr(b, line.find(' ', b) - b));
    }
    return out;
  }
  return {};
}

// ---------------------------------------------------------------- every dataset

class EveryDataset : public ::testing::TestWithParam<std::tuple<AccountSet, size_t>> {};

TEST_P(EveryDataset, ServesRowsWithExactlyItsDeclaredFields) {
  const auto [set, moduleIndex] = GetParam();
  const ModuleDecl& module = catalogue::dataServiceModules()[moduleIndex];
  const bool server = set == AccountSet::Server;
  if (server && ServerSampleHome::path().empty()) GTEST_SKIP() << "RVZ_TEST_PG is not set: no test cluster";
  const fs::path& home = server ? ServerSampleHome::path() : SampleHome::path();
  Connected d(home, set);
  ASSERT_EQ(d.result(), 0);
  data::Connection company(server ? ServerSampleHome::connectionString()
                                  : jetString(home / "data" / "Sample" / "DaZiva.mdb"));
  data::Connection registry(jetString(home / "data" / "DoDar.mdb"));

  for (const DatasetDecl& ds : module.datasets) {
    const std::string where = std::string(module.name) + "." + std::string(ds.name);
    SCOPED_TRACE(where);
    Served s = fetchAll(*d, ds);
    if (ds.sql.empty()) {
      EXPECT_TRUE(s.failed) << where << ": a free-SQL dataset served rows without a command text";
      EXPECT_EQ(s.failure, std::string(ds.name) + ": Missing SQL property") << where;
      continue;
    }
    const auto& knownFailures = server ? kKnownServerFailures : kKnownFailures;
    auto known = knownFailures.find(std::string(ds.name));
    if (known != knownFailures.end()) {
      EXPECT_EQ(s.failure, known->second) << where << " no longer fails as listed: update kKnownFailures";
      continue;
    }
    if (s.failed) {
      ADD_FAILURE() << where << " cannot be served: " << s.failure;
      continue;
    }

    std::vector<std::string> expected;
    for (const auto& f : ds.fields) expected.emplace_back(f.name);
    if (ds.fields.empty()) expected = registryColumns(*services::updateTableName(sqlOf(ds)));
    EXPECT_EQ(s.columns, expected) << where << " serves other columns than it declares";
    EXPECT_EQ(s.recsOut, static_cast<int32_t>(s.rows)) << where;

    auto empty = kEmptyByDesign.find(std::string(ds.name));
    if (empty != kEmptyByDesign.end()) {
      EXPECT_EQ(s.rows, 0u) << where << " is listed as serving no row (" << empty->second << ") but serves some";
      continue;
    }
    EXPECT_GE(s.rows, 1u) << where << " serves no row on the sample";

    // One row per row of its table: an inner join to a missing row would
    // drop rows, a join to a duplicated key would repeat them.
    if (kNotOnePerRow.count(std::string(ds.name))) continue;
    auto table = services::updateTableName(sqlOf(ds));
    ASSERT_TRUE(table.has_value()) << where;
    data::Connection& cn = ds.connection == catalogue::Connection::Cn ? company : registry;
    EXPECT_EQ(static_cast<int64_t>(s.rows), count(cn, *table))
        << where << " does not serve every row of " << *table << " once";
  }
}

INSTANTIATE_TEST_SUITE_P(Catalogue, EveryDataset,
                         ::testing::Combine(::testing::Values(AccountSet::Access, AccountSet::Server),
                                            ::testing::Range(size_t{0}, catalogue::dataServiceModules().size())),
                         [](const ::testing::TestParamInfo<std::tuple<AccountSet, size_t>>& info) {
                           return std::string(std::get<0>(info.param) == AccountSet::Access ? "Access_" : "Server_") +
                                  std::string(catalogue::dataServiceModules()[std::get<1>(info.param)].name);
                         });

TEST(SampleHomeTest, FilteredDatasetsServeWhatTheirConditionsSelect) {
  Connected d(SampleHome::path());
  data::Connection company(jetString(SampleHome::path() / "data" / "Sample" / "DaZiva.mdb"));
  struct Case {
    const char* dataset;
    const char* expectedRows;  // the same selection, written plainly
  };
  const Case cases[] = {
      {"Xsddzb", "select count(*) from XSDDZB where RQ = #2008-08-30#"},
      {"CgddHelp", "select count(*) from CGDDZB where not ZT"},
      {"XsddHelp", "select count(*) from XSDDZB where not ZT"},
      {"HpCkXx", "select (select count(*) from CK) * (select count(*) from HPKC)"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.dataset);
    const DatasetDecl* ds = nullptr;
    for (const auto& m : catalogue::dataServiceModules())
      for (const auto& x : m.datasets)
        if (x.name == c.dataset) ds = &x;
    ASSERT_NE(ds, nullptr);
    Served s = fetchAll(*d, *ds);
    ASSERT_FALSE(s.failed) << s.failure;
    int64_t expected = scalar(company, c.expectedRows).toInt64();
    EXPECT_GE(expected, 1);
    EXPECT_EQ(static_cast<int64_t>(s.rows), expected);
  }
}

// ---------------------------------------------------------------- the home

TEST(SampleHomeTest, RegistryListsTheSampleAccountSet) {
  data::Connection registry(jetString(SampleHome::path() / "data" / "DoDar.mdb"));
  EXPECT_EQ(count(registry, "Act_DODar"), 1);
  EXPECT_EQ(scalar(registry, "select ActName from Act_DODar").toUtf8(), "Sample");
  EXPECT_EQ(scalar(registry, "select ActType from Act_DODar").toInt32(), 0);
  EXPECT_EQ(count(registry, "VersionInfor"), 1);
  EnvSetting home("RVZ_HOME", SampleHome::path().c_str());
  services::TDatas d;
  d.RemoteDataModuleCreate();
  EXPECT_EQ(d.GetAccounts(), 0);
}

TEST(SampleHomeTest, DeclaredSampleBehindDriveDServesBeforeConnectAct) {
  EnvSetting home("RVZ_HOME", SampleHome::path().c_str());
  EnvSetting drive("RVZ_DRIVE_D", nullptr);
  services::TDatas d;
  d.RemoteDataModuleCreate();
  int32_t recs = 0;
  Variant params, owner;
  Variant packet = d.host().AS_GetRecords(u"pKh", -1, recs, 1, u"", params, owner);
  data::Connection company(jetString(SampleHome::path() / "data" / "Sample" / "DaZiva.mdb"));
  EXPECT_EQ(recs, count(company, "KH"));
  EXPECT_GE(recs, 1);
}

TEST(SampleHomeTest, BillHeadersAddUpToTheirLines) {
  data::Connection cn(jetString(SampleHome::path() / "data" / "Sample" / "DaZiva.mdb"));
  // Goods bills: header amount = sum of quantity times price over the lines,
  // and each line is priced as its goods item: retail (JJJ) on sales, cost
  // (JJ) elsewhere.
  struct Family {
    const char* header;
    const char* lines;
    const char* price;
  };
  const Family goodsFamilies[] = {
      {"CGSQZB", "CGSQ", "JJ"},
      {"CGDDZB", "CGDD", "JJ"},
      {"CGSHZB", "CGSH", "JJ"},
      {"CGTHZB", "CGTH", "JJ"},
      {"XSDDZB", "XSDD", "JJJ"},
      {"XSKDZB", "XSKD", "JJJ"},
      {"XSTHZB", "XSTH", "JJJ"},
      {"LSKDZB", "LSKD", "JJJ"},
      {"LLZB", "LL", "JJ"},
      {"TLZB", "TL", "JJ"},
      {"CPJCZB", "CPJC", "JJ"},
      {"KCPDZB", "KCPD", "JJ"},
      {"CHTJZB", "CHTJ", "JJ"},
      {"CKDBZB", "CKDB", "JJ"},
      {"QTKCBDZB", "QTKCBD", "JJ"},
      {"SC_SCJHZB", "SC_SCJH", "JJ"},
      {"SC_ProduceOrderZB", "SC_ProduceOrder", "JJ"},
      {"SC_WtjgZB", "SC_Wtjg", "JJ"},
  };
  for (const auto& f : goodsFamilies) {
    SCOPED_TRACE(f.header);
    std::string h = f.header, l = f.lines, price = f.price;
    EXPECT_EQ(scalar(cn, "select count(*) from " + h + " Z where abs(Z.JE - (select sum(M.SL * M.DJ) from " + l +
                             " M where M.ZBID = Z.ID)) > 0.05")
                  .toInt64(),
              0);
    EXPECT_EQ(scalar(cn, "select count(*) from " + l + " M, HP H where M.HPID = H.ID and M.DJ = H." + price).toInt64(),
              count(cn, l));
  }
  // Money bills: header amount = sum of the lines' amounts.
  for (const auto& f : {std::pair{"FYKZZB", "FYKZ"}, std::pair{"QTSRZB", "QTSR"}, std::pair{"CGFKZB", "CGFK"},
                        std::pair{"XSSKZB", "XSSK"}}) {
    SCOPED_TRACE(f.first);
    std::string h = f.first, l = f.second;
    EXPECT_EQ(scalar(cn, "select count(*) from " + h + " Z where abs(Z.JE - (select sum(M.JE) from " + l +
                             " M where M.ZBID = Z.ID)) > 0.005")
                  .toInt64(),
              0);
  }
  // A payment settles the receipt it names, for that receipt's amount.
  EXPECT_EQ(scalar(cn,
                   "select count(*) from CGFK M, CGSHZB S where M.SRCBillNo = S.DJBH and M.DDID = S.ID "
                   "and abs(M.FKJE - S.JE) < 0.005")
                .toInt64(),
            count(cn, "CGFK"));
  // A receipt line follows the order line of the same number: same goods.
  EXPECT_EQ(scalar(cn, "select count(*) from CGSH S, CGDD D where S.DDID = D.ZBID and S.HH = D.HH and S.HPID = D.HPID")
                .toInt64(),
            count(cn, "CGSH"));
}

TEST(SampleHomeTest, TreesHaveRootsAndParentsThatExist) {
  data::Connection cn(jetString(SampleHome::path() / "data" / "Sample" / "DaZiva.mdb"));
  struct Tree {
    const char* table;
    const char* key;
    const char* parent;
  };
  for (const Tree& t :
       {Tree{"DQ", "ID", "ParentCode"}, Tree{"BM", "ID", "ParentCode"}, Tree{"Pub_ItemType", "ItemType", "ParentCode"},
        Tree{"Pub_Project", "ItemType", "ParentCode"}, Tree{"project", "id", "Pid"}, Tree{"zc_ItemType", "id", "Pid"},
        Tree{"Wy_Project", "id", "Pid"}, Tree{"CY_House", "ID", "ParentCode"}}) {
    SCOPED_TRACE(t.table);
    std::string table = t.table, key = t.key, parent = t.parent;
    EXPECT_GE(scalar(cn, "select count(*) from " + table + " where " + parent + " = 0").toInt64(), 1);
    EXPECT_GE(scalar(cn, "select count(*) from " + table + " where " + parent + " <> 0").toInt64(), 1);
    const std::string orphans = "select count(*) from " + table + " C where C." + parent + " <> 0 and not exists " +
                                "(select * from " + table + " P where P." + key + " = C." + parent + ")";
    EXPECT_EQ(scalar(cn, orphans).toInt64(), 0);
  }
}

// ---------------------------------------------------------------- building

// Every dataset's packet, by provider.
std::map<std::string, Variant> everyPacket(const fs::path& home) {
  Connected d(home);
  std::map<std::string, Variant> out;
  for (const auto& m : catalogue::dataServiceModules())
    for (const auto& ds : m.datasets)
      if (!ds.sql.empty()) out[std::string(ds.provider)] = fetchAll(*d, ds).packet;
  return out;
}

TEST(SampleHomeTest, EveryBuildHoldsTheSameData) {
  fs::path again = scratchFolder("again");
  client::buildSampleHome(again);
  auto first = everyPacket(SampleHome::path());
  auto second = everyPacket(again);
  ASSERT_EQ(first.size(), second.size());
  for (const auto& [provider, packet] : first) EXPECT_TRUE(packet == second[provider]) << provider;
  fs::remove_all(again);
}

TEST(SampleHomeTest, RowsScaleGoodsCustomersAndBillLines) {
  fs::path big = scratchFolder("big");
  client::buildSampleHome(big, 600);
  data::Connection cn(jetString(big / "data" / "Sample" / "DaZiva.mdb"));
  EXPECT_EQ(count(cn, "HP"), 600);
  EXPECT_EQ(count(cn, "KH"), 600);
  for (const char* lines : {"CGDD", "XSKD", "LSKD", "KCPD", "FYKZ", "SC_BOM", "Wy_ZHBX", "CY_KD"}) {
    SCOPED_TRACE(lines);
    EXPECT_EQ(count(cn, lines), 600);
  }
  EXPECT_EQ(count(cn, "XSKDZB"), 200);
  // Bill numbers stay unique and fit their columns when there are many.
  EXPECT_EQ(scalar(cn, "select count(*) from (select distinct DJBH from XSKDZB)").toInt64(), 200);
  EXPECT_EQ(scalar(cn, "select max(len(DJBH)) from XSKDZB").toInt64(), 12);
  // Lines name existing goods and headers.
  EXPECT_EQ(scalar(cn, "select count(*) from XSKD where HPID not in (select ID from HP)").toInt64(), 0);
  EXPECT_EQ(scalar(cn, "select count(*) from XSKD where ZBID not in (select ID from XSKDZB)").toInt64(), 0);
  cn.close();

  Connected d(big);
  for (const auto& m : catalogue::dataServiceModules())
    for (const auto& ds : m.datasets)
      if (ds.name == std::string_view("Hp") || ds.name == std::string_view("Xskd")) {
        Served s = fetchAll(*d, ds);
        ASSERT_FALSE(s.failed) << s.failure;
        EXPECT_EQ(s.rows, 600u) << ds.name;
      }
  fs::remove_all(big);
}

TEST(SampleHomeTest, BuildingOverAHomeReplacesItsDatabasesOnly) {
  fs::path home = scratchFolder("rebuild");
  client::buildSampleHome(home);
  const fs::path company = home / "data" / "Sample" / "DaZiva.mdb";
  {
    data::Connection cn(jetString(company));
    cn.execute("delete from KH");
    cn.execute("create table Leftover (ID long)");
  }
  files::writeFile(home / "RoVezevu.ini", "[Connection]\r\n");
  client::buildSampleHome(home);
  data::Connection cn(jetString(company));
  EXPECT_GE(count(cn, "KH"), 1);
  for (const auto& t : cn.tables()) EXPECT_NE(t.name, "Leftover") << "the old database survived";
  cn.close();
  EXPECT_TRUE(fs::exists(home / "RoVezevu.ini"));
  for (const auto& e : fs::recursive_directory_iterator(home)) EXPECT_NE(e.path().extension(), ".part") << e.path();
  fs::remove_all(home);
}

TEST(SampleHomeTest, AFolderThatCannotBeWrittenIsNamedInTheError) {
  fs::path scratch = scratchFolder("blocked");
  const fs::path blocker = scratch / "blocker";
  files::writeFile(blocker, "a file where a folder should be");
  for (const fs::path& dir : {blocker, blocker / "home"}) {
    SCOPED_TRACE(dir.string());
    try {
      client::buildSampleHome(dir);
      ADD_FAILURE() << "built a home under a file";
    } catch (const files::FileError& e) {
      EXPECT_NE(std::string(e.what()).find(blocker.string()), std::string::npos) << e.what();
    }
  }
  fs::remove_all(scratch);
}

// ---------------------------------------------------------------- the builder's checks

TEST(SampleBuilderTest, SchemaReaderTakesTheColumnsAndTypesOfTheDdl) {
  auto tables = client::sample::readSchemaTables(
      {"CREATE TABLE T (\n  ID LONG,\n  MC ANSIVARCHAR(16),\n  S1 CHAR(50),\n  F_Dj DECIMAL(19,4),\n"
       "  CONSTRAINT PK_T PRIMARY KEY (ID)\n)",
       "CREATE INDEX IX_T ON T (MC)"});
  ASSERT_EQ(tables.size(), 1u);
  const auto& t = tables[0];
  EXPECT_EQ(t.name, "T");
  ASSERT_EQ(t.columns.size(), 4u);
  EXPECT_EQ(t.columns[1].name, "MC");
  EXPECT_EQ(t.columns[1].type, client::sample::ColumnType::AnsiText);
  EXPECT_EQ(t.columns[1].size, 16);
  EXPECT_EQ(t.columns[2].type, client::sample::ColumnType::Char);
  EXPECT_EQ(t.columns[3].type, client::sample::ColumnType::Decimal);
  EXPECT_NE(t.column("mc"), nullptr);

  struct Bad {
    const char* ddl;
    const char* message;
  };
  for (const Bad& b : {Bad{"CREATE TABLE U (\n  ID NUMBERISH,\n)", "Table U: unknown column type in 'ID NUMBERISH'"},
                       Bad{"CREATE TABLE U (\n  ID\n)", "Table U: cannot read the column line 'ID'"},
                       Bad{"CREATE TABLE U (\n)", "Table U: no columns found"}}) {
    try {
      client::sample::readSchemaTables({b.ddl});
      ADD_FAILURE() << b.ddl;
    } catch (const std::invalid_argument& e) {
      EXPECT_STREQ(e.what(), b.message);
    }
  }
}

// Fills a scratch database of one table with a plan, then tries the same
// plan once more: the failure text. `probe`, when given, is run on the table
// afterwards and its value stored in `probed`.
std::string fillWith(const client::sample::TablePlan& plan, const char* probe = nullptr, int64_t* probed = nullptr) {
  fs::path dir = scratchFolder("filler");
  const fs::path file = dir / "t.mdb";
  files::writeFile(file, "");
  const std::vector<std::string> ddl = {
      "CREATE TABLE T (\n  ID LONG,\n  KHID LONG,\n  MC ANSIVARCHAR(10),\n  QC TEXT(10),\n"
      "  CONSTRAINT PK_T PRIMARY KEY (ID)\n)"};
  std::string failure;
  {
    data::Connection cn(jetString(file));
    for (const auto& s : ddl) cn.execute(s);
    auto tables = client::sample::readSchemaTables(ddl);
    client::sample::SampleModel model(0);
    client::sample::TableFiller filler(cn, model, tables);
    try {
      filler.fill(plan);
      filler.fill(plan);  // a second plan for the same table
    } catch (const std::logic_error& e) {
      failure = e.what();
    }
    if (probe) *probed = scalar(cn, probe).toInt64();
  }
  fs::remove_all(dir);
  return failure;
}

TEST(SampleBuilderTest, FillerRefusesPlansThatDoNotFitTheSchema) {
  using client::sample::TablePlan;
  namespace gen = client::sample::gen;
  auto plan = [](std::string table) {
    TablePlan p;
    p.table = std::move(table);
    p.rows = 2;
    return p;
  };
  struct Case {
    TablePlan plan;
    const char* failure;
  };
  const Case cases[] = {
      {plan("Nope"), "Sample plan for table Nope: the schema has no such table"},
      {plan("T").set("Colour", gen::text("red")), "Sample plan for table T: no column Colour"},
      // Six Chinese characters take 12 bytes in code page 936: too many for
      // a narrow column of 10, fine in a wide one.
      {plan("T").set("MC", gen::text("北京华联商厦")), "Sample value '北京华联商厦' is too long for T.MC (10)"},
      {plan("T").set("QC", gen::text("北京华联商厦股份有限公司")),
       "Sample value '北京华联商厦股份有限公司' is too long for T.QC (10)"},
      {plan("T").set("QC", gen::text("北京华联商厦")), "Sample plan for table T given twice"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.failure);
    EXPECT_EQ(fillWith(c.plan), c.failure);
  }
  // Columns the plan leaves out follow the general rules: the key numbers
  // the rows, a reference names one of the 8 customers, a text stays null.
  int64_t matching = 0;
  EXPECT_EQ(fillWith(plan("T").set("MC", gen::text("北京华联")),
                     "select count(*) from T where ID in (1, 2) and KHID between 1 and 8 and QC is null", &matching),
            "Sample plan for table T given twice");
  EXPECT_EQ(matching, 2);
}

}  // namespace
}  // namespace rvz
