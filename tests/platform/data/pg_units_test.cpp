// The SQL Server provider's pure parts: connection strings to libpq
// keywords, "?" markers to $n, SQLSTATEs to error numbers, PostgreSQL types
// to column kinds and values to cells.
#include <gtest/gtest.h>

#include "platform/data/data_error.h"
#include "platform/data/pg/pg_connect_params.h"
#include "platform/data/pg/pg_errors.h"
#include "platform/data/pg/pg_markers.h"
#include "platform/data/pg/pg_types.h"

namespace rvz::data::pg {
namespace {

PgConnectParams paramsOf(const std::string& cs, int timeout = 15) {
  return pgConnectParams(ConnectionString::parse(cs), timeout, "RoVezevu datas@box");
}

TEST(PgConnectParamsTest, DataSourceNamesTheServer) {
  struct Case {
    std::string source;
    std::string host, port, service, shown;
  } cases[] = {
      {"", "", "", "", "(local)"},
      {"Data Source=.", "", "", "", "(local)"},
      {"Data Source=(local)", "", "", "", "(local)"},
      {"Data Source=LOCALHOST", "", "", "", "(local)"},
      {"Data Source=db1", "db1", "", "", "db1"},
      {"Server=db1,5433", "db1", "5433", "", "db1,5433"},
      {"Data Source=tcp:10.0.0.5,1433", "10.0.0.5", "1433", "", "tcp:10.0.0.5,1433"},
      {"Data Source=TCP:db1", "db1", "", "", "TCP:db1"},
      {"Data Source=db1\\ACCOUNTS", "db1", "", "ACCOUNTS", "db1\\ACCOUNTS"},
      {"Data Source=.\\SQLEXPRESS", "", "", "SQLEXPRESS", ".\\SQLEXPRESS"},
      {"Data Source=(local),5433", "localhost", "5433", "", "(local),5433"},
      {"Data Source=/tmp/pg sock", "/tmp/pg sock", "", "", "/tmp/pg sock"},
      {"Data Source=fe80::1", "fe80::1", "", "", "fe80::1"},
      {"Data Source=lpc:(local)", "", "", "", "lpc:(local)"},
  };
  for (const auto& c : cases) {
    PgConnectParams p = paramsOf(c.source);
    EXPECT_EQ(p.value("host"), c.host) << c.source;
    EXPECT_EQ(p.value("port"), c.port) << c.source;
    EXPECT_EQ(p.value("service"), c.service) << c.source;
    EXPECT_EQ(p.server, c.shown) << c.source;
  }
}

TEST(PgConnectParamsTest, ABadDataSourceIsRefusedWithoutThePassword) {
  for (std::string source : {"db1,0", "db1,70000", "db1,54x", "np:\\\\db1\\pipe\\sql", "lpc:db1", "db1\\"}) {
    try {
      paramsOf("Data Source=" + source + ";User ID=sa;Password=Geheim9");
      ADD_FAILURE() << source;
    } catch (const DataError& e) {
      EXPECT_EQ(e.number(), kErrBadConnectionString) << source;
      EXPECT_NE(std::string(e.what()).find("names no server"), std::string::npos) << e.what();
      EXPECT_EQ(std::string(e.what()).find("Geheim9"), std::string::npos) << e.what();
    }
  }
}

TEST(PgConnectParamsTest, LoginDatabaseAndSettings) {
  PgConnectParams p = paramsOf("Provider=SQLOLEDB.1;Data Source=db1;User ID=sa;Password=x;Initial Catalog=DaZiva", 10);
  EXPECT_EQ(p.value("user"), "sa");
  EXPECT_EQ(p.value("password"), "x");
  EXPECT_EQ(p.password, "x");
  EXPECT_EQ(p.value("dbname"), "DaZiva");
  EXPECT_EQ(p.value("connect_timeout"), "10");
  EXPECT_EQ(p.value("application_name"), "RoVezevu datas@box");
  EXPECT_EQ(p.value("client_encoding"), "UTF8");

  // The operating-system identity: no user, no password.
  for (std::string cs :
       {"Integrated Security=SSPI;User ID=sa;Password=x", "Trusted_Connection=yes;UID=sa;PWD=x", "Password=x"}) {
    PgConnectParams q = paramsOf(cs);
    EXPECT_EQ(q.value("user"), "") << cs;
    EXPECT_EQ(q.value("password"), "") << cs;
  }
  EXPECT_EQ(paramsOf("Initial Catalog=MASTER").value("dbname"), "postgres");
  EXPECT_EQ(paramsOf("Database=Shop").value("dbname"), "Shop");
  EXPECT_EQ(paramsOf("Encrypt=yes").value("sslmode"), "require");
  EXPECT_EQ(paramsOf("Encrypt=no").value("sslmode"), "");
  EXPECT_EQ(paramsOf("", -1).value("connect_timeout"), "0");
  // application_name keeps to 63 printable ASCII bytes.
  PgConnectParams named = paramsOf("Application Name=" + std::string(70, 'a') + "\xE4\xB8\xAD");
  EXPECT_EQ(named.value("application_name"), std::string(63, 'a'));
  EXPECT_EQ(paramsOf("App=Kasse \xE4\xB8\xAD").value("application_name"), "Kasse ???");
}

TEST(PgConnectParamsTest, PasswordsAreCutFromTexts) {
  EXPECT_EQ(withoutPassword("password 'pw' for pw failed", "pw"), "password '***' for *** failed");
  EXPECT_EQ(withoutPassword("no password here", ""), "no password here");
}

TEST(PgMarkersTest, QuestionMarksOutsideLiteralsAreNumbered) {
  struct Case {
    std::string in, out;
    int markers;
  } cases[] = {
      {"SELECT * FROM t WHERE a = ? AND b = ?", "SELECT * FROM t WHERE a = $1 AND b = $2", 2},
      {"SELECT '?', \"a?\" FROM t WHERE x=?", "SELECT '?', \"a?\" FROM t WHERE x=$1", 1},
      {"SELECT 'it''s ?' || ?", "SELECT 'it''s ?' || $1", 1},
      {"SELECT E'\\' ?' , ?", "SELECT E'\\' ?' , $1", 1},
      {"SELECT $$ ? $$, $tag$ ? $tag$, ?", "SELECT $$ ? $$, $tag$ ? $tag$, $1", 1},
      {"SELECT 1 -- why?\n, ?", "SELECT 1 -- why?\n, $1", 1},
      {"SELECT /* a /* nested? */ ? */ ?", "SELECT /* a /* nested? */ ? */ $1", 1},
      {"SELECT a$b, ? FROM t", "SELECT a$b, $1 FROM t", 1},
      {"SELECT 'open ?", "SELECT 'open ?", 0},
      {"SELECT \"open ?", "SELECT \"open ?", 0},
      {"SELECT /* open ?", "SELECT /* open ?", 0},
      {"SELECT ?2, ?1, ?10", "SELECT $2, $1, $10", 10},
      {"SELECT ?0, ?", "SELECT ?0, $1", 1},
      {"", "", 0},
  };
  for (const auto& c : cases) {
    NumberedText n = numberMarkers(c.in);
    EXPECT_EQ(n.sql, c.out) << c.in;
    EXPECT_EQ(n.markers, c.markers) << c.in;
  }
}

TEST(PgErrorsTest, CommonStatesGetSqlServerNumbers) {
  struct Case {
    const char* state;
    int32_t number;
  } cases[] = {{"23505", 2627},  {"23503", 547}, {"23502", 515}, {"22003", 8115},  {"22P02", 245},
               {"42P01", 208},   {"42703", 207}, {"42601", 102}, {"40P01", 1205},  {"3D000", 4060},
               {"28P01", 18456}, {"08006", 11},  {"57P01", 11},  {"XX000", 50000}, {"", 50000}};
  for (const auto& c : cases) EXPECT_EQ(sqlServerNumber(c.state), c.number) << c.state;
  EXPECT_TRUE(isConnectionLoss("57P01"));
  EXPECT_FALSE(isConnectionLoss("57014"));  // a cancelled statement leaves the session
}

TEST(PgTypesTest, TypesAndModifiersGiveKinds) {
  TableColumn ansi{"ansivarchar", false}, identity{"int4", true}, plain{"varchar", false};
  struct Case {
    uint32_t type;
    int32_t typmod;
    const TableColumn* table;
    FieldKind kind;
    int32_t size, precision, scale;
    bool currency, fixed;
  } cases[] = {
      {oid::kVarchar, 54, &plain, FieldKind::WideString, 50, 0, 0, false, false},
      {oid::kVarchar, 24, &ansi, FieldKind::String, 20, 0, 0, false, false},
      {oid::kVarchar, -1, nullptr, FieldKind::WideString, 255, 0, 0, false, false},
      {oid::kBpchar, 14, nullptr, FieldKind::WideString, 10, 0, 0, false, true},
      {oid::kText, -1, nullptr, FieldKind::Memo, 0, 0, 0, false, false},
      {oid::kInt4, -1, &identity, FieldKind::AutoInc, 0, 0, 0, false, false},
      {oid::kInt4, -1, nullptr, FieldKind::Integer, 0, 0, 0, false, false},
      {oid::kInt2, -1, nullptr, FieldKind::SmallInt, 0, 0, 0, false, false},
      {oid::kInt8, -1, nullptr, FieldKind::LargeInt, 0, 0, 0, false, false},
      {oid::kBool, -1, nullptr, FieldKind::Boolean, 0, 0, 0, false, false},
      {oid::kFloat8, -1, nullptr, FieldKind::Float, 0, 0, 0, false, false},
      {oid::kNumeric, (19 << 16 | 4) + 4, nullptr, FieldKind::BCD, 4, 19, 4, true, false},
      {oid::kNumeric, (12 << 16 | 2) + 4, nullptr, FieldKind::BCD, 2, 12, 2, false, false},
      {oid::kTimestamp, -1, nullptr, FieldKind::DateTime, 0, 0, 0, false, false},
      {oid::kDate, -1, nullptr, FieldKind::Date, 0, 0, 0, false, false},
      {oid::kBytea, -1, nullptr, FieldKind::Blob, 0, 0, 0, false, false},
      {oid::kUuid, -1, nullptr, FieldKind::Guid, 38, 0, 0, false, false},
  };
  for (const auto& c : cases) {
    ColumnInfo i = columnOfType(c.type, c.typmod, c.table);
    EXPECT_EQ(i.kind, c.kind) << c.type;
    EXPECT_EQ(i.size, c.size) << c.type;
    EXPECT_EQ(i.precision, c.precision) << c.type;
    EXPECT_EQ(i.scale, c.scale) << c.type;
    EXPECT_EQ(i.currency, c.currency) << c.type;
    EXPECT_EQ(i.fixed, c.fixed) << c.type;
  }
  EXPECT_TRUE(columnOfType(oid::kInterval, -1, nullptr).kindFromValues);
}

TEST(PgTypesTest, ValuesCrossTheSeamInTheirFixedForms) {
  std::string buf;
  Cell c;
  readValue(ValueForm::Boolean, "t", false, buf, c);
  EXPECT_EQ(c.cls, StorageClass::Integer);
  EXPECT_EQ(c.i, -1);
  readValue(ValueForm::Boolean, "f", false, buf, c);
  EXPECT_EQ(c.i, 0);
  readValue(ValueForm::Integer, "-9000000000", false, buf, c);
  EXPECT_EQ(c.i, -9000000000);
  readValue(ValueForm::DateTime, "2024-02-29 13:05:09", false, buf, c);
  EXPECT_EQ(c.bytes, "2024-02-29 13:05:09");
  readValue(ValueForm::DateTime, "2024-02-29 13:05:09.5+08", false, buf, c);
  EXPECT_EQ(c.bytes, "2024-02-29 13:05:09.5");
  readValue(ValueForm::DateTime, "2024-02-29", false, buf, c);
  EXPECT_EQ(c.bytes, "2024-02-29");
  readValue(ValueForm::Numeric, "12.3400", false, buf, c);
  EXPECT_EQ(c.cls, StorageClass::Text);
  EXPECT_EQ(c.bytes, "12.3400");
  readValue(ValueForm::Numeric, "12.5", true, buf, c);
  EXPECT_EQ(c.cls, StorageClass::Real);
  EXPECT_DOUBLE_EQ(c.r, 12.5);
  readValue(valueFormOf(oid::kBpchar), "box ", false, buf, c);
  EXPECT_EQ(c.bytes, "box");
  readValue(valueFormOf(oid::kBpchar), "   ", false, buf, c);
  EXPECT_EQ(c.bytes, "");
  readValue(ValueForm::Bytes, "\\x00ff41", false, buf, c);
  EXPECT_EQ(c.cls, StorageClass::Blob);
  EXPECT_EQ(c.bytes, std::string_view("\0\xff"
                                      "A",
                                      3));
  for (std::string_view bad : {"\\x0", "\\xzz", "00"})
    EXPECT_THROW(readValue(ValueForm::Bytes, bad, false, buf, c), DataError) << bad;
  EXPECT_THROW(readValue(ValueForm::Integer, "12a", false, buf, c), DataError);
}

TEST(PgTypesTest, ParametersTakeTheFormOfTheirDescribedType) {
  BoundValue yes;
  yes.cls = StorageClass::Integer;
  yes.i = -1;
  EXPECT_EQ(parameterText(yes, oid::kBool).text, "true");
  EXPECT_EQ(parameterText(yes, oid::kInt4).text, "-1");
  BoundValue half;
  half.cls = StorageClass::Real;
  half.r = 2.5;
  EXPECT_EQ(parameterText(half, oid::kInt4).text, "2");
  EXPECT_EQ(parameterText(half, oid::kFloat8).text, "2.5");
  BoundValue serial;
  serial.cls = StorageClass::Real;
  serial.r = 45351.5;  // 2024-02-29 12:00
  EXPECT_EQ(parameterText(serial, oid::kTimestamp).text, "2024-02-29 12:00:00");
  BoundValue bytes;
  bytes.cls = StorageClass::Blob;
  bytes.bytes = std::string("\0\1", 2);
  EXPECT_TRUE(parameterText(bytes, oid::kBytea).binary);
  EXPECT_EQ(typeOfValue(bytes), oid::kBytea);
  EXPECT_EQ(typeOfValue(half), oid::kFloat8);
}

}  // namespace
}  // namespace rvz::data::pg
