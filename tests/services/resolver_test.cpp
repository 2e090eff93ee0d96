// Applying deltas: the statements sent (exactly as the activity log will
// show them), row checks, MaxErrors, error packets and all-or-nothing; the
// same cases on an Access account set and, where RVZ_TEST_PG names a test
// cluster, on a SQL Server one.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include "platform/packets/error_packet.h"
#include "platform/data/values.h"
#include "platform/packets/materialized.h"
#include "platform/text/text.h"
#include "services/resolver.h"
#include "services/rows_written.h"
#include "services/update_table.h"
#include "service_test_support.h"

using namespace rvz;
using namespace rvz::services;
using namespace rvz::services::testing;
using packets::Cell;
using packets::RowStatus;

namespace {

class Resolving : public ServiceHome, public ::testing::WithParamInterface<AccountSet> {
 protected:
  void SetUp() override {
    ServiceHome::SetUp();
    if (GetParam() == AccountSet::Server && !useServer()) GTEST_SKIP() << "RVZ_TEST_PG is not set: no test cluster";
  }

  // The data packet of a provider, as a client holds it.
  packets::MaterializedPacket read(TDatas& d, const std::u16string& provider) {
    return packets::materialize(decoded(fetch(d, provider, -1).packet));
  }

  static Variant delta(const packets::MaterializedPacket& from, std::vector<packets::Record> records,
                       std::optional<std::string> tableName = std::nullopt) {
    packets::MaterializedPacket m;
    m.columns = from.columns;
    m.attributes.delta = true;
    m.attributes.tableName = std::move(tableName);
    m.records = std::move(records);
    return packets::packetToVariant(packets::encode(m));
  }

  // The original record followed by a modification of some of its columns.
  static std::vector<packets::Record> modify(const packets::MaterializedPacket& p, size_t row,
                                             std::vector<std::pair<std::string, Variant>> changes) {
    packets::Record orig = p.records[row];
    packets::Record mod{RowStatus::Modified, std::vector<Cell>(p.columns.size(), Cell::unchanged())};
    for (auto& [name, v] : changes)
      for (size_t c = 0; c < p.columns.size(); ++c)
        if (p.columns[c].name == name) mod.cells[c] = Cell::of(v);
    return {orig, mod};
  }

  static packets::Record as(RowStatus s, packets::Record r) {
    r.status = s;
    return r;
  }

  void watch(TDatas& d) {
    d.Cn.setWillExecute([this](std::string_view text, data::EventStatus&) { sent_.emplace_back(text); });
  }

  Variant apply(TDatas& d, const std::u16string& provider, const Variant& dlt, int32_t maxErrors, int32_t& count) {
    Variant owner;
    return d.host().AS_ApplyUpdates(provider, dlt, maxErrors, count, owner);
  }

  std::vector<packets::ErrorRecord> errorsOf(const Variant& result) {
    if (result.isNull()) return {};
    return packets::readErrorPacket(decoded(result));
  }

  int64_t count(const std::string& sql) {
    data::Connection cn(company_);
    data::Statement st(cn, sql);
    auto rows = st.executeQuery();
    return rows.value(0, 0).toInt64();
  }

