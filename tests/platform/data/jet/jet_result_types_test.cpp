// The Jet typing of result columns, engine-free: a schema in memory, the
// types Jet gives select-list expressions, the resolution of column
// references, and the translation that follows a column's type.
#include "platform/data/jet/jet_result_types.h"

#include <gtest/gtest.h>

#include <map>

#include "platform/data/jet/jet_dialect.h"

namespace rvz::data::jet {
namespace {

ColumnType t(JetType type, int32_t size = 0) {
  ColumnType c;
  c.type = type;
  c.size = size;
  return c;
}

ColumnType decimal(int32_t p, int32_t s) {
  ColumnType c = t(JetType::Decimal);
  c.precision = p;
  c.scale = s;
  return c;
}

ColumnType from(ColumnType c, const char* table, const char* column) {
  c.table = table;
  c.column = column;
  return c;
}

class MemorySchema : public Schema {
 public:
  std::optional<std::vector<BaseColumn>> columnsOf(std::string_view table) override {
    std::string key(table);
    for (char& ch : key) ch = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
    auto it = tables.find(key);
    if (it == tables.end()) return std::nullopt;
    return it->second;
  }
  std::map<std::string, std::vector<BaseColumn>> tables = {
      {"XSKDZB",
       {{"ID", t(JetType::Long)},
        {"RQ", t(JetType::DateTime)},
        {"JE", t(JetType::Currency)},
        {"SL", t(JetType::Long)},
        {"F", t(JetType::Double)},
        {"MC", t(JetType::Text, 20)},
        {"DJ", decimal(12, 2)},
        {"ZT", t(JetType::Boolean)},
        {"KHID", t(JetType::Long)}}},
      {"KH", {{"ID", t(JetType::Long)}, {"MC", t(JetType::Text, 40)}, {"ZCRQ", t(JetType::DateTime)}}},
  };
};

std::vector<ColumnType> typesOf(const std::string& sql) {
  MemorySchema schema;
  return translateTyped(sql, schema).columns;
}

ColumnType typeOf(const std::string& expression) {
  auto cols = typesOf("select " + expression + " from XSKDZB Z");
  return cols.size() == 1 ? cols[0] : t(JetType::Unknown, -1);
}

TEST(JetResultTypes, SelectListExpressionsHaveTheTypeJetGivesThem) {
  const std::pair<const char*, ColumnType> cases[] = {
      // Aggregates: of the column's own type, or fixed.
      {"max(RQ)", from(t(JetType::DateTime), "XSKDZB", "RQ")},
      {"Min(Z.MC)", from(t(JetType::Text, 20), "XSKDZB", "MC")},
      {"first(JE)", from(t(JetType::Currency), "XSKDZB", "JE")},
      {"count(*)", t(JetType::Long)},
      {"sum(JE)", t(JetType::Currency)},
      {"sum(DJ)", decimal(12, 2)},
      {"sum(SL)", t(JetType::Double)},
      {"sum(ZT)", t(JetType::Double)},
      {"avg(JE)", t(JetType::Double)},
      {"stdev(SL)", t(JetType::Double)},
      // Dates.
      {"date()", t(JetType::DateTime)},
      {"Now()", t(JetType::DateTime)},
      {"dateadd('d', 1, max(RQ))", t(JetType::DateTime)},
      {"DateValue('2008-1-1')", t(JetType::DateTime)},
      {"Int(RQ)", t(JetType::DateTime)},
      {"fix(max(RQ))", t(JetType::DateTime)},
      {"RQ + 1", t(JetType::DateTime)},
      {"1 + RQ", t(JetType::DateTime)},
      {"RQ - 1", t(JetType::DateTime)},
      {"RQ - RQ", t(JetType::Double)},
      {"#2008-08-30#", t(JetType::DateTime)},
      {"year(RQ)", t(JetType::Integer)},
      {"datediff('d', RQ, now())", t(JetType::Long)},
      // Branches share a type; Null takes the other's.
      {"iif(ZT, RQ, null)", from(t(JetType::DateTime), "XSKDZB", "RQ")},
      {"iif(ZT, null, JE)", from(t(JetType::Currency), "XSKDZB", "JE")},
      {"iif(ZT, SL, F)", t(JetType::Double)},
      {"iif(ZT, MC, 'x')", t(JetType::Text, 255)},
      {"iif(ZT, SL, 'x')", t(JetType::Unknown)},
      {"switch(ZT, JE, SL > 1, 0)", t(JetType::Currency)},
      {"nz(JE, 0)", t(JetType::Currency)},
      {"nz(MC)", from(t(JetType::Text, 20), "XSKDZB", "MC")},
      {"nz(SL)", t(JetType::Unknown)},
      // Text.
      {"format(RQ, 'yyyy-mm')", t(JetType::Text, 255)},
      {"MC & SL", t(JetType::Text, 255)},
      {"left$(MC, 2)", t(JetType::Text, 255)},
      {"'abc'", t(JetType::Text, 255)},
      {"MC + MC", t(JetType::Text, 255)},
      // Numbers and conversions.
      {"SL * 2", t(JetType::Long)},
      {"SL * 2.5", t(JetType::Double)},
      {"JE * SL", t(JetType::Currency)},
      {"JE * F", t(JetType::Double)},
      {"SL / 2", t(JetType::Double)},
      {"SL \\ 2", t(JetType::Long)},
      {"SL mod 2", t(JetType::Long)},
      {"-JE", t(JetType::Currency)},
      {"3000000000", t(JetType::Double)},
      {"clng(F)", t(JetType::Long)},
      {"CInt(F)", t(JetType::Integer)},
      {"cdbl(SL)", t(JetType::Double)},
      {"csng(SL)", t(JetType::Single)},
      {"ccur(F)", t(JetType::Currency)},
      {"cstr(SL)", t(JetType::Text, 255)},
      {"cbool(SL)", t(JetType::Boolean)},
      {"cdate(MC)", t(JetType::DateTime)},
      {"abs(JE)", t(JetType::Currency)},
      {"round(F, 2)", t(JetType::Double)},
      // Truth values.
      {"SL > 1", t(JetType::Boolean)},
      {"MC like 'a*'", t(JetType::Boolean)},
      {"not ZT", t(JetType::Boolean)},
      {"ZT", from(t(JetType::Boolean), "XSKDZB", "ZT")},
      // What the text does not tell.
      {"null", t(JetType::Null)},
      {"NOCOLUMN", t(JetType::Unknown)},
      {"Z.NOCOLUMN + 1", t(JetType::Unknown)},
  };
  for (const auto& [expression, expected] : cases) {
    SCOPED_TRACE(expression);
    EXPECT_EQ(typeOf(expression), expected);
  }
  ColumnType p = typeOf("?");
  EXPECT_EQ(p.type, JetType::Parameter);
  EXPECT_EQ(typesOf("select SL, ? as A, ? as B from XSKDZB where ID = ?").at(2).parameter, 2);
}

TEST(JetResultTypes, ColumnsResolveThroughTheFromClause) {
  // Aliases, the catalogue's join form, a sub-query in FROM and one in the
  // select list (correlated), each to the column it names.
  auto cols = typesOf(
      "select Z.MC, K.MC, max(S.R), (select max(ZCRQ) from KH K2 where K2.ID = Z.KHID), MC as M2, M2 "
      "from XSKDZB Z, KH K, Z inner join K on Z.KHID = K.ID, (select RQ + 1 as R from XSKDZB) S");
  ASSERT_EQ(cols.size(), 6u);
  EXPECT_EQ(cols[0], from(t(JetType::Text, 20), "XSKDZB", "MC"));
  EXPECT_EQ(cols[1], from(t(JetType::Text, 40), "KH", "MC"));
  EXPECT_EQ(cols[2], t(JetType::DateTime));
  EXPECT_EQ(cols[3], from(t(JetType::DateTime), "KH", "ZCRQ"));
  // An unqualified name takes the first table that has it, as the alias M2 does.
  EXPECT_EQ(cols[4], from(t(JetType::Text, 20), "XSKDZB", "MC"));
  EXPECT_EQ(cols[5], cols[4]);

  // "*" and "t.*" expand in table order; joins in parentheses.
  cols = typesOf("select K.*, * from (KH K inner join XSKDZB Z on Z.KHID = K.ID)");
  ASSERT_EQ(cols.size(), 3u + 3u + 9u);
  EXPECT_EQ(cols[2].column, "ZCRQ");
  EXPECT_EQ(cols[5].column, "ZCRQ");
  EXPECT_EQ(cols[6].table, "XSKDZB");

  // A union: the members' shared type.
  cols = typesOf("select max(RQ), SL from XSKDZB union select null, F from XSKDZB order by 1");
  ASSERT_EQ(cols.size(), 2u);
  EXPECT_EQ(cols[0], from(t(JetType::DateTime), "XSKDZB", "RQ"));
  EXPECT_EQ(cols[1], t(JetType::Double));

  // Nothing to tell: not a SELECT, or a "*" over a table the schema lacks.
  EXPECT_TRUE(typesOf("select * from NOTABLE").empty());
  EXPECT_TRUE(typesOf("update XSKDZB set RQ = RQ + 1").empty());
  EXPECT_TRUE(typesOf("select from where").empty());
  // A column of an unknown table is unknown, the rest still typed.
  cols = typesOf("select N.X, count(*) from NOTABLE N");
  ASSERT_EQ(cols.size(), 2u);
  EXPECT_EQ(cols[0].type, JetType::Unknown);
  EXPECT_EQ(cols[1].type, JetType::Long);
}

TEST(JetResultTypes, TranslationFollowsTheColumnsTypes) {
  // A date-time column moves by days and a text column joins under +; a
  // number column adds. Without a schema the translator cannot see them.
  const std::pair<const char*, const char*> cases[] = {
      {"select RQ + 1 from XSKDZB", "SELECT jet_add(RQ, 1) AS Expr1000 FROM XSKDZB"},
      {"select RQ - ? from XSKDZB", "SELECT jet_sub(RQ, ?1) AS Expr1000 FROM XSKDZB"},
      {"select MC + 'x' from XSKDZB", "SELECT jet_add(MC, 'x') AS Expr1000 FROM XSKDZB"},
      {"select SL + 1 from XSKDZB", "SELECT SL + 1 AS Expr1000 FROM XSKDZB"},
      {"select RQ as R, R + 1 as R1 from XSKDZB", "SELECT RQ AS R, jet_add((RQ), 1) AS R1 FROM XSKDZB"},
      {"update XSKDZB set RQ = RQ + 1 where RQ - 1 > #2008-01-01#",
       "UPDATE XSKDZB SET RQ = jet_store_datetime(jet_add(RQ, 1)) WHERE jet_sub(RQ, 1) > '2008-01-01 00:00:00'"},
      // Written values pass through their column's conversion; text columns
      // and columns the schema does not know take them as they come.
      {"insert into KH (ID, MC, NOCOLUMN) values ('1', 2, 'x')",
       "INSERT INTO KH (ID, MC, NOCOLUMN) VALUES (jet_store_long('1'), 2, 'x')"},
      {"insert into KH values (?, 'x', #2008-01-01#)",
       "INSERT INTO KH VALUES (jet_store_long(?1), 'x', jet_store_datetime('2008-01-01 00:00:00'))"},
      {"insert into KH (MC, ZCRQ) select MC, RQ from XSKDZB order by RQ",
       "INSERT INTO KH (MC, ZCRQ) WITH \"jet$written\"(v1, v2) AS (SELECT MC, RQ FROM XSKDZB ORDER BY RQ) "
       "SELECT v1, jet_store_datetime(v2) FROM \"jet$written\""},
      {"insert into KH (MC) select MC from XSKDZB", "INSERT INTO KH (MC) SELECT MC FROM XSKDZB"},
      {"insert into NOTABLE (A) values ('x')", "INSERT INTO NOTABLE (A) VALUES ('x')"},
      {"update XSKDZB Z set Z.ZT = 'True', JE = 1, DJ = SL, F = F * 2",
       "UPDATE XSKDZB AS Z SET ZT = jet_store_boolean('True'), JE = jet_store_currency(1), "
       "DJ = jet_store_decimal(SL), F = jet_store_double(F * 2)"},
      {"delete from XSKDZB where RQ + 1 > Now()",
       "DELETE FROM XSKDZB WHERE jet_add(RQ, 1) > datetime('now', 'localtime')"},
  };
  for (const auto& [jet, sqlite] : cases) {
    SCOPED_TRACE(jet);
    MemorySchema schema;
    EXPECT_EQ(translateTyped(jet, schema).sql, sqlite);
  }
  EXPECT_EQ(translate("select RQ + 1 from XSKDZB"), "SELECT RQ + 1 AS Expr1000 FROM XSKDZB");
}

TEST(JetResultTypes, DeclaredParametersAndMakeTables) {
  // Declared names become the markers of their declared positions, however
  // often and in whatever order the text uses them; they carry their types.
  MemorySchema schema;
  TypedTranslation p = translateTyped(
      "PARAMETERS [Start Date] DateTime, n Long, q Text(20);\r\n"
      "SELECT n AS N, [Start Date] AS S, MC FROM XSKDZB WHERE RQ >= [start date] AND SL > n AND MC = q;",
      schema);
  EXPECT_EQ(p.sql, "SELECT ?2 AS N, ?1 AS S, MC FROM XSKDZB WHERE RQ >= ?1 AND SL > ?2 AND MC = ?3");
  ASSERT_EQ(p.columns.size(), 3u);
  EXPECT_EQ(p.columns[0], t(JetType::Long));
  EXPECT_EQ(p.columns[1], t(JetType::DateTime));
  auto declared = declaredParameters("parameters a Currency, b Decimal(12, 2), c Value, d Text; select 1");
  ASSERT_EQ(declared.size(), 4u);
  EXPECT_EQ(declared[0].name, "a");
  EXPECT_EQ(declared[0].type, t(JetType::Currency));
  EXPECT_EQ(declared[1].type, decimal(12, 2));
  EXPECT_EQ(declared[2].type, t(JetType::Unknown));
  EXPECT_EQ(declared[3].type, t(JetType::Text, 255));
  EXPECT_TRUE(declaredParameters("select 1").empty());
  EXPECT_TRUE(declaredParameters("parameters a Nothing; select 1").empty());

  // SELECT ... INTO: the select to fill the table from, and the columns to make.
  TypedTranslation m =
      translateTyped("select MC, max(RQ) as Latest, sum(JE) into [Work Table] from XSKDZB group by MC", schema);
  ASSERT_TRUE(m.makeTable);
  EXPECT_EQ(m.makeTable->table, "Work Table");
  EXPECT_EQ(m.makeTable->selectSql, "SELECT MC, max(RQ) AS Latest, sum(JE) AS Expr1000 FROM XSKDZB GROUP BY MC");
  ASSERT_EQ(m.makeTable->columns.size(), 3u);
  EXPECT_EQ(m.makeTable->columns[1].name, "Latest");
  EXPECT_EQ(m.makeTable->columns[1].type, from(t(JetType::DateTime), "XSKDZB", "RQ"));
  EXPECT_EQ(m.makeTable->columns[2].name, "Expr1000");
  EXPECT_EQ(m.makeTable->columns[2].type, t(JetType::Currency));
  // Without a schema, SQLite's own CREATE TABLE ... AS.
  EXPECT_EQ(translate("select MC into T2 from XSKDZB"), "CREATE TABLE T2 AS SELECT MC FROM XSKDZB");
  // A "*" over a table the schema does not know cannot be made.
  EXPECT_FALSE(translateTyped("select * into T3 from NOTABLE", schema).makeTable);
}

TEST(JetResultTypes, CrosstabsPivotOnTheirValues) {
  MemorySchema schema;
  // Fixed columns: written at once, one filtered aggregate per value.
  TypedTranslation fixed = translateTyped(
      "TRANSFORM Sum(Z.JE) AS S SELECT K.MC FROM XSKDZB Z INNER JOIN KH K ON Z.KHID = K.ID GROUP BY K.MC "
      "PIVOT Year(Z.RQ) IN (2008, 2009, Null)",
      schema);
  EXPECT_FALSE(fixed.pivotValuesSql);
  EXPECT_EQ(fixed.sql,
            "SELECT K.MC, CASE WHEN count(*) FILTER (WHERE jet_year(Z.RQ) = 2008) > 0 THEN "
            "Sum(Z.JE) FILTER (WHERE jet_year(Z.RQ) = 2008) END AS \"2008\", "
            "CASE WHEN count(*) FILTER (WHERE jet_year(Z.RQ) = 2009) > 0 THEN "
            "Sum(Z.JE) FILTER (WHERE jet_year(Z.RQ) = 2009) END AS \"2009\", "
            "CASE WHEN count(*) FILTER (WHERE jet_year(Z.RQ) IS NULL) > 0 THEN "
            "Sum(Z.JE) FILTER (WHERE jet_year(Z.RQ) IS NULL) END AS \"<>\" "
            "FROM XSKDZB AS Z INNER JOIN KH AS K ON Z.KHID = K.ID GROUP BY K.MC");
  ASSERT_EQ(fixed.columns.size(), 4u);
  EXPECT_EQ(fixed.columns[0], from(t(JetType::Text, 40), "KH", "MC"));
  for (size_t i = 1; i < 4; ++i) EXPECT_EQ(fixed.columns[i], t(JetType::Currency));

  // Columns from the data: first the query of the values, then the crosstab
  // for the values found (a text with a quote, a number, Null).
  const char* text = "TRANSFORM Count(*) SELECT SL FROM XSKDZB WHERE ID > ? GROUP BY SL PIVOT MC";
  TypedTranslation first = translateTyped(text, schema);
  ASSERT_TRUE(first.pivotValuesSql);
  EXPECT_EQ(*first.pivotValuesSql, "SELECT DISTINCT MC FROM XSKDZB WHERE ID > ?1 ORDER BY 1");
  EXPECT_TRUE(first.sql.empty());
  std::vector<PivotValue> values(3);
  values[0].kind = PivotValue::Kind::Null;
  values[1].kind = PivotValue::Kind::Real;
  values[1].r = 1.5;
  values[2].kind = PivotValue::Kind::Text;
  values[2].text = "it's";
  TypedTranslation second = translateCrosstab(text, schema, values);
  const std::string cell =
      "CASE WHEN count(*) FILTER (WHERE MC = 'it''s') > 0 THEN Count(*) FILTER (WHERE MC = 'it''s') END";
  EXPECT_NE(second.sql.find(", " + cell + " AS \"it's\" FROM XSKDZB WHERE ID > ?1 GROUP BY SL"), std::string::npos)
      << second.sql;
  EXPECT_NE(second.sql.find("Count(*) FILTER (WHERE MC IS NULL) END AS \"<>\""), std::string::npos);
  EXPECT_NE(second.sql.find("FILTER (WHERE MC = 1.5) END AS \"1.5\""), std::string::npos);
  ASSERT_EQ(second.columns.size(), 4u);
  EXPECT_EQ(second.columns[3], t(JetType::Long));
}

}  // namespace
}  // namespace rvz::data::jet
