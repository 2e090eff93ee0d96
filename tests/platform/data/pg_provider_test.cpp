// The SQL Server provider on a PostgreSQL server: connecting, errors, value
// round trips, cursors read in slices while other commands run, a savepoint
// per statement inside transactions, the schema rowsets, and a backend that
// is killed mid-fetch or mid-apply. The texts here are PostgreSQL SQL, run
// by the provider in its native mode; what the dialect becomes is the
// translator's to test.
#include <gtest/gtest.h>

#include "platform/data/connection.h"
#include "platform/data/driver.h"
#include "platform/data/pg/pg_provider.h"
#include "platform/data/query.h"
#include "platform/data/values.h"
#include "tests/platform/data/data_test_support.h"
#include "tests/platform/data/pg_test_support.h"

namespace rvz::data {
namespace {

using testing::errorOf;
using testing::PgDatabase;

constexpr std::string_view kNative = "PostgreSQL.Native.Test";

class PgProviderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!db_.create()) GTEST_SKIP() << "RVZ_TEST_PG is not set: no PostgreSQL test cluster";
    registerProvider(pg::makeSqlServerProvider(pg::SqlMode::Native, kNative));
    ConnectionString cs = ConnectionString::parse(db_.connectionString());
    cs.set("Provider", std::string(kNative));
    cs.set("Application Name", "rvz test " + db_.name());
    cn_ = std::make_unique<Connection>(cs.toString());
  }
  void TearDown() override {
    cn_.reset();
    db_.drop();
  }

  // All rows of a command, each column's cell as text ("NULL" for null).
  std::vector<std::vector<std::string>> rowsOf(Connection& cn, std::string_view sql,
                                               std::vector<Parameter> params = {}) {
    RunResult r = cn.send(sql, params);
    std::vector<std::vector<std::string>> out;
    if (!r.cursor) return out;
    while (r.cursor->step()) {
      std::vector<std::string> row;
      for (size_t c = 0; c < r.cursor->columns().size(); ++c) {
        Cell cell = r.cursor->cell(c);
        switch (cell.cls) {
          case StorageClass::Null: row.push_back("NULL"); break;
          case StorageClass::Integer: row.push_back(std::to_string(cell.i)); break;
          case StorageClass::Real: row.push_back(std::to_string(cell.r)); break;
          default: row.emplace_back(cell.bytes); break;
        }
      }
      out.push_back(std::move(row));
    }
    return out;
  }
  std::string scalar(Connection& cn, std::string_view sql) {
    auto rows = rowsOf(cn, sql);
    return rows.empty() || rows[0].empty() ? std::string("<none>") : rows[0][0];
  }
  void fillNumbers(int n) {
    cn_->execute("CREATE TABLE \"Nums\" (\"ID\" integer PRIMARY KEY, \"MC\" varchar(20))");
    cn_->execute("INSERT INTO \"Nums\" SELECT g, 'n' || g FROM generate_series(1, " + std::to_string(n) + ") g");
  }
  // Ends the session of the test's connection from another one.
  void killSession() {
    EXPECT_EQ(db_.raw("SELECT count(pg_terminate_backend(pid)) FROM pg_stat_activity WHERE application_name = "
                      "'rvz test " +
                      db_.name() + "'"),
              "1");
  }

  PgDatabase db_;
  std::unique_ptr<Connection> cn_;
};

TEST_F(PgProviderTest, FailedOpensNameTheServerAndHideThePassword) {
  ConnectionString good = ConnectionString::parse(db_.connectionString());
  struct Case {
    std::string key, value;
    std::string expected;
    int32_t number;
  } cases[] = {
      {"Initial Catalog", "NoSuchBase", "(database 'NoSuchBase')", 4060},
      {"User ID", "nobody_here", "nobody_here", 18456},
      {"Data Source", "127.0.0.1,1", "Could not connect to the server '127.0.0.1,1'", 17},
  };
  for (const auto& c : cases) {
    ConnectionString cs = good;
    cs.set(c.key, c.value);
    cs.set("Password", "Geheim9");
    if (c.key != "User ID" && !cs.has("User ID")) cs.set("User ID", "someone");
    Connection cn(cs.toString());
    int32_t number = 0;
    std::string msg = errorOf([&] { cn.open(); }, &number);
    EXPECT_NE(msg.find(c.expected), std::string::npos) << msg;
    EXPECT_EQ(msg.find("Geheim9"), std::string::npos) << msg;
    EXPECT_EQ(number, c.number) << msg;
    EXPECT_FALSE(cn.isOpen());
  }
}

