// The translator's texts: the exact SQLite forms it promises, the DDL type
// table, texts it passes on unchanged and why, and its limits on bad input.
#include <gtest/gtest.h>

#include <random>

#include "platform/data/jet/jet_dialect.h"
#include "platform/data/jet/jet_translator.h"

namespace rvz::data::jet {
namespace {

struct TextCase {
  const char* jet;
  const char* sqlite;
};

TEST(JetTranslate, PromisedForms) {
  const TextCase cases[] = {
      {"DELETE * FROM Tmp WHERE ID = ?", "DELETE FROM Tmp WHERE ID = ?1"},
      {"delete Tmp.* from Tmp", "DELETE FROM Tmp"},
      {"select top 5 ID from T order by ID desc", "SELECT ID FROM T ORDER BY ID DESC LIMIT 5"},
      {"select [Unit Price] from [Order Details]", "SELECT \"Unit Price\" FROM \"Order Details\""},
      {"select * from T where D = #8/30/2008#", "SELECT * FROM T WHERE D = '2008-08-30 00:00:00'"},
      {"select \"a\"\"b\" as x, 'c''d' as y", "SELECT 'a\"b' AS x, 'c''d' AS y"},
      {"select * from T where F = True or G = false", "SELECT * FROM T WHERE F = -1 OR G = 0"},
      {"select * from T where MC like 'a*b?'", "SELECT * FROM T WHERE MC LIKE 'a%b_'"},
      {"select * from T where MC like '%b_'", "SELECT * FROM T WHERE MC LIKE '%b_'"},
      {"select * from T where A = ? and B = ?", "SELECT * FROM T WHERE A = ?1 AND B = ?2"},
      {"select distinctrow A from T", "SELECT A FROM T"},
      {"select distinct A from T", "SELECT DISTINCT A FROM T"},
      {"update t set t.A = 1 where B = 2", "UPDATE t SET A = 1 WHERE B = 2"},
      {"update A inner join B on A.ID = B.AID set A.N = B.K where B.K > 1",
       "UPDATE A SET N = B.K FROM B WHERE A.ID = B.AID AND B.K > 1"},
      {"select * from T where not Z", "SELECT * FROM T WHERE NOT Z"},
      {"select not Z from T", "SELECT (-(NOT Z)) AS Expr1000 FROM T"},
      {"select Key, [Order] from T", "SELECT \"Key\", \"Order\" FROM T"},
      {"select iif(A, 1, 2) as x from T", "SELECT CASE WHEN A THEN 1 ELSE 2 END AS x FROM T"},
      {"select switch(A = 1, 'x') as y from T", "SELECT CASE WHEN A = 1 THEN 'x' END AS y FROM T"},
      {"select A & B as c from T", "SELECT jet_concat(A, B) AS c FROM T"},
      {"select UCase(A) from T where UCase(A) = 'X'",
       "SELECT jet_ucase(A) AS Expr1000 FROM T WHERE jet_ucase(A) COLLATE NOCASE = 'X'"},
      {"select A from T order by A & 'x'", "SELECT A FROM T ORDER BY jet_concat(A, 'x') COLLATE NOCASE"},
      {"select Z.*, K.MC from XSDDZB Z, KH K, Z inner join K on Z.KHID = K.ID",
       "SELECT Z.*, K.MC FROM XSDDZB AS Z INNER JOIN KH AS K ON Z.KHID = K.ID"},
      {"select SL as a, a + 1 as b from T", "SELECT SL AS a, (SL) + 1 AS b FROM T"},
      {"insert into T (A, B) values (#2008-08-30#, \"x\")", "INSERT INTO T (A, B) VALUES ('2008-08-30 00:00:00', 'x')"},
      {"select * from T;\r\n", "SELECT * FROM T"},
  };
  for (const TextCase& c : cases) {
    Translation t = translateDetailed(c.jet);
    EXPECT_TRUE(t.translated) << c.jet << ": " << t.reason;
    EXPECT_EQ(t.sql, c.sqlite) << c.jet;
  }
}

TEST(JetTranslate, DdlTypeTable) {
  // The declared type tells the data layer the Access kind; text kinds get
  // NOCASE, memos become LONGTEXT, counters SQLite's auto-increment key.
  const TextCase cases[] = {
      {"TEXT(50)", "TEXT(50) COLLATE NOCASE"},
      {"VARCHAR(20)", "VARCHAR(20) COLLATE NOCASE"},
      {"CHAR(10)", "CHAR(10) COLLATE NOCASE"},
      {"ANSIVARCHAR(8)", "ANSIVARCHAR(8) COLLATE NOCASE"},
      {"ANSICHAR(8)", "ANSICHAR(8) COLLATE NOCASE"},
      {"text", "text COLLATE NOCASE"},
      {"NATIONAL CHARACTER VARYING(5)", "NATIONAL CHARACTER VARYING(5) COLLATE NOCASE"},
      {"MEMO", "LONGTEXT COLLATE NOCASE"},
      {"LONGTEXT", "LONGTEXT COLLATE NOCASE"},
      {"NOTE", "LONGTEXT COLLATE NOCASE"},
      {"STRING(12)", "VARCHAR(12) COLLATE NOCASE"},
      {"COUNTER", "INTEGER PRIMARY KEY AUTOINCREMENT"},
      {"AUTOINCREMENT(100, 5)", "INTEGER PRIMARY KEY AUTOINCREMENT"},
      {"LONG", "LONG"},
      {"INTEGER", "INTEGER"},
      {"SMALLINT", "SMALLINT"},
      {"BYTE", "BYTE"},
      {"YESNO", "YESNO"},
      {"BIT", "BIT"},
      {"DOUBLE", "DOUBLE"},
      {"CURRENCY", "CURRENCY"},
      {"DECIMAL(18,4)", "DECIMAL(18,4)"},
      {"NUMERIC(10, 2)", "NUMERIC(10,2)"},
      {"DATETIME", "DATETIME"},
      {"OLEOBJECT", "OLEOBJECT"},
      {"GUID", "GUID"},
  };
  for (const TextCase& c : cases) {
    std::string jet = std::string("CREATE TABLE T (C ") + c.jet + ")";
    EXPECT_EQ(translate(jet), std::string("CREATE TABLE T (C ") + c.sqlite + ")") << jet;
  }
}

TEST(JetTranslate, DdlStatements) {
  const TextCase cases[] = {
      {"CREATE TABLE T (ID COUNTER, MC TEXT(20) NOT NULL, F YESNO DEFAULT True, D DATETIME DEFAULT #2008-08-30#, "
       "N LONG DEFAULT -1, CONSTRAINT PK PRIMARY KEY (ID))",
       "CREATE TABLE T (ID INTEGER PRIMARY KEY AUTOINCREMENT, MC TEXT(20) COLLATE NOCASE NOT NULL, F YESNO DEFAULT -1, "
       "D DATETIME DEFAULT '2008-08-30 00:00:00', N LONG DEFAULT -1)"},
      {"create table [My T] ([ID] counter primary key, [B] long primary key)",
       "CREATE TABLE \"My T\" (\"ID\" INTEGER PRIMARY KEY AUTOINCREMENT, \"B\" long UNIQUE)"},
      // Key columns never hold Null: SQLite would let Null into a key that is not the rowid.
      {"CREATE TABLE T (A LONG, B TEXT(5) NOT NULL, C LONG, CONSTRAINT PK PRIMARY KEY (A, B))",
       "CREATE TABLE T (A LONG NOT NULL, B TEXT(5) COLLATE NOCASE NOT NULL, C LONG, CONSTRAINT PK PRIMARY KEY (A, B))"},
      {"create table T (K text(10) primary key, V double)",
       "CREATE TABLE T (K text(10) COLLATE NOCASE PRIMARY KEY NOT NULL, V double)"},
      {"create table T (K long not null primary key)", "CREATE TABLE T (K long NOT NULL PRIMARY KEY)"},
      {"CREATE TABLE T (A LONG, B TEXT(5) WITH COMPRESSION, D DATETIME DEFAULT Now(), "
       "CONSTRAINT FK FOREIGN KEY (A) REFERENCES U (ID) ON DELETE CASCADE)",
       "CREATE TABLE T (A LONG, B TEXT(5) COLLATE NOCASE, D DATETIME DEFAULT (datetime('now', 'localtime')), "
       "CONSTRAINT FK FOREIGN KEY (A) REFERENCES U (ID) ON DELETE CASCADE)"},
      {"create index IX on T (A, B desc) with primary", "CREATE UNIQUE INDEX \"T.IX\" ON T (A, B DESC)"},
      {"CREATE UNIQUE INDEX IX ON T (A) WITH DISALLOW NULL", "CREATE UNIQUE INDEX \"T.IX\" ON T (A)"},
      {"drop index IX on T", "DROP INDEX \"T.IX\""},
      {"DROP TABLE T;", "DROP TABLE T"},
      {"alter table T add column N MEMO", "ALTER TABLE T ADD COLUMN N LONGTEXT COLLATE NOCASE"},
      {"alter table T add N LONG not null default 0", "ALTER TABLE T ADD COLUMN N LONG NOT NULL DEFAULT 0"},
      {"alter table T drop column N", "ALTER TABLE T DROP COLUMN N"},
  };
  for (const TextCase& c : cases) {
    Translation t = translateDetailed(c.jet);
    EXPECT_TRUE(t.translated) << c.jet << ": " << t.reason;
    EXPECT_EQ(t.sql, c.sqlite) << c.jet;
  }
}

TEST(JetTranslate, TextsPassedOnUnchangedAndWhy) {
  const std::pair<const char*, const char*> cases[] = {
      {"select * from ", "expected a table name at the end of the text"},
      {"TRANSFORM Sum(x) SELECT a FROM t GROUP BY a PIVOT b", "a crosstab without PIVOT ... IN needs the values"},
      {"TRANSFORM Sum(x) SELECT a FROM t PIVOT b IN (1)", "a crosstab needs GROUP BY"},
      {"TRANSFORM Sum(x) SELECT a FROM t GROUP BY a PIVOT b IN (c)", "PIVOT ... IN takes literal values only"},
      {"TRANSFORM Sum(x) SELECT a FROM t GROUP BY a UNION SELECT a FROM t GROUP BY a PIVOT b IN (1)", "not a UNION"},
      {"select iif(a, b) from t", "iif called with 2 arguments"},
      {"select switch(a) from t", "Switch needs pairs of conditions and values"},
      {"select 'abc from t", "unterminated text literal at offset 7"},
      {"select top 10 percent * from t", "TOP ... PERCENT is not translated"},
      {"select a from t; select b from t", "unexpected text after the statement"},
      {"select case when a then b end from t", "expected an expression"},
      {"select * into x in 'other.mdb' from t", "tables of other databases"},
      {"select a from (select b into y from t)", "SELECT ... INTO inside another statement"},
      {"PARAMETERS p Blobby; select p from t", "parameter 'p' has the unknown type 'Blobby'"},
      {"PARAMETERS p Long; select a from t where b = ?", "'?' in a text that declares PARAMETERS"},
      {"PARAMETERS p Long, P Text; select p", "parameter 'P' declared twice"},
      {"PARAMETERS p Long select p", "expected ';'"},
      {"update a left join b on a.x = b.x set a.y = 1", "UPDATE over an outer join is not translated"},
      {"update a inner join b on a.x = b.x set b.y = 1", "SET of a column of another table"},
      {"delete a.* from a inner join b on a.x = b.x", "DELETE over joined tables is not translated"},
      {"select * from t in 'other.mdb'", "tables of other databases"},
      {"alter table t add constraint pk primary key (a)", "SQLite cannot add a constraint to a table"},
      {"alter table t add column id counter", "SQLite cannot add a counter column to a table"},
      {"create table t (a counter, b autoincrement)", "a table has at most one counter column"},
      {"   \r\n", "empty command text"},
      {"", "empty command text"},
  };
  for (const auto& [jet, reason] : cases) {
    Translation t = translateDetailed(jet);
    EXPECT_FALSE(t.translated) << jet;
    EXPECT_EQ(t.sql, jet);
    EXPECT_NE(t.reason.find(reason), std::string::npos) << jet << "\n  reason: " << t.reason;
    EXPECT_EQ(translate(jet), jet);
  }
}

std::string repeat(const std::string& s, int n) {
  std::string r;
  for (int i = 0; i < n; ++i) r += s;
  return r;
}

TEST(JetTranslate, NestingIsBounded) {
  auto parens = [](int n) { return "select " + repeat("(", n) + "1" + repeat(")", n); };
  EXPECT_TRUE(translateDetailed(parens(150)).translated);
  Translation deep = translateDetailed(parens(250));
  EXPECT_FALSE(deep.translated);
  EXPECT_NE(deep.reason.find("nesting deeper than 200 levels"), std::string::npos) << deep.reason;
  EXPECT_FALSE(translateDetailed("select " + repeat("not ", 300) + "1").translated);
  EXPECT_FALSE(translateDetailed("select " + repeat("- ", 300) + "1").translated);
  EXPECT_FALSE(translateDetailed("select " + repeat("Left(", 300) + "'a'" + repeat(", 1)", 300)).translated);
  EXPECT_FALSE(translateDetailed(repeat("select * from (", 300) + "t" + repeat(")", 300)).translated);
  EXPECT_FALSE(translateDetailed(repeat("select (", 300) + "1" + repeat(")", 300)).translated);
  // Long operator chains nest without parentheses; they are bounded too.
  EXPECT_TRUE(translateDetailed("select 1" + repeat(" + 1", 500)).translated);
  Translation chain = translateDetailed("select 1" + repeat(" + 1", 1000));
  EXPECT_FALSE(chain.translated);
  EXPECT_NE(chain.reason.find("statement deeper than 600 levels"), std::string::npos) << chain.reason;
  EXPECT_FALSE(translateDetailed("select a from t" + repeat(" inner join t on 1 = 1", 300)).translated);
  // Chains in subqueries at the bottom of chains add up: the recursion over
  // the whole statement is what is bounded.
  auto nested = [](int levels) {
    std::string sql = "1";
    for (int i = 0; i < levels; ++i) sql = "(select " + sql + repeat(" + 1", 100) + ")";
    return "select " + sql;
  };
  EXPECT_TRUE(translateDetailed(nested(5)).translated);
  Translation tall = translateDetailed(nested(10));
  EXPECT_FALSE(tall.translated);
  EXPECT_NE(tall.reason.find("statement deeper than 600 levels"), std::string::npos) << tall.reason;
  std::string joins = "t";
  for (int i = 0; i < 10; ++i)
    joins = "(select * from " + joins + " as x" + repeat(" inner join u on 1 = 1", 100) + ")";
  EXPECT_FALSE(translateDetailed("select * from " + joins + " as y").translated);
}

TEST(JetTranslate, OutputGrowthIsBounded) {
  // Each alias doubles the one before: the text would double 40 times.
  std::string sql = "select 1 as a0";
  for (int i = 1; i <= 40; ++i)
    sql += ", a" + std::to_string(i - 1) + " + a" + std::to_string(i - 1) + " as a" + std::to_string(i);
  Translation t = translateDetailed(sql);
  EXPECT_FALSE(t.translated);
  EXPECT_NE(t.reason.find("would exceed"), std::string::npos) << t.reason;
}

TEST(JetTranslate, RandomBytesNeverBreakIt) {
  // Fragments of Jet texts shuffled into random strings: translate must
  // return, and a translation must stay within its size bound.
  const std::vector<std::string> pieces = {"select ",
                                           "from ",
                                           "where ",
                                           " inner join ",
                                           " left join ",
                                           " on ",
                                           "(",
                                           ")",
                                           ",",
                                           " Z",
                                           " K",
                                           ".",
                                           "*",
                                           "iif(",
                                           "switch(",
                                           "not ",
                                           " and ",
                                           " or ",
                                           "=",
                                           "<>",
                                           "'x'",
                                           "\"y\"",
                                           "#2008-08-30#",
                                           "[a b]",
                                           "?",
                                           "&",
                                           "+",
                                           "-",
                                           " Mod ",
                                           "\\",
                                           "top 3 ",
                                           " union ",
                                           " order by ",
                                           " group by ",
                                           " as ",
                                           "1",
                                           "2.5",
                                           "中",
                                           ";",
                                           " like ",
                                           "'a*'",
                                           " between ",
                                           " in ",
                                           " is null",
                                           "delete * ",
                                           "update ",
                                           " set ",
                                           "insert into ",
                                           " values ",
                                           "create table ",
                                           "text(5)",
                                           "counter",
                                           "\r\n",
                                           "--",
                                           "/*",
                                           "*/",
                                           "Format(",
                                           "Nz(",
                                           "\x01",
                                           "\xff"};
  std::mt19937 rng(20080830);
  for (int round = 0; round < 3000; ++round) {
    std::string sql;
    int n = static_cast<int>(rng() % 40);
    for (int i = 0; i < n; ++i) sql += pieces[rng() % pieces.size()];
    Translation t = translateDetailed(sql);
    if (!t.translated) {
      EXPECT_EQ(t.sql, sql);
    }
    EXPECT_LE(t.sql.size(), sql.size() * 16 + 65536);
  }
}

}  // namespace
}  // namespace rvz::data::jet
