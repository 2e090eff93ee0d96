// Connections: open failures and their texts, the connection string of an
// open connection, the before-execute event, transactions, the tables
// rowset and statements with positional parameters.
#include "platform/data/connection.h"

#include <gtest/gtest.h>

#include "platform/data/query.h"
#include "tests/platform/data/data_test_support.h"

namespace rvz::data {
namespace {

using testing::errorOf;

class ConnectionTest : public testing::TempHome {};

TEST_F(ConnectionTest, OpensAndClosesAFileNamedTheWindowsWay) {
  newDatabase("data\\Sample\\DaZiva.mdb");
  Connection cn(connectionStringFor("DATA\\sample\\\\daziva.MDB"));
  EXPECT_FALSE(cn.isOpen());
  cn.open();
  EXPECT_TRUE(cn.isOpen());
  cn.open();  // a second open changes nothing
  cn.close();
  EXPECT_FALSE(cn.isOpen());
  cn.close();
}

TEST_F(ConnectionTest, FailedOpensSayWhy) {
  files::writeFile(home_ / "data" / "junk.mdb", std::string(4096, 'x'));
  struct Case {
    std::string cs;
    std::string expected;
    int32_t number;
  } cases[] = {
      {connectionStringFor("data\\Nowhere\\DaZiva.mdb"), "Could not find file 'data\\Nowhere\\DaZiva.mdb'",
       kErrFileNotFound},
      {"Provider=Microsoft.Jet.OLEDB.4.0;Data Source=;Jet OLEDB:Database Password=tarqumel", "names no Data Source",
       kErrFileNotFound},
      {connectionStringFor("data\\junk.mdb"), "Unrecognized database format 'data\\junk.mdb'.", kErrUnrecognizedFormat},
      {connectionStringFor("data\\Sample"), "is a folder", kErrFileNotFound},
      {"Provider=SQLOLEDB.1;Data Source=tcp:db.example,99999;User ID=sa;Password=tarqumel", "names no server",
       kErrBadConnectionString},
      {"Provider=Nonsense.9;Data Source=x", "'Nonsense.9' is not available", kErrProviderNotFound},
      {"Data Source=x.mdb;Password=tarqumel", "names no Provider", kErrProviderNotFound},
      {"Provider=Microsoft.Jet.OLEDB.4.0;Data Source=\"x", "no closing double quote", kErrBadConnectionString},
      {"", "without a connection string", kErrBadConnectionString},
  };
  for (const auto& c : cases) {
    Connection cn(c.cs);
    int32_t number = 0;
    std::string msg = errorOf([&] { cn.open(); }, &number);
    EXPECT_NE(msg.find(c.expected), std::string::npos) << c.cs << " -> " << msg;
    EXPECT_EQ(msg.find("tarqumel"), std::string::npos) << msg;
    EXPECT_EQ(number, c.number) << msg;
    EXPECT_FALSE(cn.isOpen());
  }
}

TEST_F(ConnectionTest, TheJetProviderDoesNotCreateFiles) {
  Connection cn(connectionStringFor("data\\Sample\\New.mdb"));
  EXPECT_THROW(cn.open(), DataError);
  EXPECT_FALSE(std::filesystem::exists(home_ / "data" / "Sample" / "New.mdb"));
}

TEST_F(ConnectionTest, AnOpenConnectionRefusesADifferentString) {
  const std::string cs = newDatabase();
  Connection cn(cs);
  cn.open();
  int32_t number = 0;
  std::string msg = errorOf([&] { cn.setConnectionString(connectionStringFor("data\\Other.mdb")); }, &number);
  EXPECT_EQ(number, kErrObjectOpen);
  EXPECT_NE(msg.find(kObjectOpenText), std::string::npos) << msg;
  EXPECT_EQ(cn.connectionString(), cs);
  cn.setConnectionString(cs);  // the same string is accepted
  cn.close();
  cn.setConnectionString(connectionStringFor("data\\Other.mdb"));
  EXPECT_EQ(cn.connectionString(), connectionStringFor("data\\Other.mdb"));
}

TEST_F(ConnectionTest, ACommandOpensTheConnection) {
  Connection cn(newDatabase());
  EXPECT_EQ(cn.execute("CREATE TABLE T (ID LONG, MC TEXT(20))\r\n"), 0);
  EXPECT_TRUE(cn.isOpen());
}

TEST_F(ConnectionTest, TheEventSeesEveryCommandInOrderAndMayCancel) {
  Connection cn(newDatabase());
  std::vector<std::string> seen;
  cn.setWillExecute([&](std::string_view text, EventStatus& status) {
    seen.emplace_back(text);
    if (text.rfind("update", 0) == 0 && text.find("set") == std::string_view::npos) status = EventStatus::Cancel;
  });
  cn.execute("CREATE TABLE T (ID LONG, MC TEXT(20))\r\n");
  Statement ins(cn, "insert into T (ID, MC) values (?, ?)\r\n");
  ins.addValue(Variant(1));
  ins.addValue(Variant(u"a"));
  EXPECT_EQ(ins.execute(), 1);
  Query q("Tmp", &cn);
  q.setCommandText("select * from T where MC = 'a'\r\n");
  q.open();
  int32_t number = 0;
  std::string msg = errorOf([&] { cn.execute("update T\r\n"); }, &number);
  EXPECT_EQ(msg, kCancelledText);
  EXPECT_EQ(number, kErrOperationCancelled);
  // The cancelled command never reached the database: the row is unchanged
  // and the table still exists.
  EXPECT_EQ(cn.execute("update T set MC = 'b' where ID = 1"), 1);
  const std::vector<std::string> expected = {
      "CREATE TABLE T (ID LONG, MC TEXT(20))\r\n", "insert into T (ID, MC) values (?, ?)\r\n",
      "select * from T where MC = 'a'\r\n", "update T\r\n", "update T set MC = 'b' where ID = 1"};
  EXPECT_EQ(seen, expected);
}

TEST_F(ConnectionTest, ACancelledQueryOpenLeavesTheQueryClosed) {
  Connection cn(newDatabase());
  cn.execute("CREATE TABLE T (ID LONG)");
  cn.setWillExecute([](std::string_view, EventStatus& status) { status = EventStatus::Cancel; });
  Query q("Tmp", &cn);
  q.setCommandText("select * from T");
  std::string msg = errorOf([&] { q.open(); });
  EXPECT_EQ(msg, kCancelledText);
  EXPECT_FALSE(q.isOpen());
}

TEST_F(ConnectionTest, TransactionsCommitAndRollBack) {
  Connection cn(newDatabase());
  cn.execute("CREATE TABLE T (ID LONG)");
  EXPECT_FALSE(cn.inTransaction());
  cn.beginTransaction();
  EXPECT_TRUE(cn.inTransaction());
  cn.execute("insert into T values (1)");
  cn.rollback();
  EXPECT_FALSE(cn.inTransaction());
  cn.beginTransaction();
  cn.execute("insert into T values (2)");
  cn.commit();
  {
    Transaction t(cn);
    cn.execute("insert into T values (3)");
  }  // not committed: rolled back
  {
    Transaction t(cn);
    cn.execute("insert into T values (4)");
    t.commit();
    EXPECT_THROW(t.commit(), DataError);
  }
  Statement s(cn, "select ID from T order by ID");
  RowSet rows = s.executeQuery();
  ASSERT_EQ(rows.rowCount(), 2u);
  EXPECT_EQ(rows.value(0, 0).toInt32(), 2);
  EXPECT_EQ(rows.value(1, 0).toInt32(), 4);
  int32_t number = 0;
  errorOf([&] { cn.commit(); }, &number);
  EXPECT_EQ(number, kErrNoTransaction);
}

TEST_F(ConnectionTest, ARollbackDoesNotBreakAQueryLeftOpen) {
  Connection cn(newDatabase());
  cn.execute("CREATE TABLE T (ID LONG)");
  for (int i = 1; i <= 50; ++i) cn.execute("insert into T values (" + std::to_string(i) + ")");
  Query q("Big", &cn);
  q.setCommandText("select ID from T order by ID");
  q.open();
  for (int i = 0; i < 10; ++i) q.next();
  cn.beginTransaction();
  cn.execute("insert into T values (100)");
  cn.rollback();
  std::vector<int> rest;
  for (; !q.eof(); q.next()) rest.push_back(q.field(0).value().toInt32());
  ASSERT_EQ(rest.size(), 40u);
  EXPECT_EQ(rest.front(), 11);
  EXPECT_EQ(rest.back(), 50);
}

TEST_F(ConnectionTest, TablesRowsetListsTypes) {
  Connection cn(newDatabase());
  cn.execute("CREATE TABLE Kh (ID LONG)");
  cn.execute("CREATE TABLE appuser (ID LONG)");
  cn.execute("CREATE TABLE MSysObjects (ID LONG)");
  cn.execute("CREATE VIEW vi_Kh AS SELECT * FROM Kh");
  cn.execute("CREATE TABLE T2 (ID COUNTER, X LONG)");  // AUTOINCREMENT brings sqlite_sequence
  std::vector<std::pair<std::string, std::string>> got;
  for (const auto& t : cn.tables()) got.emplace_back(t.type, t.name);
  std::vector<std::pair<std::string, std::string>> expected = {{"SYSTEM TABLE", "MSysObjects"},
                                                               {"SYSTEM TABLE", "sqlite_schema"},
                                                               {"SYSTEM TABLE", "sqlite_sequence"},
                                                               {"TABLE", "appuser"},
                                                               {"TABLE", "Kh"},
                                                               {"TABLE", "T2"},
                                                               {"VIEW", "vi_Kh"}};
  EXPECT_EQ(got, expected);
}

TEST_F(ConnectionTest, StatementsBindPositionalParametersWithTheirTypes) {
  Connection cn(newDatabase());
  cn.execute("CREATE TABLE T (ID LONG, MC TEXT(20), RQ DATETIME, ZT YESNO, JE CURRENCY, F1 DOUBLE, P OLEOBJECT)");
  Statement ins(cn, "insert into T (ID, MC, RQ, ZT, JE, F1, P) values (?, ?, ?, ?, ?, ?, ?)");
  ins.addValue(Variant(7), FieldKind::Integer);
  ins.addValue(Variant(u"张三"), FieldKind::WideString);
  ins.addValue(Variant::date(DateTime{2008, 8, 30, 14, 25, 0, 0}), FieldKind::DateTime);
  ins.addValue(Variant(true), FieldKind::Boolean);
  ins.addValue(Variant::cy(Currency{123400}), FieldKind::BCD);
  ins.addValue(Variant::null(), FieldKind::Float);
  ins.addValue(Variant(SafeArray::bytes({1, 2, 0, 3})), FieldKind::Blob);
  EXPECT_EQ(ins.execute(), 1);

  // The stored forms are the ones the dialect relies on.
  std::vector<std::string> raw =
      testing::rawSqlite("data\\Sample\\DaZiva.mdb", "select typeof(RQ), RQ, ZT, typeof(F1), JE, hex(P) from T");
  EXPECT_EQ(raw, (std::vector<std::string>{"text", "2008-08-30 14:25:00", "-1", "null", "12.34", "01020003"}));

  Statement upd(cn, "update T set MC = ? where ID = ? and ZT = ?");
  upd.addValue(Variant(u"李四"));
  upd.addValue(Variant(7));
  upd.addValue(Variant(true));
  EXPECT_EQ(upd.execute(), 1);

  Statement sel(cn, "select MC, RQ, JE from T where RQ = ?");
  sel.addValue(Variant(u"2008-08-30 14:25:00"), FieldKind::DateTime);
  RowSet rows = sel.executeQuery();
  ASSERT_EQ(rows.rowCount(), 1u);
  EXPECT_EQ(rows.value(0, rows.findColumn("mc")).toUtf8(), "李四");
  EXPECT_EQ(rows.value(0, 1).vt(), VT_DATE);
  EXPECT_EQ(rows.value(0, 2), Variant::cy(Currency{123400}));
}

TEST_F(ConnectionTest, ParameterCountsAreChecked) {
  Connection cn(newDatabase());
  cn.execute("CREATE TABLE T (ID LONG, MC TEXT(20))");
  Statement few(cn, "insert into T (ID, MC) values (?, ?)");
  few.addValue(Variant(1));
  int32_t number = 0;
  std::string msg = errorOf([&] { few.execute(); }, &number);
  EXPECT_EQ(number, kErrTooFewParameters);
  EXPECT_NE(msg.find("2 parameter markers, 1 values"), std::string::npos) << msg;
  // Values beyond the markers are not sent.
  Statement many(cn, "insert into T (ID) values (?)");
  many.addValue(Variant(1));
  many.addValue(Variant(2));
  EXPECT_EQ(many.execute(), 1);
}

TEST_F(ConnectionTest, TextAfterTheStatementIsRefused) {
  Connection cn(newDatabase());
  cn.execute("CREATE TABLE T (ID LONG);\r\n");
  int32_t number = 0;
  std::string msg = errorOf([&] { cn.execute("insert into T values (1); delete from T"); }, &number);
  EXPECT_EQ(msg, kCharactersAfterEndText);
  EXPECT_EQ(number, kErrCharactersAfterEnd);
  EXPECT_EQ(Statement(cn, "select count(*) from T").executeQuery().value(0, 0).toInt32(), 0);
}

TEST_F(ConnectionTest, DatabaseErrorsCarryTheEngineNumber) {
  Connection cn(newDatabase());
  cn.execute("CREATE TABLE T (ID LONG PRIMARY KEY)");
  cn.execute("insert into T values (1)");
  try {
    cn.execute("insert into T values (1)");
    FAIL() << "duplicate key accepted";
  } catch (const DataError& e) {
    EXPECT_TRUE(e.fromInterface());
    EXPECT_EQ(e.number() & 0xFF, 19);  // a constraint failure
    EXPECT_EQ(e.hresult(), E_FAIL);
    EXPECT_NE(std::string(e.what()).find("UNIQUE"), std::string::npos) << e.what();
  }
  int32_t number = 0;
  std::string msg = errorOf([&] { cn.execute("select * frm T"); }, &number);
  EXPECT_EQ(msg, "Syntax error in the command text: unexpected text after the statement at offset 9 ('frm').");
  EXPECT_EQ(number, kErrSyntax);
}

// A table's description comes from its declaration, names the key and
// runs nothing the before-execute event would see.
TEST_F(ConnectionTest, TableColumnsTellKindsAndTheKey) {
  Connection cn(newDatabase());
  cn.execute(
      "CREATE TABLE T (MC TEXT(20), ID LONG, ZT YESNO, RQ DATETIME, JE CURRENCY, "
      "CONSTRAINT PK_T PRIMARY KEY (ID))");
  std::vector<std::string> seen;
  cn.setWillExecute([&](std::string_view t, EventStatus&) { seen.emplace_back(t); });
  auto cols = cn.tableColumns("[T]");
  ASSERT_EQ(cols.size(), 5u);
  const std::pair<std::string, FieldKind> expected[] = {{"MC", FieldKind::WideString},
                                                        {"ID", FieldKind::Integer},
                                                        {"ZT", FieldKind::Boolean},
                                                        {"RQ", FieldKind::DateTime},
                                                        {"JE", FieldKind::BCD}};
  for (size_t i = 0; i < cols.size(); ++i) {
    EXPECT_EQ(cols[i].name, expected[i].first);
    EXPECT_EQ(cols[i].kind, expected[i].second) << cols[i].name;
    EXPECT_EQ(cols[i].key, cols[i].name == "ID") << cols[i].name;
  }
  EXPECT_TRUE(seen.empty());
  EXPECT_THROW(cn.tableColumns("Nowhere"), DataError);
}

// A Null in a key column is Jet's own refusal, whichever statement tries
// it; other NOT NULL columns keep the engine's reason.
TEST_F(ConnectionTest, ANullKeyIsRefusedWithJetsNumberAndText) {
  Connection cn(newDatabase());
  cn.execute("CREATE TABLE T (ID LONG, MC TEXT(20) NOT NULL, CONSTRAINT PK_T PRIMARY KEY (ID))");
  cn.execute("insert into T (ID, MC) values (1, 'a')");
  for (const char* sql :
       {"insert into T (MC) values ('b')", "insert into T (ID, MC) values (null, 'b')", "update T set ID = null"}) {
    int32_t number = 0;
    std::string msg = errorOf([&] { cn.execute(sql); }, &number);
    EXPECT_EQ(msg, kNullKeyText) << sql;
    EXPECT_EQ(number, kErrNullKey) << sql;
  }
  int32_t number = 0;
  std::string msg = errorOf([&] { cn.execute("insert into T (ID) values (2)"); }, &number);
  EXPECT_EQ(number & 0xFF, 19) << msg;  // a constraint failure of the engine
  EXPECT_NE(msg.find("MC"), std::string::npos) << msg;
  EXPECT_EQ(Statement(cn, "select count(*) from T").executeQuery().value(0, 0).toInt32(), 1);
}

// A file made before key columns were written NOT NULL: client SQL still
// cannot put a Null into a key, a rowid key is still numbered by the engine,
// other writes work, and the file itself is not changed.
TEST_F(ConnectionTest, ANullKeyIsRefusedOnAFileWhoseKeysMayHoldNull) {
  const std::string cs = newDatabase();
  (void)testing::rawSqlite("data\\Sample\\DaZiva.mdb",
                           "CREATE TABLE T (ID LONG, MC TEXT, PRIMARY KEY (ID)); "
                           "CREATE TABLE \"K y\" (A TEXT, B LONG, MC TEXT, CONSTRAINT PK PRIMARY KEY (A, B)); "
                           "CREATE TABLE R (ID INTEGER PRIMARY KEY, MC TEXT); "
                           "INSERT INTO T VALUES (1, 'a'); INSERT INTO \"K y\" VALUES ('a', 1, 'a')");
  Connection cn(cs);
  for (const char* sql :
       {"insert into T (MC) values ('b')", "insert into T (ID, MC) values (null, 'b')",
        "insert into T select null, 'c' from T", "update T set ID = null", "update T set ID = iif(ID = 1, null, ID)",
        "insert into [K y] (A, MC) values ('b', 'b')", "insert into [K y] (B) values (2)", "update [K y] set B = null",
        "update [K y] set A = null"}) {
    int32_t number = 0;
    std::string msg = errorOf([&] { cn.execute(sql); }, &number);
    EXPECT_EQ(msg, kNullKeyText) << sql;
    EXPECT_EQ(number, kErrNullKey) << sql;
  }
  cn.beginTransaction();
  cn.execute("insert into T (ID, MC) values (2, 'b')");
  EXPECT_THROW(cn.execute("insert into T (MC) values ('c')"), DataError);
  cn.commit();  // the refused statement alone was taken back
  cn.execute("update T set MC = 'z' where ID = 1");
  cn.execute("insert into [K y] (A, B) values ('b', 2)");
  cn.execute("insert into R (MC) values ('numbered')");
  EXPECT_EQ(Statement(cn, "select count(*) from T where ID is null").executeQuery().value(0, 0).toInt32(), 0);
  EXPECT_EQ(Statement(cn, "select count(*) from T").executeQuery().value(0, 0).toInt32(), 2);
  EXPECT_EQ(
      Statement(cn, "select count(*) from [K y] where A is null or B is null").executeQuery().value(0, 0).toInt32(), 0);
  EXPECT_EQ(Statement(cn, "select ID from R").executeQuery().value(0, 0).toInt32(), 1);
  EXPECT_EQ(testing::rawSqlite("data\\Sample\\DaZiva.mdb", "SELECT count(*) FROM sqlite_schema WHERE type = 'trigger'"),
            std::vector<std::string>{"0"});
}

TEST_F(ConnectionTest, WithoutKeepConnectionTheLastQueryClosesIt) {
  Connection cn(newDatabase());
  cn.execute("CREATE TABLE T (ID LONG)");
  cn.setKeepConnection(false);
  Query a("A", &cn), b("B", &cn);
  a.setCommandText("select * from T");
  b.setCommandText("select * from T");
  a.open();
  b.open();
  a.close();
  EXPECT_TRUE(cn.isOpen());
  b.close();
  EXPECT_FALSE(cn.isOpen());
}

TEST_F(ConnectionTest, ClosingTheConnectionClosesItsQueries) {
  Connection cn(newDatabase());
  cn.execute("CREATE TABLE T (ID LONG)");
  Query q("Tmp", &cn);
  q.setCommandText("select * from T");
  q.open();
  cn.close();
  EXPECT_FALSE(q.isOpen());
  q.open();  // and the next open opens the connection again
  EXPECT_TRUE(cn.isOpen());
}

TEST_F(ConnectionTest, ExclusiveShareModeKeepsOthersOut) {
  const std::string cs = newDatabase();
  Connection alone(cs);
  alone.setShareMode(ShareMode::Exclusive);
  alone.open();
  Connection other(cs);
  other.setConnectTimeout(1);
  int32_t number = 0;
  std::string msg = errorOf([&] { other.open(); }, &number);
  EXPECT_EQ(number, kErrFileInUse);
  alone.close();
  other.open();
  EXPECT_TRUE(other.isOpen());
}

}  // namespace
}  // namespace rvz::data