TEST_F(PgProviderTest, MasterIsTheMaintenanceDatabase) {
  ConnectionString cs = ConnectionString::parse(db_.connectionString());
  cs.set("Provider", std::string(kNative));
  cs.set("Initial Catalog", "master");
  Connection master(cs.toString());
  EXPECT_EQ(scalar(master, "SELECT current_database()"), "postgres");
}

TEST_F(PgProviderTest, StatementErrorsCarrySqlServerNumbers) {
  cn_->execute("CREATE TABLE \"Dw\" (\"ID\" integer PRIMARY KEY, \"MC\" varchar(5) NOT NULL)");
  cn_->execute("CREATE TABLE \"Kh\" (\"ID\" integer PRIMARY KEY, \"DwID\" integer REFERENCES \"Dw\"(\"ID\"))");
  cn_->execute("INSERT INTO \"Dw\" VALUES (1, 'a')");
  struct Case {
    std::string sql;
    int32_t number;
  } cases[] = {
      {"INSERT INTO \"Dw\" VALUES (1, 'b')", 2627},
      {"INSERT INTO \"Kh\" VALUES (1, 7)", 547},
      {"INSERT INTO \"Dw\" VALUES (2, NULL)", 515},
      {"INSERT INTO \"Dw\" VALUES (2, 'toolong')", 8152},
      {"SELECT * FROM \"Nowhere\"", 208},
      {"SELECT \"Nix\" FROM \"Dw\"", 207},
      {"SELEKT 1", 102},
      {"SELECT 'x'::integer", 245},
      {"SELECT 1 / 0", 8134},
  };
  for (const auto& c : cases) {
    int32_t number = 0;
    std::string msg = errorOf([&] { rowsOf(*cn_, c.sql); }, &number);
    EXPECT_EQ(number, c.number) << c.sql << " -> " << msg;
    EXPECT_FALSE(msg.empty());
  }
  EXPECT_EQ(scalar(*cn_, "SELECT count(*) FROM \"Dw\""), "1");  // the connection goes on
}

