// The service methods of Idatas: filters, account sets, clock, table list,
// backup script and compaction, as a client observes them.
#include <gtest/gtest.h>

#include <fstream>
#include <regex>

#include "platform/profile/profile.h"
#include "service_test_support.h"

using namespace rvz;
using namespace rvz::services;
using namespace rvz::services::testing;

namespace {

class ServiceMethods : public ServiceHome {
 protected:
  static Variant pair(const char16_t* name, Variant expr) {
    return Variant(SafeArray::variants({Variant(name), std::move(expr)}));
  }
  std::filesystem::path accountSet(const std::string& name) {
    auto dir = home_ / "data" / name;
    std::filesystem::create_directories(dir);
    std::filesystem::copy_file(home_ / "d" / "Dediriva" / "Server" / "Data" / "Sample" / "DaZiva.mdb",
                               dir / "DaZiva.mdb");
    return dir;
  }
  static std::string readAll(const std::filesystem::path& p) {
    std::ifstream f(p, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(f), {});
  }
};

TEST_F(ServiceMethods, SetFilterNarrowsTheNextFetchAndAnEmptyOneSwitchesItOff) {
  company({"insert into AppMenu (mName, mIndex) values ('a', 1)", "insert into AppMenu (mName, mIndex) values ('b', 2)",
           "insert into AppMenu (mName, mIndex) values ('c', 3)"});
  TDatas d;
  d.SetFilter(pair(u"APPMENU", Variant(u"mIndex >= 2")));
  EXPECT_EQ(fetch(d, u"pAppMenu", -1).recsOut, 2);
  d.SetFilter(pair(u"AppMenu", Variant::null()));
  EXPECT_EQ(fetch(d, u"pAppMenu", -1).recsOut, 3);
  // Refusals leave the filter as it was.
  d.SetFilter(pair(u"AppMenu", Variant(u"mName = 'b'")));
  EXPECT_THROW(d.SetFilter(pair(u"AppMenu", Variant(u"mIndex >>"))), std::exception);
  EXPECT_THROW(d.SetFilter(pair(u"NoSuchSet", Variant(u""))), std::exception);
  EXPECT_THROW(d.SetFilter(Variant(u"AppMenu")), std::exception);
  EXPECT_THROW(d.SetFilter(Variant(SafeArray::variants({Variant(u"AppMenu")}))), std::exception);
  EXPECT_EQ(fetch(d, u"pAppMenu", -1).recsOut, 1);
}

TEST_F(ServiceMethods, GetAccountsAbsorbsEveryFailure) {
  TDatas d;
  d.RemoteDataModuleCreate();
  EXPECT_EQ(d.GetAccounts(), -1);  // empty registry
  {
    data::Connection reg(jetString("data\\DoDar.mdb"));
    reg.execute("insert into Act_DODar (ActName, ActCaption, ActType) values ('Sample', 'Sample', 0)");
  }
  EXPECT_EQ(d.GetAccounts(), 0);
  // The registry query stays open: a fetch of all rows sends them and it is back at its first row.
  EXPECT_EQ(fetch(d, u"dspAccounts", -1).recsOut, 1);
  EXPECT_TRUE(d.findDataset("adsAccounts")->isOpen());
  EXPECT_EQ(fetch(d, u"dspAccounts", -1).recsOut, 1);

  TDatas missing;  // no creation handler: the declared registry path does not exist
  EXPECT_EQ(missing.GetAccounts(), -1);
}

TEST_F(ServiceMethods, ConnectActChoosesTheAccountSetWhileCnIsClosed) {
  auto dir = accountSet("Shop");
  {
    data::Connection cn(jetString("data\\Shop\\DaZiva.mdb"));
    cn.execute("insert into AppMenu (mName, mIndex) values ('shop', 1)");
  }
  TDatas d;
  EXPECT_EQ(d.ConnectAct(0, u"", u"Nowhere", u"", u""), 0);  // not checked: fails at the first open
  EXPECT_FALSE(failureOf([&] { fetch(d, u"pAppMenu", -1); }).empty());
  EXPECT_EQ(d.ConnectAct(0, u"ignored", u"Shop", u"ignored", u"ignored"), 0);
  EXPECT_EQ(d.Cn.connectionString(), "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + home_.string() +
                                         "/data\\Shop\\DaZiva.mdb;Persist Security Info=False;"
                                         "Jet OLEDB:Database Password=tarqumel");
  EXPECT_EQ(fetch(d, u"pAppMenu", -1).recsOut, 1);
  // Cn is open: a second set is only recorded as the company database file.
  accountSet("Other");
  EXPECT_EQ(d.ConnectAct(0, u"", u"Other", u"", u""), 0);
  EXPECT_NE(d.Cn.connectionString().find("Shop"), std::string::npos);
  EXPECT_NE(d.companyDatabaseFile().find("Other"), std::string::npos);
  // An open Cn refuses the SQL Server link's string: the call fails and nothing changes.
  EXPECT_THROW(d.ConnectAct(1, u"srv", u"db", u"sa", u""), std::exception);
  EXPECT_NE(d.companyDatabaseFile().find("Other"), std::string::npos);
  (void)dir;
}

TEST_F(ServiceMethods, ServerClockFormats) {
  TDatas d;
  EXPECT_TRUE(std::regex_match(text::wideToUtf8(d.GetServerDate()), std::regex(R"(\d{4}-\d{2}-\d{2})")));
  EXPECT_TRUE(
      std::regex_match(text::wideToUtf8(d.GetServerDateTime()), std::regex(R"(\d{4}-\d{2}-\d{2} \d{2}:\d{2}:\d{2})")));
}

// The table list and the backup script on both kinds of account set.
class Maintenance : public ServiceMethods, public ::testing::WithParamInterface<AccountSet> {
 protected:
  void SetUp() override {
    ServiceMethods::SetUp();
    if (GetParam() == AccountSet::Server && !useServer()) GTEST_SKIP() << "RVZ_TEST_PG is not set: no test cluster";
    if (!onServer()) {
      accountSet("B");
      company_ = jetString("data\\B\\DaZiva.mdb");
    }
    data::Connection cn(company_);
    for (const auto& t : cn.tables())
      if (t.type == "TABLE") cn.execute("drop table " + t.name);
  }
  void connect(TDatas& d) {
    if (onServer())
      connectCompany(d);
    else
      d.ConnectAct(0, u"", u"B", u"", u"");
  }
};

TEST_P(Maintenance, TableNamesLeaveOutSystemAndReportTables) {
  company({"create table KH (ID LONG)"});
  TDatas d;
  connect(d);
  EXPECT_EQ(d.GetTableNames(), u"KH");
  company({"create table rpt_Sales (ID LONG)", "create table QY1 (ID LONG)", "create view vKH as select * from KH"});
  EXPECT_EQ(d.GetTableNames(), u"KH|QY1");
}

TEST_P(Maintenance, BackupWritesTheScriptOfEveryTableWithRows) {
  company({"create table T (A TEXT(20), B LONG, C MEMO, D YESNO, E DATETIME, F DOUBLE)",
           "insert into T values ('  O''Neil ', 5, 'long text', True, #2008-08-30#, 1.5)",
           "insert into T values ('', Null, Null, False, #2008-08-30 14:25:00#, Null)", "create table Empty1 (A LONG)",
           "create table vi_T (A LONG)", "insert into vi_T values (1)"});
  auto backup = home_ / "drives" / "d" / "backup";
  std::filesystem::create_directories(home_ / "drives" / "d");
  unsetenv("RVZ_DRIVE_D");  // d:\backup\ then lies under the home's drives folder
  TDatas d;
  connect(d);
  EXPECT_EQ(d.BackupData(u""), 1);
  ASSERT_TRUE(std::filesystem::is_directory(backup));
  auto it = std::filesystem::directory_iterator(backup);
  ASSERT_NE(it, std::filesystem::directory_iterator());
  std::string name = it->path().filename().string();
  EXPECT_TRUE(std::regex_match(name, std::regex(R"(\d{14}_备份数据\.txt)"))) << name;
  EXPECT_EQ(readAll(it->path()),
            "delete from T\r\n"
            "insert into T(A,B,C,D,E,F) Values('O''Neil',5,null,True,'2008-8-30',1.5) \r\n\r\n"
            "insert into T(A,B,C,D,E,F) Values('',Null,Null,False,'2008-8-30 14:25:00',Null) \r\n\r\n");
  // Tmp stays open on the last table dumped: another text is refused.
  EXPECT_EQ(failureOf([&] { fetch(d, u"pTmp", -1, 1, u"select * from Empty1"); }),
            "Tmp: Cannot perform this operation on an open dataset");
  // Fetches without a command text read that table from where the dump left it.
  EXPECT_EQ(fetch(d, u"pTmp", -1).recsOut, 0);
}

INSTANTIATE_TEST_SUITE_P(Providers, Maintenance, ::testing::Values(AccountSet::Access, AccountSet::Server),
                         accountSetName);

TEST_F(ServiceMethods, BackupFallsBackToDriveC) {
  accountSet("B");
  setenv("RVZ_DRIVE_D", (home_ / "no" / "such" / "drive").c_str(), 1);
  TDatas d;
  d.ConnectAct(0, u"", u"B", u"", u"");
  EXPECT_EQ(d.BackupData(u""), 1);
  EXPECT_TRUE(std::filesystem::is_directory(home_ / "drives" / "c" / "backup"));
  EXPECT_EQ(profile::getPrivateProfileString("Back", "Dir", "", (home_ / "BackInfo.ini").string()), "c:\\backup");
}

TEST_F(ServiceMethods, CompactionReplacesTheDatabaseOnlyWithACompleteCopy) {
  auto dir = accountSet("C");
  TDatas d;
  EXPECT_THROW(d.CompactDatabase(u"", u""), std::exception);  // no Access set chosen
  d.ConnectAct(0, u"", u"C", u"", u"");
  EXPECT_EQ(fetch(d, u"pAppMenu", -1).recsOut, 0);
  { std::ofstream(dir / "db1.mdb") << "leftover"; }
  { std::ofstream(dir / "DaZiva.$$$") << "leftover"; }
  EXPECT_EQ(d.CompactDatabase(u"x", u"y"), 1);
  EXPECT_FALSE(d.Cn.isOpen());
  EXPECT_TRUE(std::filesystem::exists(dir / "DaZiva.mdb"));
  EXPECT_FALSE(std::filesystem::exists(dir / "db1.mdb"));
  EXPECT_FALSE(std::filesystem::exists(dir / "DaZiva.$$$"));
  EXPECT_EQ(fetch(d, u"pAppMenu", -1).recsOut, 0);  // Cn opens again

  // Another data service holding the database open makes the engine fail.
  TDatas other;
  other.ConnectAct(0, u"", u"C", u"", u"");
  fetch(other, u"pAppMenu", 0);
  d.Cn.close();
  EXPECT_THROW(d.CompactDatabase(u"", u""), std::exception);
  EXPECT_TRUE(std::filesystem::exists(dir / "DaZiva.mdb"));
  EXPECT_FALSE(std::filesystem::exists(dir / "db1.mdb"));
}

}  // namespace
