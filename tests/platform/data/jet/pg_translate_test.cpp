// Translations for PostgreSQL: the exact texts of the Jet and SQL Server
// forms over the company schema (names in their stored spelling), what is
// refused and why, batches, and every catalogue dataset's SQL.
#include <gtest/gtest.h>

#include "catalogue/declaration.h"
#include "platform/data/jet/jet_translator.h"
#include "platform/data/jet/pg_emit.h"
#include "tests/platform/data/jet/pg_test_schema.h"

namespace rvz::data::jet {
namespace {

testing::CompanySchema& schema() {
  static testing::CompanySchema s;
  return s;
}

TypedTranslation pg(std::string_view sql) { return translateTyped(sql, schema(), Target::Postgres); }

struct Case {
  const char* in;
  const char* out;
};

void expectTexts(const std::vector<Case>& cases) {
  for (const Case& c : cases) {
    TypedTranslation t = pg(c.in);
    EXPECT_TRUE(t.translated) << c.in << "\n  " << t.reason;
    EXPECT_EQ(t.sql, c.out) << c.in;
  }
}

TEST(PgTranslate, NamesKeepTheirStoredCase) {
  expectTexts({
      {"select djbh, Je from xsddzb", R"(SELECT "DJBH", "JE" FROM "XSDDZB" AS "xsddzb")"},
      {"select Z.*, k.mc as Name from XSDDZB Z, KH k where Z.khid = K.ID",
       R"(SELECT "z".*, "k"."MC" AS "Name" FROM "XSDDZB" AS "z", "KH" AS "k" WHERE "z"."KHID" = "k"."ID")"},
      {"select [DJBH] from dbo.[XSDDZB] order by djbh", R"(SELECT "DJBH" FROM "XSDDZB" AS "xsddzb" ORDER BY "DJBH")"},
      // A table the schema does not know keeps the spelling written.
      {"select a from Nowhere", R"(SELECT "a" FROM "Nowhere" AS "nowhere")"},
      {"insert into kh (id, bh) values (?, ?)", R"(INSERT INTO "KH" AS "kh" ("ID", "BH") VALUES ($1, $2))"},
      {"update xsddzb set bz = 'x', je = je + 1 where id = ?",
       R"(UPDATE "XSDDZB" AS "xsddzb" SET "BZ" = 'x', "JE" = "JE" + 1 WHERE "ID" = $1)"},
      {"delete from kh where id = 1", R"(DELETE FROM "KH" AS "kh" WHERE "ID" = 1)"},
      {"select sum(je) as Total from xsddzb group by khid order by total",
       R"(SELECT sum("JE") AS "Total" FROM "XSDDZB" AS "xsddzb" GROUP BY "KHID" ORDER BY "Total")"},
      {"select count(*) from kh", R"(SELECT count(*) AS "Expr1000" FROM "KH" AS "kh")"},
      // A union's ORDER BY names its result column; a sub-query of FROM always has a name.
      {"select djbh from xsddzb union select bh from kh order by djbh",
       R"(SELECT "DJBH" COLLATE "rvz_ci" FROM "XSDDZB" AS "xsddzb" UNION SELECT "BH" COLLATE "rvz_ci" FROM "KH" AS "kh" ORDER BY "DJBH")"},
      {"select * from (select djbh from xsddzb) order by djbh",
       R"(SELECT * FROM (SELECT "DJBH" FROM "XSDDZB" AS "xsddzb") AS "rvz_q1" ORDER BY "DJBH")"},
      {"select Q.djbh from (select djbh from xsddzb) Q",
       R"(SELECT "q"."DJBH" FROM (SELECT "DJBH" FROM "XSDDZB" AS "xsddzb") AS "q")"},
  });
}

TEST(PgTranslate, JetForms) {
  expectTexts({
      {"select iif(zt, 'Y', 'N') as f from xsddzb",
       R"(SELECT CASE WHEN "ZT" <> 0 THEN 'Y' ELSE 'N' END AS "f" FROM "XSDDZB" AS "xsddzb")"},
      {"select switch(je > 5, 'a', true, 'b') as s from xsddzb",
       R"(SELECT CASE WHEN "JE" > 5 THEN 'a' WHEN -1 <> 0 THEN 'b' END AS "s" FROM "XSDDZB" AS "xsddzb")"},
      // Branches of different kinds read as text, as Jet mixes them.
      {"select iif(je > 5, je, 'small') as g from xsddzb",
       R"(SELECT CASE WHEN "JE" > 5 THEN CAST("JE" AS text) ELSE 'small' END AS "g" FROM "XSDDZB" AS "xsddzb")"},
      {"select * from xsddzb where rq >= #8/30/2008#",
       R"(SELECT * FROM "XSDDZB" AS "xsddzb" WHERE "RQ" >= TIMESTAMP '2008-08-30 00:00:00')"},
      {"select djbh & ' ' & je as c from xsddzb",
       R"(SELECT concat("DJBH" COLLATE "rvz_ci", ' ', "JE") AS "c" FROM "XSDDZB" AS "xsddzb")"},
      {"select not zt as n, je > 1 as b from xsddzb",
       R"(SELECT (-CAST(NOT "ZT" <> 0 AS integer)) AS "n", (-CAST("JE" > 1 AS integer)) AS "b" FROM "XSDDZB" AS "xsddzb")"},
      {"select je * 2 as d, d + 1 as e from xsddzb",
       R"(SELECT "JE" * 2 AS "d", ("JE" * 2) + 1 AS "e" FROM "XSDDZB" AS "xsddzb")"},
      {"select Z.DJBH, K.MC from XSDDZB Z, KH K, Z inner join K on Z.KHID = K.ID",
       R"(SELECT "z"."DJBH", "k"."MC" FROM "XSDDZB" AS "z" INNER JOIN "KH" AS "k" ON "z"."KHID" = "k"."ID")"},
      {"select rq + 1 as t, rq - #2024-01-01# as n from xsddzb",
       R"(SELECT ("RQ" + CAST(1 AS double precision) * INTERVAL '1 day') AS "t", (CAST(EXTRACT(EPOCH FROM ("RQ" - TIMESTAMP '2024-01-01 00:00:00')) AS double precision) / 86400) AS "n" FROM "XSDDZB" AS "xsddzb")"},
      {"select je / 4 as a, je \\ 2 as b, je mod 2 as c from xsddzb",
       R"(SELECT (CAST("JE" AS double precision) / 4) AS "a", (CAST(CAST("JE" AS double precision) AS bigint) / CAST(CAST(2 AS double precision) AS bigint)) AS "b", (CAST(CAST("JE" AS double precision) AS bigint) % CAST(CAST(2 AS double precision) AS bigint)) AS "c" FROM "XSDDZB" AS "xsddzb")"},
      // Nz without a default gives empty text, a number then reads as text.
      {"select nz(je) as a, nz(bz) as b, nz(je, 0) as c from xsddzb",
       R"(SELECT coalesce(CAST("JE" AS text), '') AS "a", coalesce("BZ", '') AS "b", coalesce("JE", 0) AS "c" FROM "XSDDZB" AS "xsddzb")"},
      {"select first(djbh) as f, stdev(je) as s from xsddzb",
       R"(SELECT rvz_first("DJBH") AS "f", stddev_samp("JE") AS "s" FROM "XSDDZB" AS "xsddzb")"},
      {"select format(rq, 'yyyy-mm-dd') as a, format(je, '#,##0.00') as b from xsddzb",
       R"(SELECT to_char("RQ", 'YYYY-MM-DD') AS "a", to_char(CAST("JE" AS numeric), 'FM999,999,999,999,999,990.00') AS "b" FROM "XSDDZB" AS "xsddzb")"},
      {"TRANSFORM Sum(je) SELECT djbh FROM xsddzb GROUP BY djbh PIVOT Year(rq) IN (2024)",
       R"(SELECT "DJBH", CASE WHEN count(*) FILTER (WHERE CAST(EXTRACT(YEAR FROM "RQ") AS integer) = 2024) > 0 THEN sum("JE") FILTER (WHERE CAST(EXTRACT(YEAR FROM "RQ") AS integer) = 2024) END AS "2024" FROM "XSDDZB" AS "xsddzb" GROUP BY "DJBH")"},
  });
}

TEST(PgTranslate, TextComparesWithoutRegardToCase) {
  expectTexts({
      // One column brings its own collation; a literal alone does not.
      {"select id from kh where mc = 'abc'", R"(SELECT "ID" FROM "KH" AS "kh" WHERE "MC" = 'abc')"},
      {"select id from kh where 'a' = 'A'", R"(SELECT "ID" FROM "KH" AS "kh" WHERE 'a' COLLATE "rvz_ci" = 'A')"},
      // Narrow and wide columns carry different collations: the comparison names one.
      {"select z.id from xsddzb z, kh k where k.mc = z.s1",
       R"(SELECT "z"."ID" FROM "XSDDZB" AS "z", "KH" AS "k" WHERE "k"."MC" COLLATE "rvz_ci" = "z"."S1")"},
      {"select id from kh where mc like 'a*b?'",
       R"(SELECT "ID" FROM "KH" AS "kh" WHERE "MC" COLLATE "C" ILIKE 'a%b_')"},
      {"select id from kh where mc not like 'a[!b-d]#%'",
       R"(SELECT "ID" FROM "KH" AS "kh" WHERE "MC" COLLATE "C" !~* '^a[^b-d][0-9].*$')"},
      {"select id from kh where id like '1%'",
       R"(SELECT "ID" FROM "KH" AS "kh" WHERE CAST("ID" AS text) COLLATE "C" ILIKE '1%')"},
      {"select id from kh where mc like ?",
       R"(SELECT "ID" FROM "KH" AS "kh" WHERE "MC" COLLATE "C" ~* rvz_like_regex($1))"},
      // Narrow and wide columns joined, unioned or searched in a sub-query's column.
      {"select mc & s1 as c from kh, xsddzb",
       R"(SELECT concat("MC" COLLATE "rvz_ci", "S1" COLLATE "rvz_ci") AS "c" FROM "KH" AS "kh", "XSDDZB" AS "xsddzb")"},
      {"select mc from kh union all select s1 from xsddzb",
       R"(SELECT "MC" COLLATE "rvz_ci" FROM "KH" AS "kh" UNION ALL SELECT "S1" COLLATE "rvz_ci" FROM "XSDDZB" AS "xsddzb")"},
      {"select id from kh where mc in (select s1 from xsddzb)",
       R"(SELECT "ID" FROM "KH" AS "kh" WHERE "MC" COLLATE "rvz_ci" IN (SELECT "S1" FROM "XSDDZB" AS "xsddzb"))"},
      {"select id from kh order by left(mc, 2)",
       R"(SELECT "ID" FROM "KH" AS "kh" ORDER BY left("MC", CAST(2 AS integer)) COLLATE "rvz_ci")"},
  });
}

TEST(PgTranslate, SqlServerForms) {
  expectTexts({
      {"select top 1 djbh from xsddzb order by je desc",
       R"(SELECT "DJBH" FROM "XSDDZB" AS "xsddzb" ORDER BY "JE" DESC LIMIT 1)"},
      {"select top (2) djbh from xsddzb", R"(SELECT "DJBH" FROM "XSDDZB" AS "xsddzb" LIMIT 2)"},
      {"select top 10 percent djbh from xsddzb where je > 1",
       R"(SELECT "DJBH" FROM "XSDDZB" AS "xsddzb" WHERE "JE" > 1 LIMIT (SELECT CAST(ceil(count(*) * 10 / 100.0) AS bigint) FROM (SELECT 1 FROM "XSDDZB" AS "xsddzb" WHERE "JE" > 1) AS "rvz_rows"))"},
      {"select djbh + '-' + bz as x from xsddzb",
       R"(SELECT (("DJBH" COLLATE "rvz_ci" || '-') || "BZ" COLLATE "rvz_ci") AS "x" FROM "XSDDZB" AS "xsddzb")"},
      {"select isnull(bz, N'none') as b, getdate() as d from xsddzb",
       R"(SELECT coalesce("BZ", 'none') AS "b", LOCALTIMESTAMP(0) AS "d" FROM "XSDDZB" AS "xsddzb")"},
      {"select convert(varchar(10), rq, 120) as a, convert(varchar, rq, 112) as b from xsddzb",
       R"(SELECT CAST(to_char("RQ", 'YYYY-MM-DD HH24:MI:SS') AS varchar(10)) AS "a", to_char("RQ", 'YYYYMMDD') AS "b" FROM "XSDDZB" AS "xsddzb")"},
      {"select convert(datetime, ?, 23) as a, cast(je as int) as b, cast('5' as int) as c from xsddzb",
       R"(SELECT CAST(to_timestamp($1, 'YYYY-MM-DD') AS timestamp) AS "a", CAST(trunc(CAST("JE" AS numeric)) AS integer) AS "b", CAST('5' AS integer) AS "c" FROM "XSDDZB" AS "xsddzb")"},
      {"select dateadd(dd, 1, rq) as a, datediff(month, rq, getdate()) as b, datepart(yy, rq) as c from xsddzb",
       R"(SELECT ("RQ" + CAST(1 AS double precision) * INTERVAL '1 day') AS "a", ((CAST(EXTRACT(YEAR FROM LOCALTIMESTAMP(0)) AS integer) * 12 + CAST(EXTRACT(MONTH FROM LOCALTIMESTAMP(0)) AS integer)) - (CAST(EXTRACT(YEAR FROM "RQ") AS integer) * 12 + CAST(EXTRACT(MONTH FROM "RQ") AS integer))) AS "b", CAST(EXTRACT(YEAR FROM "RQ") AS integer) AS "c" FROM "XSDDZB" AS "xsddzb")"},
      {"select len(djbh) as a, charindex('2', djbh) as b, substring(djbh, 2, 3) as c from xsddzb",
       R"(SELECT length("DJBH") AS "a", strpos(lower("DJBH") COLLATE "C", lower('2')) AS "b", substr("DJBH", CAST(2 AS integer), CAST(3 AS integer)) AS "c" FROM "XSDDZB" AS "xsddzb")"},
      {"select case when je > 5 then 'big' else 'small' end as s, case zt when -1 then 1 end as z from xsddzb",
       R"(SELECT CASE WHEN "JE" > 5 THEN 'big' ELSE 'small' END AS "s", CASE "ZT" WHEN -1 THEN 1 END AS "z" FROM "XSDDZB" AS "xsddzb")"},
      {"select je % 2 as m from xsddzb",
       R"(SELECT (CAST(CAST("JE" AS double precision) AS bigint) % CAST(CAST(2 AS double precision) AS bigint)) AS "m" FROM "XSDDZB" AS "xsddzb")"},
      {"select djbh, je into #t from xsddzb",
       R"(CREATE TEMP TABLE "#t" AS SELECT "DJBH", "JE" FROM "XSDDZB" AS "xsddzb")"},
      {"select * into Copy from kh", R"(CREATE TABLE "Copy" AS SELECT * FROM "KH" AS "kh")"},
      {"create table #w (a int, b varchar(5))",
       R"(CREATE TEMP TABLE "#w" ("a" integer, "b" varchar(5) COLLATE "rvz_ci"))"},
      {"select @@identity, scope_identity()", R"(SELECT rvz_identity() AS "Expr1000", rvz_identity() AS "Expr1001")"},
  });
}

// Function calls: arguments converted to the kinds the PostgreSQL function
// takes, optional arguments written only when given, the forms whose shape
// depends on the arguments.
TEST(PgTranslate, FunctionCalls) {
  expectTexts({
      {"select mid(djbh, 2) as a, mid$(djbh, 2, 3) as b, ucase(je) as c from xsddzb",
       R"(SELECT substr("DJBH", CAST(2 AS integer)) AS "a", substr("DJBH", CAST(2 AS integer), CAST(3 AS integer)) AS "b", upper(CAST("JE" AS text)) AS "c" FROM "XSDDZB" AS "xsddzb")"},
      {"select round(je) as a, round(je, 2) as b, string(3, djbh) as c, space(2) as d from xsddzb",
       R"(SELECT round(CAST("JE" AS numeric)) AS "a", round(CAST("JE" AS numeric), CAST(2 AS integer)) AS "b", repeat(left("DJBH", 1), CAST(3 AS integer)) AS "c", repeat(' ', CAST(2 AS integer)) AS "d" FROM "XSDDZB" AS "xsddzb")"},
      {"select cbool(je) as a, clng(je) as b, cint(je) as c, fix(je) as d from xsddzb",
       R"(SELECT (-CAST(CAST("JE" AS double precision) <> 0 AS integer)) AS "a", CAST(CAST("JE" AS double precision) AS integer) AS "b", CAST(CAST("JE" AS double precision) AS smallint) AS "c", trunc("JE") AS "d" FROM "XSDDZB" AS "xsddzb")"},
      {"select dateserial(2024, 13, 1) as d, datevalue(rq) as v, time() as t from xsddzb",
       R"(SELECT (CAST(make_date(CAST(2024 AS integer), 1, 1) AS timestamp) + (CAST(13 AS integer) - 1) * INTERVAL '1 month' + (CAST(1 AS integer) - 1) * INTERVAL '1 day') AS "d", date_trunc('day', "RQ") AS "v", (TIMESTAMP '1899-12-30 00:00:00' + LOCALTIME(0)) AS "t" FROM "XSDDZB" AS "xsddzb")"},
      {"select year(rq) as y, weekday(rq) as w, weekday(rq, 2) as m from xsddzb",
       R"(SELECT CAST(EXTRACT(YEAR FROM "RQ") AS integer) AS "y", (CAST(EXTRACT(DOW FROM "RQ") AS integer) + 1) AS "w", ((CAST(EXTRACT(DOW FROM "RQ") AS integer) + 7 - (CAST(2 AS integer) - 1)) % 7 + 1) AS "m" FROM "XSDDZB" AS "xsddzb")"},
      {"select instr(djbh, 'x') as a, instr(3, djbh, 'x') as b from xsddzb",
       R"(SELECT strpos(lower("DJBH") COLLATE "C", lower('x')) AS "a", CASE WHEN strpos(lower(substr("DJBH", CAST(3 AS integer))) COLLATE "C", lower('x')) > 0 THEN strpos(lower(substr("DJBH", CAST(3 AS integer))) COLLATE "C", lower('x')) + CAST(3 AS integer) - 1 ELSE 0 END AS "b" FROM "XSDDZB" AS "xsddzb")"},
      {"select strcomp(djbh, 'a', 0) as s, str(je) as t, str(je, 8, 2) as u from xsddzb",
       R"(SELECT CASE WHEN "DJBH" IS NULL OR 'a' IS NULL THEN NULL WHEN "DJBH" COLLATE "C" < 'a' THEN -1 WHEN "DJBH" COLLATE "C" = 'a' THEN 0 ELSE 1 END AS "s", CASE WHEN "JE" >= 0 THEN ' ' || CAST("JE" AS text) ELSE CAST("JE" AS text) END AS "t", lpad(CAST(round(CAST("JE" AS numeric), CAST(2 AS integer)) AS text), CAST(8 AS integer)) AS "u" FROM "XSDDZB" AS "xsddzb")"},
      {"select count(djbh) as n, max(rq) as m, coalesce(bz, djbh, 'x') as c from xsddzb",
       R"(SELECT count("DJBH") AS "n", max("RQ") AS "m", coalesce("BZ", "DJBH", 'x') AS "c" FROM "XSDDZB" AS "xsddzb")"},
      {"select count(distinct djbh) as n, sum(distinct je) as s from xsddzb",
       R"(SELECT count(DISTINCT "DJBH") AS "n", sum(DISTINCT "JE") AS "s" FROM "XSDDZB" AS "xsddzb")"},
      {"select format(rq, 'yyyy\"年\"m月d日 hh:nn') as a, format(rq, 'mmm d, yy') as b from xsddzb",
       R"(SELECT to_char("RQ", 'YYYY"年"FMMM"月"FMDD"日" HH24:MI') AS "a", to_char("RQ", 'Mon FMDD, YY') AS "b" FROM "XSDDZB" AS "xsddzb")"},
  });
  // What a call must have.
  const std::pair<const char*, const char*> refused[] = {
      {"select mid(djbh) from xsddzb", "mid called with 1 arguments"},
      {"select charindex('a', djbh, 1, 2) from xsddzb", "charindex called with 4 arguments"},
      {"select left(distinct djbh, 1) from xsddzb", "left called with 2 arguments"},
      {"select sum(je, 1) from xsddzb", "sum called with 2 arguments"},
      {"select isnull() from xsddzb", "isnull called with 0 arguments"},
  };
  for (const auto& [in, reason] : refused) {
    TypedTranslation t = pg(in);
    EXPECT_FALSE(t.translated) << in;
    EXPECT_NE(t.reason.find(reason), std::string::npos) << in << "\n  reason: " << t.reason;
  }
}

TEST(PgTranslate, SeveralStatementsInOneText) {
  TypedTranslation t = pg("insert into kh (id) values (1); select @@identity as id select mc from kh");
  ASSERT_TRUE(t.translated) << t.reason;
  ASSERT_EQ(t.statements.size(), 3u);
  EXPECT_EQ(t.statements[0], R"(INSERT INTO "KH" AS "kh" ("ID") VALUES (1))");
  EXPECT_EQ(t.statements[1], R"(SELECT rvz_identity() AS "id")");
  EXPECT_EQ(t.statements[2], R"(SELECT "MC" FROM "KH" AS "kh")");
  EXPECT_EQ(t.sql, t.statements[0] + "; " + t.statements[1] + "; " + t.statements[2]);
  // The columns describe the last statement's result.
  ASSERT_EQ(t.columns.size(), 1u);
  EXPECT_EQ(t.columns[0].type, JetType::Text);
  EXPECT_EQ(t.columns[0].size, 20);

  // One text, one statement, for SQLite.
  EXPECT_FALSE(translateTyped("select 1; select 2", schema()).translated);
}

TEST(PgTranslate, RefusalsNameThePlace) {
  const std::pair<const char*, const char*> cases[] = {
      {"select convert(varchar(10), rq, 7) from xsddzb", "CONVERT style 7 is not translated for PostgreSQL"},
      {"select cast(je as geography) from xsddzb", "CAST to GEOGRAPHY is not translated"},
      {"select widget(je) from xsddzb", "function widget is not translated for PostgreSQL"},
      {"select format(rq, 'dddd') from xsddzb", "Format with the format 'dddd' is not translated"},
      {"select dateadd(fortnight, 1, rq) from xsddzb", "dateadd needs a date unit"},
      {"select rq + rq from xsddzb", "adding two dates is not translated"},
      {"select id from kh where mc like 'a[bc'", "character list has no ']'"},
      {"select case je when 1 from xsddzb", "expected THEN"},
      {"select top 5 percent * from kh order by", "expected an expression"},
      {"select * from #t where d = #2024-13-45#", "invalid date literal"},
  };
  for (const auto& [in, reason] : cases) {
    TypedTranslation t = pg(in);
    EXPECT_FALSE(t.translated) << in;
    EXPECT_EQ(t.sql, in);
    EXPECT_TRUE(t.statements.empty());
    EXPECT_NE(t.reason.find(reason), std::string::npos) << in << "\n  reason: " << t.reason;
  }
}

TEST(PgTranslate, LikePatterns) {
  std::string out;
  EXPECT_TRUE(pgLikePattern("a*b?c%d_e\\", out));
  EXPECT_EQ(out, "a%b_c%d_e\\\\");
  EXPECT_FALSE(pgLikePattern("[a]", out));
  EXPECT_FALSE(pgLikePattern("1#", out));
  EXPECT_EQ(pgLikeRegex("x.[!a-c]#*?"), "^x\\.[^a-c][0-9].*.$");
  EXPECT_EQ(pgLikeRegex("[^x](y)"), "^[^x]\\(y\\)$");
}

// Every dataset of the catalogue means the same on a server account set.
TEST(PgTranslate, EveryCatalogueDatasetTranslates) {
  int checked = 0;
  auto check = [&](std::string_view module, const catalogue::DatasetDecl& ds) {
    if (ds.sql.empty()) return;
    std::string sql;
    for (std::string_view line : ds.sql) sql += std::string(line) + "\r\n";
    TypedTranslation sqlite = translateTyped(sql, schema());
    // A text the SQLite side cannot read either (the reports' "select * from "
    // that the report service completes) is no dataset of its own.
    if (!sqlite.translated) return;
    TypedTranslation t = pg(sql);
    EXPECT_TRUE(t.translated) << module << "." << ds.name << ": " << t.reason << "\n" << sql;
    EXPECT_EQ(t.columns.size(), sqlite.columns.size()) << module << "." << ds.name;
    for (size_t i = 0; i < t.columns.size() && i < sqlite.columns.size(); ++i)
      EXPECT_EQ(t.columns[i], sqlite.columns[i]) << module << "." << ds.name << " column " << i;
    ++checked;
  };
  for (const catalogue::ModuleDecl& m : catalogue::dataServiceModules())
    for (const catalogue::DatasetDecl& ds : m.datasets) check(m.name, ds);
  for (const catalogue::DatasetDecl& ds : catalogue::reportServiceDatasets()) check("reports", ds);
  EXPECT_GT(checked, 150);
}

}  // namespace
}  // namespace rvz::data::jet

namespace rvz::data::jet {
namespace {

// Every prefix of texts full of SQL Server's forms: translated, or refused
// with a reason, never anything else.
TEST(PgTranslate, CutTextsAreRefusedWithAReason) {
  const char* texts[] = {
      "select top (5) percent [DJBH], convert(varchar(10), RQ, 120) as d, case when JE > 1 then N'big' "
      "else 'small' end as s from XSDDZB where DJBH like 'X[!a]%' and JE % 2 = 0 order by 1",
      "select djbh, je into #t from xsddzb; select * from #t where je > 1 select @@identity, isnull(bz, 'x') from kh",
      "select cast(je as decimal(12, 2)) as a, datediff(dd, rq, getdate()) as b, charindex('a', djbh, 2) from xsddzb",
  };
  for (const char* text : texts) {
    std::string_view all(text);
    for (size_t n = 0; n <= all.size(); ++n) {
      std::string_view cut = all.substr(0, n);
      TypedTranslation t = pg(cut);
      if (!t.translated) {
        EXPECT_FALSE(t.reason.empty()) << cut;
        EXPECT_EQ(t.sql, cut);
      } else {
        EXPECT_FALSE(t.statements.empty()) << cut;
      }
    }
  }
}

}  // namespace
}  // namespace rvz::data::jet

namespace rvz::data::jet {
namespace {

TEST(PgTranslate, ABatchSeesTheTablesItMakes) {
  TypedTranslation t =
      pg("select djbh, je * 2 as Twice into #t from xsddzb; select djbh, twice from #T where Twice > 1");
  ASSERT_TRUE(t.translated) << t.reason;
  ASSERT_EQ(t.statements.size(), 2u);
  EXPECT_EQ(t.statements[1], R"(SELECT "DJBH", "Twice" FROM "#t" AS "#t" WHERE "Twice" > 1)");
  ASSERT_EQ(t.columns.size(), 2u);
  EXPECT_EQ(t.columns[0].type, JetType::Text);
  EXPECT_EQ(t.columns[1].type, JetType::Double);
}

TEST(PgTranslate, ViewsAndDdlInABatch) {
  TypedTranslation t =
      pg("create view Sales as select djbh, je from xsddzb where zt; "
         "create table #w (a long default 1, b text(5)); drop table #w");
  ASSERT_TRUE(t.translated) << t.reason;
  ASSERT_EQ(t.statements.size(), 3u);
  EXPECT_EQ(t.statements[0], R"(CREATE VIEW "Sales" AS SELECT "DJBH", "JE" FROM "XSDDZB" AS "xsddzb" WHERE "ZT" <> 0)");
  EXPECT_EQ(t.statements[1], R"(CREATE TEMP TABLE "#w" ("a" integer DEFAULT 1, "b" varchar(5) COLLATE "rvz_ci"))");
  EXPECT_EQ(t.statements[2], R"(DROP TABLE "#w")");
}

}  // namespace
}  // namespace rvz::data::jet