TEST_F(PgProviderTest, ValuesRoundTripThroughParametersAndVariants) {
  cn_->execute(
      "CREATE TABLE \"T\" (\"ID\" integer PRIMARY KEY, \"MC\" varchar(30), \"SL\" smallint, \"JE\" numeric(19,4), "
      "\"DJ\" numeric(12,2), \"F\" double precision, \"YN\" boolean, \"RQ\" timestamp, \"D\" date, \"BZ\" text, "
      "\"TP\" bytea, \"BIG\" bigint)");
  std::vector<Parameter> params = {
      Parameter::of(Variant::i4(1)),
      Parameter::of(Variant::bstrUtf8("中文 Text 'q' ?")),
      Parameter::of(Variant::i2(-7)),
      Parameter::of(Variant::cy(Currency::parse("1234.5678"))),
      Parameter::of(Variant::r8(12.25)),
      Parameter::of(Variant::r8(0.1)),
      Parameter::of(Variant::boolean(true)),
      Parameter::of(Variant::date(*parseStoredDate("2024-02-29 13:05:09"))),
      Parameter::of(Variant::bstrUtf8("2023-12-31")),
      Parameter::of(Variant::null()),
      Parameter::of(Variant::null()),
      Parameter::of(Variant::i8(9000000000)),
  };
  EXPECT_EQ(cn_->execute("INSERT INTO \"T\" VALUES (?,?,?,?,?,?,?,?,?,?,?,?)", params), 1);
  // A yes/no given as -1.
  cn_->execute("UPDATE \"T\" SET \"TP\" = '\\x00ff41'::bytea");
  EXPECT_EQ(
      cn_->execute("UPDATE \"T\" SET \"YN\" = ?, \"BZ\" = ? WHERE \"ID\" = ?",
                   std::vector<Parameter>{Parameter::of(Variant::i4(-1)), Parameter::of(Variant::bstrUtf8("memo")),
                                          Parameter::of(Variant::i4(1))}),
      1);

  Query q;
  q.setConnection(cn_.get());
  q.setCommandText("SELECT * FROM \"T\"");
  q.open();
  ASSERT_FALSE(q.eof());
  struct Expect {
    const char* name;
    FieldKind kind;
    int32_t size;
  } kinds[] = {{"ID", FieldKind::Integer, 0}, {"MC", FieldKind::WideString, 30}, {"SL", FieldKind::SmallInt, 0},
               {"JE", FieldKind::BCD, 4},     {"DJ", FieldKind::BCD, 2},         {"F", FieldKind::Float, 0},
               {"YN", FieldKind::Boolean, 0}, {"RQ", FieldKind::DateTime, 0},    {"D", FieldKind::Date, 0},
               {"BZ", FieldKind::Memo, 0},    {"TP", FieldKind::Blob, 0},        {"BIG", FieldKind::LargeInt, 0}};
  for (size_t i = 0; i < std::size(kinds); ++i) {
    Field f = q.field(i);
    EXPECT_EQ(f.name(), kinds[i].name);
    EXPECT_EQ(f.kind(), kinds[i].kind) << kinds[i].name;
    EXPECT_EQ(f.size(), kinds[i].size) << kinds[i].name;
  }
  EXPECT_EQ(q.field(1).value().toUtf8(), "中文 Text 'q' ?");
  EXPECT_EQ(q.field(2).value().toInt64(), -7);
  // A plain numeric(19,4) is a decimal; currency columns are of the
  // rvz_currency domain (the dialect's CURRENCY).
  EXPECT_EQ(q.field(3).value().type(), VT_DECIMAL);
  EXPECT_EQ(q.field(3).value().toDecimal().toString(), "1234.5678");
  EXPECT_EQ(q.field(4).value().toDecimal().toString(), "12.25");
  EXPECT_DOUBLE_EQ(q.field(5).value().toDouble(), 0.1);
  EXPECT_EQ(q.field(6).value().type(), VT_BOOL);
  EXPECT_TRUE(q.field(6).value().toBool());
  EXPECT_EQ(formatStoredDate(q.field(7).value().toOleDate()), "2024-02-29 13:05:09");
  EXPECT_EQ(formatStoredDate(q.field(8).value().toOleDate()), "2023-12-31 00:00:00");
  EXPECT_EQ(q.field(9).value().toUtf8(), "memo");
  EXPECT_EQ(q.field(10).bytes(), (std::vector<uint8_t>{0x00, 0xff, 0x41}));
  EXPECT_EQ(q.field(11).value().toInt64(), 9000000000);
}

TEST_F(PgProviderTest, SlicesContinueWhileOtherCommandsRun) {
  fillNumbers(1000);
  RunResult a = cn_->send("SELECT \"ID\" FROM \"Nums\" ORDER BY \"ID\"", {});
  ASSERT_TRUE(a.cursor);
  int64_t expected = 1;
  auto slice = [&](int n) {
    for (int k = 0; k < n && a.cursor->step(); ++k) EXPECT_EQ(a.cursor->cell(0).i, expected++);
  };
  slice(100);
  // An apply between slices: committed, then one rolled back.
  {
    Transaction tx(*cn_);
    cn_->execute("UPDATE \"Nums\" SET \"MC\" = 'changed' WHERE \"ID\" <= 10");
    tx.commit();
  }
  slice(100);
  {
    Transaction tx(*cn_);
    cn_->execute("DELETE FROM \"Nums\"");
    tx.rollback();
  }
  slice(100);
  // Another dataset read whole in between.
  EXPECT_EQ(rowsOf(*cn_, "SELECT \"ID\" FROM \"Nums\" WHERE \"MC\" = 'changed'").size(), 10u);
  // The schema rowset and a statement that begins as a select but makes a
  // table (its cursor, declared with its preparation, is refused) while
  // the next block is on its way.
  EXPECT_FALSE(cn_->tables().empty());
  cn_->execute("SELECT \"ID\" INTO \"Copied\" FROM \"Nums\" WHERE \"ID\" <= 5");
  EXPECT_EQ(scalar(*cn_, "SELECT count(*) FROM \"Copied\""), "5");
  slice(1000);
  EXPECT_EQ(expected, 1001);
  EXPECT_FALSE(a.cursor->step());
}

