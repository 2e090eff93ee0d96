// The Access types on PostgreSQL: every declared type the SQLite provider
// reads comes back from the PostgreSQL column it becomes as the same column
// description; the DDL texts for PostgreSQL; the company schema translates.
#include <gtest/gtest.h>

#include "catalogue/schema.h"
#include "platform/data/jet/jet_translator.h"
#include "platform/data/jet/pg_types.h"
#include "platform/data/sqlite/declared_type.h"

namespace rvz::data::jet {
namespace {

// What the catalog of a server holds for a column made with `pgSql` (the
// type text of pgColumnType): the type's name, the modifier PostgreSQL keeps
// and the collation.
PgColumnType catalogEntry(const PgColumnDecl& d) {
  PgColumnType t;
  t.identity = d.identity;
  std::string sql = d.sql;
  size_t collate = sql.find(" COLLATE \"");
  if (collate != std::string::npos) {
    t.collation = sql.substr(collate + 10, sql.size() - collate - 11);
    sql.resize(collate);
  }
  if (d.identity) sql = sql.substr(0, sql.find(' '));
  size_t open = sql.find('(');
  std::string name = sql.substr(0, open);
  int a = 0, b = 0;
  if (open != std::string::npos) {
    a = std::stoi(sql.substr(open + 1));
    size_t comma = sql.find(',');
    if (comma != std::string::npos) b = std::stoi(sql.substr(comma + 1));
  }
  static const std::pair<const char*, const char*> kNames[] = {
      {"varchar", "varchar"}, {"char", "bpchar"},         {"text", "text"},           {"integer", "int4"},
      {"smallint", "int2"},   {"bigint", "int8"},         {"real", "float4"},         {"double precision", "float8"},
      {"numeric", "numeric"}, {"timestamp", "timestamp"}, {"date", "date"},           {"time", "time"},
      {"bytea", "bytea"},     {"uuid", "uuid"},           {"rvz_yesno", "rvz_yesno"}, {"rvz_currency", "rvz_currency"}};
  for (const auto& [written, typname] : kNames)
    if (name == written) t.typeName = typname;
  EXPECT_FALSE(t.typeName.empty()) << d.sql;
  if (t.typeName == "varchar" || t.typeName == "bpchar") t.typmod = a + 4;
  if (t.typeName == "numeric") t.typmod = ((a << 16) | b) + 4;
  if (t.typeName == "timestamp" || t.typeName == "time") t.typmod = a;
  return t;
}

TEST(PgTypes, EveryDeclaredTypeComesBackAsTheSqliteProviderDescribesIt) {
  const char* declared[] = {"TEXT(50)",
                            "TEXT",
                            "VARCHAR(8)",
                            "NVARCHAR(30)",
                            "STRING(12)",
                            "CHAR(10)",
                            "NCHAR(2)",
                            "CHARACTER(4)",
                            "ANSIVARCHAR(20)",
                            "ANSICHAR(6)",
                            "MEMO",
                            "LONGTEXT",
                            "NTEXT",
                            "COUNTER",
                            "AUTOINCREMENT",
                            "LONG",
                            "INTEGER",
                            "INT",
                            "SHORT",
                            "SMALLINT",
                            "BYTE",
                            "TINYINT",
                            "BIGINT",
                            "YESNO",
                            "BIT",
                            "BOOLEAN",
                            "DOUBLE",
                            "FLOAT",
                            "SINGLE",
                            "REAL",
                            "CURRENCY",
                            "MONEY",
                            "DECIMAL(12,2)",
                            "DECIMAL(18)",
                            "DECIMAL",
                            "NUMERIC(12,3)",
                            "NUMERIC(5)",
                            "DATETIME",
                            "TIMESTAMP",
                            "DATE",
                            "TIME",
                            "LONGBINARY",
                            "OLEOBJECT",
                            "IMAGE",
                            "GUID",
                            "MEDIUMINT",
                            "DOUBLE PRECISION",
                            "VARCHAR2(9)"};
  for (const char* d : declared) {
    SCOPED_TRACE(d);
    std::optional<PgColumnDecl> pg = pgColumnType(d);
    ASSERT_TRUE(pg);
    ColumnInfo want = sqlite::kindOfDeclaredType(d);
    ColumnInfo got = columnInfoOfPg(catalogEntry(*pg));
    EXPECT_EQ(got.kind, want.kind) << pg->sql;
    EXPECT_EQ(got.size, want.size) << pg->sql;
    EXPECT_EQ(got.precision, want.precision) << pg->sql;
    EXPECT_EQ(got.scale, want.scale) << pg->sql;
    EXPECT_EQ(got.fixed, want.fixed) << pg->sql;
    EXPECT_EQ(got.currency, want.currency) << pg->sql;
    EXPECT_FALSE(got.kindFromValues);
  }
}

TEST(PgTypes, ColumnTypesAndTheirInverse) {
  EXPECT_EQ(pgColumnType("ANSIVARCHAR(20)")->sql, "varchar(20) COLLATE \"rvz_ci_narrow\"");
  EXPECT_EQ(pgColumnType("text(50)")->sql, "varchar(50) COLLATE \"rvz_ci\"");
  EXPECT_EQ(pgColumnType("CHAR(4)")->sql, "char(4) COLLATE \"rvz_ci\"");
  EXPECT_EQ(pgColumnType("MEMO")->sql, "text COLLATE \"rvz_ci\"");
  EXPECT_EQ(pgColumnType("CURRENCY")->sql, "rvz_currency");
  EXPECT_EQ(pgColumnType("YESNO")->sql, "rvz_yesno");
  EXPECT_EQ(pgColumnType("COUNTER")->sql, "integer GENERATED BY DEFAULT AS IDENTITY");
  EXPECT_TRUE(pgColumnType("COUNTER")->identity);
  EXPECT_EQ(pgColumnType("DECIMAL(12, 2)")->sql, "numeric(12,2)");
  EXPECT_EQ(pgColumnType("DATETIME")->sql, "timestamp(0)");
  EXPECT_FALSE(pgColumnType("WIDGET"));
  EXPECT_FALSE(pgColumnType(""));

  EXPECT_EQ(accessTypeOfPg({"varchar", 24, "rvz_ci_narrow", false}), "ANSIVARCHAR(20)");
  EXPECT_EQ(accessTypeOfPg({"varchar", 24, "rvz_ci", false}), "TEXT(20)");
  EXPECT_EQ(accessTypeOfPg({"varchar", -1, "", false}), "TEXT(255)");
  EXPECT_EQ(accessTypeOfPg({"int4", -1, "", true}), "COUNTER");
  EXPECT_EQ(accessTypeOfPg({"numeric", ((19 << 16) | 4) + 4, "", false}), "DECIMAL(19,4)");
  EXPECT_EQ(accessTypeOfPg({"numeric", -1, "", false}), "DOUBLE");
  EXPECT_EQ(accessTypeOfPg({"tsvector", -1, "", false}), "");

  ColumnInfo unknown = columnInfoOfPg({"tsvector", -1, "", false});
  EXPECT_EQ(unknown.kind, FieldKind::Unknown);
  EXPECT_TRUE(unknown.kindFromValues);
  // A result column known by its OID alone.
  EXPECT_EQ(columnInfoOfPg({std::string(pgTypeNameOfOid(1043)), 44, "", false}).size, 40);
  EXPECT_EQ(columnInfoOfPg({std::string(pgTypeNameOfOid(16)), -1, "", false}).kind, FieldKind::Boolean);
  EXPECT_EQ(pgTypeNameOfOid(99999), "");
}

TEST(PgTypes, SetupScriptMakesWhatTheTypesName) {
  std::string sql = pgSetupSql();
  for (const char* needed :
       {"CREATE COLLATION IF NOT EXISTS \"rvz_ci\"", "CREATE COLLATION IF NOT EXISTS \"rvz_ci_narrow\"",
        "CREATE DOMAIN rvz_yesno AS smallint", "CREATE DOMAIN rvz_currency AS numeric(19,4)", "AGGREGATE rvz_first",
        "AGGREGATE rvz_last"})
    EXPECT_NE(sql.find(needed), std::string::npos) << needed;
}

std::string pgDdl(const std::string& jet) {
  Translation t = translateDetailed(jet, nullptr, nullptr, Target::Postgres);
  EXPECT_TRUE(t.translated) << jet << ": " << t.reason;
  return t.sql;
}

TEST(PgDdl, Texts) {
  struct Case {
    const char* jet;
    const char* pg;
  } cases[] = {
      {"CREATE TABLE Appselect (DATASET ANSIVARCHAR(20), FIELDNAME ANSIVARCHAR(20), AUTOUPDATE YESNO, DATASELECT MEMO, "
       "DefaultRow LONG, CONSTRAINT PK_Appselect PRIMARY KEY (DATASET, FIELDNAME))",
       "CREATE TABLE \"Appselect\" (\"DATASET\" varchar(20) COLLATE \"rvz_ci_narrow\" NOT NULL, \"FIELDNAME\" "
       "varchar(20) COLLATE \"rvz_ci_narrow\" NOT NULL, \"AUTOUPDATE\" rvz_yesno, \"DATASELECT\" text COLLATE "
       "\"rvz_ci\", \"DefaultRow\" integer, CONSTRAINT \"PK_Appselect\" PRIMARY KEY (\"DATASET\", \"FIELDNAME\"))"},
      // A counter is an identity column; the key stays where it is written.
      {"create table T (ID counter, Code text(8) primary key, Price currency default 0)",
       "CREATE TABLE \"T\" (\"ID\" integer GENERATED BY DEFAULT AS IDENTITY, \"Code\" varchar(8) COLLATE \"rvz_ci\" "
       "PRIMARY KEY NOT NULL, \"Price\" rvz_currency DEFAULT 0)"},
      {"CREATE TABLE X (ID COUNTER CONSTRAINT PK PRIMARY KEY, F YESNO DEFAULT YES)",
       "CREATE TABLE \"X\" (\"ID\" integer GENERATED BY DEFAULT AS IDENTITY CONSTRAINT \"PK\" PRIMARY KEY, \"F\" "
       "rvz_yesno DEFAULT -1)"},
      {"CREATE UNIQUE INDEX ByCode ON goods (SPBH DESC)",
       "CREATE UNIQUE INDEX \"goods.ByCode\" ON \"goods\" (\"SPBH\" DESC)"},
      {"DROP INDEX ByCode ON goods", "DROP INDEX \"goods.ByCode\""},
      {"ALTER TABLE goods ADD COLUMN Seq COUNTER",
       "ALTER TABLE \"goods\" ADD COLUMN \"Seq\" integer GENERATED BY DEFAULT AS IDENTITY"},
      {"DROP TABLE goods", "DROP TABLE \"goods\""},
  };
  for (const Case& c : cases) EXPECT_EQ(pgDdl(c.jet), c.pg);

  Translation bad = translateDetailed("CREATE TABLE T (A WIDGET)", nullptr, nullptr, Target::Postgres);
  EXPECT_FALSE(bad.translated);
  EXPECT_NE(bad.reason.find("unknown column type WIDGET"), std::string::npos) << bad.reason;
}

TEST(PgDdl, TheCompanySchemaTranslates) {
  for (const std::string& s : catalogue::companySchemaStatements()) {
    Translation t = translateDetailed(s, nullptr, nullptr, Target::Postgres);
    EXPECT_TRUE(t.translated) << s << "\n" << t.reason;
    EXPECT_EQ(t.sql.find("COLLATE NOCASE"), std::string::npos) << t.sql;
  }
}

}  // namespace
}  // namespace rvz::data::jet