  std::vector<std::string> sent_;
};

TEST_P(Resolving, StatementFormsOfAppUser) {
  company({"insert into appuser (ID, uCode, uName, uPassword) values (1, 'u1', 'old', 'pw')"});
  TDatas d;
  connectCompany(d);
  auto p = read(d, u"pAppUser");
  watch(d);
  int32_t n = -1;
  auto r = apply(d, u"pAppUser", delta(p, modify(p, 0, {{"uName", Variant(u"new")}, {"uPassword", Variant(u"pw2")}})),
                 -1, n);
  EXPECT_TRUE(r.isNull());
  EXPECT_EQ(n, 0);
  ASSERT_EQ(sent_.size(), 1u);
  EXPECT_EQ(sent_[0], "update appuser  set\r\n uName = ?,\r\n uPassword = ?\r\nwhere\r\n ID = ?\r\n");
  EXPECT_EQ(count("select count(*) from appuser where uName = 'new' and uPassword = 'pw2'"), 1);

  // An insert with a value or null in every column; aYGMC has no flags.
  sent_.clear();
  packets::Record ins{RowStatus::Inserted,
                      {Cell::of(Variant(2)), Cell::of(Variant(u"u2")), Cell::of(Variant(u"b")), Cell::null(),
                       Cell::null(), Cell::null(), Cell::of(Variant(9)), Cell::of(Variant(u"ignored"))}};
  apply(d, u"pAppUser", delta(p, {ins}), -1, n);
  ASSERT_EQ(sent_.size(), 1u);
  EXPECT_EQ(sent_[0],
            "insert into appuser\r\n  (ID, uCode, uName, uPassword, gID, gName, YGID)\r\nvalues\r\n"
            "  (?, ?, ?, ?, ?, ?, ?)\r\n");

  sent_.clear();
  apply(d, u"pAppUser", delta(p, {as(RowStatus::Deleted, p.records[0])}), -1, n);
  ASSERT_EQ(sent_.size(), 1u);
  EXPECT_EQ(sent_[0], "delete from appuser \r\nwhere\r\n ID = ?\r\n");
  EXPECT_EQ(count("select count(*) from appuser"), 1);

  // Only a column without flags changed: nothing is sent, nothing fails.
  auto q = read(d, u"pAppUser");
  sent_.clear();
  r = apply(d, u"pAppUser", delta(q, modify(q, 0, {{"aYGMC", Variant(u"x")}})), -1, n);
  EXPECT_TRUE(r.isNull());
  EXPECT_EQ(n, 0);
  EXPECT_TRUE(sent_.empty());
}

// A client that copies a fetched row into its modification sends the memo
// it never fetched with the not-fetched mark: that keeps the stored memo.
TEST_P(Resolving, AMemoNeverFetchedKeepsItsValueWhenTheRowChanges) {
  company({"create table M (ID LONG, MC TEXT(10), BZ MEMO, CONSTRAINT PK_M PRIMARY KEY (ID))",
           "insert into M (ID, MC, BZ) values (1, 'a', 'a long remark')"});
  TDatas d;
  connectCompany(d);
  auto p = packets::materialize(decoded(fetch(d, u"pTmp", -1, 1, u"select * from M").packet));
  ASSERT_EQ(p.records.size(), 1u);
  ASSERT_EQ(p.records[0].cells[2].state, packets::ValueState::NotFetched);
  packets::Record mod = p.records[0];
  mod.status = RowStatus::Modified;
  mod.cells[1] = Cell::of(Variant(u"b"));
  watch(d);
  int32_t n = -1;
  auto r = apply(d, u"pTmp", delta(p, {p.records[0], mod}), -1, n);
  EXPECT_TRUE(r.isNull());
  EXPECT_EQ(n, 0);
  ASSERT_EQ(sent_.size(), 1u);
  EXPECT_EQ(sent_[0].find("BZ"), std::string::npos) << sent_[0];
  EXPECT_EQ(count("select count(*) from M where MC = 'b' and BZ = 'a long remark'"), 1);

  // In an inserted row the mark has nothing to keep: the memo is null.
  packets::Record ins{RowStatus::Inserted, {Cell::of(Variant(2)), Cell::of(Variant(u"c")), Cell::notFetched()}};
  r = apply(d, u"pTmp", delta(p, {ins}), -1, n);
  EXPECT_EQ(n, 0);
  EXPECT_EQ(count("select count(*) from M where ID = 2 and BZ is null"), 1);
}

TEST_P(Resolving, WhereAllLocatesByEveryWhereColumnAndNullsByIsNull) {
  company({"insert into Appselect (DATASET, FIELDNAME, AUTOUPDATE, DATASELECT) values ('Kh', 'MC', True, 'x')"});
  TDatas d;
  connectCompany(d);
  auto p = read(d, u"pAppSelect");
  watch(d);
  int32_t n = -1;
  apply(d, u"pAppSelect", delta(p, modify(p, 0, {{"DATASELECT", Variant(u"select 1")}})), -1, n);
  EXPECT_EQ(n, 0);
  ASSERT_EQ(sent_.size(), 1u);
  EXPECT_EQ(sent_[0],
            "update Appselect  set\r\n DATASELECT = ?\r\nwhere\r\n DATASET = ? and\r\n FIELDNAME = ? and\r\n"
            " AUTOUPDATE = ? and\r\n DefaultRow is null\r\n");
  EXPECT_EQ(count("select count(*) from Appselect where DATASELECT = 'select 1'"), 1);
}

TEST_P(Resolving, AppLogRowsCanBeAddedButNotChanged) {
  company({"insert into AppLog (uName, cName, CZ, RQ, SJ) values ('a', 'b', 'c', #2008-08-30#, '1')"});
  TDatas d;
  connectCompany(d);
  auto p = read(d, u"pAppLog");
  watch(d);
  packets::Record ins = p.records[0];
  ins.status = RowStatus::Inserted;
  auto recs = modify(p, 0, {{"CZ", Variant(u"changed")}});
  recs.insert(recs.begin(), ins);
  recs.push_back(as(RowStatus::Deleted, p.records[0]));
  int32_t n = 0;
  auto errs = errorsOf(apply(d, u"pAppLog", delta(p, recs), -1, n));
  EXPECT_EQ(n, 2);
  ASSERT_EQ(errs.size(), 2u);
  EXPECT_EQ(errs[0].message, u"Unable to find record.  No key specified");
  EXPECT_EQ(errs[0].recordNo, 2);
  EXPECT_EQ(errs[1].recordNo, 4);
  EXPECT_EQ(errs[0].response, packets::kResponseSkip);
  EXPECT_EQ(sent_.size(), 1u);  // the insert; no conflict read without a key
  EXPECT_EQ(count("select count(*) from AppLog"), 2);
  EXPECT_EQ(count("select count(*) from AppLog where CZ = 'changed'"), 0);
}

TEST_P(Resolving, TwoIdenticalRowsRollBackTheCall) {
  company({"insert into AppGroupDesktopClass values ('g', 'c')", "insert into AppGroupDesktopClass values ('g', 'c')",
           "insert into AppGroupDesktopClass values ('h', 'c')"});
  TDatas d;
  connectCompany(d);
  auto p = read(d, u"pAppGroupDesktopClass");
  std::vector<packets::Record> recs = modify(p, 2, {{"cName", Variant(u"first")}});
  auto two = modify(p, 0, {{"cName", Variant(u"both")}});
  recs.insert(recs.end(), two.begin(), two.end());
  int32_t n = 0;
  auto errs = errorsOf(apply(d, u"pAppGroupDesktopClass", delta(p, recs), -1, n));
  EXPECT_EQ(n, 1);
  ASSERT_EQ(errs.size(), 1u);
  EXPECT_EQ(errs[0].message, u"Update affected more than 1 record.");
  EXPECT_EQ(errs[0].response, packets::kResponseAbort);
  EXPECT_EQ(count("select count(*) from AppGroupDesktopClass where cName = 'c'"), 3);
  EXPECT_FALSE(d.Cn.inTransaction());
}

TEST_P(Resolving, ChangedByAnotherUserReportsTheCurrentValues) {
  company({"insert into appuser (ID, uCode, uName) values (1, 'u1', 'mine')"});
  TDatas d;
  connectCompany(d);
  auto p = read(d, u"pAppUser");
  company({"update appuser set uName = 'theirs' where ID = 1"});
  int32_t n = 0;
  // where-changed: uName (changed by the client, in where) locates too.
  auto errs = errorsOf(apply(d, u"pAppUser", delta(p, modify(p, 0, {{"uName", Variant(u"again")}})), -1, n));
  // uName is only U in this dataset, so the row is found by ID and written.
  EXPECT_EQ(n, 0);
  EXPECT_TRUE(errs.empty());

  company({"insert into Appselect (DATASET, FIELDNAME, AUTOUPDATE, DefaultRow) values ('A', 'B', False, 1)"});
  auto s = read(d, u"pAppSelect");
  company({"update Appselect set DefaultRow = 5"});
  errs = errorsOf(apply(d, u"pAppSelect", delta(s, modify(s, 0, {{"AUTOUPDATE", Variant(true)}})), -1, n));
  EXPECT_EQ(n, 1);
  ASSERT_EQ(errs.size(), 1u);
  EXPECT_EQ(errs[0].message, u"Record not found or changed by another user");
  EXPECT_EQ(errs[0].errorCode, 1);
  // The conflict read found the row by its key: DefaultRow differs, the rest does not.
  size_t defaultRow = 4;
  ASSERT_EQ(errs[0].values.size(), 5u);
  EXPECT_EQ(errs[0].values[defaultRow].value.toInt32(), 5);
  EXPECT_EQ(errs[0].values[0].state, packets::ValueState::Null);
}

class MaxErrors : public Resolving {
 protected:
  // Five inserted menus; the ones in `failing` have a null mName, which the
  // test table refuses.
  void run(int32_t maxErrors, std::vector<int> failing, int32_t& n, std::vector<packets::ErrorRecord>& errs) {
    company(
        {"create table MenuStrict (mName ANSIVARCHAR(30) NOT NULL, mCaption ANSIVARCHAR(50), mLevel LONG, "
         "mIndex LONG, mIsParent YESNO)"});
    TDatas d;
    connectCompany(d);
    auto p = packets::materialize(decoded(fetch(d, u"pAppMenu", 0, 1, u"select * from MenuStrict").packet));
    std::vector<packets::Record> recs;
    for (int i = 1; i <= 5; ++i) {
      bool bad = std::find(failing.begin(), failing.end(), i) != failing.end();
      recs.push_back({RowStatus::Inserted,
                      {bad ? Cell::null() : Cell::of(Variant(u"m")), Cell::null(), Cell::null(), Cell::of(Variant(i)),
                       Cell::of(Variant(false))}});
    }
    fetch(d, u"pAppMenu", 0, 2);  // close it again
    errs = errorsOf(apply(d, u"pAppMenu", delta(p, recs), maxErrors, n));
  }
};

// Rows written count once kept: a rolled-back call adds none, a committed
// one adds the rows of its successful records only.
TEST_P(MaxErrors, RowsWrittenCountOnlyWhatIsCommitted) {
  int32_t n = 0;
  std::vector<packets::ErrorRecord> errs;
  const RowsWritten before = rowsWrittenSoFar();
  run(0, {3}, n, errs);
  EXPECT_EQ(rowsWrittenSoFar().inserted, before.inserted);
  company({"drop table MenuStrict"});
  run(-1, {2, 4}, n, errs);
  EXPECT_EQ(rowsWrittenSoFar().inserted, before.inserted + 3);
  EXPECT_EQ(rowsWrittenSoFar().updated, before.updated);
  EXPECT_EQ(rowsWrittenSoFar().deleted, before.deleted);
}

TEST_P(MaxErrors, ZeroStopsAtTheFirstFailureAndRollsBack) {
  int32_t n = 0;
  std::vector<packets::ErrorRecord> errs;
  run(0, {3}, n, errs);
  EXPECT_EQ(n, 1);
  ASSERT_EQ(errs.size(), 1u);
  EXPECT_EQ(errs[0].recordNo, 3);
  EXPECT_EQ(errs[0].response, packets::kResponseAbort);
  EXPECT_NE(errs[0].errorCode, 1);  // the database's number
  EXPECT_EQ(count("select count(*) from MenuStrict"), 0);
}

TEST_P(MaxErrors, MinusOneTriesEverythingAndCommits) {
  int32_t n = 0;
  std::vector<packets::ErrorRecord> errs;
  run(-1, {2, 4}, n, errs);
  EXPECT_EQ(n, 2);
  ASSERT_EQ(errs.size(), 2u);
  EXPECT_EQ(errs[0].response, packets::kResponseSkip);
  EXPECT_EQ(errs[1].response, packets::kResponseSkip);
  EXPECT_EQ(count("select count(*) from MenuStrict"), 3);
}

TEST_P(MaxErrors, WithinTheLimitEverythingIsTriedAndCommitted) {
  int32_t n = 0;
  std::vector<packets::ErrorRecord> errs;
  run(2, {1, 5}, n, errs);
  EXPECT_EQ(n, 2);
  EXPECT_EQ(count("select count(*) from MenuStrict"), 3);
}

TEST_P(MaxErrors, BelowMinusOneStopsAfterTheFirstRecord) {
  int32_t n = 0;
  std::vector<packets::ErrorRecord> errs;
  run(-5, {}, n, errs);
  EXPECT_EQ(n, 0);
  EXPECT_EQ(count("select count(*) from MenuStrict"), 0);
}

// A Null key fails its own record, as in Jet; the others are committed and
// the table stays readable.
TEST_P(Resolving, ANullKeyFailsItsRecordOnly) {
  company(
      {"create table Typed (mName ANSIVARCHAR(30), mCaption ANSIVARCHAR(50), mLevel LONG, mIndex LONG, "
       "mIsParent YESNO, CONSTRAINT PK_Typed PRIMARY KEY (mIndex))"});
  TDatas d;
  connectCompany(d);
  const std::u16string sql = u"select * from Typed order by mIndex";
  auto p = packets::materialize(decoded(fetch(d, u"pAppMenu", 0, 1, sql).packet));
  ASSERT_EQ(p.columns.size(), 5u);
  auto row = [](Cell level, Cell index, Cell parent) {
    return packets::Record{RowStatus::Inserted, {Cell::of(Variant(u"m")), Cell::null(), level, index, parent}};
  };
  auto of = [](Variant v) { return Cell::of(std::move(v)); };
  std::vector<packets::Record> recs = {
      row(of(Variant(12)), of(Variant(2)), of(Variant(true))),
      row(of(Variant(4)), Cell::null(), Cell::null()),
      row(of(Variant(7)), of(Variant(5)), of(Variant(false))),
  };
  fetch(d, u"pAppMenu", 0, 2);
  int32_t n = 0;
  auto errs = errorsOf(apply(d, u"pAppMenu", delta(p, recs), -1, n));
  EXPECT_EQ(n, 1);
  ASSERT_EQ(errs.size(), 1u);
  EXPECT_EQ(errs[0].recordNo, 2);  // a key is never Null
  if (onServer()) {
    // The server's own refusal, numbered as SQL Server numbers it.
    EXPECT_NE(text::wideToUtf8(errs[0].message).find("mIndex"), std::string::npos);
    EXPECT_EQ(errs[0].errorCode, 515);
  } else {
    EXPECT_EQ(errs[0].message, u"Index or primary key cannot contain a Null value.");
    EXPECT_EQ(errs[0].errorCode, data::kErrNullKey);
  }
  EXPECT_EQ(errs[0].response, packets::kResponseSkip);

  auto rows = packets::materialize(decoded(fetch(d, u"pAppMenu", -1, 1, sql).packet));
  ASSERT_EQ(rows.records.size(), 2u);
  const auto& two = rows.records[0].cells;
  EXPECT_EQ(two[3].value.toInt32(), 2);
  EXPECT_EQ(two[2].value.toInt32(), 12);
  EXPECT_TRUE(two[4].value.boolValue());
  EXPECT_EQ(rows.records[1].cells[2].value.toInt32(), 7);
}

// Values are converted by the table's own column types, whatever types a
// delta declares: a delta that calls every column text cannot store text in
// a number, yes/no or date column. Each refusal fails its own record with
// Jet's number, and the table stays readable.
TEST_P(Resolving, ValuesFollowTheTablesColumnTypesNotTheDeltas) {
  company(
      {"create table Typed (ID LONG, mLevel LONG, mFlag YESNO, mRate DOUBLE, mWhen DATETIME, "
       "CONSTRAINT PK_Typed PRIMARY KEY (ID))"});
  TDatas d;
  connectCompany(d);
  const std::u16string sql = u"select * from Typed order by ID";
  auto p = packets::materialize(decoded(fetch(d, u"pTmp", 0, 1, sql).packet));
  ASSERT_EQ(p.columns.size(), 5u);
  for (auto& c : p.columns) {
    c.type = packets::FieldType::String;
    c.width = 40;
    c.subtype.reset();
  }
  struct Case {
    std::u16string level, flag, rate, when;
    int32_t errorCode;  // 0: stored
  } cases[] = {
      {u"abc", u"True", u"1", u"2024-03-01", data::kErrTypeMismatch},
      {u"1", u"x", u"1", u"2024-03-01", data::kErrTypeMismatch},
      {u"1", u"True", u"x", u"2024-03-01", data::kErrTypeMismatch},
      {u"1", u"True", u"1", u"abc", data::kErrTypeMismatch},
      {u"99999999999", u"True", u"1", u"2024-03-01", data::kErrNumericOverflow},
      {u"12", u"True", u"2.5", u"2024-03-01", 0},
  };
  std::vector<packets::Record> recs;
  int32_t id = 1;
  for (const auto& c : cases)
    recs.push_back({RowStatus::Inserted,
                    {Cell::of(Variant(text::utf8ToWide(std::to_string(id++)))), Cell::of(Variant(c.level)),
                     Cell::of(Variant(c.flag)), Cell::of(Variant(c.rate)), Cell::of(Variant(c.when))}});
  int32_t n = 0;
  auto errs = errorsOf(apply(d, u"pTmp", delta(p, recs), -1, n));
  EXPECT_EQ(n, 5);
  ASSERT_EQ(errs.size(), 5u);
  for (size_t i = 0; i < errs.size(); ++i) {
    EXPECT_EQ(errs[i].recordNo, static_cast<int32_t>(i + 1));
    EXPECT_EQ(errs[i].errorCode, cases[i].errorCode) << text::wideToUtf8(errs[i].message);
    EXPECT_EQ(errs[i].message,
              text::utf8ToWide(cases[i].errorCode == data::kErrNumericOverflow ? data::kNumericOverflowText
                                                                               : data::kTypeMismatchText));
  }
  // Another client reads the table, typed.
  TDatas other;
  connectCompany(other);
  auto rows = packets::materialize(decoded(fetch(other, u"pTmp", -1, 1, sql).packet));
  ASSERT_EQ(rows.records.size(), 1u);
  const auto& row = rows.records[0].cells;
  EXPECT_EQ(row[0].value, Variant(6));
  EXPECT_EQ(row[1].value, Variant(12));
  EXPECT_TRUE(row[2].value.boolValue());
  EXPECT_DOUBLE_EQ(row[3].value.toDouble(), 2.5);
  EXPECT_EQ(row[4].value.vt(), VT_DATE);
}

// A table made before its key columns were declared NOT NULL still never
// gets a Null key from an apply, inserted or set.
TEST_P(Resolving, ANullKeyIsRefusedAlsoWhereTheTableAllowsIt) {
  if (onServer()) GTEST_SKIP() << "a table without NOT NULL keys is made past the provider on SQLite only";
  {
    sqlite3* db = nullptr;
    const auto file = home_ / "d" / "Dediriva" / "Server" / "Data" / "Sample" / "DaZiva.mdb";
    ASSERT_EQ(sqlite3_open(file.c_str(), &db), SQLITE_OK);
    EXPECT_EQ(sqlite3_exec(db,
                           "CREATE TABLE Legacy (ID LONG, MC VARCHAR(20), PRIMARY KEY (ID)); "
                           "INSERT INTO Legacy VALUES (1, 'one')",
                           nullptr, nullptr, nullptr),
              SQLITE_OK);
    sqlite3_close(db);
  }
  TDatas d;
  connectCompany(d);
  const std::u16string sql = u"select * from Legacy";
  auto p = packets::materialize(decoded(fetch(d, u"pTmp", -1, 1, sql).packet));
  ASSERT_EQ(p.records.size(), 1u);
  std::vector<packets::Record> recs = modify(p, 0, {{"ID", Variant::null()}});
  recs.push_back({RowStatus::Inserted, {Cell::null(), Cell::of(Variant(u"two"))}});
  int32_t n = 0;
  auto errs = errorsOf(apply(d, u"pTmp", delta(p, recs), -1, n));
  EXPECT_EQ(n, 2);
  ASSERT_EQ(errs.size(), 2u);
  for (const auto& e : errs) {
    EXPECT_EQ(e.errorCode, data::kErrNullKey);
    EXPECT_EQ(e.message, u"Index or primary key cannot contain a Null value.");
  }
  EXPECT_EQ(count("select count(*) from Legacy where ID is null"), 0);
  EXPECT_EQ(count("select count(*) from Legacy"), 1);
}

TEST_P(Resolving, TableNameFromTheDeltaOrTheCurrentCommandText) {
  company(
      {"create table OtherLog (uName ANSIVARCHAR(20), cName ANSIVARCHAR(20), CZ ANSIVARCHAR(30), RQ DATETIME, "
       "SJ ANSIVARCHAR(5))"});
  TDatas d;
  connectCompany(d);
  auto p = read(d, u"pAppLog");
  packets::Record ins{RowStatus::Inserted,
                      {Cell::of(Variant(u"a")), Cell::null(), Cell::null(), Cell::null(), Cell::null()}};
  int32_t n = 0;
  apply(d, u"pAppLog", delta(p, {ins}, "OtherLog"), -1, n);
  EXPECT_EQ(count("select count(*) from OtherLog"), 1);

  // A client's text replaced the SQL: changes go to its first table.
  fetch(d, u"pAppLog", 0, 1, u"select * from OtherLog");
  fetch(d, u"pAppLog", 0, 2);
  apply(d, u"pAppLog", delta(p, {ins}), -1, n);
  EXPECT_EQ(count("select count(*) from OtherLog"), 2);

  // Words separated by tabs give no table name.
  fetch(d, u"pAppLog", 0, 1, u"select\t*\tfrom\tOtherLog");
  fetch(d, u"pAppLog", 0, 2);
  auto errs = errorsOf(apply(d, u"pAppLog", delta(p, {ins}), -1, n));
  ASSERT_EQ(errs.size(), 1u);
  EXPECT_EQ(errs[0].message, u"Unable to resolve records.  Table name not found.");
}

TEST_P(Resolving, AutoIncrementColumnsStayOutOfInserts) {
  TDatas d;
  connectCompany(d);
  auto p = read(d, u"pTableColumns");
  watch(d);
  packets::Record ins{RowStatus::Inserted, std::vector<Cell>(p.columns.size(), Cell::null())};
  ins.cells[0] = Cell::of(Variant(99));
  ins.cells[2] = Cell::of(Variant(u"Kh"));
  int32_t n = 0;
  apply(d, u"pTableColumns", delta(p, {ins}), -1, n);
  EXPECT_EQ(n, 0);
  ASSERT_EQ(sent_.size(), 1u);
  EXPECT_EQ(sent_[0].rfind("insert into TableColumns\r\n  (XH, TableName,", 0), 0u) << sent_[0];
  EXPECT_EQ(count("select count(*) from TableColumns where ID <> 99"), 1);
}

TEST_P(Resolving, AnInsertWithNothingToWriteIsRefusedByTheDatabase) {
  TDatas d;
  connectCompany(d);
  auto p = read(d, u"pTableColumns");
  watch(d);
  packets::Record ins{RowStatus::Inserted, std::vector<Cell>(p.columns.size(), Cell::unchanged())};
  int32_t n = 0;
  auto errs = errorsOf(apply(d, u"pTableColumns", delta(p, {ins}), -1, n));
  ASSERT_EQ(sent_.size(), 1u);
  EXPECT_EQ(sent_[0], "insert into TableColumns\r\n )\r\nvalues\r\n )\r\n");
  EXPECT_EQ(n, 1);
  ASSERT_EQ(errs.size(), 1u);
  EXPECT_FALSE(errs[0].message.empty());
}

TEST_P(Resolving, ABadDeltaFailsTheCallAndEndsItsTransaction) {
  TDatas d;
  connectCompany(d);
  int32_t n = 0;
  Variant owner;
  EXPECT_FALSE(failureOf([&] { d.host().AS_ApplyUpdates(u"pAppLog", Variant(u"junk"), -1, n, owner); }).empty());
  EXPECT_FALSE(d.Cn.inTransaction());
  EXPECT_EQ(failureOf([&] { d.host().AS_ApplyUpdates(u"pNone", Variant(), -1, n, owner); }),
            "Provider not exported: pNone");
}

INSTANTIATE_TEST_SUITE_P(Providers, Resolving, ::testing::Values(AccountSet::Access, AccountSet::Server),
                         accountSetName);
INSTANTIATE_TEST_SUITE_P(Providers, MaxErrors, ::testing::Values(AccountSet::Access, AccountSet::Server),
                         accountSetName);

struct TableCase {
  const char* text;
  const char* table;  // "" for none
};

void PrintTo(const TableCase& c, std::ostream* os) { *os << '"' << c.text << '"'; }

class UpdateTable : public ::testing::TestWithParam<TableCase> {};

TEST_P(UpdateTable, FirstNameAfterTheFirstFrom) {
  auto t = updateTableName(GetParam().text);
  EXPECT_EQ(t.value_or(""), GetParam().table) << GetParam().text;
}

INSTANTIATE_TEST_SUITE_P(
    Texts, UpdateTable,
    ::testing::Values(
        TableCase{"select a.*, y.xm as aYGMC from appuser a left join yg y on a.ygid=y.id", "appuser"},
        TableCase{"SELECT A.MC  AS ParentName, B.*\r\nFROM  DQ AS B LEFT JOIN  DQ AS A ON B.ParentCode=A.ID", "DQ"},
        TableCase{"select * from ", ""}, TableCase{"select * from (select * from T)", ""},
        TableCase{"select * from (CGSQZB Z left join YG Y on Z.YGID=Y.ID)", "CGSQZB"},
        TableCase{"select * from dbo.KH k", "dbo.KH"}, TableCase{"select * from KH;", "KH"},
        TableCase{"select * from \"Order Lines\" x", "Order Lines"}, TableCase{"select * from /* c */ 12 KH", "KH"},
        TableCase{"select 'from' x from T", "T"}, TableCase{"select\t*\tfrom\tT", ""},
        TableCase{"select * from where", ""}, TableCase{"update T set a = 1", ""},
        TableCase{"select * FROM\r\n  T2", "T2"}));

}  // namespace