// A result shorter than a block is declared and fetched at once, and its
// cursor closed without waiting for the answer: every kind of command that
// follows (a plain one, a pipeline inside a transaction, another cursor)
// finds the connection ready, and the server keeps no cursor behind.
TEST_F(PgProviderTest, SmallResultsLeaveNoCursorAndTheNextCommandRuns) {
  fillNumbers(3);
  const std::string all = "SELECT \"ID\" FROM \"Nums\" ORDER BY \"ID\"";
  // The unnamed portal is the FETCH that reads the count itself.
  const std::string openCursors =
      "SELECT count(*) FROM pg_cursors WHERE name <> '' AND statement NOT LIKE '%pg_cursors%'";
  // Each command follows a CLOSE whose answer is still unread: a new
  // statement (prepared in a pipeline), a prepared one (declared in a
  // pipeline), plain commands and a transaction.
  EXPECT_EQ(rowsOf(*cn_, all).size(), 3u);
  EXPECT_EQ(scalar(*cn_, openCursors), "0");
  EXPECT_EQ(rowsOf(*cn_, all).size(), 3u);
  EXPECT_EQ(rowsOf(*cn_, all).size(), 3u);
  EXPECT_FALSE(cn_->tables().empty());
  EXPECT_EQ(rowsOf(*cn_, all).size(), 3u);
  {
    Transaction tx(*cn_);
    cn_->execute("UPDATE \"Nums\" SET \"MC\" = 'x' WHERE \"ID\" = 2");
    EXPECT_EQ(rowsOf(*cn_, all).size(), 3u);  // inside a transaction the CLOSE is waited for
    cn_->execute("UPDATE \"Nums\" SET \"MC\" = 'y' WHERE \"ID\" = 2");
    tx.commit();
  }
  EXPECT_EQ(scalar(*cn_, "SELECT \"MC\" FROM \"Nums\" WHERE \"ID\" = 2"), "y");
  EXPECT_EQ(scalar(*cn_, openCursors), "0");
  // A failing DECLARE reports the server's error, and the connection goes on.
  int32_t number = 0;
  errorOf([&] { rowsOf(*cn_, "SELECT 1 / (\"ID\" - 2) FROM \"Nums\""); }, &number);
  EXPECT_EQ(number, 8134);
  EXPECT_EQ(scalar(*cn_, openCursors), "0");
  EXPECT_EQ(rowsOf(*cn_, all).size(), 3u);
}

TEST_F(PgProviderTest, ACursorOpenedInARolledBackTransactionGoesOn) {
  fillNumbers(300);
  cn_->beginTransaction();
  RunResult a = cn_->send("SELECT \"ID\" FROM \"Nums\" ORDER BY \"ID\"", {});
  int64_t expected = 1;
  for (int k = 0; k < 70; ++k) {
    ASSERT_TRUE(a.cursor->step());
    EXPECT_EQ(a.cursor->cell(0).i, expected++);
  }
  cn_->rollback();
  while (a.cursor->step()) EXPECT_EQ(a.cursor->cell(0).i, expected++);
  EXPECT_EQ(expected, 301);
}