namespace rvz::data {
namespace {

class CursorConflictTest : public testing::TempHome {};

TEST_F(CursorConflictTest, AQueryLeftOpenDoesNotStopItsConnectionFromWriting) {
  // Another connection commits while this one's query is still reading an
  // older state; writing on this connection must still work, in and out of
  // a transaction, and the query keeps its rows.
  const std::string cs = newDatabase();
  Connection mine(cs), other(cs);
  mine.execute("CREATE TABLE T (ID LONG)");
  for (int i = 0; i < 300; ++i) mine.execute("insert into T values (" + std::to_string(i) + ")");
  Query q("Slice", &mine);
  q.setCommandText("select ID from T order by ID");
  q.open();
  q.next();
  other.execute("insert into T values (1000)");
  {
    Transaction t(mine);
    mine.execute("insert into T values (2000)");
    t.commit();
  }
  other.execute("insert into T values (1001)");
  EXPECT_EQ(mine.execute("insert into T values (3000)"), 1);
  EXPECT_EQ(q.field(0).value().toInt32(), 1);
  EXPECT_EQ(q.recordCount(), 300);
  EXPECT_EQ(Statement(other, "select count(*) from T").executeQuery().value(0, 0).toInt32(), 304);
}

}  // namespace
}  // namespace rvz::data
