// Jet SQL semantics on SQLite: translated statements run on a real
// database and their rows compared with what Jet gives.
#include <gtest/gtest.h>

#include "platform/data/jet/jet_dialect.h"
#include "platform/data/jet/jet_translator.h"
#include "tests/platform/data/jet/jet_test_db.h"

namespace rvz::data::jet {
namespace {

using testing::Param;
using testing::Result;
using testing::TestDb;
using Rows = std::vector<std::vector<std::string>>;

class JetSemantics : public ::testing::Test {
 protected:
  void SetUp() override {
    db.exec("CREATE TABLE T (ID LONG, MC TEXT(20), ZT YESNO, SL DOUBLE, RQ DATETIME)");
    db.exec("INSERT INTO T VALUES (1, 'b', True, 10, #2008-08-30#)");
    db.exec("INSERT INTO T VALUES (2, 'A', False, 2.5, #2008-08-30 14:25:00#)");
    db.exec("INSERT INTO T VALUES (3, 'C', Null, Null, #9/1/2008#)");
    db.exec("CREATE TABLE A (ID LONG, N TEXT(10))");
    db.exec("CREATE TABLE B (AID LONG, K LONG)");
    db.exec("CREATE TABLE C (X LONG)");
    db.exec("INSERT INTO A VALUES (1, 'x')");
    db.exec("INSERT INTO A VALUES (2, 'y')");
    db.exec("INSERT INTO A VALUES (3, 'z')");
    db.exec("INSERT INTO B VALUES (1, 10)");
    db.exec("INSERT INTO B VALUES (2, 20)");
    db.exec("INSERT INTO B VALUES (2, 21)");
    db.exec("INSERT INTO C VALUES (7)");
    db.exec("INSERT INTO C VALUES (8)");
  }
  Rows rows(const std::string& sql, const std::vector<Param>& params = {}) { return db.query(sql, params).rows; }
  std::string one(const std::string& sql, const std::vector<Param>& params = {}) { return db.scalar(sql, params); }
  TestDb db;
};

TEST_F(JetSemantics, NotOnYesNoAndComparisonsGiveJetTruthValues) {
  EXPECT_EQ(rows("select ID from T where not ZT"), (Rows{{"2"}}));
  EXPECT_EQ(rows("select ID, not ZT as n from T order by ID"), (Rows{{"1", "0"}, {"2", "-1"}, {"3", "NULL"}}));
  EXPECT_EQ(rows("select ID, ZT = True as c from T order by ID"), (Rows{{"1", "-1"}, {"2", "0"}, {"3", "NULL"}}));
  EXPECT_EQ(rows("select ID from T where ZT = True"), (Rows{{"1"}}));
  EXPECT_EQ(rows("select ID from T where ZT"), (Rows{{"1"}}));
  EXPECT_EQ(rows("select ID from T where not (ID > 1) or ZT = False order by ID"), (Rows{{"1"}, {"2"}}));
  EXPECT_EQ(rows("select (ID > 1) and (ID < 3) as x from T order by ID"), (Rows{{"0"}, {"-1"}, {"0"}}));
  EXPECT_EQ(one("select (1 = 1) + 0"), "-1");
  EXPECT_EQ(one("select not (1 = 2)"), "-1");
  EXPECT_EQ(one("select not not True"), "-1");
  EXPECT_EQ(one("select IsNull(SL) from T where ID = 3"), "-1");
  EXPECT_EQ(one("select 'a' Like 'A*'"), "-1");
  EXPECT_EQ(one("select 5 between 1 and 9"), "-1");
  EXPECT_EQ(one("select 5 in (1, 2)"), "0");
}

TEST_F(JetSemantics, IifAndSwitch) {
  EXPECT_EQ(rows("select iif(ID > 1, 'big', 'small'), iif(ZT, 1, 2) from T order by ID"),
            (Rows{{"small", "1"}, {"big", "2"}, {"big", "2"}}));  // a Null condition is false
  EXPECT_EQ(rows("select switch(ID = 1, 'one', ID = 2, 'two') from T order by ID"), (Rows{{"one"}, {"two"}, {"NULL"}}));
  EXPECT_EQ(one("select Switch(False, 1, True, 2, True, 3)"), "2");
  EXPECT_EQ(one("select IIf(Null, 'y', 'n')"), "n");
}

TEST_F(JetSemantics, AmpersandReadsNullAsEmptyTextButPlusDoesNot) {
  EXPECT_EQ(one("select 'a' & Null"), "a");
  EXPECT_EQ(one("select Null & Null"), "NULL");
  EXPECT_EQ(one("select 1 & 2"), "12");
  EXPECT_EQ(one("select 1.5 & 'x' & SL from T where ID = 1"), "1.5x10");
  EXPECT_EQ(one("select MC & SL from T where ID = 3"), "C");
  EXPECT_EQ(one("select 'a' + Null"), "NULL");
  EXPECT_EQ(one("select 'a' + 'b'"), "ab");
  EXPECT_EQ(one("select '1' + 2"), "3");
  EXPECT_EQ(one("select '中文' & '字'"), "中文字");
}

TEST_F(JetSemantics, ArithmeticOperators) {
  EXPECT_EQ(one("select 7 / 2"), "3.5");
  EXPECT_EQ(one("select 7 \\ 2"), "3");
  EXPECT_EQ(one("select -7 \\ 2"), "-3");
  EXPECT_EQ(one("select 7.6 \\ 2"), "4");  // operands are rounded first
  EXPECT_EQ(one("select 7 mod 3"), "1");
  EXPECT_EQ(one("select -7 Mod 3"), "-1");
  EXPECT_EQ(one("select 5.5 Mod 2"), "0");
  EXPECT_EQ(one("select 2 ^ 10"), "1024");
  EXPECT_EQ(one("select -2 ^ 2"), "-4");
  EXPECT_EQ(one("select 2 ^ -1"), "0.5");
  EXPECT_EQ(one("select 2 + 3 * 4 - 10 / 4"), "11.5");
  EXPECT_EQ(one("select 1 - (2 - 3)"), "2");
  EXPECT_EQ(one("select - -3"), "3");
  EXPECT_EQ(one("select 3 - -True"), "2");
  EXPECT_EQ(one("select 6 Xor 3"), "5");
  EXPECT_EQ(one("select 1 + Null"), "NULL");
  EXPECT_NE(db.errorOf("select 5 \\ 0").find("\\: division by zero"), std::string::npos);
  EXPECT_NE(db.errorOf("select 5 Mod 0").find("Mod: division by zero"), std::string::npos);
}

TEST_F(JetSemantics, DatesAreStoredTextsAndMoveByDays) {
  EXPECT_EQ(rows("select RQ from T order by ID"),
            (Rows{{"2008-08-30 00:00:00"}, {"2008-08-30 14:25:00"}, {"2008-09-01 00:00:00"}}));
  EXPECT_EQ(rows("select ID from T where RQ between #2008-08-30# and #8/31/2008# order by ID"), (Rows{{"1"}, {"2"}}));
  EXPECT_EQ(rows("select ID from T where RQ > #2008-08-30 12:00# order by ID"), (Rows{{"2"}, {"3"}}));
  EXPECT_EQ(one("select #2008-08-30# + 1"), "2008-08-31 00:00:00");
  EXPECT_EQ(one("select #2008-08-30# - 0.5"), "2008-08-29 12:00:00");
  EXPECT_EQ(one("select #2008-08-31# - #2008-08-30 12:00#"), "0.5");
  EXPECT_EQ(one("select DateAdd('d', 2, RQ) from T where ID = 3"), "2008-09-03 00:00:00");
  // Now() and Date() are local time in the stored form.
  std::string now = one("select Now()");
  ASSERT_EQ(now.size(), 19u);
  EXPECT_EQ(now[4], '-');
  EXPECT_EQ(now[10], ' ');
  EXPECT_EQ(one("select Date()"), now.substr(0, 10) + " 00:00:00");
  EXPECT_EQ(one("select Year(Date()) = Year(Now())"), "-1");
  EXPECT_EQ(one("select Time() > #00:00:00# or Time() = #00:00:00#"), "-1");
}

TEST_F(JetSemantics, TextComparisonsIgnoreLetterCase) {
  EXPECT_EQ(rows("select ID from T where MC = 'B'"), (Rows{{"1"}}));
  EXPECT_EQ(rows("select ID from T where UCase(MC) = 'a'"), (Rows{{"2"}}));
  EXPECT_EQ(rows("select ID from T where MC & '' = 'c'"), (Rows{{"3"}}));
  EXPECT_EQ(rows("select ID from T where 'B' = MC"), (Rows{{"1"}}));
  EXPECT_EQ(one("select 'ABC' = 'abc'"), "-1");
  EXPECT_EQ(one("select 'abc' < 'ABD'"), "-1");
  EXPECT_EQ(rows("select ID from T where MC in ('a', 'c') order by ID"), (Rows{{"2"}, {"3"}}));
  EXPECT_EQ(rows("select ID from T where LCase(MC) in ('A', 'C') order by ID"), (Rows{{"2"}, {"3"}}));
  EXPECT_EQ(rows("select ID from T where UCase(MC) between 'a' and 'b' order by ID"), (Rows{{"1"}, {"2"}}));
  EXPECT_EQ(rows("select ID from T where MC > 'b'"), (Rows{{"3"}}));
  EXPECT_EQ(rows("select ID from T where MC like 'a'"), (Rows{{"2"}}));
  EXPECT_EQ(rows("select ID from T where 'X' in (select N from A)"), (Rows{{"1"}, {"2"}, {"3"}}));
  // Sorting and grouping of text expressions ignore case as well.
  EXPECT_EQ(rows("select MC from T order by MC"), (Rows{{"A"}, {"b"}, {"C"}}));
  EXPECT_EQ(rows("select MC & '' as aMC from T order by aMC"), (Rows{{"A"}, {"b"}, {"C"}}));
  EXPECT_EQ(rows("select MC from T order by MC & '' desc"), (Rows{{"C"}, {"b"}, {"A"}}));
  db.exec("INSERT INTO A VALUES (4, 'X')");
  EXPECT_EQ(rows("select count(*) as n from A group by N & '' order by 1 desc"), (Rows{{"2"}, {"1"}, {"1"}}));
  // Numbers compare as numbers.
  EXPECT_EQ(rows("select ID from T where ID + 0 = 2"), (Rows{{"2"}}));
}

TEST_F(JetSemantics, AliasesOfTheSameSelectListAreSubstituted) {
  EXPECT_EQ(rows("select SL as a, a * 2 as b, b + a as c, iif(c > 20, 'hi', 'lo') as d from T order by ID"),
            (Rows{{"10", "20", "30", "hi"}, {"2.5", "5", "7.5", "lo"}, {"NULL", "NULL", "NULL", "lo"}}));
  // A parameter in an aliased expression is bound once however often the
  // alias is used.
  Result r = db.query("select ? as p, p & p as pp, ? as q", {std::string("x"), int64_t{5}});
  EXPECT_EQ(r.rows, (Rows{{"x", "xx", "5"}}));
  // The alias names the column; an alias equal to a column name is the same value.
  EXPECT_EQ(db.query("select T.MC as MC, MC & '!' as aMC from T where ID = 1").rows, (Rows{{"b", "b!"}}));
}

TEST_F(JetSemantics, UnnamedExpressionsAreNamedLikeJet) {
  Result r = db.query("select ID, ID + 1, MC, Len(MC), SL as a, a from T where ID = 1");
  EXPECT_EQ(r.columns, (std::vector<std::string>{"ID", "Expr1000", "MC", "Expr1001", "a", "a"}));
  EXPECT_EQ(r.rows, (Rows{{"1", "2", "b", "1", "10", "10"}}));
}

TEST_F(JetSemantics, ParametersKeepTheirOrderWhereJoinsAreRebuilt) {
  // The ON condition moves in front of the WHERE part; the markers keep
  // their numbers from the original text.
  const char* sql = "select a.ID from A a, B b, a inner join b on a.ID = b.AID and b.K = ? where a.N = ?";
  Translation t = translateDetailed(sql);
  ASSERT_TRUE(t.translated) << t.reason;
  sqlite3_stmt* stmt = nullptr;
  ASSERT_EQ(sqlite3_prepare_v2(db.handle(), t.sql.c_str(), -1, &stmt, nullptr), SQLITE_OK);
  EXPECT_EQ(sqlite3_bind_parameter_count(stmt), 2);
  sqlite3_finalize(stmt);
  EXPECT_EQ(rows(sql, {int64_t{20}, std::string("y")}), (Rows{{"2"}}));
  EXPECT_EQ(rows(sql, {int64_t{10}, std::string("y")}), (Rows{}));
  EXPECT_EQ(rows("select ? & ?, ?", {std::string("a"), std::string("b"), int64_t{3}}), (Rows{{"ab", "3"}}));
}

TEST_F(JetSemantics, JoinsWrittenOverListedAliases) {
  EXPECT_EQ(rows("select a.ID, b.K from A a, B b, a inner join b on a.ID = b.AID order by b.K"),
            (Rows{{"1", "10"}, {"2", "20"}, {"2", "21"}}));
  EXPECT_EQ(rows("select a.ID, b.K from A a, B b, a left join b on a.ID = b.AID order by a.ID, b.K"),
            (Rows{{"1", "10"}, {"2", "20"}, {"2", "21"}, {"3", "NULL"}}));
  // A listed table that no join names stays cross-joined.
  EXPECT_EQ(one("select count(*) from A a, B b, C c, a inner join b on a.ID = b.AID"), "6");
  // The joined operand may come first.
  EXPECT_EQ(rows("select a.ID from A a, B b, b inner join a on a.ID = b.AID where b.K = 10"), (Rows{{"1"}}));
  // Two chains over one alias: both joins hang off the first table.
  EXPECT_EQ(rows("select a.ID, b.K, c.X from A a, B b, C c, a left join b on a.ID = b.AID, "
                 "a left join c on c.X = a.ID + 6 order by a.ID, b.K"),
            (Rows{{"1", "10", "7"}, {"2", "20", "8"}, {"2", "21", "8"}, {"3", "NULL", "NULL"}}));
  Translation t =
      translateDetailed("select * from A a, B b, a left join b on a.ID = b.AID, b left join a on b.AID = a.ID");
  EXPECT_FALSE(t.translated);
  EXPECT_NE(t.reason.find("already joined"), std::string::npos) << t.reason;
}

TEST_F(JetSemantics, ParenthesisedJoinChains) {
  EXPECT_EQ(rows("select a.ID, b.K, c.X from (A a left join B b on a.ID = b.AID) left join C c on c.X = b.K - 13 "
                 "order by a.ID, b.K"),
            (Rows{{"1", "10", "NULL"}, {"2", "20", "7"}, {"2", "21", "8"}, {"3", "NULL", "NULL"}}));
  EXPECT_EQ(rows("select a.ID, b.K from A a left join (B b inner join C c on c.X = b.K - 13) on a.ID = b.AID "
                 "order by a.ID, b.K"),
            (Rows{{"1", "NULL"}, {"2", "20"}, {"2", "21"}, {"3", "NULL"}}));
  EXPECT_EQ(rows("select a.ID from ((A a inner join B b on a.ID = b.AID) inner join C c on c.X = b.K - 13) "
                 "where c.X = 8"),
            (Rows{{"2"}}));
  EXPECT_EQ(rows("select b.K from A a right join B b on a.ID = b.AID and a.N = 'y' where a.ID is null"),
            (Rows{{"10"}}));
}

TEST_F(JetSemantics, TopBecomesLimitPerSelect) {
  EXPECT_EQ(rows("select top 2 ID from T order by ID desc"), (Rows{{"3"}, {"2"}}));
  EXPECT_EQ(rows("select distinct top 1 AID from B order by AID desc"), (Rows{{"2"}}));
  // In a UNION, TOP belongs to its own select; the last ORDER BY to the whole.
  EXPECT_EQ(rows("(select top 1 N from A order by N desc) union select MC from T order by 1"),
            (Rows{{"A"}, {"b"}, {"C"}, {"z"}}));
  EXPECT_EQ(rows("select top 1 ID from A union all select ID from T order by ID").size(), 4u);
  EXPECT_EQ(rows("select distinctrow N from A order by N"), (Rows{{"x"}, {"y"}, {"z"}}));
}

TEST_F(JetSemantics, LikePatterns) {
  const std::pair<const char*, const char*> cases[] = {
      {"select 'abc' like 'a*'", "-1"},      {"select 'abc' like 'a?c'", "-1"},
      {"select 'abc' like 'a%'", "-1"},      {"select 'abc' like 'a_c'", "-1"},
      {"select 'ABC' like 'abc'", "-1"},     {"select 'abc' like 'b*'", "0"},
      {"select '1bc' like '#bc'", "-1"},     {"select 'abc' like '#bc'", "0"},
      {"select 'bbc' like '[a-c]bc'", "-1"}, {"select 'dbc' like '[a-c]bc'", "0"},
      {"select 'dbc' like '[!a-c]*'", "-1"}, {"select 'a*c' like 'a[*]c'", "-1"},
      {"select 'abc' like 'a[*]c'", "0"},    {"select '中文字' like '中?字'", "-1"},
      {"select '中文字' like '*字'", "-1"},  {"select 'abc' not like 'a*'", "0"},
      {"select Null like 'a*'", "NULL"},
  };
  for (const auto& [sql, want] : cases) EXPECT_EQ(one(sql), want) << sql;
  EXPECT_EQ(rows("select ID from T where MC like ?", {std::string("[ab]*")}), (Rows{{"1"}, {"2"}}));
  EXPECT_EQ(rows("select ID from T where MC not like ? order by ID", {std::string("b%")}), (Rows{{"2"}, {"3"}}));
  EXPECT_NE(db.errorOf("select 'a' like '[a'").find("Like: the pattern has a '[' without ']'"), std::string::npos);
}

TEST_F(JetSemantics, InsertUpdateDelete) {
  db.exec("insert into T (ID, MC, ZT, RQ) values (4, \"d\", True, #2008-09-02#)");
  EXPECT_EQ(rows("select MC, ZT, RQ from T where ID = 4"), (Rows{{"d", "-1", "2008-09-02 00:00:00"}}));
  db.exec("insert into C select ID from A where N <> 'x'");
  EXPECT_EQ(one("select count(*) from C"), "4");
  db.exec("update T set T.SL = SL * 2, MC = UCase(MC) where ID = ?", {int64_t{1}});
  EXPECT_EQ(rows("select MC, SL from T where ID = 1"), (Rows{{"B", "20"}}));
  db.exec("update A inner join B on A.ID = B.AID set A.N = A.N & B.K where B.K = 10");
  EXPECT_EQ(rows("select N from A order by ID"), (Rows{{"x10"}, {"y"}, {"z"}}));
  db.exec("delete * from C where X > 7");
  EXPECT_EQ(rows("select X from C order by X"), (Rows{{"2"}, {"3"}, {"7"}}));
  db.exec("delete C.* from C");
  EXPECT_EQ(one("select count(*) from C"), "0");
  db.exec("DELETE FROM B WHERE K = 21;");
  EXPECT_EQ(one("select count(*) from B"), "2");
}

TEST_F(JetSemantics, StatementsTheResolverSends) {
  // The line forms of the generated INSERT, UPDATE, DELETE and conflict read.
  db.exec("insert into A\r\n  (ID, N)\r\nvalues\r\n  (?, ?)\r\n", {int64_t{9}, std::string("q")});
  db.exec("update A  set\r\n N = ?\r\nwhere\r\n ID = ? and\r\n N = ?\r\n",
          {std::string("r"), int64_t{9}, std::string("Q")});
  EXPECT_EQ(rows("select\r\n ID,\r\n N\r\n from A \r\nwhere\r\n ID = ?\r\n", {int64_t{9}}), (Rows{{"9", "r"}}));
  db.exec("update T  set\r\n SL = ?\r\nwhere\r\n ID = ? and\r\n SL is null\r\n", {2.25, int64_t{3}});
  EXPECT_EQ(one("select SL from T where ID = 3"), "2.25");
  db.exec("delete from A \r\nwhere\r\n ID = ?\r\n", {int64_t{9}});
  EXPECT_EQ(one("select count(*) from A"), "3");
  // An INSERT with no column to write reaches SQLite, which refuses it.
  EXPECT_FALSE(db.errorOf("insert into A\r\n )\r\nvalues\r\n )\r\n").empty());
}

TEST_F(JetSemantics, TablesFromJetDdlStoreValuesRight) {
  db.exec(
      "CREATE TABLE D1 (ID COUNTER, BH TEXT(10) NOT NULL, BZ MEMO, N LONG, F YESNO DEFAULT True, "
      "D DATETIME DEFAULT Now(), D2 DATETIME DEFAULT #2008-08-30#, S STRING(8), CONSTRAINT PK PRIMARY KEY (ID))");
  db.exec("INSERT INTO D1 (BH, BZ, N, S) VALUES ('007', '007', '007', '007')");
  db.exec("INSERT INTO D1 (BH) VALUES ('x')");
  Result r = db.query("select ID, BH, BZ, N, F, D2, S, typeof(BZ), typeof(N) from D1 order by ID");
  EXPECT_EQ(r.rows, (Rows{{"1", "007", "007", "7", "-1", "2008-08-30 00:00:00", "007", "text", "integer"},
                          {"2", "x", "NULL", "NULL", "-1", "2008-08-30 00:00:00", "NULL", "null", "null"}}));
  EXPECT_EQ(one("select Len(D) from D1 where ID = 1"), "19");
  EXPECT_FALSE(db.errorOf("INSERT INTO D1 (BZ) VALUES ('no code')").empty());  // NOT NULL holds

  // The counter is SQLite's auto-increment key, which the data layer finds so.
  int autoinc = 0, pk = 0;
  const char* decl = nullptr;
  ASSERT_EQ(sqlite3_table_column_metadata(db.handle(), nullptr, "D1", "ID", &decl, nullptr, nullptr, &pk, &autoinc),
            SQLITE_OK);
  EXPECT_EQ(autoinc, 1);
  EXPECT_EQ(pk, 1);
  EXPECT_STREQ(decl, "INTEGER");
  ASSERT_EQ(sqlite3_table_column_metadata(db.handle(), nullptr, "D1", "BZ", &decl, nullptr, nullptr, nullptr, nullptr),
            SQLITE_OK);
  EXPECT_STREQ(decl, "LONGTEXT");

  // A key over other columns stays unique when a counter takes the key.
  db.exec("CREATE TABLE D2 (ID COUNTER, BH TEXT(10), CONSTRAINT PK PRIMARY KEY (BH))");
  db.exec("INSERT INTO D2 (BH) VALUES ('a')");
  EXPECT_FALSE(db.errorOf("INSERT INTO D2 (BH) VALUES ('A')").empty());  // unique without regard to case
}

TEST_F(JetSemantics, IndexesAreNamedPerTable) {
  db.exec("CREATE INDEX MC ON T (MC)");
  db.exec("CREATE INDEX MC ON A (N DESC)");
  db.exec("CREATE UNIQUE INDEX K ON B (K)");
  EXPECT_FALSE(db.errorOf("INSERT INTO B VALUES (9, 10)").empty());
  db.exec("CREATE INDEX P ON C (X) WITH PRIMARY");
  db.exec("INSERT INTO C VALUES (9)");
  EXPECT_FALSE(db.errorOf("INSERT INTO C VALUES (9)").empty());
  db.exec("DROP INDEX MC ON T");
  EXPECT_EQ(one("select count(*) from sqlite_master where type = 'index' and tbl_name = 'T'"), "0");
  EXPECT_EQ(one("select count(*) from sqlite_master where type = 'index' and tbl_name = 'A'"), "1");
}

TEST_F(JetSemantics, AlterAndDropTable) {
  db.exec("ALTER TABLE A ADD COLUMN BZ MEMO");
  db.exec("ALTER TABLE A ADD F YESNO DEFAULT False");
  EXPECT_EQ(rows("select BZ, F from A where ID = 1"), (Rows{{"NULL", "0"}}));
  db.exec("ALTER TABLE A DROP COLUMN BZ");
  EXPECT_FALSE(db.errorOf("select BZ from A").empty());
  db.exec("DROP TABLE C");
  EXPECT_FALSE(db.errorOf("select * from C").empty());
}

TEST_F(JetSemantics, BracketedNamesAreIdentifiersOnly) {
  db.exec("CREATE TABLE [Order Details] ([Unit Price] CURRENCY, [Key] LONG, [中文 名] TEXT(10))");
  db.exec("INSERT INTO [Order Details] VALUES (1.5, 2, '值')");
  EXPECT_EQ(rows("select [Unit Price], Key, [中文 名] from [Order Details]"), (Rows{{"1.5", "2", "值"}}));
  EXPECT_EQ(rows("select d.[Unit Price] from [Order Details] as d"), (Rows{{"1.5"}}));
  // A misspelt name is an error, never the text of the name.
  EXPECT_NE(db.errorOf("select [Unit Prize] from [Order Details]").find("no such column"), std::string::npos);
}

TEST_F(JetSemantics, UntranslatableTextsReachSqliteUnchanged) {
  EXPECT_NE(db.errorOf("select * from ").find("incomplete input"), std::string::npos);
  EXPECT_NE(db.errorOf("select Switch(ID) from T").find("no such function: Switch"), std::string::npos);
  EXPECT_EQ(translate("select * from "), "select * from ");
}

TEST_F(JetSemantics, CommandTextsWithCrLfAndComments) {
  EXPECT_EQ(rows("select ID\r\nfrom T -- the rows\r\n/* all */ where ID = 2;\r\n"), (Rows{{"2"}}));
  EXPECT_EQ(rows("\r\n\r\nselect ID from T where ID = 3\r\n\r\n"), (Rows{{"3"}}));
}

TEST_F(JetSemantics, RegisteringTwiceIsHarmless) {
  registerFunctions(db.handle());
  EXPECT_EQ(one("select Left('abc', 1)"), "a");
  EXPECT_THROW(registerFunctions(nullptr), std::runtime_error);
}

}  // namespace
}  // namespace rvz::data::jet
