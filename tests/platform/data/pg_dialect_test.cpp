// The same command texts on both providers: a table made with Jet DDL gives
// the same column names, kinds and widths, and the same values, from a
// SQL Server account set (PostgreSQL) as from an Access one (SQLite).
#include <gtest/gtest.h>

#include "catalogue/schema.h"
#include "platform/data/connection.h"
#include "platform/data/jet/jet_translator.h"
#include "platform/data/query.h"
#include "tests/platform/data/data_test_support.h"
#include "tests/platform/data/pg_test_support.h"

namespace rvz::data {
namespace {

using testing::PgDatabase;

class PgDialectTest : public testing::TempHome {
 protected:
  void SetUp() override {
    TempHome::SetUp();
    if (!jet::translateDetailed("SELECT 1", nullptr, nullptr, jet::Target::Postgres).translated)
      GTEST_SKIP() << "this build's translator writes no PostgreSQL queries yet";
    if (!db_.create()) GTEST_SKIP() << "RVZ_TEST_PG is not set: no PostgreSQL test cluster";
    jet_ = std::make_unique<Connection>(newDatabase());
    server_ = std::make_unique<Connection>(db_.connectionString());
  }
  void TearDown() override {
    server_.reset();
    jet_.reset();
    db_.drop();
    TempHome::TearDown();
  }

  // Runs the same text on both.
  void both(const std::string& sql, std::vector<Parameter> params = {}) {
    EXPECT_EQ(jet_->execute(sql, params), server_->execute(sql, params)) << sql;
  }

  // The column descriptions and values of a query, as text.
  std::vector<std::string> described(Connection& cn, const std::string& sql) {
    Query q;
    q.setConnection(&cn);
    q.setCommandText(sql);
    q.open();
    std::vector<std::string> out;
    for (size_t i = 0; i < q.fieldCount(); ++i) {
      const ColumnInfo& c = q.field(i).info();
      out.push_back(c.name + " " + std::string(kindName(c.kind)) + "(" + std::to_string(c.size) + "," +
                    std::to_string(c.precision) + "," + std::to_string(c.scale) + ")" + (c.currency ? " cy" : "") +
                    (c.fixed ? " fixed" : ""));
    }
    for (; !q.eof(); q.next())
      for (size_t i = 0; i < q.fieldCount(); ++i) out.push_back(q.field(i).isNull() ? "Null" : q.field(i).textUtf8());
    return out;
  }

