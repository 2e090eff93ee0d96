// Client SQL and account set names stay within what the Jet dialect and the
// data folder allow: SQLite's own file features are refused with the
// translator's reason and write nothing; names that would add connection
// string keys or leave the data folder are refused at the first open.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <filesystem>

#include "platform/text/text.h"
#include "service_test_support.h"

using namespace rvz;
using namespace rvz::services;
using namespace rvz::services::testing;

namespace {

class Confinement : public ServiceHome {
 protected:
  std::filesystem::path accountSet(const std::string& name) {
    auto dir = home_ / "data" / name;
    std::filesystem::create_directories(dir);
    std::filesystem::copy_file(home_ / "d" / "Dediriva" / "Server" / "Data" / "Sample" / "DaZiva.mdb",
                               dir / "DaZiva.mdb");
    return dir;
  }

  static void execute(TDatas& d, const std::string& sql) {
    Variant params, owner;
    d.host().AS_Execute(u"pTmp", text::utf8ToWide(sql), params, owner);
  }

  // A pragma read on a raw handle of the sample company database.
  std::string pragma(const std::string& name) {
    sqlite3* db = nullptr;
    std::string file = (home_ / "d" / "Dediriva" / "Server" / "Data" / "Sample" / "DaZiva.mdb").string();
    EXPECT_EQ(sqlite3_open_v2(file.c_str(), &db, SQLITE_OPEN_READONLY, nullptr), SQLITE_OK);
    sqlite3_stmt* st = nullptr;
    std::string out;
    if (sqlite3_prepare_v2(db, ("pragma " + name).c_str(), -1, &st, nullptr) == SQLITE_OK &&
        sqlite3_step(st) == SQLITE_ROW)
      out = reinterpret_cast<const char*>(sqlite3_column_text(st, 0));
    sqlite3_finalize(st);
    sqlite3_close(db);
    return out;
  }
};

TEST_F(Confinement, SqliteFileFeaturesAreRefusedAndWriteNothing) {
  const std::string outside = (home_ / "x.db").string();
  const std::string registry = (home_ / "data" / "DoDar.mdb").string();
  const std::string journal = pragma("journal_mode");
  struct Case {
    std::string sql;
  } cases[] = {
      {"VACUUM INTO '" + outside + "'"}, {"ATTACH DATABASE '" + registry + "' AS reg"},
      {"pragma writable_schema=1"},      {"pragma journal_mode=OFF"},
      {"DETACH DATABASE reg"},
  };
  TDatas d;
  for (const auto& c : cases) {
    std::string why = failureOf([&] { execute(d, c.sql); });
    EXPECT_EQ(why.rfind("Syntax error in the command text: ", 0), 0u) << c.sql << ": " << why;
    EXPECT_EQ(why.back(), '.') << why;
    // The object stays usable.
    EXPECT_EQ(fetch(d, u"pTmp", -1, 1, u"select count(*) as N from AppMenu").recsOut, 1) << c.sql;
    fetch(d, u"pTmp", 0, 2);
  }
  EXPECT_FALSE(std::filesystem::exists(outside));
  EXPECT_EQ(pragma("journal_mode"), journal);
  EXPECT_EQ(pragma("integrity_check"), "ok");
}

TEST_F(Confinement, TheTranslatorsReasonReachesTheClient) {
  TDatas d;
  // Not SQLite's "unrecognized token".
  EXPECT_EQ(failureOf([&] { fetch(d, u"pTmp", -1, 1, u"select #2008-08-30 from AppMenu"); }),
            "Syntax error in the command text: unterminated date literal at offset 7.");
}

TEST_F(Confinement, DivisionByZeroFailsInsteadOfGivingNull) {
  company({"insert into AppMenu (mName, mIndex) values ('m', 1)"});
  TDatas d;
  std::string why = failureOf([&] { fetch(d, u"pTmp", -1, 1, u"select 1/0 as X from AppMenu"); });
  EXPECT_NE(why.find("Division by zero"), std::string::npos) << why;
  EXPECT_EQ(fetch(d, u"pTmp", -1, 1, u"select 4/2 as X from AppMenu").recsOut, 1);
}

TEST_F(Confinement, MistypedValuesAreRefusedAndEveryoneCanStillReadTheTable) {
  TDatas d;
  execute(d, "insert into KH (ID, BH, DQID) values (900, 'K900', '7')");  // numeric text is a number
  for (const char* sql : {"insert into KH (ID, BH) values ('abc', 'K901')", "update KH set DQID = 'x' where ID = 900",
                          "insert into KH (ID, DQID) select 902, BH from KH where ID = 900"}) {
    EXPECT_EQ(failureOf([&] { execute(d, sql); }), "Data type mismatch in criteria expression.") << sql;
  }
  EXPECT_EQ(failureOf([&] { execute(d, "insert into KH (ID) values (3000000000)"); }), "Numeric field overflow.");
  TDatas other;
  EXPECT_EQ(fetch(other, u"pTmp", -1, -1, u"select ID, DQID from KH where ID >= 900").recsOut, 1);
  EXPECT_EQ(pragma("integrity_check"), "ok");
}

TEST_F(Confinement, EngineFunctionsAreUndefinedAndNoValueGrowsWithoutBound) {
  company({"insert into AppMenu (mName, mIndex) values ('m', 1)"});
  TDatas d;
  EXPECT_EQ(failureOf([&] { fetch(d, u"pTmp", -1, 1, u"select randomblob(900000000) as X from AppMenu"); }),
            "Undefined function 'randomblob' in expression.");
  EXPECT_EQ(failureOf([&] { execute(d, "update AppMenu set mCaption = zeroblob(900000000)"); }),
            "Undefined function 'zeroblob' in expression.");
  std::string why = failureOf([&] { fetch(d, u"pTmp", -1, 1, u"select Space(900000000) as X from AppMenu"); });
  EXPECT_NE(why.find("too large"), std::string::npos) << why;
  EXPECT_EQ(fetch(d, u"pTmp", -1, 1, u"select Len(Space(10)) as X from AppMenu").recsOut, 1);
}

TEST_F(Confinement, AccountSetNamesThatLeaveTheDataFolderAreRefusedAtTheFirstOpen) {
  accountSet("Sample");
  accountSet("Shop");
  struct Case {
    std::u16string name;
    std::string why;
  } cases[] = {
      {u"x;Data Source=" + text::utf8ToWide(home_.string()) + u"\\data\\DoDar.mdb;y=", "it holds ';'"},
      {u"..\\..\\other\\data\\Sample", "it leads out of the data folder"},
      {u"Sample\\DaZiva.mdb;Mode=Share Exclusive;x=", "it holds ';'"},
      {u"Shop/../../data/Sample", "it leads out of the data folder"},
      {u"/etc", "it is an absolute path"},
  };
  for (const auto& c : cases) {
    TDatas d;
    EXPECT_EQ(d.ConnectAct(0, u"", c.name, u"", u""), 0);
    const std::string name = text::wideToUtf8(c.name);
    const std::string expected = "The account set '" + name + "' cannot be opened: " + c.why +
                                 "; an account set is a folder within the server's data folder.";
    std::string why = failureOf([&] { fetch(d, u"pAppMenu", -1); });
    EXPECT_NE(why.find(expected), std::string::npos) << why;
    EXPECT_FALSE(d.Cn.isOpen());
    why = failureOf([&] { d.CompactDatabase(u"", u""); });
    EXPECT_NE(why.find(expected), std::string::npos) << why;
    // Choosing an ordinary set afterwards works.
    EXPECT_EQ(d.ConnectAct(0, u"", u"Shop", u"", u""), 0);
    EXPECT_EQ(fetch(d, u"pAppMenu", -1).recsOut, 0);
  }
  // An exclusive lock was never taken: another object opens the set at once.
  TDatas other;
  other.ConnectAct(0, u"", u"Sample", u"", u"");
  EXPECT_EQ(fetch(other, u"pAppMenu", -1).recsOut, 0);
}

TEST_F(Confinement, OrdinaryNamesKeepTheirConnectionString) {
  accountSet("Shop");
  TDatas d;
  EXPECT_EQ(d.ConnectAct(0, u"", u"Shop", u"", u""), 0);
  EXPECT_EQ(d.Cn.connectionString(), "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + home_.string() +
                                         "/data\\Shop\\DaZiva.mdb;Persist Security Info=False;"
                                         "Jet OLEDB:Database Password=tarqumel");
}

}  // namespace