TEST_F(PgProviderTest, AFailedStatementLeavesTheTransactionUsable) {
  fillNumbers(3);
  Transaction tx(*cn_);
  int32_t number = 0;
  errorOf([&] { cn_->execute("INSERT INTO \"Nums\" VALUES (2, 'dup')"); }, &number);
  EXPECT_EQ(number, 2627);
  EXPECT_TRUE(cn_->inTransaction());
  errorOf([&] { cn_->execute("UPDATE \"Nums\" SET \"Nix\" = 1"); }, &number);
  EXPECT_EQ(number, 207);
  // A failing query, and one whose failure shows only while its rows are read.
  errorOf([&] { rowsOf(*cn_, "SELECT 10 / (\"ID\" - 2) FROM \"Nums\" ORDER BY \"ID\""); }, &number);
  EXPECT_EQ(number, 8134);
  // Records of one statement, as a delta applies them: the second fails on
  // its own (the statement is prepared by then and runs with its savepoint
  // in one round trip).
  auto insert = [&](int id, const char* mc) {
    return cn_->execute("INSERT INTO \"Nums\" VALUES (?, ?)",
                        std::vector<Parameter>{Parameter::of(Variant::i4(id)), Parameter::of(Variant::bstrUtf8(mc))});
  };
  EXPECT_EQ(insert(4, "ok"), 1);
  errorOf([&] { insert(4, "again"); }, &number);
  EXPECT_EQ(number, 2627);
  errorOf([&] { insert(6, "much too long for twenty characters"); }, &number);
  EXPECT_EQ(number, 8152);
  EXPECT_EQ(insert(5, "fine"), 1);
  EXPECT_FALSE(tx.lostToEngine());
  tx.commit();
  EXPECT_EQ(scalar(*cn_, "SELECT string_agg(\"MC\", ',' ORDER BY \"ID\") FROM \"Nums\""), "n1,n2,n3,ok,fine");
}

TEST_F(PgProviderTest, ParametersAreDescribedOrTakenFromTheirValues) {
  fillNumbers(5);
  // Described by the server: a text value for an integer column.
  EXPECT_EQ(rowsOf(*cn_, "SELECT \"MC\" FROM \"Nums\" WHERE \"ID\" = ?", {Parameter::of(Variant::bstrUtf8("3"))}),
            (std::vector<std::vector<std::string>>{{"n3"}}));
  // Nothing tells the type of a marker alone: the value does.
  EXPECT_EQ(rowsOf(*cn_, "SELECT ?, ?", {Parameter::of(Variant::i4(7)), Parameter::of(Variant::bstrUtf8("x"))}),
            (std::vector<std::vector<std::string>>{{"7", "x"}}));
  // Values beyond the markers are ignored, too few refused.
  EXPECT_EQ(cn_->execute("DELETE FROM \"Nums\" WHERE \"ID\" = ?",
                         std::vector<Parameter>{Parameter::of(Variant::i4(5)), Parameter::of(Variant::i4(9))}),
            1);
  int32_t number = 0;
  errorOf(
      [&] {
        cn_->execute("DELETE FROM \"Nums\" WHERE \"ID\" = ? OR \"ID\" = ?",
                     std::vector<Parameter>{Parameter::of(Variant::i4(1))});
      },
      &number);
  EXPECT_EQ(number, kErrTooFewParameters);
  EXPECT_EQ(scalar(*cn_, "SELECT count(*) FROM \"Nums\""), "4");
}