  PgDatabase db_;
  std::unique_ptr<Connection> jet_, server_;
};

// A database dropped and made again under the same name while this process
// runs lacks the collations and domains that this process saw set up
// before: the first command that misses them sets the database up again
// and is run again.
TEST_F(PgDialectTest, ADatabaseMadeAgainUnderTheSameNameIsSetUpAgain) {
  server_->execute("create table T (ID integer, MC varchar(10))");
  server_.reset();
  const std::string name = db_.name();
  testing::pgRaw(db_.withCatalog("postgres"), "DROP DATABASE " + name + " WITH (FORCE)");
  testing::pgRaw(db_.withCatalog("postgres"), "CREATE DATABASE " + name);
  server_ = std::make_unique<Connection>(db_.connectionString());
  ASSERT_NO_THROW(server_->execute("create table T (ID integer, MC varchar(10))"));
  server_->execute("insert into T (ID, MC) values (1, 'abc')");
  jet_->execute("create table T (ID integer, MC varchar(10))");
  jet_->execute("insert into T (ID, MC) values (1, 'abc')");
  // Compared without regard to case, as the set-up's collation makes it.
  const std::string sql = "select MC from T where MC = 'ABC'";
  const auto got = described(*server_, sql);
  EXPECT_EQ(got, described(*jet_, sql));
  EXPECT_EQ(got.back(), "abc");
}

TEST_F(PgDialectTest, TablesAndQueriesLookTheSameOnBothProviders) {
  both(
      "CREATE TABLE Goods (ID COUNTER PRIMARY KEY, SPBH ANSIVARCHAR(20), MC TEXT(40), DW CHAR(4), SL SHORT, "
      "KC LONG, JG CURRENCY, ZK DECIMAL(5,2), ZL DOUBLE, TY YESNO, RQ DATETIME, BZ MEMO, TP LONGBINARY)");
  both("INSERT INTO Goods (SPBH, MC, DW, SL, KC, JG, ZK, ZL, TY, RQ, BZ) VALUES (?,?,?,?,?,?,?,?,?,?,?)",
       {Parameter::of(Variant::bstrUtf8("A-1")), Parameter::of(Variant::bstrUtf8("Tee 绿茶")),
        Parameter::of(Variant::bstrUtf8("box")), Parameter::of(Variant::i2(3)), Parameter::of(Variant::i4(100)),
        Parameter::of(Variant::cy(Currency::parse("12.5"))), Parameter::of(Variant::r8(0.25)),
        Parameter::of(Variant::r8(1.5)), Parameter::of(Variant::boolean(true)),
        Parameter::of(Variant::bstrUtf8("2024-03-01 08:30:00")), Parameter::of(Variant::null())});
  both("INSERT INTO Goods (SPBH, MC, TY) VALUES ('b-2', 'coffee', 0)");
  for (const char* sql : {"SELECT * FROM Goods ORDER BY ID", "SELECT ID, MC FROM Goods WHERE MC = 'TEE 绿茶'",
                          "SELECT Count(*) AS N, Max(RQ) AS Latest, Sum(JG) AS Total FROM Goods",
                          "SELECT SPBH FROM Goods WHERE SPBH LIKE 'a%' ORDER BY SPBH"})
    EXPECT_EQ(described(*server_, sql), described(*jet_, sql)) << sql;
}

// A text computed from literals (a yes/no column shown as words) is text of
// the computed width on both, never a memo; "*" beside it stands for the
// table's own columns only (not the server's system columns, nor a column
// dropped before).
TEST_F(PgDialectTest, TextComputedFromLiteralsIsTextOnBothProviders) {
  both("CREATE TABLE ZH (ID LONG PRIMARY KEY, YHL YESNO, OLD LONG, MC TEXT(10))");
  both("ALTER TABLE ZH DROP COLUMN OLD");
  both("INSERT INTO ZH (ID, YHL, MC) VALUES (1, -1, 'a')");
  both("INSERT INTO ZH (ID, YHL, MC) VALUES (2, 0, 'b')");
  for (const char* sql : {"select *,iif(YHL,'银行存款类','现金类') as aYHL from ZH order by ID",
                          "select ID, switch(YHL,'是',true,'否') as S from ZH order by ID",
                          "select ID, iif(YHL,MC,'x') as M from ZH order by ID"})
    EXPECT_EQ(described(*server_, sql), described(*jet_, sql)) << sql;
}

// The company schema made with the same statements on both: every table
// is listed alike and describes its columns alike, so the binding rules of
// the catalogue hold on either kind of account set.
TEST_F(PgDialectTest, TheCompanySchemaIsTheSameOnBothProviders) {
  for (const std::string& statement : catalogue::companySchemaStatements()) {
    jet_->execute(statement);
    server_->execute(statement);
  }
  std::vector<std::string> jetTables, serverTables;
  for (const TableInfo& t : jet_->tables())
    if (t.type == "TABLE") jetTables.push_back(t.name);
  for (const TableInfo& t : server_->tables())
    if (t.type == "TABLE") serverTables.push_back(t.name);
  ASSERT_GT(jetTables.size(), 10u);
  EXPECT_EQ(serverTables, jetTables);
  for (const std::string& table : jetTables)
    EXPECT_EQ(described(*server_, "select * from " + table), described(*jet_, "select * from " + table)) << table;
}

}  // namespace
}  // namespace rvz::data