TEST_F(PgProviderTest, SchemaRowsets) {
  cn_->execute("CREATE TABLE \"Goods\" (\"ID\" integer)");
  cn_->execute("CREATE TABLE \"rpt_Sales\" (\"ID\" integer)");
  cn_->execute("CREATE VIEW \"vi_Goods\" AS SELECT * FROM \"Goods\"");
  std::vector<TableInfo> tables = cn_->tables();
  auto typeOf = [&](const std::string& name) {
    for (const auto& t : tables)
      if (t.name == name) return t.type;
    return std::string("<absent>");
  };
  EXPECT_EQ(typeOf("Goods"), "TABLE");
  EXPECT_EQ(typeOf("rpt_Sales"), "TABLE");
  EXPECT_EQ(typeOf("vi_Goods"), "VIEW");
  EXPECT_EQ(typeOf("pg_class"), "SYSTEM TABLE");
  EXPECT_EQ(typeOf("pg_tables"), "<absent>");  // the server's own views are not listed
  for (size_t i = 1; i < tables.size(); ++i) EXPECT_LE(tables[i - 1].type, tables[i].type);

  Query q;
  q.setConnection(cn_.get());
  q.setCommandText("exec sp_catalogs_rowset;2 null");
  q.open();
  ASSERT_GE(q.findField("CATALOG_NAME"), 0);
  std::vector<std::string> names;
  for (; !q.eof(); q.next()) names.push_back(q.field(0).textUtf8());
  EXPECT_NE(std::find(names.begin(), names.end(), db_.name()), names.end());
  EXPECT_NE(std::find(names.begin(), names.end(), "postgres"), names.end());
  EXPECT_EQ(std::find(names.begin(), names.end(), "template1"), names.end());
}

TEST_F(PgProviderTest, AKilledBackendMidFetchFailsClearlyAndTheNextCallConnects) {
  fillNumbers(500);
  RunResult a = cn_->send("SELECT \"ID\" FROM \"Nums\" ORDER BY \"ID\"", {});
  for (int k = 0; k < 64; ++k) ASSERT_TRUE(a.cursor->step());  // the first block
  killSession();
  int32_t number = 0;
  std::string msg = errorOf(
      [&] {
        while (a.cursor->step()) {
        }
      },
      &number);
  EXPECT_EQ(number, 11) << msg;
  EXPECT_NE(msg.find("was lost"), std::string::npos) << msg;
  a.cursor.reset();
  EXPECT_EQ(scalar(*cn_, "SELECT count(*) FROM \"Nums\""), "500");
}

TEST_F(PgProviderTest, AKilledBackendMidApplyKeepsNothing) {
  fillNumbers(3);
  Transaction tx(*cn_);
  auto remove = [&](int id) {
    return cn_->execute("DELETE FROM \"Nums\" WHERE \"ID\" = ?",
                        std::vector<Parameter>{Parameter::of(Variant::i4(id))});
  };
  EXPECT_EQ(remove(1), 1);
  killSession();
  int32_t number = 0;
  std::string msg = errorOf([&] { remove(2); }, &number);
  EXPECT_EQ(number, 11) << msg;
  ConnectionString shown = ConnectionString::parse(db_.connectionString());
  EXPECT_NE(msg.find("'" + shown.value("Data Source") + "'"), std::string::npos) << msg;
  EXPECT_TRUE(tx.lostToEngine());
  EXPECT_THROW(tx.commit(), DataError);
  EXPECT_EQ(scalar(*cn_, "SELECT count(*) FROM \"Nums\""), "3");
}

TEST_F(PgProviderTest, CompactionIsRefused) {
  Provider* p = findProvider("sqloledb.1");  // the registered one, in any letter case
  ASSERT_NE(p, nullptr);
  ConnectionString cs = ConnectionString::parse(db_.connectionString());
  std::string msg = errorOf([&] { p->compact(cs, cs); });
  EXPECT_NE(msg.find("Compaction is for Access databases"), std::string::npos) << msg;
}

TEST_F(PgProviderTest, CommandsPassTheWatchAsSent) {
  std::vector<std::string> seen;
  cn_->setWillExecute([&](std::string_view text, EventStatus& status) {
    seen.emplace_back(text);
    if (text.find("DROP") != std::string_view::npos) status = EventStatus::Cancel;
  });
  rowsOf(*cn_, "SELECT ? AS \"A\"", {Parameter::of(Variant::i4(1))});
  int32_t number = 0;
  errorOf([&] { cn_->execute("DROP TABLE x"); }, &number);
  EXPECT_EQ(number, kErrOperationCancelled);
  EXPECT_EQ(seen, (std::vector<std::string>{"SELECT ? AS \"A\"", "DROP TABLE x"}));
}

}  // namespace
}  // namespace rvz::data
